// SPDX-License-Identifier: MIT
#pragma once

#include <string>

namespace quillon::app {

// The program's title (message boxes that name no title of their own) and version numbers.
inline constexpr const char* kProgramTitle = "Quillon";
inline constexpr int kVersionMajor = QUILLON_VERSION_MAJOR;
inline constexpr int kVersionMinor = QUILLON_VERSION_MINOR;
inline constexpr int kVersionRevision = QUILLON_VERSION_PATCH;

// "Version: " + the character whose code is the major number + ".mm.rr" (65.2.1 -> A.02.01).
std::string versionText();

}  // namespace quillon::app
