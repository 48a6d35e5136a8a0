// SPDX-License-Identifier: MIT
#pragma once

#include <cstdlib>

#if defined(__SANITIZE_ADDRESS__)
#define QUILLON_CHECK_LEAKS_AT_EXIT 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUILLON_CHECK_LEAKS_AT_EXIT 1
#endif
#endif
#ifdef QUILLON_CHECK_LEAKS_AT_EXIT
#include <sanitizer/lsan_interface.h>
#endif

namespace quillon::app {

// Ends the process at once, with no destructors or exit handlers, so that Exit acts even while
// the run's thread waits in a bus call. std::_Exit skips LeakSanitizer's check at exit, so a
// sanitizer build runs it first; what live objects still reach is not reported.
[[noreturn]] inline void exitImmediately(int exitCode) {
#ifdef QUILLON_CHECK_LEAKS_AT_EXIT
    __lsan_do_leak_check();
#endif
    std::_Exit(exitCode);
}

}  // namespace quillon::app
