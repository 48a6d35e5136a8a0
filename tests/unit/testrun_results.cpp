// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <QLocale>
#include <regex>

#include "testrun/display_format.h"
#include "testrun_fixture.h"

namespace quillon::testing {
namespace {

const testrun::ResultsGrid& runBand(FormFixture& f, int band,
                                    const QLocale& locale = QLocale::c()) {
    f.settings.preset = testrun::PresetChoice{std::vector{band}, std::nullopt, std::nullopt};
    f.fake.onQuery("FETCh:PFERror:FERRor:WORSt?", {"-3.14159"});
    f.fake.onQuery("FETCh:PFERror:RMS:MAXimum?", {"0.0005"});
    f.prepared().displayNumber = [locale](double v) {
        return testrun::displayNumberText(v, locale);
    };
    f.form().runTest();
    return f.ui.lastGrid();
}

TEST(ResultsTable, HeaderInformationRowAndFourteenRowsPerBandInTestOrder) {
    FormFixture f;
    const testrun::ResultsGrid& grid = runBand(f, 0);
    const Strings source1 = {"GMSK Frequency Error|-3.142|-20.000|20.000|Hz",
                             "GMSK RMS Phase Error|0.001|0.000|1.000|deg",
                             "GMSK Peak Phase Error|0.000|-4.000|4.000|deg",
                             "GMSK Burst Flatness|1.000|-1.000|1.000|dB",
                             "GMSK Power|0.000|-1.000|1.000|dB",
                             "EPSK Power|0.000|-1.000|1.000|dB",
                             "EPSK Frequency Error|0.000|-20.000|20.000|hz",
                             "EPSK RMS EVM|0.000|0.000|4.000|%",
                             "EPSK Origin Offset|40.000|35.000|---|dB"};
    Strings expected = {
        "Frequency   |Source  |Test                      |Value     |Lo Lim   |"
        "Hi Lim   |Unit  |      Result",
        std::string(kSerial) + "||10:42 Tuesday, 3 March 2026||K2210|A.05.17||Pass", "|||||||"};
    for (std::size_t i = 0; i < 14; ++i) {
        expected.push_back(std::string(" 464000000|") + (i < 9 ? "1|" : "2|") + source1[i % 9] +
                           "|Pass");
    }
    Strings rows(static_cast<std::size_t>(grid.rows()));
    for (int row = 0; row < grid.rows(); ++row) {
        for (int col = 0; col < grid.cols(); ++col) {
            rows[static_cast<std::size_t>(row)] += (col ? "|" : "") + grid.cell(row, col);
        }
    }
    EXPECT_EQ(rows, expected);
    EXPECT_EQ(grid.columns()[7].align, testrun::ResultsGrid::Align::Right);
    // The first snapshot with the information row already has it emphasised.
    const auto withInfo = std::find_if(f.ui.grids.begin(), f.ui.grids.end(),
                                       [](const auto& g) { return g.rows() == 2; });
    ASSERT_NE(withInfo, f.ui.grids.end());
    EXPECT_TRUE(withInfo->emphasised(1, 0) && !withInfo->emphasised(1, 7));
}

TEST(ResultsTable, IntegrityProblemCountsAsAFailure) {
    FormFixture f;
    f.fake.onQuery("FETCh:ETXPower:INTegrity?", {"11"});
    const testrun::ResultsGrid& grid = runBand(f, 3);
    EXPECT_EQ(grid.cell(3 + 4, 7), "Fail ( 11)");
    EXPECT_EQ(f.form().failCount(), 3);  // both source 1 burst powers and source 2's
    EXPECT_EQ(grid.cell(1, 7), "Fail");
}

TEST(DisplayFormat, CommaLocaleShowsCommasButCommandsKeepPoints) {
    const QLocale german(QLocale::German, QLocale::Germany);
    EXPECT_EQ(testrun::displayNumberText(12345.5, german), "12345,500");
    EXPECT_EQ(testrun::displayNumberText(-0.0001, QLocale::c()), "0.000");
    const QDateTime when(QDate(2026, 3, 3), QTime(10, 42));
    EXPECT_EQ(testrun::dateTimeText(when, german), "10:42 Dienstag, 3. M\xC3\xA4rz 2026");
    EXPECT_EQ(testrun::dateTimeText(when, QLocale::Arabic).find_first_of("\r\n"),
              std::string::npos);

    FormFixture f;
    const testrun::ResultsGrid& grid = runBand(f, 1, german);
    EXPECT_EQ(grid.cell(3, 3), "-3,142");
    EXPECT_EQ(grid.cell(3, 4), "-20,000");
    EXPECT_EQ(f.fake.count("CALL:CELL:POWer:AMPlitude -10.000"), 5u);
    const std::regex decimalComma(R"(\d,\d)");   // as in "-3,142", not "0us,4dBc"
    for (const std::string& text : f.texts()) {  // the calibration addresses are "...',0,0"
        EXPECT_TRUE(text.starts_with("PL13:CAL:DATA") || !std::regex_search(text, decimalComma))
            << text;
    }
}

}  // namespace
}  // namespace quillon::testing
