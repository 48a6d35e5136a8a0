// SPDX-License-Identifier: MIT
#pragma once

#include <string>

namespace quillon::app {

// The lock that keeps a second copy of the program from starting. It is an operating-system
// lock (an advisory file lock on Linux, a named mutex on Windows), so it goes away with the
// process that holds it, however that process ends; a lock file left behind by a killed run
// does not count as held.
class InstanceLock {
  public:
    // Tries once, without waiting. held() tells whether this object got the lock. On Linux the
    // lock file must belong to owner (by default the user running the program) and its folder
    // must be owner's and closed to others, or root's sticky temporary folder; otherwise the
    // lock is refused (see refusal()).
    explicit InstanceLock(const std::string& path, unsigned owner = currentUser());
    InstanceLock() = default;
    ~InstanceLock();
    InstanceLock(InstanceLock&& other) noexcept;
    InstanceLock& operator=(InstanceLock&& other) noexcept;
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    bool held() const { return held_; }
    // Why the lock could not even be tried (unwritable folder and the like); empty otherwise.
    const std::string& error() const { return error_; }
    // Why the lock cannot be trusted (another user could hold it or replace it): start-up must
    // be refused. Empty otherwise.
    const std::string& refusal() const { return refusal_; }

    static unsigned currentUser();

  private:
    void release();

    bool held_ = false;
    std::string error_;
    std::string refusal_;
#ifdef _WIN32
    void* mutex_ = nullptr;
#else
    int fd_ = -1;
#endif
};

// Where the lock lives: QUILLON_INSTANCE_LOCK when set, otherwise a per-user name in
// $XDG_RUNTIME_DIR (Linux) or in the session's mutex namespace (Windows). Without
// XDG_RUNTIME_DIR, in the user's own folder quillon-UID in $TMPDIR or /tmp, which this creates
// with mode 0700 when it is missing (the lock checks it).
std::string defaultInstanceLockPath();

}  // namespace quillon::app
