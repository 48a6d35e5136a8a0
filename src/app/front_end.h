// SPDX-License-Identifier: MIT
#pragma once

#include <string>

#include "app/modMain.h"

namespace quillon::app {

// What the command line tells a front-end beyond the start-up environment.
struct FrontEndOptions {
    std::string saveFile;  // non-empty: write the results file there when the run reaches its end
};

}  // namespace quillon::app
