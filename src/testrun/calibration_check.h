// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <functional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "instrument/visa_types.h"
#include "testrun/calibration_data.h"

namespace quillon::instrument {
class clsVisa;
}

namespace quillon::testrun {

class OperatorInterface;

// The program's baseband generator delay calibration tables: the built-in values, replaced by
// the two files beside the program where those can be read in full.
struct CalibrationTables {
    std::array<double, 25> delaySetting = kBuiltInDelaySetting;
    std::array<double, 5> dataDelay = kBuiltInDataDelay;
    bool delaySettingBuiltIn = true;
    bool dataDelayBuiltIn = true;
};

// Loads the two files from directory. A file that is missing or short keeps the built-in mark,
// with the lines read so far already in place.
CalibrationTables loadCalibrationTables(const std::string& directory);

// What the check found and did.
struct CalibrationOutcome {
    bool settingDiffers = false;
    bool dataDiffers = false;
    // "C:" and H (built in) or D (from the file) for each kind; empty when nothing was written.
    std::string gridCode;
    // Every entry read from the test set, in order: its address and the number read.
    std::vector<std::pair<std::string, double>> readings;
};

// Compares the test set's tables with the program's, writes the program's where they differ
// and has the test set store them. Never fails the run.
class CalibrationCheck {
  public:
    CalibrationCheck(instrument::clsVisa& visa, OperatorInterface& ui, CalibrationTables tables)
        : visa_(visa), ui_(ui), tables_(tables) {}

    CalibrationOutcome run(instrument::ViSession vi);

    // Called once by run, after the comparison and before the first write, with the outcome so
    // far (the readings); not called when nothing is to be written.
    std::function<void(const CalibrationOutcome&)> beforeWrite;

    const CalibrationTables& tables() const { return tables_; }

  private:
    struct TableKind;
    bool compare(instrument::ViSession vi, const TableKind& kind, std::span<const double> table,
                 CalibrationOutcome& outcome);
    void write(instrument::ViSession vi, const TableKind& kind, std::span<const double> table);
    void waitForSync(instrument::ViSession vi);

    instrument::clsVisa& visa_;
    OperatorInterface& ui_;
    CalibrationTables tables_;
};

}  // namespace quillon::testrun
