// SPDX-License-Identifier: MIT
// The single-instance lock: one holder at a time, and a killed holder blocks nothing.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "app/instance_lock.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace quillon::app {
namespace {

#ifdef _WIN32

// The holder is this test program started again with QUILLON_TEST_HOLD_LOCK set: it takes the
// lock before any test runs, answers on standard output and waits to be killed.
[[maybe_unused]] const bool kHolderProcess = [] {
    const char* name = std::getenv("QUILLON_TEST_HOLD_LOCK");
    if (name == nullptr) {
        return false;
    }
    const InstanceLock lock(name);
    std::fputs(lock.held() ? "1" : "0", stdout);
    std::fflush(stdout);
    for (;;) {
        ::Sleep(INFINITE);
    }
}();

// Another process that tries the lock; kill() ends it as a crash would.
class Holder {
  public:
    explicit Holder(const std::string& name) {
        SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
        HANDLE readEnd = nullptr, writeEnd = nullptr;
        if (!::CreatePipe(&readEnd, &writeEnd, &inherit, 0)) {
            std::abort();
        }
        ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
        char self[MAX_PATH] = {};
        ::GetModuleFileNameA(nullptr, self, MAX_PATH);
        std::string commandLine = std::string("\"") + self + "\" --gtest_list_tests";
        STARTUPINFOA startup{};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = writeEnd;
        startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
        ::SetEnvironmentVariableA("QUILLON_TEST_HOLD_LOCK", name.c_str());
        const BOOL started = ::CreateProcessA(self, commandLine.data(), nullptr, nullptr, TRUE, 0,
                                              nullptr, nullptr, &startup, &process_);
        ::SetEnvironmentVariableA("QUILLON_TEST_HOLD_LOCK", nullptr);
        ::CloseHandle(writeEnd);
        if (!started) {
            std::abort();
        }
        char answer = '0';
        DWORD count = 0;
        acquired_ = ::ReadFile(readEnd, &answer, 1, &count, nullptr) && count == 1 && answer == '1';
        ::CloseHandle(readEnd);
    }
    ~Holder() { kill(); }
    Holder(const Holder&) = delete;
    Holder& operator=(const Holder&) = delete;

    bool acquired() const { return acquired_; }
    void kill() {
        if (process_.hProcess == nullptr) {
            return;
        }
        ::TerminateProcess(process_.hProcess, 9);
        ::WaitForSingleObject(process_.hProcess, INFINITE);
        ::CloseHandle(process_.hProcess);
        ::CloseHandle(process_.hThread);
        process_ = {};
    }

  private:
    PROCESS_INFORMATION process_{};
    bool acquired_ = false;
};

std::string lockName() {
    return "Local\\quillon-test-lock-" + std::to_string(::GetCurrentProcessId());
}

#else

class Holder {
  public:
    explicit Holder(const std::string& path) {
        int fds[2];
        pid_ = ::pipe(fds) == 0 ? ::fork() : -1;
        if (pid_ < 0) {
            std::abort();  // never hand a -1 to kill()
        }
        if (pid_ == 0) {
            const InstanceLock lock(path);
            const char held = lock.held() ? '1' : '0';
            (void)!::write(fds[1], &held, 1);
            for (;;) {
                ::pause();
            }
        }
        ::close(fds[1]);
        char held = '0';
        acquired_ = ::read(fds[0], &held, 1) == 1 && held == '1';
        ::close(fds[0]);
    }
    ~Holder() { kill(); }
    Holder(const Holder&) = delete;
    Holder& operator=(const Holder&) = delete;

