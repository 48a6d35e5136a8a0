// SPDX-License-Identifier: MIT
#include "app/instance_lock.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace quillon::app {
namespace {

constexpr const char* kLockEnvironment = "QUILLON_INSTANCE_LOCK";

std::string fromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

}  // namespace

#ifdef _WIN32

// A named mutex lives as long as a handle to it is open; Windows closes the handles of a
// process that dies, so a crashed run never blocks the next one.
InstanceLock::InstanceLock(const std::string& path) {
    std::string name = path;
    for (char& ch : name) {
        if (ch == '\\' || ch == ':' || ch == '/') ch = '_';
    }
    if (path.rfind("Local\\", 0) == 0 || path.rfind("Global\\", 0) == 0) name = path;
    HANDLE mutex = CreateMutexA(nullptr, FALSE, name.c_str());
    if (mutex == nullptr) {
        error_ = "cannot create the mutex " + name;
        return;
    }
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        return;
    }
    mutex_ = mutex;
    held_ = true;
}

void InstanceLock::release() {
    if (mutex_ != nullptr) CloseHandle(static_cast<HANDLE>(mutex_));
    mutex_ = nullptr;
    held_ = false;
}

InstanceLock::InstanceLock(InstanceLock&& other) noexcept
    : held_(std::exchange(other.held_, false)),
      error_(std::move(other.error_)),
      mutex_(std::exchange(other.mutex_, nullptr)) {}

InstanceLock& InstanceLock::operator=(InstanceLock&& other) noexcept {
    if (this != &other) {
        release();
        held_ = std::exchange(other.held_, false);
        error_ = std::move(other.error_);
        mutex_ = std::exchange(other.mutex_, nullptr);
    }
    return *this;
}

std::string defaultInstanceLockPath() {
    std::string path = fromEnvironment(kLockEnvironment);
    if (!path.empty()) return path;
    // Local\ is the logon session's namespace: one instance per signed-in user.
    return "Local\\Quillon-instance";
}

#else

// flock locks belong to the open file, and the kernel drops them when the last descriptor of
// the file closes, which includes the death of the process. So a lock file that a killed run
// left behind is just a file: the next run locks it again.
InstanceLock::InstanceLock(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd_ < 0) {
        error_ = "cannot open " + path + ": " + std::strerror(errno);
        return;
    }
    if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) {
        held_ = true;
        return;
    }
    if (errno != EWOULDBLOCK) error_ = "cannot lock " + path + ": " + std::strerror(errno);
    ::close(fd_);
    fd_ = -1;
}

void InstanceLock::release() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    held_ = false;
}

InstanceLock::InstanceLock(InstanceLock&& other) noexcept
    : held_(std::exchange(other.held_, false)),
      error_(std::move(other.error_)),
      fd_(std::exchange(other.fd_, -1)) {}

InstanceLock& InstanceLock::operator=(InstanceLock&& other) noexcept {
    if (this != &other) {
        release();
        held_ = std::exchange(other.held_, false);
        error_ = std::move(other.error_);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

std::string defaultInstanceLockPath() {
    std::string path = fromEnvironment(kLockEnvironment);
    if (!path.empty()) return path;
    std::string folder = fromEnvironment("XDG_RUNTIME_DIR");
    if (folder.empty()) folder = "/tmp";
    return folder + "/quillon-" + std::to_string(::getuid()) + ".lock";
}

#endif

InstanceLock::~InstanceLock() {
    release();
}

}  // namespace quillon::app
