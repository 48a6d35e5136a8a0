// SPDX-License-Identifier: MIT
#pragma once

// The calibration data tables of a test set that "PL13:CAL:DATA" reads and writes by name,
// with their factory contents. Values keep full double precision.

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "profile.h"

namespace quillon::sim {

class CalibrationTables {
  public:
    // Factory contents, then the profile's changes; throws std::invalid_argument for a change
    // that names no table or lies outside it.
    explicit CalibrationTables(const std::vector<CalibrationChange>& changes);

    // 0 or the SCPI error number: unknown table -224, row or column outside it -222.
    int write(std::string_view table, int row, int column, double value);
    int read(std::string_view table, int row, int column, double& value) const;

  private:
    struct Table {
        int rows = 0;
        int columns = 0;
        std::vector<double> values;  // row after row
    };
    const Table* find(std::string_view name) const;

    std::map<std::string, Table> tables_;
};

}  // namespace quillon::sim