    bool acquired() const { return acquired_; }
    void kill() {
        if (pid_ <= 0) {
            return;
        }
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

  private:
    pid_t pid_ = -1;
    bool acquired_ = false;
};

std::string lockName() {
    return ::testing::TempDir() + "quillon-lock-" + std::to_string(::getpid());
}

#endif

// Held here: refused here (no error) and in another process. Held by another process: refused
// here till it is killed, then free.
TEST(InstanceLock, OneHolderAcrossProcessesAndAKilledHolderReleasesIt) {
    const std::string name = lockName();
    {
        const InstanceLock ours(name);
        ASSERT_TRUE(ours.held()) << ours.error();
        const InstanceLock second(name);
        EXPECT_FALSE(second.held());
        EXPECT_EQ(second.error(), "");
        EXPECT_FALSE(Holder(name).acquired());
    }
    Holder holder(name);
    ASSERT_TRUE(holder.acquired());
    EXPECT_FALSE(InstanceLock(name).held());
    holder.kill();
    EXPECT_TRUE(InstanceLock(name).held());
#ifndef _WIN32
    EXPECT_TRUE(std::filesystem::exists(name)) << "the lock file stays behind after SIGKILL";
    std::filesystem::remove(name);
#endif
}

// A lock that cannot even be tried says why, naming the lock, and is not held.
TEST(InstanceLock, ALockThatCannotBeTriedIsAnError) {
#ifdef _WIN32
    // The name is taken by an object of another kind.
    const std::string name = lockName() + "-event";
    const HANDLE event = ::CreateEventA(nullptr, TRUE, FALSE, name.c_str());
    ASSERT_NE(event, nullptr);
#else
    const std::string name = "/nonexistent/q.lock";
#endif
    const InstanceLock lock(name);
    EXPECT_FALSE(lock.held());
    EXPECT_NE(lock.error().find(name), std::string::npos) << lock.error();
#ifdef _WIN32
    ::CloseHandle(event);
#endif
}

#ifndef _WIN32
// A lock that another user could hold or replace is refused, not skipped: the folder must be
// the user's own and closed to others (or root's sticky /tmp), the lock file the user's own.
TEST(InstanceLock, RefusesAFolderOrFileThatIsNotTheUsersOwn) {
    const std::string base =
        ::testing::TempDir() + "quillon-lock-owner-" + std::to_string(::getpid());
    struct Case {
        mode_t folderMode;
        bool otherOwner;    // the lock must belong to a uid other than ours
        bool inSharedTemp;  // the lock file directly in the sticky temporary folder
        const char* refusal;
    };
    const Case cases[] = {
        {0700, false, false, ""},
        {0777, false, false, "other users can write"},
        {0770, false, false, "other users can write"},
        {0700, true, false, "belongs to another user"},
        {0700, true, true, "belongs to another user"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(&c - cases));
        ASSERT_EQ(::mkdir(base.c_str(), 0700), 0);
        ASSERT_EQ(::chmod(base.c_str(), c.folderMode), 0);
        const std::string path = c.inSharedTemp ? base + ".lock" : base + "/quillon.lock";
        if (c.inSharedTemp) std::filesystem::remove(path);
        const InstanceLock lock(path, c.otherOwner ? ::geteuid() + 1 : ::geteuid());
        EXPECT_EQ(lock.held(), *c.refusal == '\0');
        EXPECT_NE(lock.refusal().find(c.refusal), std::string::npos) << lock.refusal();
        if (*c.refusal != '\0') {
            EXPECT_NE(lock.refusal().find(path), std::string::npos);
        }
        std::filesystem::remove_all(base);
        std::filesystem::remove(base + ".lock");
    }
}

// Without XDG_RUNTIME_DIR the lock lives in a folder of the user's own, made closed to others.
TEST(InstanceLock, FallbackFolderIsPrivate) {
    const std::string temp = ::testing::TempDir() + "quillon-tmpdir-" + std::to_string(::getpid());
    std::filesystem::create_directory(temp);
    // The variables come back as they were (set or unset) however the test ends, so the tests
    // after it in the same process see the environment they started with.
    struct Restore {
        std::vector<std::pair<std::string, std::optional<std::string>>> saved;
        ~Restore() {
            for (const auto& [name, value] : saved) {
                if (value) {
                    ::setenv(name.c_str(), value->c_str(), 1);
                } else {
                    ::unsetenv(name.c_str());
                }
            }
        }
    } restore;
    for (const char* name : {"TMPDIR", "XDG_RUNTIME_DIR", "QUILLON_INSTANCE_LOCK"}) {
        const char* value = std::getenv(name);
        restore.saved.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
    }
    ::setenv("TMPDIR", temp.c_str(), 1);
    ::unsetenv("XDG_RUNTIME_DIR");
    ::unsetenv("QUILLON_INSTANCE_LOCK");
    const std::string path = defaultInstanceLockPath();
    const std::string folder = temp + "/quillon-" + std::to_string(::geteuid());
    EXPECT_EQ(std::filesystem::path(path).parent_path().string(), folder);
    EXPECT_TRUE(InstanceLock(path).held());
    struct stat info {};
    ASSERT_EQ(::lstat(folder.c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_mode & 07777, 0700u);
    ASSERT_EQ(::lstat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    std::filesystem::remove_all(temp);
}

#endif

}  // namespace
}  // namespace quillon::app
