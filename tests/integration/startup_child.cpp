// SPDX-License-Identifier: MIT
#include "startup_child.h"

#include <gtest/gtest.h>

#ifndef _WIN32

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace quillon::integration {
namespace {

using namespace std::chrono_literals;

// Far beyond any healthy run; only there so a hang fails the test instead of blocking it.
constexpr auto kHangLimit = 300s;

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

[[noreturn]] void execChild(const ChildRun& run, const std::string& inputPath,
                            const std::string& outPath, const std::string& errPath,
                            const std::string& lockPath) {
    const int in = ::open(inputPath.c_str(), O_RDONLY);
    const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (in < 0 || out < 0 || err < 0) ::_exit(126);
    ::dup2(in, STDIN_FILENO);
    ::dup2(out, STDOUT_FILENO);
    ::dup2(err, STDERR_FILENO);
    ::unsetenv("QUILLON_SIM_PROFILE");
    ::setenv("QUILLON_PAUSE_SCALE", "0", 1);
    ::setenv("QUILLON_INSTANCE_LOCK", lockPath.c_str(), 1);
    for (const auto& [name, value] : run.environment) ::setenv(name.c_str(), value.c_str(), 1);
    const std::string program = std::string(QUILLON_BIN_DIR) + "/quillon";
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& arg : run.args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
}

int waitWithHangGuard(pid_t pid) {
    const auto deadline = std::chrono::steady_clock::now() + kHangLimit;
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            ADD_FAILURE() << "quillon did not end; killed";
            return -1;
        }
        std::this_thread::sleep_for(5ms);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

std::string ChildResult::describe() const {
    return "exit code " + std::to_string(exitCode) + "\n--- stdout ---\n" + out +
           "--- stderr ---\n" + err;
}

std::string uniqueTempPath(const std::string& stem) {
    static std::atomic<int> counter{0};
    return ::testing::TempDir() + "quillon-" + stem + "-" + std::to_string(::getpid()) + "-" +
           std::to_string(counter++);
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::string readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::string profilePath(const std::string& name) {
    return std::string(QUILLON_BIN_DIR) + "/sim-profiles/" + name + ".toml";
}

ChildResult runQuillon(const ChildRun& run) {
    const std::string inputPath = run.input.empty() ? "/dev/null" : uniqueTempPath("stdin");
    if (!run.input.empty()) writeFile(inputPath, run.input);
    const std::string outPath = uniqueTempPath("stdout");
    const std::string errPath = uniqueTempPath("stderr");
    const std::string lockPath = run.lockPath.empty() ? uniqueTempPath("lock") : run.lockPath;

    ChildResult result;
    const pid_t pid = ::fork();
    if (pid == 0) execChild(run, inputPath, outPath, errPath, lockPath);
    if (pid < 0) {
        ADD_FAILURE() << "fork failed";
        return result;
    }
    result.exitCode = waitWithHangGuard(pid);
    result.out = readFile(outPath);
    result.err = readFile(errPath);
    for (const std::string& path : {outPath, errPath}) std::remove(path.c_str());
    if (!run.input.empty()) std::remove(inputPath.c_str());
    if (run.lockPath.empty()) std::remove(lockPath.c_str());
    return result;
}

}  // namespace quillon::integration

#endif
