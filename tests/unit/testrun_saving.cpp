// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "testrun/frmDoTest.h"
#include "testrun/saving.h"

namespace quillon::testrun {
namespace {

TEST(ResultsFile, ExactBytesInLatin1WrittenOverAnExistingFile) {
    ResultsGrid grid;
    grid.setFormatString(frmDoTest::kHeaderFormat);
    grid.appendTabbed("US1\t\t10:42 3 M\xC3\xA4rz 2026\t\tK2210\tA.05.17");
    grid.appendTabbed("\t");
    grid.appendTabbed(" 464000000\t1\tGMSK Frequency Error\t-3,142\t-20,000\t20,000\tHz\tPass\t");
    grid.setCell(1, 7, "Pass");
    const std::string bytes =
        "Frequency   , Source  , Test                      , Value     , Lo Lim   , Hi Lim   , "
        "Unit  ,       Result\r\n"
        "US1, , 10:42 3 M\xE4rz 2026, , K2210, A.05.17, , Pass\r\n"
        ", , , , , , , \r\n"
        " 464000000, 1, GMSK Frequency Error, -3,142, -20,000, 20,000, Hz, Pass\r\n";
    EXPECT_EQ(resultsFileText(grid), bytes);

    QTemporaryDir dir;
    const std::string path = QDir(dir.path()).filePath("US1.txt").toStdString();
    QFile file(QString::fromStdString(path));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(std::string(5000, 'x').c_str());
    file.close();
    std::string error;
    ASSERT_TRUE(writeResultsFile(grid, path, error)) << error;
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().toStdString(), bytes);
    const std::string missing = QDir(dir.path()).filePath("missing/US1.csv").toStdString();
    EXPECT_FALSE(writeResultsFile(grid, missing, error));
    EXPECT_NE(error.find(missing), std::string::npos) << error;
}

TEST(ResultsFile, EachCharacterBecomesOneByte) {
    const std::pair<const char*, const char*> cells[] = {
        {"caf\xC3\xA9", "caf\xE9"},   // Latin-1 kept
        {"5 \xE2\x82\xAC", "5 ?"},    // euro sign outside
        {"\xF0\x9F\x98\x80!", "?!"},  // one character, one '?'
        {"a\r\nb\nc", "a  b c"},      // no line break in a cell
        {"\xFF\xC3", "??"},           // not UTF-8
        {"\xC0\xAF", "??"},           // overlong
        {"\xE0\x80\x8D", "?"}};       // overlong CR
    for (const auto& [cell, written] : cells) {
        ResultsGrid grid;
        grid.setFormatString("a|b");
        grid.setCell(0, 0, cell);
        EXPECT_EQ(resultsFileText(grid), std::string(written) + ", b\r\n");
    }
    EXPECT_EQ(proposedFileName("A/B\\C:D*"), "A_B_C_D_.csv");
}

}  // namespace
}  // namespace quillon::testrun
