// SPDX-License-Identifier: MIT
#include "ui/console/console_dialogs.h"

#include <algorithm>
#include <cctype>
#include <istream>
#include <optional>
#include <ostream>
#include <variant>
#include <vector>

#include "app/command_line.h"
#include "app/program_info.h"
#include "ui/dialog_texts.h"

namespace quillon::ui {
namespace {

// The prompt under a step: its button, Go! with Shift at the last step, and Cancel.
std::string stepPrompt(const WizardStepTexts& step, bool lastStep) {
    std::string prompt = std::string("[Enter] ") + step.next + "   ";
    if (lastStep) prompt += std::string("[o] ") + kGoCaption + " with test options   ";
    return prompt + "[c] " + kCancelCaption + ": ";
}

enum class Answer { Next, NextWithShift, Cancel, Again };

std::optional<std::string> readLine(std::istream& in) {
    std::string line;
    if (!std::getline(in, line)) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

std::string trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

Answer readAnswer(std::istream& in, bool lastStep) {
    const std::optional<std::string> line = readLine(in);
    if (!line) return Answer::Cancel;
    const std::string answer = trimmed(*line);
    if (answer.empty()) return Answer::Next;
    if (answer == "c" || answer == "C") return Answer::Cancel;
    if (lastStep && (answer == "o" || answer == "O")) return Answer::NextWithShift;
    return Answer::Again;
}

void printWizardHeader(std::ostream& out, const std::string& serialNumber) {
    out << kProgramHeading << '\n'
        << kSerialNumberCaption << serialNumber << '\n'
        << app::versionText() << '\n'
        << kDescription << '\n';
}

void printStep(std::ostream& out, const WizardStepTexts& step) {
    out << '\n' << step.caption << '\n' << step.title << '\n' << shownStepText(step.text) << '\n';
}

void printCheckBox(std::ostream& out, bool checked, int index, const char* caption) {
    out << "  [" << (checked ? 'x' : ' ') << "] " << index << "  " << caption << '\n';
}

void printTests(std::ostream& out, const testrun::TestOptions& options, int first, int last) {
    for (int test = first; test <= last; ++test) {
        printCheckBox(out, options.getTest(static_cast<std::int16_t>(test)), test,
                      kTestCaptions[static_cast<std::size_t>(test)]);
    }
}

void printOptions(std::ostream& out, const testrun::TestOptions& options) {
    out << '\n' << kOptionsTitle << '\n' << kOptionsPrompt << "\nBands\n";
    for (int band = 0; band < testrun::TestOptions::kBands; ++band) {
        printCheckBox(out, options.getBand(static_cast<std::int16_t>(band)), band,
                      kBandCaptions[static_cast<std::size_t>(band)]);
    }
    out << "Source 1 Tests\n";
    printTests(out, options, 0, 4);
    out << "Source 2 Tests\n";
    printTests(out, options, 5, 7);
    out << "System Configuration\n";
    printTests(out, options, testrun::TestOptions::kCalibrateSource,
               testrun::TestOptions::kCalibrateSource);
    out << "  Measurement Iterations: " << options.sliderValue() << '\n';
}

using Indices = std::variant<std::vector<int>, std::string>;

Indices listOrNone(const std::string& text, Indices (*parse)(std::string_view)) {
    if (trimmed(text) == "none") return std::vector<int>{};
    return parse(text);
}

// Replaces the checked boxes in [0, count) by indices; returns an error text or empty.
template <typename Set>
std::string applyChoice(const Indices& parsed, int count, Set set) {
    if (const auto* error = std::get_if<std::string>(&parsed)) return *error;
    const auto& chosen = std::get<std::vector<int>>(parsed);
    for (int index = 0; index < count; ++index) {
        set(static_cast<std::int16_t>(index),
            std::find(chosen.begin(), chosen.end(), index) != chosen.end());
    }
    return {};
}

std::string applyOptionCommand(const std::string& command, testrun::TestOptions& options) {
    const std::string argument = command.size() > 1 ? command.substr(1) : std::string();
    switch (command.front()) {
        case 'b':
            return applyChoice(listOrNone(argument, app::parseBandList),
                               testrun::TestOptions::kBands,
                               [&](std::int16_t i, bool on) { options.setBand(i, on); });
        case 't':
            return applyChoice(listOrNone(argument, app::parseTestList),
                               testrun::TestOptions::kCalibrateSource,
                               [&](std::int16_t i, bool on) { options.setTest(i, on); });
        case 'i': {
            const auto parsed = app::parseIterations(argument);
            if (const auto* error = std::get_if<std::string>(&parsed)) return *error;
            options.setSliderValue(std::get<int>(parsed));
            return {};
        }
        default:
            return "unknown command '" + command + "'";
    }
}

}  // namespace

testrun::WizardOutcome promptWizard(std::istream& in, std::ostream& out,
                                    const std::string& serialNumber) {
    printWizardHeader(out, serialNumber);
    for (std::size_t index = 0; index < kWizardSteps.size(); ++index) {
        const bool lastStep = index + 1 == kWizardSteps.size();
        printStep(out, kWizardSteps[index]);
        const std::string prompt = stepPrompt(kWizardSteps[index], lastStep);
        Answer answer = Answer::Again;
        while (answer == Answer::Again) {
            out << prompt << std::flush;
            answer = readAnswer(in, lastStep);
        }
        out << '\n';
        if (answer == Answer::Cancel) return {false, false};
        if (lastStep) return {true, answer == Answer::NextWithShift};
    }
    return {false, false};
}

void promptOptions(std::istream& in, std::ostream& out, testrun::TestOptions& options) {
    printOptions(out, options);
    for (;;) {
        out << "[Enter] Run Test   b LIST bands   t LIST tests   i N iterations: " << std::flush;
        const std::optional<std::string> line = readLine(in);
        // The dialog has no other way out than "Run Test"; the end of input presses it too.
        if (!line || trimmed(*line).empty()) break;
        const std::string error = applyOptionCommand(trimmed(*line), options);
        if (!error.empty()) {
            out << error << '\n';
        } else {
            printOptions(out, options);
        }
    }
    out << '\n';
    options.runTestPressed();
}

}  // namespace quillon::ui
