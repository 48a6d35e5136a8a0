// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "instrument/bus_hooks.h"
#include "instrument/visa_library.h"
#include "testrun/operator_interface.h"
#include "testrun/run_settings.h"

namespace quillon::instrument {
class clsVisa;
}

namespace quillon::testrun {
class frmDoTest;
}

namespace quillon::app {

// Everything start-up needs from outside the program's logic.
struct StartupEnvironment {
    instrument::VisaApi* visa = nullptr;                 // null: the library could not be loaded
    std::optional<instrument::VisaLoadError> loadError;  // why, when visa is null
    std::function<bool()> anotherInstanceRunning;        // the single-instance check
    // After that check: why the lock cannot be trusted (another user could hold it), which
    // refuses the start; empty when it can.
    std::function<std::string()> instanceLockRefusal;
    testrun::RunSettings runSettings;
    // --restore-calibration FILE: once start-up has found the one test set, restore FILE into
    // it instead of running, and end with the restore's exit code.
    std::string restoreCalibrationFile;
};

// The objects start-up creates and that live until the program ends.
struct ProgramObjects {
    ProgramObjects();
    ~ProgramObjects();
    ProgramObjects(const ProgramObjects&) = delete;
    ProgramObjects& operator=(const ProgramObjects&) = delete;

    instrument::ProgramValues program;
    std::unique_ptr<instrument::clsVisa> bus;
    std::unique_ptr<testrun::frmDoTest> testForm;
    testrun::RunOutcome outcome;
};

// The entry routine: splash, single-instance check, bus search, then prepare, show, run and
// tidy up on the test form. Ends the program through ui.endProgram() when start-up is refused;
// otherwise returns with the test form still alive in objects. An exception that escapes the
// logic ends the program too, with the instrument error's exit code.
void runMain(testrun::OperatorInterface& ui, const StartupEnvironment& environment,
             ProgramObjects& objects);

// The exit code of a run that reached its end.
int exitCodeFor(const testrun::RunOutcome& outcome);

}  // namespace quillon::app
