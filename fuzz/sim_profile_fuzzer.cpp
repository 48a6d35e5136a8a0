// SPDX-License-Identifier: MIT
// Reads any text as a simulator profile and builds the bus of every profile it accepts. A
// profile is either accepted or refused with words naming it; nothing may crash or hang.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>

#include "bus.h"
#include "profile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quillon::sim;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto loaded = parseProfile(text, "fuzz.toml");
    if (const auto* words = std::get_if<std::string>(&loaded)) {
        if (words->find("fuzz.toml") == std::string::npos) std::abort();
        return 0;
    }
    try {
        const Bus bus(std::get<Profile>(loaded));
    } catch (const std::invalid_argument&) {
        // a calibration change naming no table entry: refused like a bad profile
    }
    return 0;
}
