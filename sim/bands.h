// SPDX-License-Identifier: MIT
#pragma once

// The GSM bands the test set knows, in the order the profiles index them, with the channel
// numbering that turns an ARFCN into its downlink frequency.

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace quillon::sim {

struct BandInfo {
    const char* name;
    int firstArfcn;
    int lastArfcn;
    double firstUplinkHz;  // uplink frequency of firstArfcn
    double duplexHz;       // downlink lies this far above the uplink
};

inline constexpr std::array<BandInfo, 5> kBands{{
    {"GSM450", 259, 293, 450.6e6, 10e6},
    {"GSM850", 128, 251, 824.2e6, 45e6},
    {"PGSM", 1, 124, 890.2e6, 45e6},
    {"DCS", 512, 885, 1710.2e6, 95e6},
    {"PCS", 512, 810, 1850.2e6, 80e6},
}};

inline constexpr double kChannelSpacingHz = 200e3;

std::optional<std::size_t> bandIndex(std::string_view name);
bool arfcnInBand(std::size_t band, int arfcn);
double downlinkHz(std::size_t band, int arfcn);
int defaultArfcn(std::size_t band);

}  // namespace quillon::sim
