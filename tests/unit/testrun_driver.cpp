// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <chrono>

#include "testrun_fixture.h"

namespace quillon::testing {
namespace {

using std::chrono::milliseconds;
using testrun::FormLabel;
using testrun::Verdict;
using Progress = FakeOperator::Progress;

testrun::RunOutcome run(FormFixture& f, std::optional<std::vector<int>> bands = std::nullopt) {
    if (bands) f.settings.preset = testrun::PresetChoice{bands, std::nullopt, 20};
    f.prepared();
    f.ui.progress.clear();
    return f.form().runTest();
}

TEST(RunTest, DefaultRunCoversEveryBandAndPasses) {
    FormFixture f;
    const testrun::RunOutcome outcome = run(f);
    EXPECT_FALSE(outcome.runFailed);
    EXPECT_EQ(outcome.failCount, 0);
    EXPECT_EQ(f.ui.wizardSerials, Strings{kSerial});
    EXPECT_EQ(f.ui.labels[FormLabel::Band], (Strings{"GSM450", "GSM850", "PGSM", "DCS", "PCS"}));
    EXPECT_EQ(f.ui.label(FormLabel::TestStatus), "Test Complete");
    // The calibration pause, then per band four configuration pauses and source 2's settling.
    EXPECT_EQ(f.ui.pausedTotal(), milliseconds(1000 + 5 * 5000));
    EXPECT_EQ(f.ui.progress.front(), (Progress{0, 115}));
    EXPECT_EQ(f.ui.progress.end()[-2], (Progress{115, 115}));
    EXPECT_EQ(f.ui.progress.back().value, 0);
    EXPECT_EQ(f.ui.verdicts, (std::vector{Verdict::Hidden, Verdict::Pass}));
    EXPECT_TRUE(f.ui.messages.empty());
    EXPECT_EQ(f.ui.lastGrid().rows(), 3 + 5 * 14);
}

TEST(RunTest, FailureInTheSecondBandStopsTheBusButNotThePauses) {
    FormFixture f;
    f.fake.errorAfter("CALL:CELL:BAND GSM850");
    EXPECT_TRUE(run(f).runFailed);
    EXPECT_EQ(f.texts().end()[-2], "CALL:CELL:BAND GSM850");
    EXPECT_EQ(f.ui.pausedTotal(), milliseconds(1000 + 5000 + 4 * 4000));
    EXPECT_EQ(f.ui.labels[FormLabel::Band], (Strings{"GSM450", "GSM850"}));
    EXPECT_EQ(f.ui.label(FormLabel::TestStatus), "Test Complete");
    EXPECT_EQ(f.ui.verdicts.back(), Verdict::Fail);
    EXPECT_EQ(f.ui.lastGrid().rows(), 3 + 14);
    EXPECT_EQ(f.ui.lastGrid().cell(1, 7), "Fail");
    EXPECT_EQ(f.ui.messages,
              (std::vector<FakeOperator::Message>{
                  {"Quillon", "Error running tests.  Please check 4750 screen and try again",
                   testrun::MessageIcon::Critical}}));
    EXPECT_LT(f.ui.progress.end()[-2].value, 115);
}

TEST(RunTest, NoBandOrOnlyBandThreeFromAPreset) {
    FormFixture none;
    none.settings.acceptWizard = true;
    EXPECT_FALSE(run(none, std::vector<int>{}).runFailed);
    EXPECT_TRUE(none.ui.wizardSerials.empty());
    EXPECT_EQ(none.texts().size(), 2u + 60u);  // only the reset and the calibration check
    EXPECT_EQ(none.ui.lastGrid().rows(), 3);
    EXPECT_EQ(none.ui.verdicts.back(), Verdict::Pass);
    EXPECT_EQ(none.ui.progress.front(), (Progress{0, 0}));
    EXPECT_EQ(none.ui.pausedTotal(), milliseconds(1000));
    EXPECT_TRUE(none.ui.labels[FormLabel::Band].empty());

    FormFixture dcs;
    run(dcs, std::vector{3});
    EXPECT_EQ(dcs.ui.labels[FormLabel::Band], Strings{"DCS"});
    EXPECT_EQ(dcs.ui.pausedTotal(), milliseconds(1000 + 5000));
    EXPECT_EQ(dcs.ui.progress.front(), (Progress{0, 23}));
    EXPECT_EQ(dcs.program.measurementIterations, 20);
    EXPECT_EQ(dcs.ui.lastGrid().rows(), 3 + 14);
    EXPECT_EQ(dcs.fake.count("CALL:CELL:BAND GSM450"), 0u);
}

}  // namespace
}  // namespace quillon::testing
