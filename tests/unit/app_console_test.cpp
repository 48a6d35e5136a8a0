// SPDX-License-Identifier: MIT
// The console front-end: results table, wizard and options prompts, plain and terminal output.

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "instrument/bus_hooks.h"
#include "testrun/results_grid.h"
#include "testrun/test_options.h"
#include "ui/console/console_dialogs.h"
#include "ui/console/console_operator.h"
#include "ui/console/results_table_text.h"

namespace quillon::ui {
namespace {

int countOf(const std::string& text, const std::string& part) {
    int count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

testrun::ResultsGrid smallGrid() {
    testrun::ResultsGrid grid;
    grid.setFormatString(">Freq  |<Name|>      Result");
    for (const char* row :
         {"SN1\tlong name here\t", "\t", " 464000000\tx\tPass", " 464000000\ty\tFail"}) {
        grid.appendTabbed(row);
    }
    grid.setEmphasis(1, 0, true);
    grid.setFailure(4, 2, true);
    return grid;
}

TEST(ResultsTableText, AlignsColumnsAndMarksHeaderEmphasisAndFailuresOnlyWithAnsi) {
    EXPECT_EQ(renderResultsTable(smallGrid(), false),
              "    Freq    Name                  Result\n"
              "----------  --------------  ------------\n"
              "       SN1  long name here\n\n"
              " 464000000  x                       Pass\n"
              " 464000000  y                       Fail\n");
    const std::string marked = renderResultsTable(smallGrid(), true);
    EXPECT_EQ(countOf(marked, "\033[1m"), 4) << marked;  // three header cells and SN1
    EXPECT_NE(marked.find("\033[1m       SN1\033[0m"), std::string::npos);
    EXPECT_EQ(countOf(marked, "\033[31m"), 1) << marked;
    EXPECT_NE(marked.find("\033[31m        Fail\033[0m"), std::string::npos);
}

// What the wizard ended with, and after how many prompts.
std::string wizardOutcome(const char* input, std::string* output = nullptr) {
    std::istringstream in(input);
    std::ostringstream out;
    const testrun::WizardOutcome outcome = promptWizard(in, out, "ABC");
    if (output != nullptr) *output = out.str();
    return std::string(outcome.okayPressed ? "go" : "cancel") +
           (outcome.shiftHeld ? "+shift" : "") + " " +
           std::to_string(countOf(out.str(), "Cancel: "));
}

TEST(ConsoleWizard, ShowsTheStepsAndTheAnswersDecideTheOutcome) {
    // The end of input is Cancel; "o" (Shift) only counts at step 3; other answers ask again.
    const std::pair<const char*, const char*> cases[] = {
        {"", "cancel 1"},          {"\n\n\n", "go 3"},        {"\r\n\r\n\r\n", "go 3"},
        {"\n\no\n", "go+shift 3"}, {"\n\nO\n", "go+shift 3"}, {"\nC\n", "cancel 2"},
        {"\n\n", "cancel 3"},      {"o\n\n\n\n", "go 4"},     {"x\n\nnext\n\n\n", "go 5"}};
    for (const auto& [input, expected] : cases) EXPECT_EQ(wizardOutcome(input), expected) << input;

    std::string out;
    wizardOutcome("\n\n\n", &out);
    for (const char* shown :
         {"\nStep 2 - Remove RF\nRemove any RF inputs from the 4750\n[Enter] Next >   [c] Cancel: ",
          "applications\n\n - K3310 LA with K3315A Feature License\n - K2210 TA",
          "run\n[Enter] Go!   [o] Go! with test options   [c] Cancel: "}) {
        EXPECT_NE(out.find(shown), std::string::npos) << shown << "\n" << out;
    }
}

// Bands, tests, iterations, progressSteps and result after the editor, from everything chosen.
std::string optionsAfter(const std::string& input) {
    instrument::ProgramValues program;
    testrun::TestOptions options(program);
    std::istringstream in("b 0,1,2,3,4\nt 0,1,2,3,4,5,6,7\n" + input);
    std::ostringstream out;
    promptOptions(in, out, options);
    std::string text;
    for (std::int16_t index = 0; index < 14; ++index) {
        text += (index < 5 ? options.getBand(index) : options.getTest(index - 5)) ? '1' : '0';
    }
    return text + ' ' + std::to_string(program.measurementIterations) + ' ' +
           std::to_string(options.progressSteps()) + ' ' + std::to_string(options.result());
}

TEST(ConsoleOptions, EditsThenPressesRunTest) {
    // The end of input presses Run Test too; refused commands change nothing.
    const std::pair<const char*, const char*> cases[] = {
        {"", "11111111111111 50 115 1"},
        {"b dcs\nt 0,5\ni 100\n\n", "00010100001001 100 5 1"},
        {"b none\n\n", "00000111111111 50 0 1"},
        {"t none\n", "11111000000001 50 0 1"},
        {"b foo\nt 8\ni 0\nx\n\n", "11111111111111 50 115 1"}};
    for (const auto& [input, expected] : cases) EXPECT_EQ(optionsAfter(input), expected) << input;
}

TEST(ConsoleOperatorOutput, PlainStreamGetsEachTextOnceProgressByTenthsAndTheResults) {
    std::istringstream in;
    std::ostringstream out;
    ConsoleOperator ui(in, out, {false, 0.0, 80});
    ui.messageBox("No 4750 detected", "No 4750 detected\r\n\r\nPlease ensure", {});
    ui.setLabel(testrun::FormLabel::TestStatus, "Initialising source");
    ui.setLabel(testrun::FormLabel::TestStatus, "Initialising source");
    ui.setLabel(testrun::FormLabel::Band, "DCS");
    for (int value = 0; value <= 115; ++value) ui.setProgress(value, 115);
    ui.setVerdict(testrun::Verdict::Fail);
    ui.printResults(smallGrid());
    EXPECT_EQ(out.str(),
              "No 4750 detected: No 4750 detected\n\nPlease ensure\n"
              "Current Test: Initialising source\nBand: DCS\nProgress: 12/115\n"
              "Progress: 23/115\nProgress: 35/115\nProgress: 46/115\nProgress: 58/115\n"
              "Progress: 69/115\nProgress: 81/115\nProgress: 92/115\nProgress: 104/115\n"
              "Progress: 115/115\n\n" +
                  renderResultsTable(smallGrid(), false) + "\nTest Complete\nVerdict: Fail\n");
}

TEST(ConsoleOperatorOutput, TerminalRedrawsTheLiveLineWithinItsWidth) {
    std::istringstream in;
    std::ostringstream out;
    ConsoleOperator ui(in, out, {true, 0.0, 60});
    ui.setProgress(0, 10);
    ui.setLabel(testrun::FormLabel::TestStatus, "Measuring");
    ui.setProgress(5, 10);
    ui.setLabel(testrun::FormLabel::Band, "PCS");
    EXPECT_EQ(out.str(),
              "\r\033[2KCurrent Test: Measuring  [--------------------] 0/10"
              "\r\033[2KCurrent Test: Measuring  [##########----------] 5/10"
              "\r\033[2KBand: PCS\n"
              "\r\033[2KCurrent Test: Measuring  [##########----------] 5/10");
    ui.setLabel(testrun::FormLabel::TestStatus, std::string(100, 'x'));
    EXPECT_EQ(out.str().size() - out.str().rfind("\r\033[2K"), 5u + 59u) << "within 60 columns";
    EXPECT_TRUE(out.str().ends_with(" 5/10"));
}

}  // namespace
}  // namespace quillon::ui
