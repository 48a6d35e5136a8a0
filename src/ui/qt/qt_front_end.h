// SPDX-License-Identifier: MIT
#pragma once

#include "app/front_end.h"

namespace quillon::app {
struct StartupEnvironment;
}

namespace quillon::ui {

// Runs the program in windows until the operator presses Exit or start-up ends it.
// Returns the process exit code.
int runWindows(int& argc, char** argv, const app::StartupEnvironment& environment,
               const app::FrontEndOptions& options);

}  // namespace quillon::ui
