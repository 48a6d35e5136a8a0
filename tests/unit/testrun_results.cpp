// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <QLocale>
#include <regex>

#include "testrun/display_format.h"
#include "testrun_fixture.h"

namespace quillon::testing {
namespace {

using testrun::PresetChoice;

using Row = std::vector<std::string>;

Row rowOf(const testrun::ResultsGrid& grid, int row) {
    Row cells;
    for (int col = 0; col < grid.cols(); ++col) cells.push_back(grid.cell(row, col));
    return cells;
}

const testrun::ResultsGrid& runBand(FormFixture& f, int band) {
    f.settings.preset = PresetChoice{std::vector<int>{band}, std::nullopt, std::nullopt};
    f.fake.onQuery("FETCh:PFERror:FERRor:WORSt?", {"-3.14159"});
    f.fake.onQuery("FETCh:PFERror:RMS:MAXimum?", {"0.0005"});
    f.prepared().runTest();
    return f.ui.lastGrid();
}

TEST(ResultsTable, HeaderAndInformationRow) {
    FormFixture f;
    const testrun::ResultsGrid& grid = runBand(f, 0);
    EXPECT_EQ(rowOf(grid, 0),
              (Row{"Frequency   ", "Source  ", "Test                      ", "Value     ",
                   "Lo Lim   ", "Hi Lim   ", "Unit  ", "      Result"}));
    EXPECT_EQ(grid.columns()[7].align, testrun::ResultsGrid::Align::Right);
    EXPECT_EQ(rowOf(grid, 1), (Row{kSerial, "", "10:42 Tuesday, 3 March 2026", "", "K2210",
                                   "A.05.17", "", "Pass"}));
    EXPECT_EQ(rowOf(grid, 2), Row(8));
    // The first snapshot with the information row already has it emphasised.
    const auto withInfo = std::find_if(f.ui.grids.begin(), f.ui.grids.end(),
                                       [](const auto& g) { return g.rows() == 2; });
    ASSERT_NE(withInfo, f.ui.grids.end());
    EXPECT_TRUE(withInfo->emphasised(1, 0));
    EXPECT_FALSE(withInfo->emphasised(1, 7));
}

TEST(ResultsTable, FourteenRowsPerBandInTestOrder) {
    FormFixture f;
    const testrun::ResultsGrid& grid = runBand(f, 0);
    ASSERT_EQ(grid.rows(), 3 + 14);
    const std::vector<Row> expected = {
        {" 464000000", "1", "GMSK Frequency Error", "-3.142", "-20.000", "20.000", "Hz", "Pass"},
        {" 464000000", "1", "GMSK RMS Phase Error", "0.001", "0.000", "1.000", "deg", "Pass"},
        {" 464000000", "1", "GMSK Peak Phase Error", "0.000", "-4.000", "4.000", "deg", "Pass"},
        {" 464000000", "1", "GMSK Burst Flatness", "1.000", "-1.000", "1.000", "dB", "Pass"},
        {" 464000000", "1", "GMSK Power", "0.000", "-1.000", "1.000", "dB", "Pass"},
        {" 464000000", "1", "EPSK Power", "0.000", "-1.000", "1.000", "dB", "Pass"},
        {" 464000000", "1", "EPSK Frequency Error", "0.000", "-20.000", "20.000", "hz", "Pass"},
        {" 464000000", "1", "EPSK RMS EVM", "0.000", "0.000", "4.000", "%", "Pass"},
        {" 464000000", "1", "EPSK Origin Offset", "40.000", "35.000", "---", "dB", "Pass"},
        {" 464000000", "2", "GMSK Frequency Error", "-3.142", "-20.000", "20.000", "Hz", "Pass"},
        {" 464000000", "2", "GMSK RMS Phase Error", "0.001", "0.000", "1.000", "deg", "Pass"},
        {" 464000000", "2", "GMSK Peak Phase Error", "0.000", "-4.000", "4.000", "deg", "Pass"},
        {" 464000000", "2", "GMSK Burst Flatness", "1.000", "-1.000", "1.000", "dB", "Pass"},
        {" 464000000", "2", "GMSK Power", "0.000", "-1.000", "1.000", "dB", "Pass"},
    };
    for (int i = 0; i < 14; ++i)
        EXPECT_EQ(rowOf(grid, 3 + i), expected[static_cast<std::size_t>(i)]) << i;
    EXPECT_EQ(f.form().failCount(), 0);
}

TEST(ResultsTable, IntegrityProblemCountsAsAFailure) {
    FormFixture f;
    f.fake.onQuery("FETCh:ETXPower:INTegrity?", {"11"});
    const testrun::ResultsGrid& grid = runBand(f, 3);
    EXPECT_EQ(grid.cell(3 + 4, 0), "1842000000");
    EXPECT_EQ(grid.cell(3 + 4, 7), "Fail ( 11)");
    EXPECT_EQ(f.form().failCount(), 3);  // both source 1 burst powers and source 2's
    EXPECT_EQ(grid.cell(1, 7), "Fail");
}

TEST(DisplayFormat, NumbersFollowTheRegionalSeparatorOnly) {
    const QLocale german(QLocale::German, QLocale::Germany);
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    EXPECT_EQ(testrun::displayNumberText(-3.14159, german), "-3,142");
    EXPECT_EQ(testrun::displayNumberText(12345.5, german), "12345,500");
    EXPECT_EQ(testrun::displayNumberText(12345.5, english), "12345.500");
    EXPECT_EQ(testrun::displayNumberText(0.0005, english), "0.001");
    EXPECT_EQ(testrun::displayNumberText(-0.0001, english), "0.000");
}

TEST(DisplayFormat, StartTimeIsShortTimeBlankLongDateOnOneLine) {
    const QDateTime when(QDate(2026, 3, 3), QTime(10, 42));
    const QLocale german(QLocale::German, QLocale::Germany);
    EXPECT_EQ(testrun::dateTimeText(when, german), "10:42 Dienstag, 3. M\xC3\xA4rz 2026");
    for (const QLocale& locale : {german, QLocale(QLocale::Japanese), QLocale(QLocale::Arabic)}) {
        const std::string text = testrun::dateTimeText(when, locale);
        EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos);
    }
}

TEST(DisplayFormat, CommaLocaleShowsCommasButCommandsKeepPoints) {
    FormFixture f;
    f.settings.preset = PresetChoice{std::vector<int>{1}, std::nullopt, std::nullopt};
    f.prepared().displayNumber = [](double v) {
        return testrun::displayNumberText(v, QLocale(QLocale::German, QLocale::Germany));
    };
    f.fake.onQuery("FETCh:PFERror:FERRor:WORSt?", {"-3.14159"});
    f.form().runTest();
    EXPECT_EQ(f.ui.lastGrid().cell(3, 3), "-3,142");
    EXPECT_EQ(f.ui.lastGrid().cell(3, 4), "-20,000");
    const std::regex level(R"(-?\d+\.\d{3})");
    int levels = 0;
    for (const std::string& text : f.texts()) {
        for (const char* header :
             {"CALL:CELL:POWer:AMPlitude ", "Selected:BURSt1 ", "SELected:BURST2 ",
              "RFANalyzer:CW:EXPected:POWer ", "PREDuction:LEV2 "}) {
            const std::size_t at = text.find(header);
            if (at == std::string::npos) continue;
            const std::string value = text.substr(at + std::string(header).size());
            if (value == "0") continue;  // the fixed reduction of the source 1 arrangement
            EXPECT_TRUE(std::regex_match(value, level)) << text;
            ++levels;
        }
    }
    EXPECT_GT(levels, 10);
}

}  // namespace
}  // namespace quillon::testing
