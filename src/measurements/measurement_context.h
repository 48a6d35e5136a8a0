// SPDX-License-Identifier: MIT
#pragma once

#include "instrument/bus_hooks.h"
#include "instrument/clsVisa.h"

namespace quillon::measurements {

// What every measurement object reaches out to: the bus session for commands (and, through its
// VISA library, for direct queries and the user-interface yield) and the program-wide
// measurement iterations setting, read at each run.
struct MeasurementContext {
    instrument::clsVisa& visa;
    const instrument::ProgramValues& program;
};

}  // namespace quillon::measurements
