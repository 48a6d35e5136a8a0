// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <string>
#include <type_traits>

#include "testrun/operator_interface.h"

namespace quillon::ui {

class WindowsSession;

// The operator interface for the worker thread. Every call is carried out on the GUI thread:
// calls that must finish or answer (message boxes, wizard, options, ending the program) block
// the worker until the GUI thread has done them; display updates are queued, in order, behind
// each other and behind the blocking calls. Of the grid only what changed goes across.
class QtOperator final : public testrun::OperatorInterface {
  public:
    QtOperator(WindowsSession& session, double pauseScale);

    void showSplash() override;
    void setSplashStatus(const std::string& status) override;
    void closeSplash() override;
    void messageBox(const std::string& title, const std::string& text,
                    testrun::MessageIcon icon) override;
    void showTestForm() override;
    void setLabel(testrun::FormLabel label, const std::string& text) override;
    void reportProblem(const std::string& line) override;
    void setProgress(int value, int maximum) override;
    void updateGrid(const testrun::GridChanges& changes) override;
    void setVerdict(testrun::Verdict verdict) override;
    void setResultButtonsEnabled(bool enabled) override;
    testrun::WizardOutcome runWizard(const std::string& serialNumber) override;
    void runOptions(testrun::TestOptions& options) override;
    // The GUI thread never waits for the worker, so there is nothing to let through.
    void yield() override {}
    // Sleeps on the worker; the windows keep painting.
    void pause(std::chrono::milliseconds duration) override;
    // Closes the windows and ends the process. Where the session's endProcess hook returns
    // (tests), the worker leaves the program's logic by throwing ProgramEnded.
    [[noreturn]] void endProgram(int exitCode) override;

    struct ProgramEnded {
        int exitCode;
    };

  private:
    bool onGuiThread() const;

    // Runs work on the GUI thread and waits for its result.
    template <typename Work>
    std::invoke_result_t<Work> call(Work work);
    // Queues work for the GUI thread, behind everything queued before.
    template <typename Work>
    void post(Work work);

    WindowsSession& session_;
    double pauseScale_;
};

}  // namespace quillon::ui
