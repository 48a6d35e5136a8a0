// SPDX-License-Identifier: MIT
#pragma once

#include "app/front_end.h"

namespace quillon::app {
struct StartupEnvironment;
}

namespace quillon::ui {

// Runs the program on the terminal (standard input may be /dev/null). Returns the exit code.
int runConsole(const app::StartupEnvironment& environment, const app::FrontEndOptions& options);

}  // namespace quillon::ui
