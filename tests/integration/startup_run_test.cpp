// SPDX-License-Identifier: MIT
// The real program on the console against the simulated test set: runs that reach their end
// (exit codes 0, 1, 2), the wizard answered or cancelled on standard input, and the results
// file that --save writes.

#include <gtest/gtest.h>

#ifndef _WIN32

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "startup_child.h"

namespace quillon::integration {
namespace {

constexpr const char* kHeaderLine =
    "Frequency   , Source  , Test                      , Value     , Lo Lim   , Hi Lim   , "
    "Unit  ,       Result";
constexpr const char* kRunError =
    "Quillon: Error running tests.  Please check 4750 screen and try again\n";

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Every line of a results file ends with CR LF, and no line feed stands alone.
bool everyLineEndsWithCrLf(const std::string& text) {
    if (text.size() < 2 || text.substr(text.size() - 2) != "\r\n") return false;
    for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1)) {
        if (at == 0 || text[at - 1] != '\r') return false;
    }
    return true;
}

// The result rows of a saved file: everything after the header, information and empty rows.
std::vector<std::string> resultRows(const std::string& file) {
    std::vector<std::string> lines = linesOf(file);
    if (lines.size() <= 3) return {};
    return {lines.begin() + 3, lines.end()};
}

struct SavedRun {
    ChildResult result;
    std::string file;
    bool saved = false;
};

SavedRun runAndSave(std::vector<std::string> args, const std::string& input = {}) {
    const std::string path = uniqueTempPath("results.csv");
    args.insert(args.end(), {"--console", "--save", path});
    SavedRun run;
    run.result = runQuillon({args, {}, input, {}});
    run.saved = std::ifstream(path).good();
    run.file = readFile(path);
    std::remove(path.c_str());
    return run;
}

TEST(StartupRun, HealthyDefaultRunPassesAndSavesEveryRow) {
    const SavedRun run = runAndSave({"--sim", "--yes"});
    const ChildResult& result = run.result;
    ASSERT_EQ(result.exitCode, 0) << result.describe();
    EXPECT_EQ(result.out.rfind("Looking for 4750s\nFound 1 4750s\n", 0), 0u) << result.out;
    EXPECT_FALSE(contains(result.out, "Setup Wizard")) << "--yes asks nothing";
    EXPECT_TRUE(contains(result.out, "Band: GSM450\n"));
    EXPECT_TRUE(contains(result.out, "Band: PCS\n"));
    EXPECT_TRUE(contains(result.out, "Progress: 115/115\n"));
    EXPECT_TRUE(contains(result.out, "\nTest Complete\nVerdict: Pass\n")) << result.out;
    EXPECT_FALSE(contains(result.out, "\033")) << "no terminal codes into a file";

    ASSERT_TRUE(run.saved);
    EXPECT_TRUE(everyLineEndsWithCrLf(run.file));
    const std::vector<std::string> lines = linesOf(run.file);
    ASSERT_EQ(lines.size(), 73u) << run.file;  // header, information, empty, 5 bands x 14
    EXPECT_EQ(lines[0], kHeaderLine);
    EXPECT_EQ(lines[2], ", , , , , , , ");
    EXPECT_EQ(lines[3].rfind(" 464000000, 1, GMSK Frequency Error, ", 0), 0u) << lines[3];
    EXPECT_EQ(lines[72].rfind("1959000000, 2, GMSK Power", 0), 0u) << lines[72];
}

TEST(StartupRun, EndOfInputCancelsTheWizard) {
    const SavedRun run = runAndSave({"--sim"});
    EXPECT_EQ(run.result.exitCode, 4) << run.result.describe();
    EXPECT_TRUE(contains(run.result.out, "Setup Wizard - Step 1 of 3\nStep 1 - Connections\n"));
    EXPECT_FALSE(contains(run.result.out, "Step 2 - Remove RF"));
    EXPECT_FALSE(contains(run.result.out, "Test Complete"));
    EXPECT_FALSE(run.saved) << "a cancelled run saves nothing";
}

