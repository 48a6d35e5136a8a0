// SPDX-License-Identifier: MIT
#pragma once

// VISA resource names of the simulated bus: "GPIB[board]::primary[::secondary][::INSTR]",
// letters in any case. Only GPIB instruments live on this bus.

#include <cstdint>
#include <string>
#include <string_view>

#include "instrument/visa_types.h"

namespace quillon::sim {

struct ResourceName {
    std::uint16_t board = 0;
    std::uint16_t primary = 0;
    std::uint16_t secondary = instrument::kViNoSecAddr;
    // The name in its full form, as a library expands it: "GPIB0::14::INSTR".
    std::string expanded() const;
};

// kViSuccess and name filled; kViErrorInvRsrcName when the text breaks the grammar;
// kViErrorRsrcNotFound for another interface type (TCPIP, ASRL, USB...), which this bus lacks.
instrument::ViStatus parseResourceName(std::string_view text, ResourceName& name);

}  // namespace quillon::sim
