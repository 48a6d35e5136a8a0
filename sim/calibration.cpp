// SPDX-License-Identifier: MIT
#include "calibration.h"

#include <stdexcept>

#include "error_queue.h"
#include "scpi.h"

namespace quillon::sim {
namespace {

// Factory baseband generator delays: a 5 x 5 setting table and a 5 x 1 data delay table, each
// in two instances.
const std::vector<double> kDelaySetting{36, 60, 87, 84, 60, 36, 60, 87, 84, 60, 0, 0, 0,
                                        0,  0,  36, 60, 87, 0,  0,  0,  0,  0,  0, 0};
const std::vector<double> kDataDelay{0.000646098, 0, 0.00003367, 0.00003367, 0};

}  // namespace

CalibrationTables::CalibrationTables(const std::vector<CalibrationChange>& changes) {
    for (const char* instance : {"1", "2"}) {
        tables_[std::string("TDMA_BBGEN_DELAY_SETTING") + instance] = {5, 5, kDelaySetting};
        tables_[std::string("TDMA_BBGEN_DATA_DELAY") + instance] = {5, 1, kDataDelay};
    }
    for (const CalibrationChange& change : changes) {
        if (write(change.table, change.row, change.column, change.value) != 0) {
            throw std::invalid_argument("calibration change of '" + change.table +
                                        "' names no table entry");
        }
    }
}

const CalibrationTables::Table* CalibrationTables::find(std::string_view name) const {
    const auto it = tables_.find(upperCase(name));
    return it == tables_.end() ? nullptr : &it->second;
}

int CalibrationTables::write(std::string_view table, int row, int column, double value) {
    const Table* found = find(table);
    if (found == nullptr) return scpi_error::kIllegalParameterValue;
    if (row < 0 || row >= found->rows || column < 0 || column >= found->columns) {
        return scpi_error::kDataOutOfRange;
    }
    tables_[upperCase(table)].values[static_cast<std::size_t>(row * found->columns + column)] =
        value;
    return 0;
}

int CalibrationTables::read(std::string_view table, int row, int column, double& value) const {
    const Table* found = find(table);
    if (found == nullptr) return scpi_error::kIllegalParameterValue;
    if (row < 0 || row >= found->rows || column < 0 || column >= found->columns) {
        return scpi_error::kDataOutOfRange;
    }
    value = found->values[static_cast<std::size_t>(row * found->columns + column)];
    return 0;
}

}  // namespace quillon::sim
