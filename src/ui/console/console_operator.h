// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <iosfwd>
#include <optional>
#include <string>

#include "testrun/operator_interface.h"
#include "testrun/results_grid.h"

namespace quillon::ui {

// The operator interface on a terminal or a plain output stream. On a terminal the run's status
// and progress share one line that is redrawn in place; elsewhere each change that matters is
// a line of its own, so a log of the output stays short and readable.
class ConsoleOperator final : public testrun::OperatorInterface {
  public:
    struct Settings {
        bool terminal = false;    // stdout is a terminal: redraw in place, bold via ANSI
        double pauseScale = 1.0;  // factor for pause()
        int width = 80;           // terminal columns for the live line
    };

    ConsoleOperator(std::istream& in, std::ostream& out, Settings settings);

    void showSplash() override;
    void setSplashStatus(const std::string& status) override;
    void closeSplash() override;
    void messageBox(const std::string& title, const std::string& text,
                    testrun::MessageIcon icon) override;
    void showTestForm() override;
    void setLabel(testrun::FormLabel label, const std::string& text) override;
    void setProgress(int value, int maximum) override;
    void updateGrid(const testrun::GridChanges& changes) override;
    void setVerdict(testrun::Verdict verdict) override;
    void setResultButtonsEnabled(bool enabled) override;
    testrun::WizardOutcome runWizard(const std::string& serialNumber) override;
    void runOptions(testrun::TestOptions& options) override;
    void yield() override;
    void pause(std::chrono::milliseconds duration) override;
    [[noreturn]] void endProgram(int exitCode) override;

    // After the run: the results table, then the verdict.
    void printResults(const testrun::ResultsGrid& grid);

  private:
    void printLine(const std::string& line);
    void printNumberedProgress(int value, int maximum);
    void redrawLiveLine();
    void clearLiveLine();
    void finishLiveLine();

    std::istream& in_;
    std::ostream& out_;
    Settings settings_;
    std::string status_;
    int progressValue_ = 0;
    int progressMaximum_ = 0;
    int lastPrintedTenth_ = -1;
    bool liveLineShown_ = false;
    std::optional<testrun::Verdict> verdict_;
};

}  // namespace quillon::ui
