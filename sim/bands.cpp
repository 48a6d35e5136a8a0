// SPDX-License-Identifier: MIT
#include "bands.h"

namespace quillon::sim {

std::optional<std::size_t> bandIndex(std::string_view name) {
    for (std::size_t i = 0; i < kBands.size(); ++i) {
        if (name == kBands[i].name) return i;
    }
    return std::nullopt;
}

bool arfcnInBand(std::size_t band, int arfcn) {
    return arfcn >= kBands[band].firstArfcn && arfcn <= kBands[band].lastArfcn;
}

double downlinkHz(std::size_t band, int arfcn) {
    const BandInfo& info = kBands[band];
    return info.firstUplinkHz + kChannelSpacingHz * (arfcn - info.firstArfcn) + info.duplexHz;
}

int defaultArfcn(std::size_t band) {
    return (kBands[band].firstArfcn + kBands[band].lastArfcn) / 2;
}

}  // namespace quillon::sim
