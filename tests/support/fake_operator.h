// SPDX-License-Identifier: MIT
#pragma once

// An operator interface for unit tests: records what the program shows (labels, progress,
// messages, grid snapshots, verdicts), counts pauses without waiting, answers the wizard and
// the options dialog from a script, and ends the program by throwing ProgramEnded.

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "testrun/operator_interface.h"
#include "testrun/results_grid.h"
#include "testrun/test_options.h"

namespace quillon::testing {

// Thrown by FakeOperator::endProgram; carries the exit code.
struct ProgramEnded {
    int exitCode;
};

class FakeOperator final : public testrun::OperatorInterface {
public:
    struct Message {
        std::string title;
        std::string text;
        testrun::MessageIcon icon;
    };
    struct Progress {
        int value;
        int maximum;
        bool operator==(const Progress&) const = default;
    };

    // Script.
    testrun::WizardOutcome wizardOutcome{true, false};
    // Runs inside runOptions on the dialog's choices; "Run Test" is pressed afterwards.
    std::function<void(testrun::TestOptions&)> optionsAction;
    std::function<void()> onYield;
    std::function<void(std::chrono::milliseconds)> onPause;

    // Record.
    bool splashShown = false;
    bool splashClosed = false;
    bool testFormShown = false;
    std::vector<std::string> splashStatuses;
    std::vector<Message> messages;
    std::vector<std::pair<testrun::FormLabel, std::string>> labels;
    std::vector<Progress> progress;
    std::vector<testrun::ResultsGrid> grids;  // one snapshot per showGrid
    std::vector<testrun::Verdict> verdicts;
    std::vector<bool> resultButtons;
    std::vector<std::string> wizardSerials;  // one per wizard shown
    int optionsShown = 0;
    int yields = 0;
    std::vector<std::chrono::milliseconds> pauses;

    // Every text shown on label, in order, and the last one ("" when none).
    std::vector<std::string> labelTexts(testrun::FormLabel label) const;
    std::string label(testrun::FormLabel label) const;
    std::chrono::milliseconds pausedTotal() const;
    const testrun::ResultsGrid& lastGrid() const;  // throws when no grid was shown

    void showSplash() override { splashShown = true; }
    void setSplashStatus(const std::string& status) override { splashStatuses.push_back(status); }
    void closeSplash() override { splashClosed = true; }
    void messageBox(const std::string& title, const std::string& text,
                    testrun::MessageIcon icon) override;
    void showTestForm() override { testFormShown = true; }
    void setLabel(testrun::FormLabel label, const std::string& text) override;
    void setProgress(int value, int maximum) override;
    void showGrid(const testrun::ResultsGrid& grid) override { grids.push_back(grid); }
    void setVerdict(testrun::Verdict verdict) override { verdicts.push_back(verdict); }
    void setResultButtonsEnabled(bool enabled) override { resultButtons.push_back(enabled); }
    testrun::WizardOutcome runWizard(const std::string& serialNumber) override;
    void runOptions(testrun::TestOptions& options) override;
    void yield() override;
    void pause(std::chrono::milliseconds duration) override;
    [[noreturn]] void endProgram(int exitCode) override;
};

}  // namespace quillon::testing
