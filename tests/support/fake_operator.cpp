// SPDX-License-Identifier: MIT
#include "fake_operator.h"

#include <stdexcept>

namespace quillon::testing {

std::vector<std::string> FakeOperator::labelTexts(testrun::FormLabel label) const {
    std::vector<std::string> texts;
    for (const auto& [which, text] : labels) {
        if (which == label) texts.push_back(text);
    }
    return texts;
}

std::string FakeOperator::label(testrun::FormLabel label) const {
    const std::vector<std::string> texts = labelTexts(label);
    return texts.empty() ? std::string() : texts.back();
}

std::chrono::milliseconds FakeOperator::pausedTotal() const {
    std::chrono::milliseconds total{0};
    for (const auto duration : pauses) total += duration;
    return total;
}

const testrun::ResultsGrid& FakeOperator::lastGrid() const {
    if (grids.empty()) throw std::logic_error("no grid was shown");
    return grids.back();
}

void FakeOperator::messageBox(const std::string& title, const std::string& text,
                              testrun::MessageIcon icon) {
    messages.push_back({title, text, icon});
}

void FakeOperator::setLabel(testrun::FormLabel label, const std::string& text) {
    labels.emplace_back(label, text);
}

void FakeOperator::setProgress(int value, int maximum) {
    progress.push_back({value, maximum});
}

testrun::WizardOutcome FakeOperator::runWizard(const std::string& serialNumber) {
    wizardSerials.push_back(serialNumber);
    return wizardOutcome;
}

void FakeOperator::runOptions(testrun::TestOptions& options) {
    ++optionsShown;
    if (optionsAction) optionsAction(options);
    options.runTestPressed();
}

void FakeOperator::yield() {
    ++yields;
    if (onYield) onYield();
}

void FakeOperator::pause(std::chrono::milliseconds duration) {
    pauses.push_back(duration);
    if (onPause) onPause(duration);
}

void FakeOperator::endProgram(int exitCode) {
    throw ProgramEnded{exitCode};
}

}  // namespace quillon::testing
