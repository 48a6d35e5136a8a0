// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <optional>
#include <string>
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

struct RunSettings {
    bool acceptWizard = false;  // Next, Next, Go! without Shift, no prompts
    std::optional<PresetChoice> preset;
    std::string calibrationDirectory;  // where the two calibration data files are looked for
};

// How the run ended, for the exit code of a run that reached its end.
struct RunOutcome {
    bool runFailed = false;
    std::int16_t failCount = 0;
};

}  // namespace quillon::testrun
