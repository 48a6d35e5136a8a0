// SPDX-License-Identifier: MIT
#pragma once

#include <string>

#include "testrun/results_grid.h"

namespace quillon::ui {

// The results grid as aligned text columns: the header row, a rule, then every row, each line
// ended by a line feed and without trailing blanks. Each column is as wide as its widest text
// and aligned as the grid says. With ansi the header and the emphasised cells are bold.
std::string renderResultsTable(const testrun::ResultsGrid& grid, bool ansi);

}  // namespace quillon::ui
