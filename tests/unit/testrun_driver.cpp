// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "testrun/test_options.h"
#include "testrun_fixture.h"

namespace quillon::testing {
namespace {

// A PGSM run of the chosen steps shows each in table order and counts it; a failed step is
// counted and stops its sequence (source 1 per configuration, source 2 once).
TEST(Sequences, ShowAndCountEachChosenStepUntilAFailure) {
    const Strings s1 = {"Running Source 1 GMSK Power", "Source 1 GMSK PFER", "Source 1 GMSK PVT",
                        "Running Source 1 EPSK Power", "Source 1 EPSK Mod Acc"};
    const Strings s2 = {"Source 2 GMSK PFER", "Source 2 PVT", "Source 2 GMSK Power"};
    const std::vector<int> all = {0, 1, 2, 3, 4, 5, 6, 7};
    const struct {
        std::vector<int> tests;
        std::string rejected;
        Strings steps;
        int planned;
    } cases[] = {
        {all, "", s1 + s1 + s1 + s1 + s2, 23},
        {{4, 2, 7}, "", Strings{s1[0], s1[4], s1[0], s1[4], s1[0], s1[4], s1[0], s1[4], s2[2]}, 9},
        {all, "CALL:MODulation:FORMAT:MANUAL:BURST1 GMSK", {s1[0]}, 23},
        {{0, 5, 6, 7}, "SETup:PFERror:COUNt:NUMBer 1", Strings(4, s1[1]) + Strings{s2[0]}, 7}};
    for (const auto& c : cases) {
        FormFixture f;
        f.settings.preset = testrun::PresetChoice{std::vector{2}, c.tests, std::nullopt};
        if (!c.rejected.empty()) f.fake.errorAfter(c.rejected);
        f.prepared().runTest();
        const Strings& status = f.ui.labels[testrun::FormLabel::TestStatus];
        const auto first =
            std::find(status.begin(), status.end(), "Finding power thresholds for PGSM");
        ASSERT_NE(first, status.end());
        EXPECT_EQ(Strings(first + 1, status.end() - 1), c.steps);
        // 0 after preparation and at the start, +1 per step, back to 0 at the end.
        std::vector<std::pair<int, int>> progress = {{0, 0}, {0, c.planned}};
        for (int v = 1; v <= static_cast<int>(c.steps.size()); ++v)
            progress.emplace_back(v, c.planned);
        progress.emplace_back(0, c.planned);
        EXPECT_EQ(f.ui.progress, progress);
    }
}

TEST(TestOptions, LoadsWithOnlyCalibrateSourceAndRunTestClampsTheIterations) {
    instrument::ProgramValues program;
    testrun::TestOptions options(program);
    for (std::int16_t i = -1; i <= testrun::TestOptions::kTests; ++i) {
        EXPECT_EQ(options.getBand(i) || options.getTest(i),
                  i == testrun::TestOptions::kCalibrateSource)
            << i;
    }
    options.setBand(1, true);
    options.setTest(4, true);
    for (const auto& [slider, iterations] : {std::pair{0, 1}, {250, 100}, {37, 37}}) {
        options.setSliderValue(slider);
        options.runTestPressed();
        EXPECT_EQ(options.progressSteps(), 4);  // once per configuration
        EXPECT_EQ(program.measurementIterations, iterations);
    }
}

}  // namespace
}  // namespace quillon::testing
