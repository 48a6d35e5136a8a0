// SPDX-License-Identifier: MIT
// The real program on the console, refusing to start: no or several test sets, an unsupported
// test application, a missing or unusable VISA library, a second instance, a bad command line.

#include <gtest/gtest.h>

#ifndef _WIN32

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "app/instance_lock.h"
#include "startup_child.h"

namespace quillon::integration {
namespace {

constexpr int kRefused = 3;

const std::string kNoTestSet =
    "No 4750 detected: No 4750 detected\n"
    "\n"
    "This program could not detect an 4750 connected to this host.\n"
    "Please ensure you have a powered-up, connected 4750 and run this program again.\n";

struct RefusalCase {
    const char* name;
    std::vector<std::string> args;
    std::string expectedOut;
};

class StartupRefusal : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(StartupRefusal, PrintsTheMessagesAndEndsWithCode3) {
    ChildRun run;
    run.args = GetParam().args;
    run.args.push_back("--console");
    run.args.push_back("--yes");
    const std::string saveFile = uniqueTempPath("refused.csv");
    run.args.insert(run.args.end(), {"--save", saveFile});
    const ChildResult result = runQuillon(run);
    EXPECT_EQ(result.exitCode, kRefused) << result.describe();
    EXPECT_EQ(result.out, GetParam().expectedOut) << result.describe();
    EXPECT_FALSE(std::ifstream(saveFile).good()) << "a refused start saves nothing";
}

INSTANTIATE_TEST_SUITE_P(
    Profiles, StartupRefusal,
    ::testing::Values(
        RefusalCase{"NoTestSet",
                    {"--sim-profile", profilePath("no-test-set")},
                    "Looking for 4750s\nFound 0 4750s\n" + kNoTestSet},
        RefusalCase{"TwoTestSets",
                    {"--sim-profile", profilePath("two-test-sets")},
                    "Looking for 4750s\n"
                    "Found 2 4750s\n"
                    "Multiple connected 4750s detected: More than one 4750 is connected to this "
                    "host\n"
                    "\n"
                    "This program can only work with one 4750 connected to the host at a time.\n"
                    "Please disconnect all 4750s except the one on which you want to run source "
                    "verification\n"
                    "and run this program again.\n"},
        RefusalCase{"UnsupportedApplication",
                    {"--sim-profile", profilePath("unsupported-application")},
                    "Looking for 4750s\n"
                    "Found 1 4750s\n"
                    "Wrong TA/LA revision: This test can only be run on an instrument running \n"
                    "the K2210 TA,K2230 TA, or K3310 LA\n"
                    "\n"
                    "Please switch to one of these applications and run this test again\n"},
        RefusalCase{"MissingLibrary",
                    {"--visa-library", "/nonexistent/libvisa.so"},
                    "Looking for 4750s\n"
                    "Notification: No software for GPIB seems to be installed. Specifically, the "
                    "correct Visa32.dll is not installed.\n"
                    "Found 0 4750s\n" +
                        kNoTestSet}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST(StartupRefusalLibrary, UnusableLibraryGivesThePlatformsReason) {
    const std::string notALibrary = uniqueTempPath("libvisa.so");
    std::ofstream(notALibrary) << "plain text, not a shared library\n";
    const ChildResult result =
        runQuillon({{"--console", "--visa-library", notALibrary}, {}, {}, {}});
    std::remove(notALibrary.c_str());
    EXPECT_EQ(result.exitCode, kRefused) << result.describe();
    const std::vector<std::string> lines = linesOf(result.out);
    ASSERT_GE(lines.size(), 3u) << result.describe();
    EXPECT_EQ(lines[0], "Looking for 4750s");
    const std::string prefix = "Notification: The following GPIB error occurred:  ";
    EXPECT_EQ(lines[1].substr(0, prefix.size()), prefix);
    EXPECT_GT(lines[1].size(), prefix.size()) << "the reason follows the two blanks";
    EXPECT_NE(lines[1].find(notALibrary), std::string::npos) << lines[1];
    EXPECT_EQ(lines[2], "Found 0 4750s");
    EXPECT_NE(result.out.find(kNoTestSet), std::string::npos);
}

TEST(StartupRefusalInstance, SecondInstanceIsRefusedWhileTheLockIsHeld) {
    const std::string lockPath = uniqueTempPath("held.lock");
    app::InstanceLock holder(lockPath);
    ASSERT_TRUE(holder.held());
    ChildRun run{{"--console", "--sim", "--yes"}, {}, {}, lockPath};
    const ChildResult refused = runQuillon(run);
    EXPECT_EQ(refused.exitCode, kRefused) << refused.describe();
    EXPECT_EQ(refused.out, "Already running: This program is already running.\n");

    // The refused instance left the holder's lock alone, and once it is released the
    // program starts: here it gets as far as the bus search on an empty bus.
    EXPECT_FALSE(app::InstanceLock(lockPath).held());
    holder = app::InstanceLock();
    run.args = {"--console", "--sim-profile", profilePath("no-test-set")};
    const ChildResult started = runQuillon(run);
    EXPECT_EQ(started.out.rfind("Looking for 4750s\n", 0), 0u) << started.describe();
    std::remove(lockPath.c_str());
}

struct BadCommandLine {
    std::vector<std::string> args;
    std::string messagePart;
};

class StartupCommandLine : public ::testing::TestWithParam<BadCommandLine> {};

TEST_P(StartupCommandLine, BadInputEndsWithCode64AndSaysWhy) {
    const ChildResult result = runQuillon({GetParam().args, {}, {}, {}});
    EXPECT_EQ(result.exitCode, 64) << result.describe();
    EXPECT_EQ(result.out, "") << "nothing starts";
    EXPECT_EQ(result.err.rfind("quillon: ", 0), 0u) << result.err;
    EXPECT_NE(result.err.find(GetParam().messagePart), std::string::npos) << result.err;
}

INSTANTIATE_TEST_SUITE_P(
    BadInput, StartupCommandLine,
    ::testing::Values(BadCommandLine{{"--console", "--frobnicate"},
                                     "unknown option '--frobnicate'"},
                      BadCommandLine{{"--console", "--save"}, "--save needs a value"},
                      BadCommandLine{{"--console", "--bands", ""}, "the band list is empty"},
                      BadCommandLine{{"--console", "--bands", "EGSM"}, "unknown band 'EGSM'"},
                      BadCommandLine{{"--console", "--tests", "9"}, "unknown test '9'"},
                      BadCommandLine{{"--console", "--iterations", "101"}, "from 1 to 100"},
                      BadCommandLine{{"--console", "--iterations", "ten"}, "'ten' is not"},
                      BadCommandLine{{"--sim", "--visa-library", "/x.so"},
                                     "cannot be combined with --visa-library"}));

TEST(StartupHelp, DocumentsTheCommandLineAndExitsCleanly) {
    const ChildResult result = runQuillon({{"--help"}, {}, {}, {}});
    EXPECT_EQ(result.exitCode, 0) << result.describe();
    EXPECT_EQ(result.out.rfind("Usage: quillon [OPTION]...\n", 0), 0u) << result.out;
    EXPECT_EQ(result.err, "");
}

}  // namespace
}  // namespace quillon::integration

#endif
