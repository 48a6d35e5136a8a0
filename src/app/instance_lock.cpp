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
#include <sys/stat.h>
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
unsigned InstanceLock::currentUser() {
    return 0;  // the mutex namespace is the signed-in user's already
}

InstanceLock::InstanceLock(const std::string& path, unsigned /*owner*/) {
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
      refusal_(std::move(other.refusal_)),
      mutex_(std::exchange(other.mutex_, nullptr)) {}

InstanceLock& InstanceLock::operator=(InstanceLock&& other) noexcept {
    if (this != &other) {
        release();
        held_ = std::exchange(other.held_, false);
        error_ = std::move(other.error_);
        refusal_ = std::move(other.refusal_);
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

unsigned InstanceLock::currentUser() {
    return ::geteuid();
}

namespace {

// Why another user could hold or replace a lock file in folder, or empty when none can: the
// folder must be owner's and writable by nobody else, or root's with the sticky bit (/tmp).
std::string untrustedFolder(const std::string& folder, unsigned owner) {
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0) return {};  // the open below says what is wrong
    if (!S_ISDIR(info.st_mode)) return "its folder " + folder + " is not a folder";
    if (info.st_uid == 0 && (info.st_mode & S_ISVTX) != 0) return {};
    if (info.st_uid != owner) return "its folder " + folder + " belongs to another user";
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        return "other users can write to its folder " + folder;
    }
    return {};
}

std::string parentFolder(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

// flock locks belong to the open file, and the kernel drops them when the last descriptor of
// the file closes, which includes the death of the process. So a lock file that a killed run
// left behind is just a file: the next run locks it again.
InstanceLock::InstanceLock(const std::string& path, unsigned owner) {
    const std::string refuse = "cannot trust the instance lock " + path + ": ";
    if (const std::string why = untrustedFolder(parentFolder(path), owner); !why.empty()) {
        refusal_ = refuse + why;
        return;
    }
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd_ < 0) {
        error_ = "cannot open " + path + ": " + std::strerror(errno);
        return;
    }
    struct stat info {};
    if (::fstat(fd_, &info) != 0 || info.st_uid != owner) {
        refusal_ = refuse + "it belongs to another user";
        release();
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
      refusal_(std::move(other.refusal_)),
      fd_(std::exchange(other.fd_, -1)) {}

InstanceLock& InstanceLock::operator=(InstanceLock&& other) noexcept {
    if (this != &other) {
        release();
        held_ = std::exchange(other.held_, false);
        error_ = std::move(other.error_);
        refusal_ = std::move(other.refusal_);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

std::string defaultInstanceLockPath() {
    std::string path = fromEnvironment(kLockEnvironment);
    if (!path.empty()) return path;
    const std::string user = std::to_string(::geteuid());
    const std::string runtime = fromEnvironment("XDG_RUNTIME_DIR");
    if (!runtime.empty()) return runtime + "/quillon-" + user + ".lock";
    // A shared temporary folder: the lock goes into a folder of the user's own, so that nobody
    // else can make or hold the lock file. mkdir fails on anything already there; the lock
    // then checks what it is.
    std::string temp = fromEnvironment("TMPDIR");
    if (temp.empty()) temp = "/tmp";
    const std::string folder = temp + "/quillon-" + user;
    ::mkdir(folder.c_str(), 0700);
    return folder + "/instance.lock";
}

#endif

InstanceLock::~InstanceLock() {
    release();
}

}  // namespace quillon::app
