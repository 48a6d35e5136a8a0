// SPDX-License-Identifier: MIT
// The single-instance lock: one holder at a time, and a holder that dies (even by SIGKILL)
// leaves nothing that blocks the next start.

#include <gtest/gtest.h>

#ifndef _WIN32

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/instance_lock.h"

namespace quillon::app {
namespace {

std::string uniqueLockPath(const char* name) {
    return ::testing::TempDir() + "quillon-lock-" + name + "-" + std::to_string(::getpid());
}

// A child process that takes the lock, reports whether it got it through a pipe, then waits to
// be killed.
class LockHolder {
  public:
    explicit LockHolder(const std::string& path) {
        int fds[2];
        if (::pipe(fds) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(fds[0]);
            InstanceLock lock(path);
            const char held = lock.held() ? '1' : '0';
            (void)!::write(fds[1], &held, 1);
            for (;;) ::pause();
        }
        ::close(fds[1]);
        char held = '0';
        acquired_ = ::read(fds[0], &held, 1) == 1 && held == '1';
        ::close(fds[0]);
    }
    ~LockHolder() { kill(); }

    bool acquired() const { return acquired_; }
    void kill() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
    }

  private:
    pid_t pid_ = -1;
    bool acquired_ = false;
};

TEST(InstanceLock, SecondLockInTheSameProcessIsRefused) {
    const std::string path = uniqueLockPath("same");
    InstanceLock first(path);
    ASSERT_TRUE(first.held()) << first.error();
    InstanceLock second(path);
    EXPECT_FALSE(second.held());
    EXPECT_TRUE(second.error().empty()) << "a held lock is not an error: " << second.error();
    std::filesystem::remove(path);
}

TEST(InstanceLock, ReleasedWhenTheHolderGoesAway) {
    const std::string path = uniqueLockPath("release");
    {
        InstanceLock first(path);
        ASSERT_TRUE(first.held());
        InstanceLock moved = std::move(first);
        EXPECT_FALSE(first.held());
        EXPECT_TRUE(moved.held());
        EXPECT_FALSE(InstanceLock(path).held());
    }
    EXPECT_TRUE(InstanceLock(path).held());
    std::filesystem::remove(path);
}

TEST(InstanceLock, AnotherProcessHoldingItRefusesUs) {
    const std::string path = uniqueLockPath("other");
    LockHolder holder(path);
    ASSERT_TRUE(holder.acquired());
    EXPECT_FALSE(InstanceLock(path).held());
    std::filesystem::remove(path);
}

TEST(InstanceLock, KilledHolderLeavesAStaleFileThatDoesNotCount) {
    const std::string path = uniqueLockPath("killed");
    LockHolder holder(path);
    ASSERT_TRUE(holder.acquired());
    holder.kill();
    ASSERT_TRUE(std::filesystem::exists(path)) << "the lock file stays behind after SIGKILL";
    InstanceLock next(path);
    EXPECT_TRUE(next.held()) << next.error();
    std::filesystem::remove(path);
}

TEST(InstanceLock, HeldByUsRefusesAChild) {
    const std::string path = uniqueLockPath("child");
    InstanceLock ours(path);
    ASSERT_TRUE(ours.held());
    LockHolder child(path);
    EXPECT_FALSE(child.acquired());
    std::filesystem::remove(path);
}

TEST(InstanceLock, UnusableLocationIsAnErrorNotAHeldLock) {
    InstanceLock lock("/nonexistent-folder/quillon.lock");
    EXPECT_FALSE(lock.held());
    EXPECT_NE(lock.error().find("/nonexistent-folder/quillon.lock"), std::string::npos);
}

TEST(InstanceLockPath, EnvironmentOverridesThePerUserDefault) {
    ::unsetenv("QUILLON_INSTANCE_LOCK");
    const std::string standard = defaultInstanceLockPath();
    EXPECT_NE(standard.find("quillon-" + std::to_string(::getuid())), std::string::npos);
    ::setenv("QUILLON_INSTANCE_LOCK", "/tmp/own.lock", 1);
    EXPECT_EQ(defaultInstanceLockPath(), "/tmp/own.lock");
    ::unsetenv("QUILLON_INSTANCE_LOCK");
}

}  // namespace
}  // namespace quillon::app

#endif
