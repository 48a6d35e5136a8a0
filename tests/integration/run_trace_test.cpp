// SPDX-License-Identifier: MIT
// The real program on the simulated test set, read through the library's message trace: what
// a run sends first and last, and Ctrl+C.

#include <gtest/gtest.h>

#ifndef _WIN32

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace quillon::integration {
namespace {

using Lines = std::vector<std::string>;

const std::string kRestore = "W SYSTem:CORRection:STATe  1";

Lines traceLines(const std::string& path) {
    std::ifstream file(path);
    Lines lines;
    for (std::string line; std::getline(file, line);) lines.push_back(line);
    return lines;
}

// quillon on the console with args, the trace written to trace; pauses at their real length
// unless pauseScale says otherwise. Returns the child's process id.
pid_t startQuillon(const Lines& args, const std::string& trace, const char* pauseScale) {
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    const std::string lock = trace + ".lock";
    ::setenv("QUILLON_SIM_TRACE", trace.c_str(), 1);
    ::setenv("QUILLON_INSTANCE_LOCK", lock.c_str(), 1);
    ::setenv("QUILLON_PAUSE_SCALE", pauseScale, 1);
    ::unsetenv("QUILLON_SIM_PROFILE");
    if (std::freopen("/dev/null", "w", stdout) == nullptr) ::_exit(120);
    if (std::freopen("/dev/null", "r", stdin) == nullptr) ::_exit(120);
    std::vector<char*> argv{const_cast<char*>(QUILLON_BIN_DIR "/quillon")};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
}

int exitCodeOf(pid_t pid) {
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string tracePath(const std::string& stem) {
    const std::string path =
        ::testing::TempDir() + "quillon-trace-" + stem + "-" + std::to_string(::getpid());
    std::remove(path.c_str());
    return path;
}

std::string profile(const std::string& name) {
    return QUILLON_BIN_DIR "/sim-profiles/" + name;
}

// The run begins with the correction state saved and switched off, then the reset, and ends
// with the state restored, also after an instrument error.
TEST(RunTrace, FirstMessagesAndTheRestoreAsTheLast) {
    const struct {
        Lines args;
        int exitCode;
        Lines last;
    } cases[] = {
        {{"--sim", "--bands", "2", "--tests", "5"},
         0,
         {"W INIT:PFER:OFF", "Q SYSTEM:ERR?", kRestore, "Q SYSTEM:ERR?"}},
        {{"--sim-profile", profile("mid-band-error.toml"), "--bands", "0,1", "--tests", "5"},
         2,
         {"W CALL:CELL:BAND GSM850", "Q SYSTEM:ERR?", kRestore, "Q SYSTEM:ERR?"}},
    };
    for (const auto& c : cases) {
        const std::string trace = tracePath("ends");
        Lines args = {"--console", "--yes"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        EXPECT_EQ(exitCodeOf(startQuillon(args, trace, "0")), c.exitCode);
        const Lines lines = traceLines(trace);
        std::remove(trace.c_str());
        std::size_t start = 0;
        while (start < lines.size() && lines[start] != "Q SYSTem:CORRection:STATE?") ++start;
        ASSERT_LT(start + 6, lines.size());
        EXPECT_EQ(
            Lines(lines.begin() + static_cast<long>(start),
                  lines.begin() + static_cast<long>(start) + 6),
            (Lines{"Q SYSTem:CORRection:STATE?", "W SYSTem:CORRection:STATe 0", "Q SYSTEM:ERR?",
                   "W *rst", "W *cls", "Q PL13:CAL:DATA? 'tdma_bbgen_delay_setting1',0,0"}));
        ASSERT_GE(lines.size(), 4u);
        EXPECT_EQ(Lines(lines.end() - 4, lines.end()), c.last);
    }
}

// Ctrl+C ends the program at once with 130, leaving the test set as it is: nothing restored.
TEST(RunTrace, CtrlCEndsWith130AndRestoresNothing) {
    const std::string trace = tracePath("interrupt");
    const pid_t pid = startQuillon({"--console", "--yes", "--sim"}, trace, "1");
    // Real pauses: the first configuration's second is well under way once its set-up is seen.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    bool underWay = false;
    while (!underWay && std::chrono::steady_clock::now() < deadline) {
        const Lines lines = traceLines(trace);
        underWay = std::find(lines.begin(), lines.end(),
                             "W RFANalyzer:MSLOt:MEASurement:BURSt 2") != lines.end();
        if (!underWay) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ::kill(pid, SIGINT);
    EXPECT_EQ(exitCodeOf(pid), 130);
    EXPECT_TRUE(underWay);
    const Lines lines = traceLines(trace);
    std::remove(trace.c_str());
    EXPECT_EQ(std::find(lines.begin(), lines.end(), kRestore), lines.end());
}

}  // namespace
}  // namespace quillon::integration

#endif
