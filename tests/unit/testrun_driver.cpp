// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "testrun/saving.h"
#include "testrun_fixture.h"

namespace quillon::testing {
namespace {

using std::chrono::milliseconds;
using testrun::FormLabel;
using testrun::PresetChoice;
using testrun::RunOutcome;
using testrun::Verdict;

constexpr const char* kRunError = "Error running tests.  Please check 4750 screen and try again";

RunOutcome run(FormFixture& f) {
    f.prepared();
    f.ui.pauses.clear();
    f.ui.progress.clear();
    return f.form().runTest();
}

std::size_t indexOf(const Strings& texts, const std::string& text) {
    return static_cast<std::size_t>(std::find(texts.begin(), texts.end(), text) - texts.begin());
}

TEST(RunTest, DefaultRunCoversEveryBandAndPasses) {
    FormFixture f;
    const RunOutcome outcome = run(f);
    EXPECT_FALSE(outcome.runFailed);
    EXPECT_EQ(outcome.failCount, 0);

    const Strings texts = f.texts();
    ASSERT_GE(texts.size(), 62u);
    EXPECT_EQ(Strings(texts.begin(), texts.begin() + 3),
              (Strings{"*rst", "*cls", "PL13:CAL:DATA? 'tdma_bbgen_delay_setting1',0,0"}));
    EXPECT_EQ(f.ui.wizardSerials, Strings{kSerial});
    EXPECT_EQ(f.ui.optionsShown, 0);
    EXPECT_EQ(f.ui.label(FormLabel::SerialNumber), kSerial);
    EXPECT_EQ(f.ui.labelTexts(FormLabel::Band),
              (Strings{"GSM450", "GSM850", "PGSM", "DCS", "PCS"}));
    EXPECT_EQ(f.ui.labelTexts(FormLabel::TestStatus).front(), "Not Started");
    EXPECT_EQ(f.ui.label(FormLabel::TestStatus), "Test Complete");

    // Calibration pause, then per band four configuration pauses and the source 2 settling.
    EXPECT_EQ(f.ui.pausedTotal(), milliseconds(1000 + 5 * 5000));
    ASSERT_GE(f.ui.progress.size(), 3u);
    EXPECT_EQ(f.ui.progress.front(), (FakeOperator::Progress{0, 115}));
    EXPECT_EQ(f.ui.progress[f.ui.progress.size() - 2], (FakeOperator::Progress{115, 115}));
    EXPECT_EQ(f.ui.progress.back().value, 0);
    EXPECT_EQ(f.ui.resultButtons, (std::vector<bool>{false, true}));
    EXPECT_EQ(f.ui.verdicts, (std::vector<Verdict>{Verdict::Hidden, Verdict::Pass}));
    EXPECT_TRUE(f.ui.messages.empty());
    EXPECT_EQ(f.program.measurementIterations, 50);

    const testrun::ResultsGrid& grid = f.ui.lastGrid();
    EXPECT_EQ(grid.rows(), 3 + 5 * 14);
    EXPECT_EQ(grid.cell(1, 7), "Pass");
    EXPECT_TRUE(grid.emphasised(1, 0));
    EXPECT_TRUE(grid.emphasised(1, 7));
    EXPECT_EQ(grid.cell(3, 0), " 464000000");
    EXPECT_EQ(grid.cell(3 + 3 * 14, 0), "1842000000");
}

TEST(RunTest, FailureInTheSecondBandStopsTheBusButNotThePauses) {
    FormFixture f;
    f.fake.errorAfter("CALL:CELL:BAND GSM850");
    const RunOutcome outcome = run(f);
    EXPECT_TRUE(outcome.runFailed);

    const Strings texts = f.texts();
    EXPECT_EQ(indexOf(texts, "CALL:CELL:BAND GSM850") + 2, texts.size());
    EXPECT_EQ(f.ui.pausedTotal(), milliseconds(1000 + 5000 + 4 * 4000));
    EXPECT_EQ(f.ui.labelTexts(FormLabel::Band), (Strings{"GSM450", "GSM850"}));
    EXPECT_EQ(f.ui.label(FormLabel::TestStatus), "Test Complete");
    EXPECT_EQ(f.ui.verdicts.back(), Verdict::Fail);
    EXPECT_EQ(f.ui.lastGrid().rows(), 3 + 14);
    EXPECT_EQ(f.ui.lastGrid().cell(1, 7), "Fail");
    ASSERT_EQ(f.ui.messages.size(), 1u);
    EXPECT_EQ(f.ui.messages[0].title, "Quillon");
    EXPECT_EQ(f.ui.messages[0].text, kRunError);
    EXPECT_EQ(f.ui.messages[0].icon, testrun::MessageIcon::Critical);
    EXPECT_LT(f.ui.progress[f.ui.progress.size() - 2].value, 115);
}

TEST(RunTest, NoBandChosenOnlyChecksTheCalibrationData) {
    FormFixture f;
    f.settings.preset = PresetChoice{std::vector<int>{}, std::nullopt, std::nullopt};
    const RunOutcome outcome = run(f);
    EXPECT_FALSE(outcome.runFailed);
    const Strings texts = f.texts();
    EXPECT_EQ(texts.size(), 2u + 60u);
    EXPECT_EQ(f.ui.lastGrid().rows(), 3);
    EXPECT_EQ(f.ui.verdicts.back(), Verdict::Pass);
    EXPECT_EQ(f.ui.progress.front(), (FakeOperator::Progress{0, 0}));
    EXPECT_EQ(f.ui.pausedTotal(), milliseconds(1000));
    EXPECT_TRUE(f.ui.labelTexts(FormLabel::Band).empty());
}

TEST(RunTest, OnlyBandThreeCostsOneBandOfPauses) {
    FormFixture f;
    f.settings.preset = PresetChoice{std::vector<int>{3}, std::nullopt, 20};
    run(f);
    EXPECT_EQ(f.ui.labelTexts(FormLabel::Band), Strings{"DCS"});
    EXPECT_EQ(f.ui.pausedTotal(), milliseconds(1000 + 5000));
    EXPECT_EQ(f.ui.progress.front(), (FakeOperator::Progress{0, 23}));
    EXPECT_EQ(f.program.measurementIterations, 20);
    EXPECT_EQ(f.ui.lastGrid().rows(), 3 + 14);
    EXPECT_EQ(f.fake.count("CALL:CELL:BAND GSM450"), 0u);
}

TEST(RunTest, CancelledWizardEndsTheProgramAfterTheReset) {
    FormFixture f;
    f.ui.wizardOutcome = {false, false};
    try {
        run(f);
        FAIL() << "the program should have ended";
    } catch (const ProgramEnded& ended) {
        EXPECT_EQ(ended.exitCode, testrun::kExitWizardCancelled);
    }
    EXPECT_EQ(f.texts(), (Strings{"*rst", "*cls"}));
}

TEST(RunTest, ShiftOpensTheOptionsAndTheRunFollowsThem) {
    FormFixture f;
    f.ui.wizardOutcome = {true, true};
    f.ui.optionsAction = [](testrun::TestOptions& o) {
        for (const int band : {0, 1, 3, 4}) o.setBand(static_cast<std::int16_t>(band), false);
        for (std::int16_t test = 1; test < 8; ++test) o.setTest(test, false);
        o.setSliderValue(100);
    };
    run(f);
    EXPECT_EQ(f.ui.optionsShown, 1);
    EXPECT_EQ(f.program.measurementIterations, 100);
    EXPECT_EQ(f.ui.progress.front(), (FakeOperator::Progress{0, 4}));
    const Strings statuses = f.ui.labelTexts(FormLabel::TestStatus);
    EXPECT_EQ(std::count(statuses.begin(), statuses.end(), "Source 1 GMSK PFER"), 4);
    EXPECT_EQ(statuses.back(), "Test Complete");
    EXPECT_EQ(f.ui.lastGrid().rows(), 3 + 3);
    EXPECT_EQ(f.fake.count("SETup:PFERror:COUNt:NUMBer  100"), 4u);
}

TEST(RunTest, AcceptedWizardAndPresetNeedNoOperator) {
    FormFixture f;
    f.settings.acceptWizard = true;
    f.settings.preset = PresetChoice{std::vector<int>{0}, std::vector<int>{5, 6, 7}, std::nullopt};
    run(f);
    EXPECT_TRUE(f.ui.wizardSerials.empty());
    EXPECT_EQ(f.ui.optionsShown, 0);
    EXPECT_EQ(f.ui.progress.front(), (FakeOperator::Progress{0, 3}));
    const testrun::ResultsGrid& grid = f.ui.lastGrid();
    ASSERT_EQ(grid.rows(), 3 + 5);
    for (int row = 3; row < grid.rows(); ++row) EXPECT_EQ(grid.cell(row, 1), "2");
}

TEST(RunTest, ResultThatDoesNotPassFailsTheVerdictWithoutTheErrorMessage) {
    FormFixture f;
    f.model.originOffset = "30";  // below the 35 dB limit
    const RunOutcome outcome = run(f);
    EXPECT_FALSE(outcome.runFailed);
    EXPECT_EQ(outcome.failCount, 5);
    EXPECT_EQ(f.form().failCount(), 5);
    EXPECT_EQ(f.ui.verdicts.back(), Verdict::Fail);
    EXPECT_TRUE(f.ui.messages.empty());
}

TEST(RunTest, DefaultRunFileHas73Lines) {
    FormFixture f;
    run(f);
    const std::string text = testrun::resultsFileText(f.form().grid());
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 73);
    EXPECT_EQ(text.substr(0, text.find('\n') + 1),
              "Frequency   , Source  , Test                      , Value     , Lo Lim   , "
              "Hi Lim   , Unit  ,       Result\r\n");
    EXPECT_NE(text.find("\r\n, , , , , , , \r\n"), std::string::npos);
}

}  // namespace
}  // namespace quillon::testing
