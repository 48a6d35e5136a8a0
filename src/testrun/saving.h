// SPDX-License-Identifier: MIT
#pragma once

#include <string>

#include "testrun/results_grid.h"

namespace quillon::testrun {

// The results file: one line per grid row from the header on, cells joined by ", ", each line
// ended by CR LF, single-byte text without a byte-order mark, no line break inside a cell.
std::string resultsFileText(const ResultsGrid& grid);

// Creates or replaces path with text, whole or not at all: on failure (no folder, no room, a
// file-size limit, a folder in the way) the earlier file at path keeps every byte, no partial
// file is left, and error names the path and says why. Every file the program writes for the
// operator goes through here.
bool writeWholeFile(const std::string& path, const std::string& text, std::string& error);

// writeWholeFile of resultsFileText(grid) (an empty path is refused).
bool writeResultsFile(const ResultsGrid& grid, const std::string& path, std::string& error);

// The name the Save dialog proposes: the serial number followed by ".csv".
std::string proposedFileName(const std::string& serialNumber);

inline constexpr const char* kSaveFilter =
    "Comma separated variables (*.csv)|*.csv|Text files (*.txt)|*.txt|All files (*.*)|*.*";

}  // namespace quillon::testrun
