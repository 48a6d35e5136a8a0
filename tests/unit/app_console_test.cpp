// SPDX-License-Identifier: MIT
// The console front-end's pieces: the results table as text, the wizard and options prompts,
// and what the operator interface prints on a plain stream and on a terminal.

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "testrun/results_grid.h"
#include "testrun/test_options.h"
#include "ui/console/console_dialogs.h"
#include "ui/console/console_operator.h"
#include "ui/console/results_table_text.h"

namespace quillon::ui {
namespace {

int countOf(const std::string& text, const std::string& part) {
    int count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

testrun::ResultsGrid smallGrid() {
    testrun::ResultsGrid grid;
    grid.setFormatString(">Freq  |<Name|>      Result");
    grid.appendTabbed("SN1\tlong name here\t");
    grid.appendTabbed("\t");
    grid.appendTabbed(" 464000000\tx\tPass");
    grid.setEmphasis(1, 0, true);
    return grid;
}

TEST(ResultsTableText, AlignsColumnsToTheirWidestText) {
    EXPECT_EQ(renderResultsTable(smallGrid(), false),
              "    Freq    Name                  Result\n"
              "----------  --------------  ------------\n"
              "       SN1  long name here\n"
              "\n"
              " 464000000  x                       Pass\n");
}

TEST(ResultsTableText, BoldOnlyForHeaderAndEmphasisedCellsWithAnsi) {
    const std::string text = renderResultsTable(smallGrid(), true);
    EXPECT_NE(text.find("\033[1m       SN1\033[0m"), std::string::npos) << text;
    EXPECT_EQ(countOf(text, "\033[1m"), 4);  // three header cells and one emphasised cell
    EXPECT_EQ(renderResultsTable(smallGrid(), false).find('\033'), std::string::npos);
}

struct WizardCase {
    const char* input;
    bool okay;
    bool shift;
    int prompts;  // how many times the operator was asked
};

class ConsoleWizard : public ::testing::TestWithParam<WizardCase> {};

TEST_P(ConsoleWizard, AnswersDecideTheOutcome) {
    std::istringstream in(GetParam().input);
    std::ostringstream out;
    const testrun::WizardOutcome outcome = promptWizard(in, out, "ABC");
    EXPECT_EQ(outcome.okayPressed, GetParam().okay);
    EXPECT_EQ(outcome.shiftHeld, GetParam().shift);
    EXPECT_EQ(countOf(out.str(), "Cancel: "), GetParam().prompts) << out.str();
}

INSTANTIATE_TEST_SUITE_P(
    Answers, ConsoleWizard,
    ::testing::Values(WizardCase{"", false, false, 1},             // end of input is Cancel
                      WizardCase{"\n\n\n", true, false, 3},        // Next, Next, Go!
                      WizardCase{"\r\n\r\n\r\n", true, false, 3},  // typed on Windows
                      WizardCase{"\n\no\n", true, true, 3},        // Go! with Shift
                      WizardCase{"\n\nO\n", true, true, 3}, WizardCase{"c\n", false, false, 1},
                      WizardCase{"\nC\n", false, false, 2},
                      WizardCase{"\n\n", false, false, 3},      // input ends at the last step
                      WizardCase{"o\n\n\n\n", true, false, 4},  // "o" only counts at step 3
                      WizardCase{"x\n\nnext\n\n\n", true, false, 5}));

TEST(ConsoleWizardTexts, ShowsTheStepsAndTheTestSet) {
    std::istringstream in("\n\n\n");
    std::ostringstream out;
    promptWizard(in, out, "ABC");
    const std::string text = out.str();
    for (const char* part :
         {"Setup Wizard - Step 1 of 3\nStep 1 - Connections\nConnect a BNC - BNC lead from "
          "\"TRIG IN\" to \"TRIG OUT\" on the rear panel of the 4750 being tested\n",
          "Setup Wizard - Step 2 of 3\nStep 2 - Remove RF\nRemove any RF inputs from the 4750\n",
          "Step 3 - Check Firmware\n", "Serial Number: ABC\n", "Version: A.02.01\n",
          "[Enter] Go!"}) {
        EXPECT_NE(text.find(part), std::string::npos) << part;
    }
}

TEST(ConsoleWizardTexts, Step3BreaksLinesAtEveryTilde) {
    EXPECT_EQ(wizardStep3Text(),
              "Ensure that the 4750 is running one of the following applications\n\n"
              " - K3310 LA with K3315A Feature License\n"
              " - K2210 TA with K2205A Feature License\n"
              " - K2230 TA with K2205A Feature License\n\n"
              "Press Go! to start test test\n\n"
              "The test may take up to ten minutes to run");
}

struct OptionsCase {
    const char* input;
    const char* bands;  // '1' per chosen band 0-4
    const char* tests;  // '1' per chosen test 0-8
    int iterations;
    int numTests;
};

std::string chosen(const testrun::TestOptions& options, bool bands) {
    std::string text;
    const int count = bands ? testrun::TestOptions::kBands : testrun::TestOptions::kTests;
    for (std::int16_t index = 0; index < count; ++index) {
        text += (bands ? options.getBand(index) : options.getTest(index)) ? '1' : '0';
    }
    return text;
}

class ConsoleOptions : public ::testing::TestWithParam<OptionsCase> {};

TEST_P(ConsoleOptions, EditsThenPressesRunTest) {
    instrument::ProgramValues program;
    testrun::TestOptions options(program);
    for (std::int16_t band = 0; band < testrun::TestOptions::kBands; ++band) {
        options.setBand(band, true);
    }
    for (std::int16_t test = 0; test < testrun::TestOptions::kCalibrateSource; ++test) {
        options.setTest(test, true);
    }
    std::istringstream in(GetParam().input);
    std::ostringstream out;
    promptOptions(in, out, options);
    EXPECT_EQ(chosen(options, true), GetParam().bands);
    EXPECT_EQ(chosen(options, false), GetParam().tests);
    EXPECT_EQ(program.measurementIterations, GetParam().iterations);
    EXPECT_EQ(options.numTests(), GetParam().numTests);
    EXPECT_EQ(options.result(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, ConsoleOptions,
    ::testing::Values(OptionsCase{"\n", "11111", "111111111", 50, 115},
                      OptionsCase{"", "11111", "111111111", 50, 115},  // end of input
                      OptionsCase{"b dcs\nt 0,5\ni 100\n\n", "00010", "100001001", 100, 5},
                      OptionsCase{"b none\n\n", "00000", "111111111", 50, 0},
                      OptionsCase{"t none\n", "11111", "000000001", 50, 0},
                      OptionsCase{"b 0\nt 7\n", "10000", "000000011", 50, 1},
                      // Refused commands change nothing.
                      OptionsCase{"b foo\nt 8\ni 0\nx\n\n", "11111", "111111111", 50, 115}));

TEST(ConsoleOptionsTexts, ShowsTheChoiceAndRefusals) {
    instrument::ProgramValues program;
    testrun::TestOptions options(program);
    std::istringstream in("i 200\n\n");
    std::ostringstream out;
    promptOptions(in, out, options);
    const std::string text = out.str();
    EXPECT_NE(text.find("Choose test options\nSelect your test options:\nBands\n"
                        "  [ ] 0  GSM450 (464MHz / ARFCN 276)\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("  [x] 8  Calibrate source\n  Measurement Iterations: 50\n"),
              std::string::npos);
    EXPECT_NE(text.find("'200' is not a whole number from 1 to 100\n"), std::string::npos);
}

ConsoleOperator::Settings plainStream() {
    return {false, 0.0, 80};
}

TEST(ConsoleOperatorOutput, MessageBoxIsTitleColonTextWithLineFeeds) {
    std::istringstream in;
    std::ostringstream out;
    ConsoleOperator ui(in, out, plainStream());
    ui.messageBox("No 4750 detected", "No 4750 detected\r\n\r\nPlease ensure", {});
    ui.messageBox("Notification", "The following GPIB error occurred:  ", {});
    EXPECT_EQ(out.str(),
              "No 4750 detected: No 4750 detected\n\nPlease ensure\n"
              "Notification: The following GPIB error occurred:  \n");
}

TEST(ConsoleOperatorOutput, PlainStreamGetsEachStatusOnceAndProgressByTenths) {
    std::istringstream in;
    std::ostringstream out;
    ConsoleOperator ui(in, out, plainStream());
    ui.setProgress(0, 115);
    ui.setLabel(testrun::FormLabel::TestStatus, "Initialising source");
    ui.setLabel(testrun::FormLabel::TestStatus, "Initialising source");
    ui.setLabel(testrun::FormLabel::Band, "DCS");
    for (int value = 1; value <= 115; ++value) ui.setProgress(value, 115);
    ui.setProgress(0, 115);
    const std::string text = out.str();
    EXPECT_EQ(countOf(text, "Current Test: Initialising source\n"), 1);
    EXPECT_NE(text.find("Band: DCS\n"), std::string::npos);
    EXPECT_EQ(countOf(text, "Progress: "), 10) << text;
    EXPECT_NE(text.find("Progress: 12/115\n"), std::string::npos);
    EXPECT_NE(text.find("Progress: 115/115\n"), std::string::npos);
    EXPECT_EQ(text.find('\r'), std::string::npos);
    EXPECT_EQ(text.find('\033'), std::string::npos);
}

TEST(ConsoleOperatorOutput, TerminalRedrawsTheLiveLineAroundOtherOutput) {
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
}

TEST(ConsoleOperatorOutput, LiveLineNeverExceedsTheTerminal) {
    std::istringstream in;
    std::ostringstream out;
    ConsoleOperator ui(in, out, {true, 0.0, 40});
    ui.setProgress(3, 10);
    ui.setLabel(testrun::FormLabel::TestStatus, std::string(100, 'x'));
    const std::string text = out.str();
    const std::string last = text.substr(text.rfind("\r\033[2K") + 5);
    EXPECT_EQ(last.size(), 39u) << last;
    EXPECT_NE(last.find("3/10"), std::string::npos);
}

TEST(ConsoleOperatorOutput, ResultsEndWithTestCompleteAndTheVerdict) {
    std::istringstream in;
    std::ostringstream out;
    ConsoleOperator ui(in, out, plainStream());
    ui.setVerdict(testrun::Verdict::Hidden);
    ui.setVerdict(testrun::Verdict::Fail);
    ui.printResults(smallGrid());
    EXPECT_EQ(out.str(),
              "\n" + renderResultsTable(smallGrid(), false) + "\nTest Complete\nVerdict: Fail\n");
}

}  // namespace
}  // namespace quillon::ui
