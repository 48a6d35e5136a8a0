// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

#include "testrun/results_grid.h"

namespace quillon::testrun {

class TestOptions;

enum class FormLabel { SerialNumber, Band, TestStatus, MainPower, Offset1Power, Offset2Power };
enum class MessageIcon { None, Exclamation, Critical };
enum class Verdict { Hidden, Pass, Fail };

struct WizardOutcome {
    bool okayPressed = false;
    bool shiftHeld = false;
};

// Exit codes of the whole program.
enum ExitCode : int {
    kExitPass = 0,
    kExitFail = 1,
    kExitInstrumentError = 2,
    kExitStartupRefused = 3,
    kExitWizardCancelled = 4,
    kExitResultsNotSaved = 5,  // a file the command line asked for could not be written
    kExitRestoreMismatch = 6,  // --restore-calibration: an entry read back differs
    kExitBadCommandLine = 64,
};

// How the program's logic talks to the operator. The core calls it on one thread, in order;
// the front-ends (windows and console) implement it. Every call returns when its effect is
// done; the modal ones (messageBox, runWizard, runOptions) when the operator has answered.
class OperatorInterface {
  public:
    virtual ~OperatorInterface() = default;

    // Start-up splash window with its status line.
    virtual void showSplash() = 0;
    virtual void setSplashStatus(const std::string& status) = 0;
    virtual void closeSplash() = 0;

    // A message box with an OK button. text lines are joined by CR LF.
    virtual void messageBox(const std::string& title, const std::string& text,
                            MessageIcon icon) = 0;

    // The test form.
    virtual void showTestForm() = 0;
    virtual void setLabel(FormLabel label, const std::string& text) = 0;
    virtual void setProgress(int value, int maximum) = 0;
    // What changed in the results grid since the last call (the first call holds all of it).
    virtual void updateGrid(const GridChanges& changes) = 0;
    virtual void setVerdict(Verdict verdict) = 0;
    virtual void setResultButtonsEnabled(bool enabled) = 0;  // Save and Print

    // Modal dialogs. runOptions lets the operator edit the choices and returns after
    // "Run Test", which the implementation reports through options.runTestPressed().
    virtual WizardOutcome runWizard(const std::string& serialNumber) = 0;
    virtual void runOptions(TestOptions& options) = 0;

    // Lets the user interface handle its events (Exit may end the program here).
    virtual void yield() = 0;
    // Blocks the run for the given time; the window stays painted.
    virtual void pause(std::chrono::milliseconds duration) = 0;

    // Something beside the run could not be done (the calibration backup); the run goes on.
    // One line: the console puts it on standard error, the windows in the status line.
    virtual void reportProblem(const std::string& line) {
        std::fprintf(stderr, "quillon: %s\n", line.c_str());
    }

    // Ends the program at once: every window closes, nothing further runs.
    [[noreturn]] virtual void endProgram(int exitCode) = 0;
};

}  // namespace quillon::testrun
