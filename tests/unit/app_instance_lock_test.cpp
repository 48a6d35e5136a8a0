// SPDX-License-Identifier: MIT
// The single-instance lock: one holder at a time, and a killed holder blocks nothing.

#include <gtest/gtest.h>

#ifndef _WIN32

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>

#include "app/instance_lock.h"

namespace quillon::app {
namespace {

// A child that takes the lock, says through a pipe whether it got it, and waits to be killed.
std::pair<pid_t, bool> holdInChild(const std::string& path) {
    int fds[2];
    const pid_t pid = ::pipe(fds) == 0 ? ::fork() : -1;
    if (pid < 0) std::abort();  // never hand a -1 to kill()
    if (pid == 0) {
        const InstanceLock lock(path);
        const char held = lock.held() ? '1' : '0';
        (void)!::write(fds[1], &held, 1);
        for (;;) ::pause();
    }
    ::close(fds[1]);
    char held = '0';
    const bool acquired = ::read(fds[0], &held, 1) == 1 && held == '1';
    ::close(fds[0]);
    return {pid, acquired};
}

// Held here: refused here (no error) and in a child. Held by a child: refused here till it dies.
TEST(InstanceLock, OneHolderAcrossProcessesAndAHolderKilledBySigkillReleasesIt) {
    const std::string path = ::testing::TempDir() + "quillon-lock-" + std::to_string(::getpid());
    {
        const InstanceLock ours(path);
        ASSERT_TRUE(ours.held()) << ours.error();
        const InstanceLock second(path);
        EXPECT_FALSE(second.held());
        EXPECT_EQ(second.error(), "");
        const auto [child, childGotIt] = holdInChild(path);
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        EXPECT_FALSE(childGotIt);
    }
    const auto [holder, acquired] = holdInChild(path);
    const bool weGotIt = InstanceLock(path).held();
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    ASSERT_TRUE(acquired);
    EXPECT_FALSE(weGotIt);
    ASSERT_TRUE(std::filesystem::exists(path)) << "the lock file stays behind after SIGKILL";
    EXPECT_TRUE(InstanceLock(path).held());
    std::filesystem::remove(path);
    EXPECT_NE(InstanceLock("/nonexistent/q.lock").error().find("/nonexistent/q.lock"),
              std::string::npos);
}

}  // namespace
}  // namespace quillon::app

#endif
