// SPDX-License-Identifier: MIT
#pragma once

// An operator for unit tests: records what the program shows, hands pauses to onPause without
// waiting, accepts the wizard, runs the options as chosen, and ends the program by throwing.

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
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
    using Message = std::tuple<std::string, std::string, testrun::MessageIcon>;  // title, text

    std::function<void(std::chrono::milliseconds)> onPause;

    std::vector<Message> messages;
    std::map<testrun::FormLabel, std::vector<std::string>> labels;  // every text, in order
    std::vector<std::pair<int, int>> progress;                      // value, maximum
    std::optional<testrun::ResultsGrid> grid;                       // the last shown
    std::vector<testrun::Verdict> verdicts;
    std::vector<std::string> problems;  // reportProblem's lines

    void showSplash() override {}
    void setSplashStatus(const std::string&) override {}
    void closeSplash() override {}
    void messageBox(const std::string& title, const std::string& text,
                    testrun::MessageIcon icon) override {
        messages.emplace_back(title, text, icon);
    }
    void showTestForm() override {}
    void setLabel(testrun::FormLabel l, const std::string& t) override { labels[l].push_back(t); }
    void setProgress(int value, int maximum) override { progress.emplace_back(value, maximum); }
    // Follows the run's grid through its changes only, as the windows do.
    void updateGrid(const testrun::GridChanges& changes) override {
        if (!grid) grid.emplace();
        grid->apply(changes);
    }
    void setVerdict(testrun::Verdict verdict) override { verdicts.push_back(verdict); }
    void setResultButtonsEnabled(bool) override {}
    testrun::WizardOutcome runWizard(const std::string&) override { return {true, false}; }
    // "Run Test" on the choices as they are.
    void runOptions(testrun::TestOptions& options) override { options.runTestPressed(); }
    void yield() override {}
    void pause(std::chrono::milliseconds duration) override {
        if (onPause) onPause(duration);
    }
    void reportProblem(const std::string& line) override { problems.push_back(line); }
    [[noreturn]] void endProgram(int exitCode) override { throw ProgramEnded{exitCode}; }
};

}  // namespace quillon::testing
