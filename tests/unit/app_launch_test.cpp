// SPDX-License-Identifier: MIT
// The decisions main makes before a front-end starts: which front-end, which VISA library,
// what the run is told, how pauses are scaled.

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "app/launch.h"

namespace quillon::app {
namespace {

EnvironmentLookup fakeEnvironment(std::map<std::string, std::string> values) {
    return [values = std::move(values)](const char* name) -> const char* {
        const auto found = values.find(name);
        return found == values.end() ? nullptr : found->second.c_str();
    };
}

#ifndef _WIN32
struct FrontEndCase {
    bool consoleOption;
    std::map<std::string, std::string> environment;
    bool console;
};

class FrontEndChoice : public ::testing::TestWithParam<FrontEndCase> {};

TEST_P(FrontEndChoice, ConsoleWhenAskedOrWithoutDisplay) {
    CommandLine line;
    line.console = GetParam().consoleOption;
    EXPECT_EQ(wantsConsole(line, fakeEnvironment(GetParam().environment)), GetParam().console);
}

INSTANTIATE_TEST_SUITE_P(
    Linux, FrontEndChoice,
    ::testing::Values(FrontEndCase{false, {}, true},
                      FrontEndCase{false, {{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}}, true},
                      FrontEndCase{false, {{"DISPLAY", ":0"}}, false},
                      FrontEndCase{false, {{"WAYLAND_DISPLAY", "wayland-0"}}, false},
                      FrontEndCase{false, {{"QT_QPA_PLATFORM", "offscreen"}}, false},
                      FrontEndCase{true, {{"DISPLAY", ":0"}}, true}, FrontEndCase{true, {}, true}));
#endif

struct ScaleCase {
    std::map<std::string, std::string> environment;
    std::optional<double> scale;
};

class PauseScale : public ::testing::TestWithParam<ScaleCase> {};

TEST_P(PauseScale, ReadsOnlyPlainNonNegativeNumbers) {
    EXPECT_EQ(pauseScale(fakeEnvironment(GetParam().environment)), GetParam().scale);
}

INSTANTIATE_TEST_SUITE_P(
    Values, PauseScale,
    ::testing::Values(ScaleCase{{}, 1.0}, ScaleCase{{{"QUILLON_PAUSE_SCALE", "0"}}, 0.0},
                      ScaleCase{{{"QUILLON_PAUSE_SCALE", "0.01"}}, 0.01},
                      ScaleCase{{{"QUILLON_PAUSE_SCALE", "2.5"}}, 2.5},
                      ScaleCase{{{"QUILLON_PAUSE_SCALE", ""}}, std::nullopt},
                      ScaleCase{{{"QUILLON_PAUSE_SCALE", "-1"}}, std::nullopt},
                      ScaleCase{{{"QUILLON_PAUSE_SCALE", "fast"}}, std::nullopt},
                      ScaleCase{{{"QUILLON_PAUSE_SCALE", "0.5x"}}, std::nullopt},
                      ScaleCase{{{"QUILLON_PAUSE_SCALE", "inf"}}, std::nullopt},
                      ScaleCase{{{"QUILLON_PAUSE_SCALE", "nan"}}, std::nullopt}));

TEST(VisaLibraryChoice, SimulatedLibraryComesFromTheProgramFolder) {
    CommandLine line;
    line.sim = true;
    EXPECT_EQ(visaLibraryPath(line, "/opt/quillon"), simulatedLibraryPath("/opt/quillon"));
#ifndef _WIN32
    EXPECT_EQ(simulatedLibraryPath("/opt/quillon"), "/opt/quillon/libquillon-sim-visa.so");
#endif
}

TEST(VisaLibraryChoice, NamedLibraryOrThePlatformsOwn) {
    CommandLine line;
    EXPECT_EQ(visaLibraryPath(line, "/opt/quillon"), "");
    line.visaLibrary = "/usr/lib/libvisa.so";
    EXPECT_EQ(visaLibraryPath(line, "/opt/quillon"), "/usr/lib/libvisa.so");
}

TEST(RunSettingsFromCommandLine, NoPresetWithoutBandsTestsOrIterations) {
    CommandLine line;
    const testrun::RunSettings settings = runSettingsFor(line, "/opt/quillon");
    EXPECT_FALSE(settings.acceptWizard);
    EXPECT_FALSE(settings.preset.has_value());
    EXPECT_EQ(settings.calibrationDirectory, "/opt/quillon");
}

TEST(RunSettingsFromCommandLine, EachListAloneMakesAPreset) {
    CommandLine line;
    line.acceptWizard = true;
    line.iterations = 7;
    line.calibrationDirectory = "/cal";
    const testrun::RunSettings settings = runSettingsFor(line, "/opt/quillon");
    EXPECT_TRUE(settings.acceptWizard);
    ASSERT_TRUE(settings.preset.has_value());
    EXPECT_FALSE(settings.preset->bands.has_value());
    EXPECT_FALSE(settings.preset->tests.has_value());
    EXPECT_EQ(settings.preset->iterations, 7);
    EXPECT_EQ(settings.calibrationDirectory, "/cal");

    line.iterations.reset();
    line.tests = std::vector<int>{5};
    EXPECT_EQ(runSettingsFor(line, "").preset->tests, std::vector<int>{5});
}

}  // namespace
}  // namespace quillon::app
