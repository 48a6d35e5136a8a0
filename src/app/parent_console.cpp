// SPDX-License-Identifier: MIT
#include "app/parent_console.h"

#ifdef _WIN32

#include <windows.h>

#include <cstdio>
#include <iostream>

namespace quillon::app {
namespace {

// A file or a pipe the starter chose; anything else (no handle, a console, NUL) may be
// replaced by the console.
bool redirected(DWORD which) {
    const HANDLE handle = ::GetStdHandle(which);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    const DWORD type = ::GetFileType(handle);
    return type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE;
}

void reopen(std::FILE* stream, const char* device, const char* mode) {
    std::FILE* reopened = nullptr;
    (void)::freopen_s(&reopened, device, mode, stream);
}

}  // namespace

bool useParentConsole() {
    const bool input = redirected(STD_INPUT_HANDLE);
    const bool output = redirected(STD_OUTPUT_HANDLE);
    const bool error = redirected(STD_ERROR_HANDLE);
    if ((input && output && error) || !::AttachConsole(ATTACH_PARENT_PROCESS)) {
        return false;
    }
    if (!output) {
        reopen(stdout, "CONOUT$", "w");
    }
    if (!error) {
        reopen(stderr, "CONOUT$", "w");
    }
    if (!input) {
        reopen(stdin, "CONIN$", "r");
    }
    // The C++ streams share the C streams; clear a failure left by writes before the reopening.
    std::cout.clear();
    std::cerr.clear();
    std::cin.clear();
    return true;
}

}  // namespace quillon::app

#else

namespace quillon::app {

bool useParentConsole() {
    return false;
}

}  // namespace quillon::app

#endif