TEST(StartupRun, CancelAtTheSecondStep) {
    const SavedRun run = runAndSave({"--sim"}, "\nc\n");
    EXPECT_EQ(run.result.exitCode, 4) << run.result.describe();
    EXPECT_TRUE(contains(run.result.out, "Step 2 - Remove RF"));
    EXPECT_FALSE(run.saved);
}

TEST(StartupRun, WizardWithShiftOpensTheOptionsEditor) {
    const SavedRun run = runAndSave({"--sim"}, "\n\no\nb pcs\nt 5\ni 3\n\n");
    ASSERT_EQ(run.result.exitCode, 0) << run.result.describe();
    EXPECT_TRUE(contains(run.result.out, "Choose test options\n"));
    EXPECT_TRUE(contains(run.result.out, "Progress: 1/1\n"));
    const std::vector<std::string> rows = resultRows(run.file);
    ASSERT_EQ(rows.size(), 3u) << run.file;  // source 2 phase and frequency error only
    for (const std::string& row : rows) EXPECT_EQ(row.rfind("1959000000, 2, ", 0), 0u) << row;
}

TEST(StartupRun, CommandLinePresetChoosesBandsTestsAndIterations) {
    const SavedRun run =
        runAndSave({"--sim", "--yes", "--bands", "dcs", "--tests", "0,2", "--iterations", "2"});
    ASSERT_EQ(run.result.exitCode, 0) << run.result.describe();
    EXPECT_FALSE(contains(run.result.out, "Choose test options")) << "no prompt for a preset";
    const std::vector<std::string> rows = resultRows(run.file);
    ASSERT_EQ(rows.size(), 4u) << run.file;  // three phase/frequency rows, one burst power row
    for (const std::string& row : rows) EXPECT_EQ(row.rfind("1842000000, 1, ", 0), 0u) << row;
    EXPECT_TRUE(contains(rows[3], "GMSK Power"));
}

TEST(StartupRun, FailingResultEndsWithCode1AndStillSaves) {
    const SavedRun run = runAndSave({"--sim-profile", profilePath("failing-result"), "--yes",
                                     "--bands", "DCS", "--tests", "0"});
    EXPECT_EQ(run.result.exitCode, 1) << run.result.describe();
    EXPECT_TRUE(contains(run.result.out, "\nTest Complete\nVerdict: Fail\n"));
    EXPECT_FALSE(contains(run.result.out, kRunError)) << "a failed result is no run error";
    ASSERT_TRUE(run.saved);
    EXPECT_TRUE(everyLineEndsWithCrLf(run.file));
    EXPECT_TRUE(contains(run.file, ", Fail")) << run.file;
}

TEST(StartupRun, InstrumentErrorEndsWithCode2AndStillSaves) {
    const SavedRun run = runAndSave({"--sim-profile", profilePath("mid-band-error"), "--yes",
                                     "--bands", "GSM450,GSM850", "--tests", "5"});
    EXPECT_EQ(run.result.exitCode, 2) << run.result.describe();
    EXPECT_TRUE(contains(run.result.out, kRunError)) << run.result.out;
    EXPECT_TRUE(contains(run.result.out, "Verdict: Fail\n"));
    ASSERT_TRUE(run.saved);
    EXPECT_TRUE(everyLineEndsWithCrLf(run.file));
    // The first band's rows stay; the second band stopped with the error.
    const std::vector<std::string> rows = resultRows(run.file);
    EXPECT_EQ(rows.size(), 3u) << run.file;
    EXPECT_TRUE(std::all_of(rows.begin(), rows.end(), [](const std::string& row) {
        return row.rfind(" 464000000", 0) == 0;
    }));
}

TEST(StartupRun, UnwritableSaveFileIsReportedAndTheVerdictStands) {
    const ChildResult result =
        runQuillon({{"--console", "--sim", "--yes", "--bands", "0", "--tests", "7", "--save",
                     "/nonexistent-folder/results.csv"},
                    {},
                    {},
                    {}});
    EXPECT_EQ(result.exitCode, 0) << result.describe();
    EXPECT_TRUE(contains(result.err, "results not saved to /nonexistent-folder/results.csv"))
        << result.err;
}

}  // namespace
}  // namespace quillon::integration

#endif
