// SPDX-License-Identifier: MIT
#include "private_temp.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <system_error>

#ifdef _WIN32
#include <process.h>
#define getpid _getpid
#else
#include <unistd.h>
#endif

namespace quillon::testing {
namespace {

// A name no other process picks: this one's id and a random number, made closed to others.
std::filesystem::path makeFolder() {
    std::random_device random;
    for (;;) {
        std::filesystem::path folder = ::testing::TempDir() + "quillon-test-" +
                                       std::to_string(getpid()) + "-" + std::to_string(random());
        if (std::filesystem::create_directory(folder)) {
            std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
            return folder;
        }
    }
}

int owner = 0;  // the process that made the folder

// A forked child that exits normally must not remove its parent's folder.
void removeFolder() {
    if (getpid() != owner) return;
    std::error_code ignored;
    std::filesystem::remove_all(privateTempFolder(), ignored);
}

}  // namespace

// Never destroyed: removeFolder runs at exit, after the static destructors could have run.
const std::filesystem::path& privateTempFolder() {
    static const std::filesystem::path* const folder = [] {
        const auto* made = new std::filesystem::path(makeFolder());
        owner = getpid();
        std::atexit(removeFolder);
        return made;
    }();
    return *folder;
}

std::string privateTempPath(const std::string& name) {
    return (privateTempFolder() / name).string();
}

}  // namespace quillon::testing
