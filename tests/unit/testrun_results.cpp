// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <QLocale>
#include <QTemporaryDir>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <regex>
#include <tuple>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "testrun/display_format.h"
#include "testrun/saving.h"
#include "testrun_fixture.h"

namespace quillon::testing {
namespace {

const QLocale kGerman(QLocale::German, QLocale::Germany);

// A run of one band with a German display and a frequency error of -3.14159 Hz.
const testrun::ResultsGrid& runBand(FormFixture& f, int band, int expectedFailures = 0) {
    f.settings.preset = testrun::PresetChoice{std::vector{band}, std::nullopt, std::nullopt};
    f.fake.onQuery("FETCh:PFERror:FERRor:WORSt?", {"-3.14159"});
    f.fake.onQuery("FETCh:PFERror:RMS:MAXimum?", {"0.0005"});
    f.formats = {[](double v) { return testrun::displayNumberText(v, kGerman); },
                 [] { return std::string("10:42 3 M\xC3\xA4rz 2026"); }};
    EXPECT_EQ(f.prepared().runTest().failCount, expectedFailures);
    return f.ui.grid.value();
}

// Header, information row, separator, then fourteen rows per band in test order: in Latin-1,
// cells separated by ", ", rows ended by CR LF. (The front-ends' tests write it.)
TEST(ResultsFile, ExactBytesOfABandRun) {
    FormFixture f;
    const testrun::ResultsGrid& grid = runBand(f, 0);
    const Strings source1 = {"GMSK Frequency Error, -3,142, -20,000, 20,000, Hz",
                             "GMSK RMS Phase Error, 0,001, 0,000, 1,000, deg",
                             "GMSK Peak Phase Error, 0,000, -4,000, 4,000, deg",
                             "GMSK Burst Flatness, 1,000, -1,000, 1,000, dB",
                             "GMSK Power, 0,000, -1,000, 1,000, dB",
                             "EPSK Power, 0,000, -1,000, 1,000, dB",
                             "EPSK Frequency Error, 0,000, -20,000, 20,000, hz",
                             "EPSK RMS EVM, 0,000, 0,000, 4,000, %",
                             "EPSK Origin Offset, 40,000, 35,000, ---, dB"};
    std::string bytes =
        "Frequency   , Source  , Test                      , Value     , Lo Lim   , "
        "Hi Lim   , Unit  ,       Result\r\n" +
        std::string(kSerial) +
        ", , 10:42 3 M\xE4rz 2026, , K2210, A.05.17, , Pass\r\n, , , , , , , \r\n";
    for (std::size_t i = 0; i < 14; ++i) {
        bytes +=
            std::string(" 464000000, ") + (i < 9 ? "1, " : "2, ") + source1[i % 9] + ", Pass\r\n";
    }
    EXPECT_EQ(testrun::resultsFileText(grid), bytes);

    // Commands keep their points: no "-3,142", but "0us,4dBc" and the calibration addresses.
    for (const std::string& text : f.texts()) {
        EXPECT_TRUE(text.starts_with("PL13:CAL:DATA") ||
                    !std::regex_search(text, std::regex(R"(\d,\d)")))
            << text;
    }
}

TEST(ResultsFile, IntegrityProblemCountsAsAFailure) {
    FormFixture f;
    f.fake.onQuery("FETCh:ETXPower:INTegrity?", {"11"});
    // Both source 1 burst powers fail, and source 2's.
    const testrun::ResultsGrid& grid = runBand(f, 3, 3);
    EXPECT_EQ(grid.cell(3 + 4, 7), "Fail ( 11)");
    EXPECT_EQ(grid.cell(1, 7), "Fail");
    // Exactly the cells that read "Fail..." are marked for red, in the grid the view followed.
    for (int row = 0; row < grid.rows(); ++row) {
        for (int col = 0; col < grid.cols(); ++col) {
            EXPECT_EQ(grid.failure(row, col), grid.cell(row, col).starts_with("Fail"))
                << row << "," << col;
        }
    }
}

// A copy that applies each batch of changes equals the grid, and each batch holds only what
// changed: the rows appended since the last batch and the older cells written since.
TEST(ResultsGridChanges, BatchesHoldOnlyWhatChangedAndKeepACopyEqual) {
    testrun::ResultsGrid grid, copy;
    // Takes the changes made so far and applies them to the copy.
    const auto batch = [&](const char* what, bool newColumns, int firstNewRow, std::size_t newRows,
                           std::size_t cells) {
        SCOPED_TRACE(what);
        const testrun::GridChanges changes = grid.takeChanges();
        EXPECT_EQ(std::tuple(changes.newColumns, changes.firstNewRow, changes.newRows.size(),
                             changes.cells.size()),
                  std::tuple(newColumns, firstNewRow, newRows, cells));
        copy.apply(changes);
        ASSERT_EQ(copy.rows(), grid.rows());
        ASSERT_EQ(copy.cols(), grid.cols());
        for (int row = 0; row < grid.rows(); ++row) {
            for (int col = 0; col < grid.cols(); ++col) {
                EXPECT_EQ(copy.cell(row, col), grid.cell(row, col));
                EXPECT_EQ(copy.emphasised(row, col), grid.emphasised(row, col));
                EXPECT_EQ(copy.failure(row, col), grid.failure(row, col));
            }
        }
    };
    grid.setFormatString(">a|b|c");
    batch("header", true, 0, 1, 0);
    batch("nothing", false, 1, 0, 0);
    grid.appendTabbed("1\t2\t3");
    batch("row", false, 1, 1, 0);
    grid.appendTabbed("4");
    grid.appendTabbed("5");
    grid.setFailure(3, 2, true);
    batch("rows and a cell of one of them", false, 2, 2, 0);
    grid.setCell(1, 1, "x");
    grid.setEmphasis(1, 1, true);
    grid.setCell(0, 0, "A");
    batch("older cell twice, emphasis, header cell", false, 4, 0, 2);
    grid.setCell(9, 0, "y");
    grid.setCell(1, 7, "y");
    batch("outside the grid", false, 4, 0, 0);
    grid.setFormatString("p|q");
    batch("new columns", true, 0, 4, 0);
    EXPECT_EQ(copy.cell(0, 1), "q");
    EXPECT_TRUE(grid.takeChanges().empty());
}

TEST(ResultsFile, DisplayTextsAndEachCharacterAsOneByte) {
    EXPECT_EQ(testrun::displayNumberText(-0.0001, QLocale::c()), "0.000");
    const QDateTime when(QDate(2026, 3, 3), QTime(10, 42));
    EXPECT_EQ(testrun::dateTimeText(when, kGerman), "10:42 Dienstag, 3. M\xC3\xA4rz 2026");
    const std::pair<const char*, const char*> cells[] = {
        {"5 \xE2\x82\xAC", "5 ?"},    // euro sign outside Latin-1
        {"\xF0\x9F\x98\x80!", "?!"},  // one character, one '?'
        {"a\r\nb\nc", "a  b c"},      // no line break in a cell
        {"\xFF\xC3", "??"},           // not UTF-8
        {"\xE0\x80\x8D", "?"}};       // overlong CR
    for (const auto& [cell, written] : cells) {
        testrun::ResultsGrid grid;
        grid.setFormatString("a|b");
        grid.setCell(0, 0, cell);
        EXPECT_EQ(testrun::resultsFileText(grid), std::string(written) + ", b\r\n");
    }
    EXPECT_EQ(testrun::proposedFileName("A/B\\C:D*"), "A_B_C_D_.csv");
}

// The run record the test form leaves: the numbers behind the table, each configuration's
// values, the choice, the identity and the calibration outcome (where an error stopped the run
// is checked with the whole runs).
TEST(RunRecord, HoldsTheTableNumbersEachConfigurationAndTheRun) {
    FormFixture f;
    f.settings.preset = testrun::PresetChoice{std::vector{2}, std::nullopt, std::nullopt};
    // Source 1's four configurations, then source 2's one.
    f.fake.onQuery("FETCh:PFERror:FERRor:WORSt?", {"-3.5", "12.25", "1.0", "-0.5", "2.0"});
    f.fake.onQuery("FETCh:EMACcuracy:INTegrity?", {"5", "0", "0", "0"});
    const testrun::RunOutcome outcome = f.prepared().runTest();
    const testrun::RunRecord& r = f.form().runRecord();

    const testrun::TestSetIdentity& id = r.testSet;
    EXPECT_EQ(
        (Strings{id.manufacturer, id.model, id.serialNumber, id.firmware, id.testApplication,
                 id.testApplicationRevision, id.resource}),
        (Strings{"Corvane", "47501A", kSerial, "A.01.02", "K2210", "A.05.17", "GPIB0::14::INSTR"}));
    EXPECT_EQ(r.choice.bands, std::vector<int>{2});
    EXPECT_EQ(r.choice.tests, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(r.choice.iterations, 50);
    EXPECT_TRUE(r.calibration.checked);
    EXPECT_FALSE(r.calibration.delaySettingWritten || r.calibration.dataDelayWritten);
    EXPECT_EQ(r.calibration.gridCode, "");
    EXPECT_LE(r.start, r.end);
    EXPECT_FALSE(r.stoppedBy);

    // One record per table row, in the table's order, with the table's texts.
    const testrun::ResultsGrid& grid = f.form().grid();
    ASSERT_EQ(r.results.size(), 14u);
    ASSERT_EQ(grid.rows(), 3 + 14);
    for (std::size_t i = 0; i < r.results.size(); ++i) {
        const int row = 3 + static_cast<int>(i);
        EXPECT_EQ(r.results[i].name, grid.cell(row, 2)) << i;
        EXPECT_EQ(r.results[i].passFail, grid.cell(row, 7)) << i;
        EXPECT_EQ(std::to_string(r.results[i].source), grid.cell(row, 1)) << i;
        EXPECT_EQ(r.results[i].bandName, "PGSM");
        EXPECT_EQ(r.results[i].frequencyHz, 943000000);
        EXPECT_EQ(r.results[i].configurations.size(), r.results[i].source == 1 ? 4u : 1u) << i;
    }
    const testrun::ResultRecord& freq = r.results[0];
    EXPECT_EQ(freq.test, 0);
    EXPECT_DOUBLE_EQ(freq.value, 12.25);
    EXPECT_DOUBLE_EQ(freq.margin(), 7.75);
    const double expected[] = {-3.5, 12.25, 1.0, -0.5};
    for (std::size_t c = 0; c < 4; ++c) {
        EXPECT_EQ(freq.configurations[c].config, static_cast<int>(c));
        EXPECT_DOUBLE_EQ(freq.configurations[c].value, expected[c]);
    }
    const testrun::ResultRecord& origin = r.results[8];
    EXPECT_EQ(origin.name, "EPSK Origin Offset");
    EXPECT_EQ(origin.test, 4);
    EXPECT_FALSE(origin.highLimit);
    EXPECT_DOUBLE_EQ(origin.margin(), 5.0);
    EXPECT_EQ(origin.configurations[0].integrity, 5);
    EXPECT_EQ(origin.configurations[2].integrity, 0);
    EXPECT_EQ(r.results[7].passFail, "Fail ( 5)");  // RMS EVM takes the integrity
    EXPECT_DOUBLE_EQ(r.results[9].configurations[0].value, 2.0);
    EXPECT_EQ(r.results[9].test, 5);
    EXPECT_EQ(r.failCount, outcome.failCount);
    EXPECT_FALSE(r.pass);
}

#ifndef _WIN32
std::vector<std::string> folderListing(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// A file is replaced only by a complete new one: on any failure the earlier file keeps every
// byte, the error names the file and nothing else is left in the folder. (A full disk is
// checked through the console.)
TEST(WholeFile, CompleteOrTheEarlierFileStays) {
    const struct {
        std::string name;  // relative to the folder; "dir" and "locked" are folders
        bool written;
        std::vector<std::string> listing;  // the folder afterwards
    } cases[] = {
        {"r.csv", true, {"r.csv"}},
        {"new.csv", true, {"new.csv", "r.csv"}},
        {"missing/r.csv", false, {"r.csv"}},
        {"dir", false, {"dir", "r.csv"}},
        {"locked/r.csv", false, {"locked", "r.csv"}},
    };
    const std::string text = "new";  // shorter than the earlier file
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const bool locked = c.name.starts_with("locked");
        if (locked && ::geteuid() == 0) continue;  // root writes anywhere
        QTemporaryDir dir;
        const std::filesystem::path folder = dir.path().toStdString();
        std::ofstream(folder / "r.csv") << "earlier";
        if (c.name == "dir" || locked) std::filesystem::create_directory(folder / c.listing[0]);
        if (locked) {
            std::filesystem::permissions(folder / "locked", std::filesystem::perms::owner_read |
                                                                std::filesystem::perms::owner_exec);
        }
        const std::string path = (folder / c.name).string();
        std::string error;
        EXPECT_EQ(testrun::writeWholeFile(path, text, error), c.written);
        EXPECT_EQ(error.find(path) != std::string::npos, !c.written) << error;
        std::ifstream earlier(folder / "r.csv", std::ios::binary);
        const std::string kept{std::istreambuf_iterator<char>(earlier), {}};
        EXPECT_EQ(kept, c.written && c.name == "r.csv" ? text : "earlier");
        EXPECT_EQ(folderListing(folder), c.listing);
        if (locked) {
            EXPECT_TRUE(folderListing(folder / "locked").empty());
            std::filesystem::permissions(folder / "locked", std::filesystem::perms::owner_all);
        }
    }
}
#endif

}  // namespace
}  // namespace quillon::testing
