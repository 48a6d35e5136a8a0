// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>
#include <string>

namespace quillon::testing {

// A folder of this test process's own in the temporary folder, made on first use (mode 0700 on
// POSIX) and removed with everything in it when the process exits, so that runs side by side
// never share a file and nothing is left behind.
const std::filesystem::path& privateTempFolder();

// privateTempFolder() / name, as a string.
std::string privateTempPath(const std::string& name);

}  // namespace quillon::testing
