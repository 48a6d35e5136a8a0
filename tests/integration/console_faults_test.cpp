// SPDX-License-Identifier: MIT
// The real program on the console when its outputs fail or it is signalled: a results file
// that cannot be written, an output pipe that closes, SIGINT/SIGTERM/SIGHUP.

#include <gtest/gtest.h>

#ifndef _WIN32

#include <signal.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "console_launch.h"

namespace quillon::integration {
namespace {

const std::string kRestore = "W SYSTem:CORRection:STATe  1\n";

// Output nobody reads is dropped (as after "| head -1" has its line): the run goes on to its
// end, restores the test set and writes its results file. The pipe is closed before the first
// line, as a reader that has gone may be at any line.
TEST(ConsoleOutput, AClosedPipeDoesNotStopTheRun) {
    const std::string results = privateTempPath("piped.csv"),
                      trace = privateTempPath("piped.trace");
    Launch piped;
    piped.args = {"--sim", "--yes", "--bands", "0", "--save", results};
    piped.environment = {"QUILLON_SIM_TRACE=" + trace};
    piped.outputClosed = true;
    const Ended ended = run(piped);
    EXPECT_EQ(ended.exitCode, 0);
    EXPECT_EQ(countOf(readFile(results), "\r\n"), 3 + 14);
    const std::string sent = readFile(trace);
    ASSERT_GE(sent.size(), kRestore.size());
    EXPECT_NE(sent.find(kRestore, sent.size() - 2 * kRestore.size() - 16), npos) << sent;
}

// Like Exit in the windows: the program ends at once, nothing restored, with 128 + the signal.
TEST(ConsoleSignals, EndTheRunAtOnceWithTheConventionalCode) {
    for (const auto& [signal, code] : {std::pair{SIGINT, 130}, {SIGTERM, 143}, {SIGHUP, 129}}) {
        SCOPED_TRACE(signal);
        const std::string trace = privateTempPath("signal-" + std::to_string(signal) + ".trace");
        Launch signalled;
        signalled.args = {"--sim", "--yes", "--bands", "0"};
        signalled.environment = {"QUILLON_SIM_TRACE=" + trace, "QUILLON_PAUSE_SCALE=1"};
        signalled.signalWhen = "Current Test: ";
        signalled.signal = signal;
        const Ended ended = run(signalled);
        EXPECT_EQ(ended.exitCode, code) << ended.out;
        EXPECT_EQ(ended.out.find("Test Complete"), npos);
        EXPECT_NE(readFile(trace).find("W *rst\n"), npos);  // the run had begun
        EXPECT_EQ(readFile(trace).find(kRestore), npos);
    }
}

// The results file is written whole or not at all; when it cannot be written the verdict is
// still printed, the earlier file keeps every byte, and the run ends with 5.
TEST(ConsoleOutput, ResultsThatCannotBeSavedEndWithCode5) {
    const std::string folder = privateTempPath("saves");
    std::filesystem::create_directory(folder);
    const std::string earlier = folder + "/r.csv";
    struct Case {
        std::string save;
        rlim_t limit;
        int exitCode;
    };
    const Case cases[] = {
        {earlier, RLIM_INFINITY, 0},
        {earlier, 1024, 5},
        {folder + "/missing/r.csv", RLIM_INFINITY, 5},
        {folder, RLIM_INFINITY, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.save + " " + std::to_string(c.limit));
        std::ofstream(earlier, std::ios::binary) << "earlier\r\n";
        Launch limited;
        limited.args = {"--sim", "--yes", "--bands", "0", "--save", c.save};
        limited.fileSizeLimit = c.limit;
        const Ended ended = run(limited);
        EXPECT_EQ(ended.exitCode, c.exitCode) << ended.out;
        EXPECT_NE(ended.out.find("Verdict: Pass\n"), npos) << ended.out;
        const std::string kept = readFile(earlier);
        if (c.exitCode == 0) {
            EXPECT_EQ(countOf(kept, "\r\n"), 3 + 14);
        } else {
            EXPECT_EQ(kept, "earlier\r\n");
            EXPECT_NE(ended.out.find("results not saved to " + c.save), npos) << ended.out;
        }
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            names.push_back(entry.path().filename().string());
        }
        EXPECT_EQ(names, std::vector<std::string>{"r.csv"});
    }
}

}  // namespace
}  // namespace quillon::integration

#endif
