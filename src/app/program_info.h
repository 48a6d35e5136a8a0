// SPDX-License-Identifier: MIT
#pragma once

#include <string>

#include "instrument/bus_hooks.h"

namespace quillon::app {

// The program's title (message boxes that name no title of their own) and version numbers.
using instrument::kProgramTitle;
inline constexpr int kVersionMajor = QUILLON_VERSION_MAJOR;
inline constexpr int kVersionMinor = QUILLON_VERSION_MINOR;
inline constexpr int kVersionRevision = QUILLON_VERSION_PATCH;

// "Version: " + the character whose code is the major number + ".mm.rr" (65.2.1 -> A.02.01).
std::string versionText();

// "65.2.1", as packages and the manual page name the version.
std::string versionNumber();

// What --version prints: the title, the version numbers joined by dots and the wizard's form,
// "Quillon 65.2.1 (A.02.01)".
std::string versionLine();

}  // namespace quillon::app
