// SPDX-License-Identifier: MIT
// The real program on the console against the simulated test set: refusals, runs, --save.

#include <gtest/gtest.h>

#ifndef _WIN32

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include "app/instance_lock.h"
#include "private_temp.h"

namespace quillon::integration {
namespace {

constexpr auto npos = std::string::npos;
const std::string kNoTestSet =
    "No 4750 detected: No 4750 detected\n\nThis program could not detect an 4750 connected to "
    "this host.\nPlease ensure you have a powered-up, connected 4750 and run this program again.\n";
const std::string kRunError =
    "Quillon: Error running tests.  Please check 4750 screen and try again\n";

struct ChildResult {
    int exitCode = -1;
    std::string out, err;
    std::string describe() const { return std::to_string(exitCode) + ":\n" + out + err; }
};

std::string tempPath(const std::string& stem) {
    static int counter = 0;
    return testing::privateTempPath(stem + "-" + std::to_string(counter++));
}

std::string readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

const std::string kProfiles = " --sim-profile " QUILLON_BIN_DIR "/sim-profiles/";

// Runs the program with `args` as shell words (our paths hold no blanks), pauses off, its own
// instance lock unless one is given and `input` as standard input. `timeout` kills a hung run,
// so that the test fails instead of blocking.
ChildResult runQuillon(const std::string& args, const std::string& input = {},
                       const std::string& lock = {}) {
    const std::string in = tempPath("in"), out = tempPath("out"), err = tempPath("err");
    const std::string ownLock = lock.empty() ? tempPath("lock") : lock;
    std::ofstream(in, std::ios::binary) << input;
    const int status = std::system(
        ("env -u QUILLON_SIM_PROFILE QUILLON_PAUSE_SCALE=0 QUILLON_INSTANCE_LOCK=" + ownLock +
         " timeout -s KILL 300 " QUILLON_BIN_DIR "/quillon " + args + " <" + in + " >" + out +
         " 2>" + err)
            .c_str());
    ChildResult result{WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(out), readFile(err)};
    for (const std::string& path : {in, out, err}) std::remove(path.c_str());
    if (lock.empty()) std::remove(ownLock.c_str());
    return result;
}

int countOf(const std::string& text, const std::string& part) {
    int count = 0;
    for (auto at = text.find(part); at != npos; at = text.find(part, at + 1)) ++count;
    return count;
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
        const ChildResult result = runQuillon("--console --yes " + args);
        EXPECT_EQ(result.exitCode, 3) << result.describe();
        EXPECT_EQ(result.out, expected);
    }
}

TEST(Startup, UnusableLibraryGivesThePlatformsReason) {
    const std::string notALibrary = tempPath("libvisa.so");
    std::ofstream(notALibrary) << "plain text, not a shared library\n";
    const ChildResult result = runQuillon("--console --visa-library " + notALibrary);
    std::remove(notALibrary.c_str());
    EXPECT_EQ(result.exitCode, 3) << result.describe();
    EXPECT_TRUE(result.out.starts_with(
        "Looking for 4750s\nNotification: The following GPIB error occurred:  /"))
        << result.out;
    EXPECT_LT(result.out.find(notALibrary), result.out.find("\nFound 0 4750s\n" + kNoTestSet));
}

TEST(Startup, SecondInstanceIsRefused) {
    const std::string lockPath = tempPath("held.lock");
    const app::InstanceLock holder(lockPath);
    const ChildResult refused = runQuillon("--console --sim --yes", {}, lockPath);
    EXPECT_EQ(refused.exitCode, 3) << refused.describe();
    EXPECT_EQ(refused.out, "Already running: This program is already running.\n");
    std::remove(lockPath.c_str());
}

TEST(StartupRun, DefaultFiveBandRunPassesAndSavesEveryRow) {
    const std::string path = tempPath("results.csv");
    const ChildResult result = runQuillon("--console --sim --yes --save " + path);
    const std::string file = readFile(path);
    std::remove(path.c_str());
    ASSERT_EQ(result.exitCode, 0) << result.describe();
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
    for (const Case& run : cases) {
        const std::string path = tempPath("results.csv");
        const ChildResult result =
            runQuillon("--console --save " + path + " " + run.args, run.input);
        const std::string file = readFile(path);
        std::remove(path.c_str());
        EXPECT_EQ(result.exitCode, run.exitCode) << result.describe();
        EXPECT_NE((result.out + result.err).find(run.outPart), npos) << result.describe();
        EXPECT_EQ(result.out.find(kRunError) != npos, run.exitCode == 2) << result.out;
        EXPECT_EQ(countOf(file, "\r\n"), run.fileLines) << file;
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

// The number of the first trace line holding part, after line `after`.
std::size_t lineOf(const std::string& text, const std::string& part, std::size_t after = 0) {
    std::size_t number = 1;
    for (std::size_t at = 0; at < text.size(); at = text.find('\n', at) + 1, ++number) {
        if (number > after && text.compare(at, text.find('\n', at) - at, "") != 0 &&
            text.substr(at, text.find('\n', at) - at).find(part) != npos) {
            return number;
        }
        if (text.find('\n', at) == npos) break;
    }
    return 0;
}

TEST(StartupRun, AReplayedTraceGivesTheSameRunAndNamesWhereTheTrafficDeparts) {
    const std::string trace = tempPath("trace"), first = tempPath("a"), second = tempPath("b");
    const ChildResult recorded = runQuillon(
        "--console --sim --yes --tests 0 --bands PGSM --trace " + trace + " --save " + first);
    const ChildResult replayed = runQuillon("--console --yes --tests 0 --bands PGSM --sim-replay " +
                                            trace + " --save " + second);
    EXPECT_EQ(recorded.exitCode, 0) << recorded.describe();
    EXPECT_EQ(replayed.exitCode, recorded.exitCode) << replayed.describe();
    EXPECT_EQ(withoutStartTime(readFile(second)), withoutStartTime(readFile(first)));
    EXPECT_EQ(replayed.err, "");

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
        const ChildResult run =
            runQuillon("--console --yes --tests 0 --bands PGSM --sim-replay " + edited);
        EXPECT_EQ(run.exitCode, 2) << run.describe();
        const std::string where = "at line " + std::to_string(e.reportedLine) + "\n";
        EXPECT_NE(run.err.find(where), npos) << run.err;
        EXPECT_NE(run.err.find("expected: viVPrintf"), npos) << run.err;
        EXPECT_NE(run.err.find(e.expected), npos) << run.err;
        EXPECT_NE(run.err.find("actual:   viVPrintf"), npos) << run.err;
        EXPECT_NE(run.err.find(e.actual), npos) << run.err;
        EXPECT_EQ(countOf(run.err, "departs"), 1);
        std::remove(edited.c_str());
    }
    for (const std::string& path : {trace, first, second}) std::remove(path.c_str());
}

}  // namespace
}  // namespace quillon::integration

#endif
