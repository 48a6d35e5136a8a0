// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstdint>

namespace quillon::testrun {

// One band the run verifies; its index in kBands is the band number everywhere.
struct Band {
    const char* name;       // as the test set's band command knows it
    const char* frequency;  // Hz, right-aligned in ten characters, used unchanged in commands
    std::int16_t arfcn;
    std::int16_t secondArfcn;  // 6 channels away, for the source 2 arrangement
};

inline constexpr std::array<Band, 5> kBands = {{
    {"GSM450", " 464000000", 276, 270},
    {"GSM850", " 882000000", 192, 198},
    {"PGSM", " 943000000", 40, 46},
    {"DCS", "1842000000", 696, 702},
    {"PCS", "1959000000", 656, 662},
}};

}  // namespace quillon::testrun
