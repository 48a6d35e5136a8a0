// SPDX-License-Identifier: MIT
#include "ui/console/console_operator.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <istream>
#include <ostream>

#include "app/front_end.h"
#include "app/immediate_exit.h"
#include "testrun/test_options.h"
#include "ui/console/console_dialogs.h"
#include "ui/console/results_table_text.h"
#include "ui/dialog_texts.h"

namespace quillon::ui {
namespace {

constexpr const char* kClearLine = "\r\033[2K";
constexpr int kBarWidth = 20;

struct LabelCaption {
    testrun::FormLabel label;
    const char* caption;
};

// The captions that stand beside the test form's labels.
constexpr std::array<LabelCaption, 6> kLabelCaptions = {{
    {testrun::FormLabel::SerialNumber, "Instrument Serial Number: "},
    {testrun::FormLabel::Band, "Band: "},
    {testrun::FormLabel::TestStatus, "Current Test: "},
    {testrun::FormLabel::MainPower, "Main Power: "},
    {testrun::FormLabel::Offset1Power, "Offset 1 Power: "},
    {testrun::FormLabel::Offset2Power, "Offset 2 Power: "},
}};

const char* captionOf(testrun::FormLabel label) {
    for (const LabelCaption& entry : kLabelCaptions) {
        if (entry.label == label) return entry.caption;
    }
    return "";
}

std::string crLfToLf(const std::string& text) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n') continue;
        result += text[at];
    }
    return result;
}

std::string progressBar(int value, int maximum) {
    const int filled = maximum > 0 ? std::clamp(value * kBarWidth / maximum, 0, kBarWidth) : 0;
    return "[" + std::string(static_cast<std::size_t>(filled), '#') +
           std::string(static_cast<std::size_t>(kBarWidth - filled), '-') + "] " +
           std::to_string(value) + "/" + std::to_string(maximum);
}

std::string verdictText(testrun::Verdict verdict, bool ansi) {
    const bool pass = verdict == testrun::Verdict::Pass;
    const char* word = pass ? "Pass" : "Fail";
    if (!ansi) return word;
    // The verdict label's colours: black on green, white on red.
    return std::string(pass ? "\033[1;30;42m " : "\033[1;37;41m ") + word + " \033[0m";
}

}  // namespace

ConsoleOperator::ConsoleOperator(std::istream& in, std::ostream& out, Settings settings)
    : in_(in), out_(out), settings_(settings) {}

void ConsoleOperator::showSplash() {}

void ConsoleOperator::setSplashStatus(const std::string& status) {
    printLine(status);
}

void ConsoleOperator::closeSplash() {}

void ConsoleOperator::messageBox(const std::string& title, const std::string& text,
                                 testrun::MessageIcon /*icon*/) {
    printLine(title + ": " + crLfToLf(text));
}

void ConsoleOperator::showTestForm() {
    printLine(kTestFormTitle);
}

void ConsoleOperator::setLabel(testrun::FormLabel label, const std::string& text) {
    if (label == testrun::FormLabel::TestStatus) {
        if (text == status_) return;
        status_ = text;
        if (settings_.terminal) {
            redrawLiveLine();
        } else {
            printLine(captionOf(label) + text);
        }
        return;
    }
    if (!text.empty()) printLine(captionOf(label) + text);
}

void ConsoleOperator::setProgress(int value, int maximum) {
    progressValue_ = value;
    progressMaximum_ = maximum;
    if (settings_.terminal) {
        if (liveLineShown_ || value > 0) redrawLiveLine();
        return;
    }
    printNumberedProgress(value, maximum);
}

// A line at each tenth of the way and at the end: enough to follow a log, never 115 lines.
void ConsoleOperator::printNumberedProgress(int value, int maximum) {
    if (maximum <= 0 || value <= 0) {
        lastPrintedTenth_ = 0;
        return;
    }
    const int tenth = std::min(value * 10 / maximum, 10);
    if (tenth == lastPrintedTenth_ && value != maximum) return;
    lastPrintedTenth_ = tenth;
    printLine("Progress: " + std::to_string(value) + "/" + std::to_string(maximum));
}

// The console prints the table once, at the end, from the form's final grid.
void ConsoleOperator::updateGrid(const testrun::GridChanges& /*changes*/) {}

void ConsoleOperator::setVerdict(testrun::Verdict verdict) {
    if (verdict != testrun::Verdict::Hidden) verdict_ = verdict;
}

void ConsoleOperator::setResultButtonsEnabled(bool /*enabled*/) {}

testrun::WizardOutcome ConsoleOperator::runWizard(const std::string& serialNumber) {
    clearLiveLine();
    const testrun::WizardOutcome outcome = promptWizard(in_, out_, serialNumber);
    out_.flush();
    return outcome;
}

void ConsoleOperator::runOptions(testrun::TestOptions& options) {
    clearLiveLine();
    promptOptions(in_, out_, options);
    out_.flush();
}

void ConsoleOperator::yield() {}

void ConsoleOperator::pause(std::chrono::milliseconds duration) {
    app::pauseScaled(duration, settings_.pauseScale);
}

void ConsoleOperator::endProgram(int exitCode) {
    finishLiveLine();
    out_.flush();
    std::fflush(nullptr);
    app::exitImmediately(exitCode);
}

void ConsoleOperator::printResults(const testrun::ResultsGrid& grid) {
    finishLiveLine();
    out_ << '\n' << renderResultsTable(grid, settings_.terminal) << '\n' << "Test Complete\n";
    if (verdict_) out_ << "Verdict: " << verdictText(*verdict_, settings_.terminal) << '\n';
    out_.flush();
}

void ConsoleOperator::printLine(const std::string& line) {
    const bool restore = liveLineShown_;
    clearLiveLine();
    out_ << line << '\n';
    if (restore) redrawLiveLine();
    out_.flush();
}

void ConsoleOperator::redrawLiveLine() {
    std::string line = captionOf(testrun::FormLabel::TestStatus) + status_;
    const std::string bar =
        progressMaximum_ > 0 ? progressBar(progressValue_, progressMaximum_) : std::string();
    const auto room = static_cast<std::size_t>(std::max(settings_.width - 1, 20));
    if (!bar.empty()) {
        // The bar always fits; a long status gives way.
        const std::size_t keep = room > bar.size() + 2 ? room - bar.size() - 2 : 0;
        if (line.size() > keep) line.resize(keep);
        line += "  " + bar;
    } else if (line.size() > room) {
        line.resize(room);
    }
    out_ << kClearLine << line << std::flush;
    liveLineShown_ = true;
}

void ConsoleOperator::clearLiveLine() {
    if (!liveLineShown_) return;
    out_ << kClearLine;
    liveLineShown_ = false;
}

void ConsoleOperator::finishLiveLine() {
    if (!liveLineShown_) return;
    out_ << '\n';
    liveLineShown_ = false;
}

}  // namespace quillon::ui
