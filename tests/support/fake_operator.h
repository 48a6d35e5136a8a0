// SPDX-License-Identifier: MIT
#pragma once

// An operator for unit tests: records what the program shows, counts pauses without waiting,
// answers the wizard and the options dialog from a script, and ends the program by throwing.

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "testrun/operator_interface.h"
#include "testrun/results_grid.h"
#include "testrun/test_options.h"

namespace quillon::testing {

struct ProgramEnded {
    int exitCode;
};

class FakeOperator final : public testrun::OperatorInterface {
  public:
    struct Message {
        std::string title, text;
        testrun::MessageIcon icon;
        bool operator==(const Message&) const = default;
    };
    struct Progress {
        int value, maximum;
        bool operator==(const Progress&) const = default;
    };

    testrun::WizardOutcome wizardOutcome{true, false};
    std::function<void(std::chrono::milliseconds)> onPause;

    std::vector<Message> messages;
    std::map<testrun::FormLabel, std::vector<std::string>> labels;  // every text, in order
    std::vector<Progress> progress;
    std::vector<testrun::ResultsGrid> grids;  // one snapshot per showGrid
    std::vector<testrun::Verdict> verdicts;
    std::vector<std::string> wizardSerials;
    std::vector<std::chrono::milliseconds> pauses;

    std::string label(testrun::FormLabel l) {  // the last text, or ""
        return labels[l].empty() ? std::string() : labels[l].back();
    }
    std::chrono::milliseconds pausedTotal() const;
    const testrun::ResultsGrid& lastGrid() const;  // throws when no grid was shown

    void showSplash() override {}
    void setSplashStatus(const std::string&) override {}
    void closeSplash() override {}
    void messageBox(const std::string& title, const std::string& text,
                    testrun::MessageIcon icon) override {
        messages.push_back({title, text, icon});
    }
    void showTestForm() override {}
    void setLabel(testrun::FormLabel l, const std::string& text) override {
        labels[l].push_back(text);
    }
    void setProgress(int value, int maximum) override { progress.push_back({value, maximum}); }
    void showGrid(const testrun::ResultsGrid& grid) override { grids.push_back(grid); }
    void setVerdict(testrun::Verdict verdict) override { verdicts.push_back(verdict); }
    void setResultButtonsEnabled(bool) override {}
    testrun::WizardOutcome runWizard(const std::string& serialNumber) override {
        wizardSerials.push_back(serialNumber);
        return wizardOutcome;
    }
    // "Run Test" on the choices as they are.
    void runOptions(testrun::TestOptions& options) override { options.runTestPressed(); }
    void yield() override {}
    void pause(std::chrono::milliseconds duration) override {
        pauses.push_back(duration);
        if (onPause) onPause(duration);
    }
    [[noreturn]] void endProgram(int exitCode) override { throw ProgramEnded{exitCode}; }
};

}  // namespace quillon::testing
