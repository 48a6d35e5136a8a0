// SPDX-License-Identifier: MIT
// Whole runs through the entry routine on the scripted bus: the run's two ends, a failure at
// each stage of a band, which source each row comes from, and the pauses.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <map>
#include <new>
#include <stdexcept>
#include <tuple>

#include "app/modMain.h"
#include "testrun_fixture.h"

namespace quillon::testing {
namespace {

using std::chrono::milliseconds;
using testrun::MessageIcon;

const std::string kRestore = "SYSTem:CORRection:STATe  1";
const std::string kRunErrorText = "Error running tests.  Please check 4750 screen and try again";

// Start-up, prepare, run and tidy up as the program does; the exit code the program would end
// with. record, when given, receives the run's record.
int runWhole(FormFixture& f, testrun::RunRecord* record = nullptr) {
    app::StartupEnvironment environment;
    environment.visa = &f.fake;
    environment.runSettings = f.settings;
    app::ProgramObjects objects;
    int exitCode = -1;
    try {
        app::runMain(f.ui, environment, objects);
        exitCode = app::exitCodeFor(objects.outcome);
    } catch (const ProgramEnded& ended) {
        exitCode = ended.exitCode;
    }
    if (record != nullptr && objects.testForm) *record = objects.testForm->runRecord();
    return exitCode;
}

// The test set rejects the nth writing of command (counted over the whole run).
void rejectNth(FormFixture& f, const std::string& command, std::size_t nth) {
    f.fake.handler = [&f, command, nth](const FakeVisa::Exchange& e) {
        std::optional<FakeVisa::Reply> rejected;
        const auto& log = f.fake.log;
        if (e.text == "SYSTEM:ERR?" && log.size() >= 2 && log[log.size() - 2].text == command &&
            f.fake.count(command) == nth) {
            rejected = FakeVisa::Reply{instrument::kViSuccess, "-113,\"Undefined header\"\n"};
        }
        return rejected;
    };
}

std::size_t nthIndex(const Strings& texts, const std::string& text, std::size_t nth) {
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (texts[i] == text && --nth == 0) return i;
    }
    return texts.size();
}

TEST(WholeRun, StartsWithPreparationAndResetAndEndsWithTheRestore) {
    FormFixture f;
    f.settings.preset = testrun::PresetChoice{std::vector{2}, std::vector{5}, std::nullopt};
    EXPECT_EQ(runWhole(f), testrun::kExitPass);
    const Strings texts = f.texts();
    const std::size_t start = nthIndex(texts, "SYSTem:CORRection:STATE?", 1);
    ASSERT_LT(start, texts.size());
    // Only the search's identification comes before.
    for (std::size_t i = 0; i < start; ++i) {
        EXPECT_TRUE(texts[i] == "*cls" || texts[i] == "*idn?" || texts[i].starts_with("syst:"))
            << texts[i];
    }
    EXPECT_EQ(Strings(texts.begin() + static_cast<long>(start),
                      texts.begin() + static_cast<long>(start) + 6),
              (Strings{"SYSTem:CORRection:STATE?", "SYSTem:CORRection:STATe 0", "SYSTEM:ERR?",
                       "*rst", "*cls", "PL13:CAL:DATA? 'tdma_bbgen_delay_setting1',0,0"}));
    EXPECT_EQ(Strings(texts.end() - 4, texts.end()),
              (Strings{"INIT:PFER:OFF", "SYSTEM:ERR?", kRestore, "SYSTEM:ERR?"}));
    EXPECT_EQ(f.fake.count(kRestore), 1u);
}

// One failure at each stage of the second of three bands: the rejected command is the last
// thing the run sends before the restore, the first band's rows stay, later pauses still pass,
// and the record names the band and the stage.
TEST(WholeRun, AFailureAtEachStageStopsTheBusAndKeepsTheRowsBeforeIt) {
    const std::string expected = "RFANalyzer:MANual:POWer:Selected:Selected:BURSt";
    const std::string configuration = "loopback configuration ", tests = "source 1 tests, ";
    const struct {
        std::string stage;    // as the record names it
        std::string command;  // rejected at its nth writing
        std::size_t nth;
        int pausesAfter;  // of 1000 ms, after the rejection
    } cases[] = {
        {"source 1 arrangement", "CALL:PDTChannel:ARFCn 192", 1, 8},
        {"source level search", "CALL:CELL:POWer:AMPLitude -11", 2, 8},
        {"source 1 CW references", "CALL:CELL:POWer:AMPlitude:CW -24.000", 2, 8},
        {"source 2 CW reference", "PL13:STATes:RFS2:DIGM:IQM OFF", 2, 9},
        {configuration + "0", expected + "2 -4.000", 2, 8},
        {configuration + "1", expected + "1 -4.000", 2, 7},
        {configuration + "2", expected + "2 -5.000", 2, 6},
        {configuration + "3", expected + "1 -5.000", 2, 5},
        {tests + "configuration 0", "INIT:PFER:ON", 6, 7},
        {tests + "configuration 1", "INIT:PFER:ON", 7, 6},
        {tests + "configuration 2", "INIT:PFER:ON", 8, 5},
        {tests + "configuration 3", "INIT:PFER:ON", 9, 4},
        {"source 2 arrangement", "CALL:CELL:BCH:ARFCn 192", 1, 4},
        {"source 2 tests", "INIT:PFER:ON", 10, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stage);
        FormFixture f;
        f.settings.preset = testrun::PresetChoice{std::vector{0, 1, 2}, std::nullopt, std::nullopt};
        rejectNth(f, c.command, c.nth);
        testrun::RunRecord record;
        EXPECT_EQ(runWhole(f, &record), testrun::kExitInstrumentError);
        ASSERT_TRUE(record.stoppedBy);
        EXPECT_EQ(
            std::tie(record.stoppedBy->band, record.stoppedBy->bandName, record.stoppedBy->stage),
            std::tuple(1, std::string("GSM850"), c.stage));
        EXPECT_EQ(record.results.size(), 14u);

        const Strings texts = f.texts();
        const std::size_t at = nthIndex(texts, c.command, c.nth);
        ASSERT_LT(at, texts.size());
        EXPECT_EQ(Strings(texts.begin() + static_cast<long>(at), texts.end()),
                  (Strings{c.command, "SYSTEM:ERR?", kRestore, "SYSTEM:ERR?"}));
        const auto after = std::count_if(f.pauses.begin(), f.pauses.end(),
                                         [&](const auto& p) { return p.second > at; });
        EXPECT_EQ(after, c.pausesAfter);

        const testrun::ResultsGrid& grid = f.ui.grid.value();
        ASSERT_EQ(grid.rows(), 3 + 14);
        for (int row = 3; row < grid.rows(); ++row) EXPECT_EQ(grid.cell(row, 0), " 464000000");
        EXPECT_EQ(grid.cell(1, 7), "Fail");
        EXPECT_EQ(f.ui.verdicts.back(), testrun::Verdict::Fail);
        EXPECT_EQ(f.ui.messages, (std::vector<FakeOperator::Message>{
                                     {"Quillon", kRunErrorText, MessageIcon::Critical}}));
        EXPECT_EQ(f.ui.labels[testrun::FormLabel::TestStatus].back(), "Test Complete");
    }
}

// Per query: what source 1 and source 2 answer.
const std::map<std::string, std::array<double, 2>> kSourceValues = {
    {"FETCh:TXPower:POWer?", {-10.5, -11.75}},    {"FETCh:ETXPower:POWer?", {-10.0, -11.0}},
    {"FETCh:PFERror:FERRor:WORSt?", {-3.0, 7.0}}, {"FETCh:PFERror:RMS:MAXimum?", {0.5, 0.75}},
    {"FETCh:PFERror:PEAK:MAXimum?", {1.5, 2.5}},  {"FETCh:PVTime:MASK:UPPER?", {0.25, 0.5}},
    {"FETCh:PVTime:MASK:LOWER?", {-0.25, -0.75}}, {"FETCh:EMACcuracy:FERRor:WORSt?", {4.0, 9.0}},
    {"FETCh:EMACcuracy:EVM:RMS?", {2.0, 3.0}},    {"FETCh:EMACcuracy:OOFFset?", {40.0, 45.0}},
};

// Answers each measurement query as the source that is on would: source 1, or source 2 when
// only source 2 is on. asSource2[s]: source s + 1 answers with source 2's values.
std::function<std::optional<FakeVisa::Reply>(const FakeVisa::Exchange&)> twoSources(
    const FormFixture& f, std::array<bool, 2> asSource2) {
    return [&f, asSource2, on = std::array<bool, 2>{}, seen = std::size_t{0}](
               const FakeVisa::Exchange& e) mutable -> std::optional<FakeVisa::Reply> {
        for (; seen < f.fake.log.size(); ++seen) {  // follow the sources' RF switches
            std::string text = f.fake.log[seen].text;
            for (char& ch : text)
                ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
            for (std::size_t s = 0; s < 2; ++s) {
                const std::string prefix = "RFS" + std::to_string(s + 1) + ":LEVEL:RF ";
                const std::size_t at = text.find(prefix);
                if (at != std::string::npos) on[s] = text.substr(at + prefix.size()) == "ON";
            }
        }
        if (!e.text.starts_with("FETCh:")) return std::nullopt;
        const auto it = kSourceValues.find(e.text);
        const std::size_t source = on[1] && !on[0] ? 1 : 0;
        const double value = it == kSourceValues.end() ? 0.0 : it->second[asSource2[source]];
        return FakeVisa::Reply{instrument::kViSuccess, instrument::shortestText(value) + "\n"};
    };
}

// Every row carries the values of its own source: each row of a run whose sources answer
// differently equals that row of a run in which both sources answer as the row's source.
TEST(WholeRun, EachRowComesFromItsOwnSource) {
    std::array<Strings, 3> values;  // runs: both as source 1, both as source 2, each as itself
    std::array<Strings, 3> sources;
    const std::array<std::array<bool, 2>, 3> answers = {
        {{false, false}, {true, true}, {false, true}}};
    for (std::size_t run = 0; run < 3; ++run) {
        FormFixture f;
        f.settings.preset = testrun::PresetChoice{std::vector{2}, std::nullopt, std::nullopt};
        f.fake.handler = twoSources(f, answers[run]);
        runWhole(f);
        const testrun::ResultsGrid& grid = f.ui.grid.value();
        ASSERT_EQ(grid.rows(), 3 + 14);
        for (int row = 3; row < grid.rows(); ++row) {
            sources[run].push_back(grid.cell(row, 1));
            values[run].push_back(grid.cell(row, 3));
        }
    }
    for (std::size_t row = 0; row < 14; ++row) {
        SCOPED_TRACE(row);
        EXPECT_NE(values[0][row], values[1][row]);  // the two sources can be told apart
        EXPECT_EQ(values[2][row], values[sources[2][row] == "1" ? 0 : 1][row]);
    }
    EXPECT_EQ(std::count(sources[2].begin(), sources[2].end(), "2"), 5);
}

// The fixed pauses and what comes right before each: the calibration data written, stored,
// source 2 switched on for its CW reference, each configuration set up.
TEST(WholeRun, PausesTheirLengthsAndPlaces) {
    FormFixture f;
    f.settings.preset = testrun::PresetChoice{std::vector{2}, std::vector{2}, std::nullopt};
    f.fake.onQuery("PL13:CAL:DATA? 'tdma_bbgen_delay_setting2',0,2", {"86"});
    runWhole(f);
    const Strings texts = f.texts();
    std::vector<std::pair<milliseconds, std::string>> pauses;
    for (const auto& [duration, sent] : f.pauses) {
        std::size_t last = sent;
        while (last > 0 && texts[last - 1] == "SYSTEM:ERR?") --last;
        pauses.emplace_back(duration, last > 0 ? texts[last - 1] : "");
    }
    const std::pair<milliseconds, std::string> config{milliseconds(1000),
                                                      "PL13:STATES:RFS2:Level:RF OFF"};
    EXPECT_EQ(pauses, (std::vector<std::pair<milliseconds, std::string>>{
                          {milliseconds(1000), "PL13:CAL:DATA 'tdma_bbgen_delay_setting2',4,4,0"},
                          {milliseconds(3000), "PL13:CAL:STOR"},
                          {milliseconds(1000), "PL13:STATes:RFS2:LEVel:NORM:AMPL -10.000"},
                          config,
                          config,
                          config,
                          config}));
}

// Whatever escapes the logic ends the program as an instrument error does, without a message.
TEST(WholeRun, AnEscapedExceptionEndsWithTheInstrumentErrorCode) {
    const std::function<void()> throws[] = {
        [] { throw std::runtime_error("runtime"); },
        [] { throw std::logic_error("logic"); },
        [] { throw std::bad_alloc(); },
        [] { throw std::out_of_range("range"); },
    };
    for (const auto& raise : throws) {
        FormFixture f;
        f.fake.handler = [&raise](const FakeVisa::Exchange& e) -> std::optional<FakeVisa::Reply> {
            if (e.text == "SYSTem:CORRection:STATE?") raise();
            return std::nullopt;
        };
        EXPECT_EQ(runWhole(f), testrun::kExitInstrumentError);
        EXPECT_TRUE(f.ui.messages.empty());
    }
}

}  // namespace
}  // namespace quillon::testing
