// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "testrun_fixture.h"

namespace quillon::testing {
namespace {

using testrun::FormLabel;
using testrun::PresetChoice;

const Strings kSource1 = {"Running Source 1 GMSK Power", "Source 1 GMSK PFER", "Source 1 GMSK PVT",
                          "Running Source 1 EPSK Power", "Source 1 EPSK Mod Acc"};
const Strings kSource2 = {"Source 2 GMSK PFER", "Source 2 PVT", "Source 2 GMSK Power"};

// The status texts of one band's run, after its set-up texts, up to "Test Complete".
Strings sequenceStatuses(FormFixture& f, std::vector<int> tests) {
    f.settings.preset = PresetChoice{std::vector<int>{2}, std::move(tests), std::nullopt};
    f.prepared().runTest();
    const Strings all = f.ui.labelTexts(FormLabel::TestStatus);
    const auto first = std::find(all.begin(), all.end(), "Finding power thresholds for PGSM");
    return first == all.end() ? Strings{} : Strings(first + 1, all.end() - 1);
}

std::vector<int> progressValues(const FakeOperator& ui) {
    std::vector<int> values;
    for (const FakeOperator::Progress& p : ui.progress) values.push_back(p.value);
    return values;
}

struct SequenceCase {
    std::vector<int> tests;
    Strings perConfig;
    Strings source2;
};

class Sequences : public ::testing::TestWithParam<SequenceCase> {};

TEST_P(Sequences, ShowEachChosenStepInTableOrderAndCountIt) {
    const SequenceCase& c = GetParam();
    FormFixture f;
    const Strings statuses = sequenceStatuses(f, c.tests);
    const Strings expected = c.perConfig + c.perConfig + c.perConfig + c.perConfig + c.source2;
    EXPECT_EQ(statuses, expected);
    // 0 after preparation and at the start, +1 per step, back to 0 at the end.
    std::vector<int> progress = {0, 0};
    for (int v = 1; v <= static_cast<int>(expected.size()); ++v) progress.push_back(v);
    progress.push_back(0);
    EXPECT_EQ(progressValues(f.ui), progress);
    EXPECT_EQ(f.ui.progress[1].maximum, static_cast<int>(expected.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Choices, Sequences,
    ::testing::Values(SequenceCase{{0, 1, 2, 3, 4, 5, 6, 7}, kSource1, kSource2},
                      SequenceCase{{0}, {"Source 1 GMSK PFER"}, {}},
                      SequenceCase{{4, 2, 7}, {kSource1[0], kSource1[4]}, {kSource2[2]}},
                      SequenceCase{{5, 6}, {}, {kSource2[0], kSource2[1]}}));

TEST(SequenceFailure, FailedBurstPowerStopsTheCallAfterCountingIt) {
    FormFixture f;
    f.fake.errorAfter("CALL:MODulation:FORMAT:MANUAL:BURST1 GMSK");
    const Strings statuses = sequenceStatuses(f, {0, 1, 2, 3, 4, 5, 6, 7});
    EXPECT_EQ(statuses, Strings{"Running Source 1 GMSK Power"});
    EXPECT_EQ(progressValues(f.ui), (std::vector<int>{0, 0, 1, 0}));
    EXPECT_EQ(f.fake.count("INIT:PFER:ON"), 0u);
    EXPECT_EQ(f.fake.count("CALL:MODulation:FORMAT:MANUAL:BURST1 EPSK"), 0u);
}

TEST(SequenceFailure, FailedSource2PferSkipsTheOtherSource2Steps) {
    FormFixture f;
    f.fake.errorAfter("SETup:PFERror:COUNt:NUMBer 1");
    const Strings statuses = sequenceStatuses(f, {0, 5, 6, 7});
    EXPECT_EQ(statuses, (Strings{"Source 1 GMSK PFER", "Source 1 GMSK PFER", "Source 1 GMSK PFER",
                                 "Source 1 GMSK PFER", "Source 2 GMSK PFER"}));
    EXPECT_EQ(f.ui.progress[f.ui.progress.size() - 2].value, 5);
}

TEST(SequenceFailure, StepsWithoutTheirMeasurementObjectsReportAnError) {
    FormFixture f;  // before a run the objects do not exist yet
    f.prepared().options().setTest(0, true);
    EXPECT_TRUE(f.form().runSource1Tests(0));
    EXPECT_TRUE(f.texts().empty());
    f.form().options().setTest(0, false);
    EXPECT_FALSE(f.form().runSource2Tests());  // nothing chosen, nothing run
}

}  // namespace
}  // namespace quillon::testing
