// SPDX-License-Identifier: MIT
// The real program on the console against the simulated test set: refusals, runs, --save.

#include <gtest/gtest.h>

#ifndef _WIN32

#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "app/instance_lock.h"
#include "console_launch.h"

namespace quillon::integration {
namespace {

const std::string kNoTestSet =
    "No 4750 detected: No 4750 detected\n\nThis program could not detect an 4750 connected to "
    "this host.\nPlease ensure you have a powered-up, connected 4750 and run this program again.\n";
const std::string kRunError =
    "Quillon: Error running tests.  Please check 4750 screen and try again\n";
const std::string kProfiles = "--sim-profile " QUILLON_BIN_DIR "/sim-profiles/";

std::string tempPath(const std::string& stem) {
    static int counter = 0;
    return privateTempPath(stem + "-" + std::to_string(counter++));
}

// quillon --console with args as blank-separated words (our paths hold none) and input.
Ended runQuillon(const std::string& args, const std::string& input = {}) {
    Launch launch;
    std::istringstream words(args);
    for (std::string word; words >> word;) launch.args.push_back(word);
    launch.input = input;
    return run(launch);
}

TEST(Startup, EachShippedRefusalPrintsItsMessagesAndEndsWithCode3) {
    const std::string looking = "Looking for 4750s\n";
    const std::pair<std::string, std::string> cases[] = {
        {kProfiles + "no-test-set.toml", looking + "Found 0 4750s\n" + kNoTestSet},
        {kProfiles + "two-test-sets.toml",
         looking + "Found 2 4750s\nMultiple connected 4750s detected: More than one 4750 is "
                   "connected to this host\n\nThis program can only work with one 4750 connected "
                   "to the host at a time.\nPlease disconnect all 4750s except the one on which "
                   "you want to run source verification\nand run this program again.\n"},
        {kProfiles + "unsupported-application.toml",
         looking + "Found 1 4750s\nWrong TA/LA revision: This test can only be run on an "
                   "instrument running \nthe K2210 TA,K2230 TA, or K3310 LA\n\nPlease switch to "
                   "one of these applications and run this test again\n"},
        {"--visa-library /nonexistent/libvisa.so",
         looking +
             "Notification: No software for GPIB seems to be installed. Specifically, the "
             "correct Visa32.dll is not installed.\nFound 0 4750s\n" +
             kNoTestSet}};
    for (const auto& [args, expected] : cases) {
        const Ended result = runQuillon("--yes " + args);
        EXPECT_EQ(result.exitCode, 3) << result.out;
        EXPECT_EQ(result.out, expected);
    }
}

TEST(Startup, UnusableLibraryGivesThePlatformsReason) {
    const std::string notALibrary = tempPath("libvisa.so");
    std::ofstream(notALibrary) << "plain text, not a shared library\n";
    const Ended result = runQuillon("--visa-library " + notALibrary);
    EXPECT_EQ(result.exitCode, 3) << result.out;
    EXPECT_TRUE(result.out.starts_with(
        "Looking for 4750s\nNotification: The following GPIB error occurred:  /"))
        << result.out;
    EXPECT_LT(result.out.find(notALibrary), result.out.find("\nFound 0 4750s\n" + kNoTestSet));
}

TEST(Startup, SecondInstanceIsRefused) {
    const std::string lockPath = tempPath("held.lock");
    const app::InstanceLock holder(lockPath);
    Launch second;
    second.args = {"--sim", "--yes"};
    second.environment = {"QUILLON_INSTANCE_LOCK=" + lockPath};
    const Ended refused = run(second);
    EXPECT_EQ(refused.exitCode, 3) << refused.out;
    EXPECT_EQ(refused.out, "Already running: This program is already running.\n");
}

TEST(StartupRun, DefaultFiveBandRunPassesAndSavesEveryRow) {
    const std::string path = tempPath("results.csv");
    const Ended result = runQuillon("--sim --yes --save " + path);
    const std::string file = readFile(path);
    ASSERT_EQ(result.exitCode, 0) << result.out;
    EXPECT_NE(result.out.find("Progress: 115/115\n"), npos) << result.out;
    EXPECT_NE(result.out.find("\nTest Complete\nVerdict: Pass\n"), npos) << result.out;
    // Header, information, empty, then 5 bands x 14 result rows, each line ending with CR LF.
    EXPECT_TRUE(
        file.starts_with("Frequency   , Source  , Test                      , Value     "
                         ", Lo Lim   , Hi Lim   , Unit  ,       Result\r\n"));
    EXPECT_EQ(countOf(file, "\n"), 73);
    EXPECT_EQ(countOf(file, "\r\n"), 73);
    EXPECT_EQ(countOf(file, ", Pass\r\n"), 71);  // the information row carries the verdict
}

// Only runs that reach their end (0, 1, 2) save, and the rows measured before an error stay;
// a file that cannot be written is reported and ends the run with 5. A bad command line: 64.
TEST(StartupRun, ExitCodesAndSaving) {
    struct Case {
        std::string args, input;
        int exitCode;
        std::string outPart;
        int fileLines;  // 0: nothing saved
    };
    const Case cases[] = {
        {"--sim", "", 4, "Setup Wizard - Step 1 of 3\nStep 1 - Connections\n", 0},
        {"--sim", "\n\no\nb pcs\nt 5\ni 3\n\n", 0, "Choose test options\n", 6},
        {kProfiles + "failing-result.toml --yes --bands 3 --tests 0", "", 1, "Verdict: Fail\n", 6},
        {kProfiles + "mid-band-error.toml --yes --bands 0,1 --tests 5", "", 2, "Verdict: Fail\n",
         6},
        {kProfiles + "no-test-set.toml --yes", "", 3, "Found 0 4750s\n", 0},
        {"--sim --version", "", 0, "Quillon 65.2.1 (A.02.01)\n", 0},
        {"--sim --bands EGSM", "", 64, "quillon: --bands: unknown band 'EGSM' (use GSM450", 0},
        {"--sim --yes --bands 0 --tests 7 --save /nonexistent/r.csv", "", 5,
         "results not saved to /nonexistent/r.csv", 0}};
    for (const Case& c : cases) {
        const std::string path = tempPath("results.csv");
        const Ended result = runQuillon("--save " + path + " " + c.args, c.input);
        const std::string file = readFile(path);
        EXPECT_EQ(result.exitCode, c.exitCode) << result.out;
        EXPECT_NE(result.out.find(c.outPart), npos) << result.out;
        EXPECT_EQ(result.out.find(kRunError) != npos, c.exitCode == 2) << result.out;
        EXPECT_EQ(countOf(file, "\r\n"), c.fileLines) << file;
    }
}

// The results file without its second line, the one that holds the start time.
std::string withoutStartTime(const std::string& text) {
    const std::size_t first = text.find('\n');
    const std::size_t second = first == npos ? npos : text.find('\n', first + 1);
    return second == npos ? text : text.substr(0, first + 1) + text.substr(second + 1);
}

// The trace with line `number` (from 1) changed by edit.
void editLine(const std::string& from, const std::string& to, std::size_t number,
              const std::function<std::string(std::string)>& edit) {
    std::ifstream in(from);
    std::ofstream out(to);
    std::string line;
    for (std::size_t at = 1; std::getline(in, line); ++at)
        out << (at == number ? edit(line) : line) << '\n';
}

// The number (from 1) of the first trace line holding part; 0 if none does.
std::size_t lineOf(const std::string& text, const std::string& part) {
    std::istringstream lines(text);
    std::size_t number = 1;
    for (std::string line; std::getline(lines, line); ++number)
        if (line.find(part) != npos) return number;
    return 0;
}

TEST(StartupRun, AReplayedTraceGivesTheSameRunAndNamesWhereTheTrafficDeparts) {
    const std::string trace = tempPath("trace"), first = tempPath("a"), second = tempPath("b");
    const Ended recorded =
        runQuillon("--sim --yes --tests 0 --bands PGSM --trace " + trace + " --save " + first);
    const Ended replayed =
        runQuillon("--yes --tests 0 --bands PGSM --sim-replay " + trace + " --save " + second);
    EXPECT_EQ(recorded.exitCode, 0) << recorded.out;
    EXPECT_EQ(replayed.exitCode, recorded.exitCode) << replayed.out;
    EXPECT_EQ(withoutStartTime(readFile(second)), withoutStartTime(readFile(first)));
    EXPECT_EQ(countOf(replayed.out, "departs"), 0) << replayed.out;

    const std::string text = readFile(trace);
    // A measurement reported not yet done: the program asks again where the recording fetches.
    const std::size_t done = lineOf(text, "reply=\"PFER\\n\"");
    ASSERT_GT(done, 0u);
    // A command the recording holds in another spelling: reported at its own line.
    const std::size_t band = lineOf(text, "write=\"CALL:CELL:BAND PGSM\\n\"");
    ASSERT_GT(band, 0u);
    struct Edit {
        std::size_t line, reportedLine;
        std::string from, to, expected, actual;
    };
    const Edit edits[] = {{done, done + 1, "reply=\"PFER\\n\"", "reply=\"NONE\\n\"",
                           "write=\"FETCh:PFERror", "write=\"INIT:DONE?\\n\""},
                          {band, band, "CALL:CELL:BAND PGSM", "CALL:CELL:BAND DCS",
                           "write=\"CALL:CELL:BAND DCS\\n\"", "write=\"CALL:CELL:BAND PGSM\\n\""}};
    for (const Edit& e : edits) {
        SCOPED_TRACE(e.to);
        const std::string edited = tempPath("edited");
        editLine(trace, edited, e.line, [&](std::string line) {
            return line.replace(line.find(e.from), e.from.size(), e.to);
        });
        const Ended replay = runQuillon("--yes --tests 0 --bands PGSM --sim-replay " + edited);
        EXPECT_EQ(replay.exitCode, 2) << replay.out;
        const std::string where = "at line " + std::to_string(e.reportedLine) + "\n";
        EXPECT_NE(replay.out.find(where), npos) << replay.out;
        EXPECT_NE(replay.out.find("expected: viVPrintf"), npos) << replay.out;
        EXPECT_NE(replay.out.find(e.expected), npos) << replay.out;
        EXPECT_NE(replay.out.find("actual:   viVPrintf"), npos) << replay.out;
        EXPECT_NE(replay.out.find(e.actual), npos) << replay.out;
        EXPECT_EQ(countOf(replay.out, "departs"), 1);
    }
}

}  // namespace
}  // namespace quillon::integration

#endif
