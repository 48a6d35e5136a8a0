// SPDX-License-Identifier: MIT
#pragma once

#include <string>

#include "testrun/results_grid.h"

namespace quillon::testrun {

// The results file: one line per grid row from the header on, cells joined by ", ", each line
// ended by CR LF, single-byte text without a byte-order mark, no line break inside a cell.
std::string resultsFileText(const ResultsGrid& grid);

// Creates or replaces path with resultsFileText(grid). On failure returns false and says why
// in error; the grid is untouched either way.
bool writeResultsFile(const ResultsGrid& grid, const std::string& path, std::string& error);

// The name the Save dialog proposes: the serial number followed by ".csv".
std::string proposedFileName(const std::string& serialNumber);

inline constexpr const char* kSaveFilter =
    "Comma separated variables (*.csv)|*.csv|Text files (*.txt)|*.txt|All files (*.*)|*.*";

}  // namespace quillon::testrun
