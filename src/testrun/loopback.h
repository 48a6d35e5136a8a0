// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "testrun/band_table.h"
#include "testrun/levels.h"

namespace quillon::testrun {

// Source 1 is measured under this many burst-level configurations per band, source 2 under one.
inline constexpr int kSource1Configs = 4;
inline constexpr int kSource2Configs = 1;

// The command lists that put the test set into the arrangements its analyzer measures the two
// sources in; each is sent as one error chain.

// EGPRS test mode, the sources looped back into the analyzer, cell and analyzer on the band,
// source 1 on.
std::vector<std::string> source1Arrangement(const Band& band);
// Source 2 on the band's second channel beside source 1's, source 2 on and source 1 off.
std::vector<std::string> source2Arrangement(const Band& band, const Levels& levels);
// The cell level, the two burst power reductions and the analyzer's expected burst powers of
// configuration config (0 to 3); empty outside that range.
std::vector<std::string> configCommands(std::int16_t config, const Levels& levels);

}  // namespace quillon::testrun
