// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quillon::testrun {

// A choice of bands, tests and iterations made before the run (the command line), applied as
// if the operator had opened the options dialog, started from the defaults and pressed
// "Run Test". Empty members keep the default.
struct PresetChoice {
    std::optional<std::vector<int>> bands;
    std::optional<std::vector<int>> tests;  // test 8 stays chosen
    std::optional<int> iterations;
};

// The test set's calibration table entries as the calibration data check read them: the
// entry's address ("'tdma_bbgen_delay_setting1',1,3") and the number read, in reading order.
using CalibrationReadings = std::vector<std::pair<std::string, double>>;

struct RunSettings {
    bool acceptWizard = false;  // Next, Next, Go! without Shift, no prompts
    std::optional<PresetChoice> preset;
    std::string calibrationDirectory;  // where the two calibration data files are looked for
    // Called with the test set's serial number and the check's readings after the check has
    // compared the tables and before it writes the first entry; not called when nothing is
    // written. Returns why it failed (one line, reported; the run goes on), empty when done.
    std::function<std::string(const std::string& serialNumber, const CalibrationReadings&)>
        beforeCalibrationWrite;
};

// How the run ended, for the exit code of a run that reached its end.
struct RunOutcome {
    bool runFailed = false;
    std::int16_t failCount = 0;
};

}  // namespace quillon::testrun
