// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace quillon::integration {

// One run of the real quillon executable as a child process.
struct ChildRun {
    std::vector<std::string> args;
    std::vector<std::pair<std::string, std::string>> environment;  // added to ours
    std::string input;     // standard input; empty means /dev/null
    std::string lockPath;  // QUILLON_INSTANCE_LOCK; empty: a fresh path of its own
};

struct ChildResult {
    int exitCode = -1;  // -1 when it did not exit normally (a signal, or it hung)
    std::string out;
    std::string err;
    std::string describe() const;  // for failure messages: exit code and both streams
};

// Runs QUILLON_BIN_DIR/quillon with QUILLON_PAUSE_SCALE=0, its own instance lock and no
// QUILLON_SIM_PROFILE unless given. A run that hangs is killed after a generous limit.
ChildResult runQuillon(const ChildRun& run);

// A path in the test's temporary folder that no other test uses.
std::string uniqueTempPath(const std::string& stem);

// The lines of a text, each without its line ending.
std::vector<std::string> linesOf(const std::string& text);

std::string readFile(const std::string& path);

std::string profilePath(const std::string& name);  // a shipped profile beside the library

}  // namespace quillon::integration
