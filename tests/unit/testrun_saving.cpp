// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "testrun/frmDoTest.h"
#include "testrun/saving.h"

namespace quillon::testrun {
namespace {

ResultsGrid sampleGrid() {
    ResultsGrid grid;
    grid.setFormatString(frmDoTest::kHeaderFormat);
    grid.appendTabbed("US1\t\t10:42 3 M\xC3\xA4rz 2026\t\tK2210\tA.05.17");
    grid.appendTabbed("\t");
    grid.appendTabbed(" 464000000\t1\tGMSK Frequency Error\t-3,142\t-20,000\t20,000\tHz\tPass\t");
    grid.setCell(1, 7, "Pass");
    return grid;
}

const std::string kSampleFile =
    "Frequency   , Source  , Test                      , Value     , Lo Lim   , Hi Lim   , "
    "Unit  ,       Result\r\n"
    "US1, , 10:42 3 M\xE4rz 2026, , K2210, A.05.17, , Pass\r\n"
    ", , , , , , , \r\n"
    " 464000000, 1, GMSK Frequency Error, -3,142, -20,000, 20,000, Hz, Pass\r\n";

TEST(ResultsFile, ExactBytesInLatin1) {
    EXPECT_EQ(resultsFileText(sampleGrid()), kSampleFile);
}

struct CellCase {
    const char* cell;
    const char* written;
};

class CellBytes : public ::testing::TestWithParam<CellCase> {};

TEST_P(CellBytes, BecomeOneSingleByteCharacterEach) {
    ResultsGrid grid;
    grid.setFormatString("a|b");
    grid.setCell(0, 0, GetParam().cell);
    EXPECT_EQ(resultsFileText(grid), std::string(GetParam().written) + ", b\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    Texts, CellBytes,
    ::testing::Values(CellCase{"caf\xC3\xA9", "caf\xE9"},   // Latin-1 kept
                      CellCase{"5 \xE2\x82\xAC", "5 ?"},    // euro sign outside
                      CellCase{"\xF0\x9F\x98\x80!", "?!"},  // one character, one '?'
                      CellCase{"a\r\nb\nc", "a  b c"},      // no line break in a cell
                      CellCase{"\xFF\xC3", "??"},           // not UTF-8
                      CellCase{"\xC0\xAF", "??"},           // overlong
                      CellCase{"\xE0\x80\x8D", "?"}));      // overlong CR

TEST(ResultsFile, WritesTheSameBytesAndReplacesAnExistingFile) {
    QTemporaryDir dir;
    const std::string path = QDir(dir.path()).filePath("US1.txt").toStdString();
    {
        QFile old(QString::fromStdString(path));
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write(std::string(5000, 'x').c_str());
    }
    std::string error;
    ASSERT_TRUE(writeResultsFile(sampleGrid(), path, error)) << error;
    EXPECT_TRUE(error.empty());
    QFile file(QString::fromStdString(path));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().toStdString(), kSampleFile);
}

TEST(ResultsFile, FailureIsExplained) {
    QTemporaryDir dir;
    const std::string path = QDir(dir.path()).filePath("missing/US1.csv").toStdString();
    std::string error;
    EXPECT_FALSE(writeResultsFile(sampleGrid(), path, error));
    EXPECT_NE(error.find(path), std::string::npos) << error;
    EXPECT_FALSE(writeResultsFile(sampleGrid(), "", error));
    EXPECT_FALSE(error.empty());
}

TEST(ResultsFile, ProposedNameIsTheSerialNumberAsCsv) {
    EXPECT_EQ(proposedFileName("US44123456"), "US44123456.csv");
    EXPECT_EQ(proposedFileName("A/B\\C:D*"), "A_B_C_D_.csv");
    EXPECT_EQ(proposedFileName(""), ".csv");
}

}  // namespace
}  // namespace quillon::testrun
