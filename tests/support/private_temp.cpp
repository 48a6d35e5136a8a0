// SPDX-License-Identifier: MIT
#include "private_temp.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <system_error>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

namespace quillon::testing {
namespace {

int processId() {
#ifdef _WIN32
    return _getpid();
#else
    return static_cast<int>(::getpid());
#endif
}

std::filesystem::path makeFolder() {
    const std::string pattern = ::testing::TempDir() + "quillon-test-XXXXXX";
#ifdef _WIN32
    std::random_device random;
    for (;;) {
        std::filesystem::path folder = pattern.substr(0, pattern.size() - 6) +
                                       std::to_string(processId()) + "-" + std::to_string(random());
        if (std::filesystem::create_directory(folder)) return folder;
    }
#else
    std::string name = pattern;
    if (::mkdtemp(name.data()) == nullptr) {
        ADD_FAILURE() << "cannot make a temporary folder from " << pattern;
        std::abort();
    }
    return name;
#endif
}

int owner = 0;  // the process that made the folder

// A forked child that exits normally must not remove its parent's folder.
void removeFolder() {
    if (processId() != owner) return;
    std::error_code ignored;
    std::filesystem::remove_all(privateTempFolder(), ignored);
}

}  // namespace

// Never destroyed: removeFolder runs at exit, after the static destructors could have run.
const std::filesystem::path& privateTempFolder() {
    static const std::filesystem::path* const folder = [] {
        const auto* made = new std::filesystem::path(makeFolder());
        owner = processId();
        std::atexit(removeFolder);
        return made;
    }();
    return *folder;
}

std::string privateTempPath(const std::string& name) {
    return (privateTempFolder() / name).string();
}

}  // namespace quillon::testing
