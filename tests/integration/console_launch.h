// SPDX-License-Identifier: MIT
#pragma once

// Starting the real program on the console from a test: its output through a pipe read here,
// with the environment, file-size limit, closed pipe or signal a test asks for. POSIX only.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "private_temp.h"

namespace quillon::integration {

using testing::privateTempPath;
inline constexpr auto npos = std::string::npos;

struct Launch {
    std::vector<std::string> args;         // after --console
    std::vector<std::string> environment;  // NAME=VALUE on top of the test's own
    rlim_t fileSizeLimit = RLIM_INFINITY;  // with SIGXFSZ ignored, as on a full disk
    bool outputClosed = false;             // no reader on the output pipe, as in "| true"
    std::string signalWhen;                // sends signal once the output holds this text
    int signal = 0;
    std::string input;  // standard input (otherwise /dev/null)
};

struct Ended {
    int exitCode = -1;  // -1: killed by a signal
    std::string out;    // standard output and error together
};

// A path in the test process's own folder, a new one on each call.
inline std::string freshTempPath(const std::string& stem) {
    static int counter = 0;
    return privateTempPath(stem + "-" + std::to_string(counter++));
}

inline std::string readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

inline int countOf(const std::string& text, const std::string& part) {
    int count = 0;
    for (auto at = text.find(part); at != npos; at = text.find(part, at + 1)) ++count;
    return count;
}

[[noreturn]] inline void execQuillon(const Launch& launch, int outputFd, const std::string& input) {
    ::dup2(outputFd, STDOUT_FILENO);
    ::dup2(outputFd, STDERR_FILENO);
    const int in = ::open(input.c_str(), O_RDONLY);
    ::dup2(in, STDIN_FILENO);
    ::unsetenv("QUILLON_SIM_PROFILE");
    ::setenv("QUILLON_PAUSE_SCALE", "0", 1);
    ::setenv("QUILLON_INSTANCE_LOCK", privateTempPath("lock").c_str(), 1);
    ::setenv("XDG_DATA_HOME", privateTempPath("data").c_str(), 1);  // backups stay out of home
    for (const std::string& pair : launch.environment) {
        const std::size_t equals = pair.find('=');
        ::setenv(pair.substr(0, equals).c_str(), pair.substr(equals + 1).c_str(), 1);
    }
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit size{launch.fileSizeLimit, launch.fileSizeLimit};
    ::setrlimit(RLIMIT_FSIZE, &size);
    std::vector<std::string> words{QUILLON_BIN_DIR "/quillon", "--console"};
    words.insert(words.end(), launch.args.begin(), launch.args.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
}

// Runs quillon on the console with its output in a pipe read here. A run that takes over two
// minutes is killed, so that the test fails instead of hanging.
inline Ended run(const Launch& launch) {
    static int runs = 0;
    const std::string input =
        launch.input.empty() ? "/dev/null" : privateTempPath("input-" + std::to_string(runs++));
    if (!launch.input.empty()) std::ofstream(input, std::ios::binary) << launch.input;
    int fds[2];
    if (::pipe(fds) != 0) return {};
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        execQuillon(launch, fds[1], input);
    }
    ::close(fds[1]);
    Ended ended;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    bool signalled = false;
    int reader = fds[0];
    if (launch.outputClosed) {
        ::close(reader);
        reader = -1;
    }
    while (reader >= 0 && std::chrono::steady_clock::now() < deadline) {
        pollfd ready{reader, POLLIN, 0};
        if (::poll(&ready, 1, 1000) <= 0) continue;
        char buffer[4096];
        const ssize_t got = ::read(reader, buffer, sizeof buffer);
        if (got <= 0) break;
        ended.out.append(buffer, static_cast<std::size_t>(got));
        if (!signalled && !launch.signalWhen.empty() && ended.out.find(launch.signalWhen) != npos) {
            ::kill(child, launch.signal);
            signalled = true;
        }
    }
    if (reader >= 0) ::close(reader);
    int status = 0;
    while (::waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) ::kill(child, SIGKILL);
        ::usleep(10'000);
    }
    ended.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return ended;
}

// quillon --console with args as blank-separated words (the tests' paths hold none).
inline Ended runConsole(const std::string& args, const std::vector<std::string>& environment = {},
                        const std::string& input = {}) {
    Launch launch;
    launch.environment = environment;
    launch.input = input;
    std::istringstream words(args);
    for (std::string word; words >> word;) launch.args.push_back(word);
    return run(launch);
}

}  // namespace quillon::integration
