// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "testrun_fixture.h"

namespace quillon::testing {
namespace {

// The status texts of a PGSM run between its level search and "Test Complete", and the
// progress values shown from the start of the run.
std::pair<Strings, std::vector<int>> runPgsm(FormFixture& f, std::vector<int> tests) {
    f.settings.preset = testrun::PresetChoice{std::vector{2}, std::move(tests), std::nullopt};
    f.prepared().runTest();
    const Strings all = f.ui.labels[testrun::FormLabel::TestStatus];
    const auto first = std::find(all.begin(), all.end(), "Finding power thresholds for PGSM");
    std::vector<int> progress;
    for (const FakeOperator::Progress& p : f.ui.progress) progress.push_back(p.value);
    return {first == all.end() ? Strings{} : Strings(first + 1, all.end() - 1), progress};
}

TEST(Sequences, ShowEachChosenStepInTableOrderAndCountIt) {
    const Strings s1 = {"Running Source 1 GMSK Power", "Source 1 GMSK PFER", "Source 1 GMSK PVT",
                        "Running Source 1 EPSK Power", "Source 1 EPSK Mod Acc"};
    const Strings s2 = {"Source 2 GMSK PFER", "Source 2 PVT", "Source 2 GMSK Power"};
    const std::tuple<std::vector<int>, Strings, Strings> cases[] = {
        {{0, 1, 2, 3, 4, 5, 6, 7}, s1, s2},
        {{0}, {s1[1]}, {}},
        {{4, 2, 7}, {s1[0], s1[4]}, {s2[2]}},
        {{5, 6}, {}, {s2[0], s2[1]}}};
    for (const auto& [tests, perConfig, source2] : cases) {
        FormFixture f;
        const Strings steps = perConfig + perConfig + perConfig + perConfig + source2;
        // 0 after preparation and at the start, +1 per step, back to 0 at the end.
        std::vector<int> progress = {0, 0};
        for (int v = 1; v <= static_cast<int>(steps.size()); ++v) progress.push_back(v);
        progress.push_back(0);
        EXPECT_EQ(runPgsm(f, tests), std::pair(steps, progress));
        EXPECT_EQ(f.ui.progress[1].maximum, static_cast<int>(steps.size()));
    }
}

TEST(Sequences, AFailedStepStopsItsSequenceAfterCountingIt) {
    FormFixture f;
    f.fake.errorAfter("CALL:MODulation:FORMAT:MANUAL:BURST1 GMSK");
    EXPECT_EQ(runPgsm(f, {0, 1, 2, 3, 4, 5, 6, 7}),
              std::pair(Strings{"Running Source 1 GMSK Power"}, std::vector{0, 0, 1, 0}));
    EXPECT_EQ(f.fake.count("INIT:PFER:ON"), 0u);
    EXPECT_EQ(f.fake.count("CALL:MODulation:FORMAT:MANUAL:BURST1 EPSK"), 0u);

    FormFixture s2;  // a failed source 2 PFER skips the other source 2 steps
    s2.fake.errorAfter("SETup:PFERror:COUNt:NUMBer 1");
    EXPECT_EQ(runPgsm(s2, {0, 5, 6, 7}),
              std::pair(Strings(4, "Source 1 GMSK PFER") + Strings{"Source 2 GMSK PFER"},
                        std::vector{0, 0, 1, 2, 3, 4, 5, 0}));
}

TEST(Sequences, StepsWithoutTheirMeasurementObjectsReportAnError) {
    FormFixture f;  // before a run the objects do not exist yet
    f.prepared().options().setTest(0, true);
    EXPECT_TRUE(f.form().runSource1Tests(0));
    EXPECT_TRUE(f.texts().empty());
    f.form().options().setTest(0, false);
    EXPECT_FALSE(f.form().runSource2Tests());  // nothing chosen, nothing run
}

}  // namespace
}  // namespace quillon::testing
