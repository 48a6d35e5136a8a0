// SPDX-License-Identifier: MIT
// The real program on the console against the simulated test set: refusals, runs, --save,
// replay, and outputs that fail or a signal that comes during a run.

#include <gtest/gtest.h>

#ifndef _WIN32

#include <dlfcn.h>
#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

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
const std::string kLooking = "Looking for 4750s\n";

// The platform's own reason for not loading path as a library.
std::string loaderReason(const std::string& path) {
    if (::dlopen(path.c_str(), RTLD_NOW) != nullptr) return "loaded";
    return ::dlerror();
}

// Every run saves to a file of its own: only runs that reach their end (0, 1, 2) save, and the
// rows measured before an error stay; a file that cannot be written is reported and ends the run
// with 5. Refusals end with 3 before the search or after it, a bad command line with 64.
TEST(Startup, MessagesExitCodesAndSaving) {
    const std::string held = freshTempPath("held.lock");
    const app::InstanceLock holder(held);
    const std::string open = freshTempPath("open-folder");
    std::filesystem::create_directory(open);
    ::chmod(open.c_str(), 0777);
    const std::string notALibrary = freshTempPath("libvisa.so");
    std::ofstream(notALibrary) << "plain text, not a shared library\n";
    struct Case {
        std::string args;
        int exitCode;
        std::string out;  // the whole output when whole, otherwise a part of it
        bool whole;
        int fileLines;          // 0: nothing saved
        std::string lock = {};  // the instance lock, when not the test's own
        std::string input = {};
    };
    const Case cases[] = {
        {"--yes " + kProfiles + "no-test-set.toml", 3, kLooking + "Found 0 4750s\n" + kNoTestSet,
         true, 0},
        {"--yes " + kProfiles + "two-test-sets.toml", 3,
         kLooking + "Found 2 4750s\nMultiple connected 4750s detected: More than one 4750 is "
                    "connected to this host\n\nThis program can only work with one 4750 connected "
                    "to the host at a time.\nPlease disconnect all 4750s except the one on which "
                    "you want to run source verification\nand run this program again.\n",
         true, 0},
        {"--yes " + kProfiles + "unsupported-application.toml", 3,
         kLooking + "Found 1 4750s\nWrong TA/LA revision: This test can only be run on an "
                    "instrument running \nthe K2210 TA,K2230 TA, or K3310 LA\n\nPlease switch to "
                    "one of these applications and run this test again\n",
         true, 0},
        {"--yes --visa-library /nonexistent/libvisa.so", 3,
         kLooking +
             "Notification: No software for GPIB seems to be installed. Specifically, the "
             "correct Visa32.dll is not installed.\nFound 0 4750s\n" +
             kNoTestSet,
         true, 0},
        {"--visa-library " + notALibrary, 3,
         kLooking + "Notification: The following GPIB error occurred:  " +
             loaderReason(notALibrary) + "\nFound 0 4750s\n" + kNoTestSet,
         true, 0},
        {"--sim --yes", 3, "Already running: This program is already running.\n", true, 0, held},
        {"--sim --yes", 3,
         "Instance lock refused: cannot trust the instance lock " + open +
             "/q.lock: other users can write to its folder " + open + "\n",
         true, 0, open + "/q.lock"},
        {"--sim --yes", 0, "Progress: 115/115\n", false, 73},
        {"--sim", 4, "Setup Wizard - Step 1 of 3\nStep 1 - Connections\n", false, 0},
        {"--sim", 0, "Choose test options\n", false, 6, "", "\n\no\nb pcs\nt 5\ni 3\n\n"},
        {kProfiles + "failing-result.toml --yes --bands 3 --tests 0", 1, "Verdict: Fail\n", false,
         6},
        {kProfiles + "mid-band-error.toml --yes --bands 0,1 --tests 5", 2, "Verdict: Fail\n", false,
         6},
        {"--sim --version", 0, "Quillon 65.2.1 (A.02.01)\n", true, 0},
        {"--sim --bands EGSM", 64, "quillon: --bands: unknown band 'EGSM' (use GSM450", false, 0},
        {"--sim --yes --bands 0 --tests 7 --save /nonexistent/r.csv", 5,
         "results not saved to /nonexistent/r.csv", false, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const std::string path = freshTempPath("results.csv");
        std::vector<std::string> environment;
        if (!c.lock.empty()) environment.push_back("QUILLON_INSTANCE_LOCK=" + c.lock);
        const Ended result = runConsole("--save " + path + " " + c.args, environment, c.input);
        const std::string file = readFile(path);
        EXPECT_EQ(result.exitCode, c.exitCode) << result.out;
        if (c.whole) {
            EXPECT_EQ(result.out, c.out);
        } else {
            EXPECT_NE(result.out.find(c.out), npos) << result.out;
        }
        EXPECT_EQ(result.out.find(kRunError) != npos, c.exitCode == 2) << result.out;
        // Each line ends with CR LF.
        EXPECT_EQ(countOf(file, "\r\n"), c.fileLines) << file;
        EXPECT_EQ(countOf(file, "\n"), c.fileLines) << file;
    }
}

// The results file without its second line, the one that holds the start time.
std::string withoutStartTime(const std::string& text) {
    const std::size_t first = text.find('\n');
    const std::size_t second = first == npos ? npos : text.find('\n', first + 1);
    return second == npos ? text : text.substr(0, first + 1) + text.substr(second + 1);
}

TEST(ConsoleReplay, AReplayedTraceGivesTheSameRunAndNamesWhereTheTrafficDeparts) {
    const std::string trace = freshTempPath("trace"), first = freshTempPath("a"),
                      second = freshTempPath("b");
    const std::string oneBand = "--yes --tests 0 --bands PGSM ";
    const Ended recorded = runConsole("--sim " + oneBand + "--trace " + trace + " --save " + first);
    const Ended replayed = runConsole(oneBand + "--sim-replay " + trace + " --save " + second);
    EXPECT_EQ(recorded.exitCode, 0) << recorded.out;
    EXPECT_EQ(replayed.exitCode, recorded.exitCode) << replayed.out;
    EXPECT_EQ(withoutStartTime(readFile(second)), withoutStartTime(readFile(first)));
    EXPECT_EQ(countOf(replayed.out, "departs"), 0) << replayed.out;

    // A measurement reported not yet done: the program asks again where the recording fetches,
    // reported at the next line. A command in another spelling: reported at its own line.
    struct Edit {
        std::string from, to;
        long laterLines;
        std::string expected, actual;
    };
    const Edit edits[] = {{"reply=\"PFER\\n\"", "reply=\"NONE\\n\"", 1, "write=\"FETCh:PFERror",
                           "write=\"INIT:DONE?\\n\""},
                          {"CALL:CELL:BAND PGSM", "CALL:CELL:BAND DCS", 0,
                           "write=\"CALL:CELL:BAND DCS\\n\"", "write=\"CALL:CELL:BAND PGSM\\n\""}};
    for (const Edit& e : edits) {
        SCOPED_TRACE(e.to);
        std::string text = readFile(trace);
        const std::size_t at = text.find(e.from);  // edited at its first place
        ASSERT_NE(at, npos);
        const auto line = std::count(text.begin(), text.begin() + static_cast<long>(at), '\n') + 1;
        const std::string edited = freshTempPath("edited");
        std::ofstream(edited) << text.replace(at, e.from.size(), e.to);
        const Ended replay = runConsole(oneBand + "--sim-replay " + edited);
        EXPECT_EQ(replay.exitCode, 2) << replay.out;
        const std::string where = "at line " + std::to_string(line + e.laterLines) + "\n";
        for (const std::string& part : {where, std::string("expected: viVPrintf"), e.expected,
                                        std::string("actual:   viVPrintf"), e.actual}) {
            EXPECT_NE(replay.out.find(part), npos) << part << "\n" << replay.out;
        }
        EXPECT_EQ(countOf(replay.out, "departs"), 1);
    }
}

// Output nobody reads is dropped (as after "| head -1" has its line; the pipe is closed before
// the first line): the run goes on to its end, restores the test set and saves. A signal ends
// the run at once, like Exit in the windows, with 128 + the signal and nothing restored. A
// results file that cannot be written (a full disk) leaves the earlier file whole and ends with 5.
TEST(ConsoleFaults, AClosedPipeASignalOrAFullDisk) {
    const std::string kRestore = "W SYSTem:CORRection:STATe  1\n";
    struct Case {
        const char* what;
        int signal;
        bool outputClosed;
        rlim_t fileSizeLimit;
        int exitCode;
    };
    const Case cases[] = {{"closed pipe", 0, true, RLIM_INFINITY, 0},
                          {"SIGINT", SIGINT, false, RLIM_INFINITY, 130},
                          {"SIGTERM", SIGTERM, false, RLIM_INFINITY, 143},
                          {"SIGHUP", SIGHUP, false, RLIM_INFINITY, 129},
                          {"file-size limit", 0, false, 1024, 5}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string folder = freshTempPath("saves"), trace = freshTempPath("trace");
        std::filesystem::create_directory(folder);
        std::ofstream(folder + "/r.csv", std::ios::binary) << "earlier\r\n";
        Launch launch{.args = {"--sim", "--yes", "--bands", "0", "--save", folder + "/r.csv"},
                      .environment = {"QUILLON_SIM_TRACE=" + trace, "QUILLON_PAUSE_SCALE=1"},
                      .fileSizeLimit = c.fileSizeLimit,
                      .outputClosed = c.outputClosed,
                      .signalWhen = c.signal == 0 ? "" : "Current Test: ",
                      .signal = c.signal,
                      .input = {}};
        if (c.signal == 0) launch.environment.pop_back();  // pauses of no length
        const Ended ended = run(launch);
        EXPECT_EQ(ended.exitCode, c.exitCode) << ended.out;
        const std::string saved = readFile(folder + "/r.csv"), sent = readFile(trace);
        EXPECT_EQ(countOf(saved, "\r\n"), c.exitCode == 0 ? 3 + 14 : 1) << saved;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);
        if (c.signal != 0) {
            EXPECT_EQ(ended.out.find("Test Complete"), npos);
            EXPECT_NE(sent.find("W *rst\n"), npos);  // the run had begun
            EXPECT_EQ(sent.find(kRestore), npos);
        } else if (c.exitCode == 0) {
            EXPECT_TRUE(sent.ends_with(kRestore + "Q SYSTEM:ERR?\n")) << sent;
        } else {  // the limit cuts the trace too: only the output tells
            EXPECT_NE(ended.out.find("Verdict: Pass\n"), npos) << ended.out;
            EXPECT_NE(ended.out.find("results not saved to " + folder + "/r.csv"), npos);
        }
    }
}

}  // namespace
}  // namespace quillon::integration

#endif
