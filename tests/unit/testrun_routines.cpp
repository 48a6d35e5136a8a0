// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <algorithm>

#include "measurements/measurement_common.h"
#include "testrun/loopback.h"
#include "testrun/test_options.h"
#include "testrun_fixture.h"

namespace quillon::testing {
namespace {

using testrun::FormLabel;
using testrun::kBands;

// The levels the searches find with the attenuation changing at -15 and -28 dBm.
const testrun::Levels kFound = {-15, 12, 13, 0, 0, 0, 0};

bool chain(FormFixture& f, const Strings& commands) {
    return measurements::sendChain(f.context(), f.vi(), false, commands);
}

Strings configSetup(const std::string& lev1, const std::string& lev2, const std::string& burst1,
                    const std::string& burst2) {
    const std::string expected = "RFANalyzer:MANual:POWer:Selected:Selected:BURSt";
    return checked({"CALL:CELL:OPERating:MODE EBPT", "CALL:PDTChannel:MSLOT:CONFIG D2U2",
                    "CALL:CELL:POWer:AMPlitude -15.000", "CALL:PDTChannel:PREDuction:LEV1 " + lev1,
                    "CALL:PDTChannel:PREDuction:LEV2 " + lev2, "RFANalyzer:CONTrol:POWer:AUTO 0",
                    "RFANalyzer:CONTrol:MEASurement:FREQuency:AUTO 0", expected + "1 " + burst1,
                    expected + "2 " + burst2, "RFANalyzer:MSLOt:MEASurement:BURSt 2",
                    "CALL:TRIGGER:OUTPUT:FRAME:NIDLe:STATE ON", "PL13:STATes:RFS1:LEVel:RF ON",
                    "PL13:STATES:RFS2:Level:RF OFF"});
}

// One CW power measurement at level through the 20 dB loopback, expecting expected.
Strings cwMeasurement(const std::string& level, const std::string& expected) {
    return checked({"CALL:CELL:POWer:AMPlitude:CW " + level, "PL13:LATC:RFINT:PATH:SOURCE1 1",
                    "PL13:LATC:RFINT:PATH:SOURCE2 1", "PL13:LATC:RFINT:LOOPBACK 1",
                    "RFANALyzer:CONTrol:POWer:AUTO 0",
                    "RFANALyzer:CONTrol:MEASurement:FREQuency:AUTO 0",
                    "RFANalyzer:CW:EXPected:POWer " + expected, "SETup:TXPower:COUNt:STATe 1",
                    "SETup:TXPower:COUNt:NUMBer 50", "SETup:TXPower:CONTinuous 0",
                    "SETup:TXPower:TRIGger:SOURce IMMediate", "INITiate:DONE:CLEAR",
                    "INITiate:TXPower:ON"}) +
           Strings{"INIT:DONE?", "FETCh:TXPower:POWer?"};
}

// Each routine's whole traffic with the levels -15, 12, 13 found (the search's own traffic is
// FindPowerThresholds'; the stop at a failure, and the pauses, are checked in whole runs).
const struct Routine {
    bool (*run)(FormFixture&);
    Strings traffic;
} kRoutines[] = {
    {[](FormFixture& f) { return chain(f, testrun::source1Arrangement(kBands[0])); },
     checked({"CALL:CELL:OPERating:MODE EBPT", "CALL:CELL:POWer:AMPLitude -10",
              "CALL:SETup:PDTChannel:MSLot:CONFig D2U2", "CALL:PDTChannel:PREDuction:LEV1 0",
              "CALL:PDTChannel:PREDuction:LEV2 0", "CALL:PDTChannel:PREDuction:BURS1 PRL1",
              "CALL:PDTChannel:PREDuction:BURS2 PRL2", "PL13:STATes:RFS2:Level:RF OFF",
              "PL13:STATes:RFIO:RFSource:DESTination S1S2LOOPBACK", "CALL:CELL:OPERating:MODE CW",
              "CALL:CELL:RFGenerator:FREQuency  464000000", "CALL:CELL:OPERating:MODE EBPT",
              "CALL:CELL:BAND GSM450", "CALL:PDTChannel:ARFCn 276",
              "RFAN:Control:MEASurement:FREQuency:AUTO 0",
              "RFANalyzer:MANual:MEASurement:FREQuency  464000000", "PL13:STATES:RFS2:LEVEL:RF OFF",
              "PL13:STATES:RFS1:LEVEL:RF ON"})},
    {[](FormFixture& f) { return chain(f, testrun::source2Arrangement(kBands[2], kFound)); },
     checked({"CALL:CELL:OPERating:MODE CW", "CALL:CELL:RFGenerator:FREQuency  943000000",
              "CALL:CELL:OPERating:MODE EBPT", "CALL:CELL:BAND PGSM", "CALL:PDTChannel:ARFCn 46",
              "CALL:CELL:BCH:ARFCn 40", "RFAN:CONTrol:MEASurement:FREQuency:AUTO 0",
              "RFANalyzer:MANual:MEASurement:FREQuency  943000000", "CALL:CELL:OPERating:MODE EBT",
              "CALL:PDTChannel:MSLOT:CONFIG D2U1", "CALL:CELL:POWer:AMPlitude -15.000",
              "CALL:PDTChannel:PREDuction:LEV1 0", "CALL:PDTChannel:PREDuction:LEV2 12.000",
              "RFANALyzer:CONTrol:POWer:AUTO 0", "RFANALyzer:CONTrol:MEASurement:FREQuency:AUTO 0",
              "RFANalyzer:MANual:POWer:SELected:SELected:BURST1 5.000",
              "RFANalyzer:MANual:POWer:SELected:SELected:BURST2 -7.000",
              "PL13:STATES:RFS2:LEVEL:RF ON", "PL13:STATES:RFS1:LEVEL:RF OFF"})},
    {[](FormFixture& f) {
         bool failed = false;
         for (std::int16_t c = 0; c < 4 && !failed; ++c) {
             failed = chain(f, testrun::configCommands(c, kFound));
         }
         return failed;
     },
     configSetup("0.000", "12.000", "5.000", "-7.000") +
         configSetup("12.000", "0.000", "-7.000", "5.000") +
         configSetup("0.000", "13.000", "5.000", "-8.000") +
         configSetup("13.000", "0.000", "-8.000", "5.000")},
    {[](FormFixture& f) { return f.levelsFound().measureSource1CWPowers(f.vi()); },
     checked({"CALL:CELL:OPERating:MODE CW", "PL13:STATES:RFS2:LEVEL:RF OFF"}) +
         cwMeasurement("-15.000", "5.000") + cwMeasurement("-27.000", "-7.000") +
         cwMeasurement("-28.000", "-8.000")},
    // A ten-digit frequency has one blank fewer.
    {[](FormFixture& f) { return f.levelsFound().measureSource2CWPower(f.vi(), kBands[4]); },
     checked({"CALL:OPER:MODE CW", "RFANalyzer:CONTrol:POWer:AUTO 0",
              "RFANalyzer:CONTrol:MEASurement:FREQuency:AUTO 0",
              "RFANalyzer:CW:EXPected:POWer 5.000", "PL13:STATes:RFS1:LEVel:RF OFF",
              "PL13:STATes:RFS2:LEVel:RF ON", "PL13:STATes:RFS2:DIGM:IQM OFF",
              "PL13:STATes:RFS2:FREQuency 1959000000",
              "PL13:STATes:RFS2:LEVel:NORM:AMPL -15.000"}) +
         cwMeasurement("-15.000", "5.000")},
};

TEST(Routines, WholeTraffic) {
    for (const Routine& r : kRoutines) {
        SCOPED_TRACE(&r - kRoutines);
        FormFixture f;
        f.mainLevel = -15;
        f.offsetLevel = -28;
        EXPECT_FALSE(r.run(f));
        EXPECT_EQ(f.texts(), r.traffic);
        EXPECT_TRUE(f.ui.messages.empty());
    }
}

TEST(FindPowerThresholds, WorkedExamples) {
    const struct {
        double mainLevel, offsetLevel;  // where the attenuation first reads 10 and 20
        Strings readings;               // scripted attenuation readings instead, when given
        int mainPower, offset2;
        Strings shown;  // the levels found; none when the search gives up
    } cases[] = {
        {-15, -28, {}, -15, 13, {"-15.000", "12.000", "13.000"}},
        {-12, -13, {}, -12, 1, {"-12.000", "0.000", "1.000"}},
        {-3, -40, {}, -10, 30, {"-10.000", "29.000", "30.000"}},
        // Only exact readings end the searches.
        {0, 0, {"10.5", "10", "19.9", "19.9", "+2.0E+01"}, -11, 3, {"-11.000", "2.000", "3.000"}},
        {-1000, -1000, {}, -130, 0, {}},   // 10 never read: it gives up at the floor
        {0, 0, {"timeout"}, -10, 0, {}}};  // a timed-out reading ends the search
    for (const auto& c : cases) {
        FormFixture f;
        f.mainLevel = c.mainLevel;
        f.offsetLevel = c.offsetLevel;
        std::vector<FakeVisa::Reply> readings;
        for (const std::string& text : c.readings) readings.push_back(reply(text));
        if (!readings.empty()) f.fake.onQueryReplies(kAttenuationQuery, readings);
        testrun::SourceLevels levels(f.bus, f.program, f.ui);
        EXPECT_EQ(levels.findPowerThresholds(f.vi(), kBands[1]), c.shown.empty());
        EXPECT_EQ(f.ui.labels[FormLabel::MainPower] + f.ui.labels[FormLabel::Offset1Power] +
                      f.ui.labels[FormLabel::Offset2Power],
                  c.shown);
        EXPECT_EQ(f.texts(), searchTraffic(-10, c.mainPower) +
                                 searchTraffic(c.mainPower - 1, c.mainPower - c.offset2));
    }
}

TEST(MeasureCWPowers, KeepEachReadingInItsPlace) {
    FormFixture f;
    f.fake.onQuery("FETCh:TXPower:POWer?", {"-11.9", "-25.8", "-26.7", "-12.4"});
    testrun::SourceLevels levels(f.bus, f.program, f.ui);
    EXPECT_FALSE(levels.measureSource1CWPowers(f.vi()) ||
                 levels.measureSource2CWPower(f.vi(), kBands[0]));
    const auto& l = levels.levels();
    EXPECT_EQ(
        (std::array{l.src1MainPower, l.src1Offset1CWPower, l.src1Offset2CWPower, l.src2MainPower}),
        (std::array{-11.9, -25.8, -26.7, -12.4}));
}

TEST(Preparation, SavesTheCorrectionStateSwitchesItOffAndTidyUpRestoresIt) {
    const std::string query = "SYSTem:CORRection:STATE?";
    // Replies to the state query and the state restored.
    // clang-format off
    for (const auto& [text, restored] : {
             std::pair{"1", " 1"}, {"+0.6", " 1"}, {"0.5", " 0"}, {"1.5", " 2"}, {"  -2.5E0,x", "-2"},
             {"", " 0"}, {"ON", " 0"}, {"io", " 0"}, {"timeout", " 0"}}) {
        // clang-format on
        const bool timedOut = std::string(text) == "timeout";
        FormFixture f;
        f.fake.onQueryReplies(query, {reply(text)});
        EXPECT_EQ(f.form().prepareForTest(0), timedOut) << text;
        EXPECT_EQ(f.texts(),
                  Strings{query} + (timedOut ? Strings{} : checked({"SYSTem:CORRection:STATe 0"})));
        f.fake.log.clear();
        EXPECT_FALSE(f.form().tidyUp());
        EXPECT_EQ(f.texts(), checked({std::string("SYSTem:CORRection:STATe ") + restored}));
    }
    FormFixture rejected;  // a rejected switch-off fails the preparation
    rejected.fake.errorAfter("SYSTem:CORRection:STATe 0");
    EXPECT_TRUE(rejected.form().prepareForTest(0));
}

// The refusal's exact text is checked at start-up.
TEST(Preparation, OnlyTheThreeApplicationsAreAccepted) {
    const char* applications[] = {"K2210",  "K2230",  "K3310", "k2210", " K2210",
                                  "K2210 ", "K2210A", "K2211", "",      "K3310LA"};
    for (std::size_t i = 0; i < std::size(applications); ++i) {
        FormFixture f(applications[i]);
        int exitCode = 0;
        try {
            EXPECT_FALSE(f.form().prepareForTest(0));
        } catch (const ProgramEnded& ended) {
            exitCode = ended.exitCode;
        }
        EXPECT_EQ(exitCode, i < 3 ? 0 : testrun::kExitStartupRefused) << applications[i];
        EXPECT_EQ(f.ui.messages.size(), i < 3 ? 0u : 1u);
    }
}

// A PGSM run of the chosen steps shows each in table order and counts it; a failed step is
// counted and stops its sequence (source 1 per configuration, source 2 once).
TEST(Sequences, ShowAndCountEachChosenStepUntilAFailure) {
    const Strings s1 = {"Running Source 1 GMSK Power", "Source 1 GMSK PFER", "Source 1 GMSK PVT",
                        "Running Source 1 EPSK Power", "Source 1 EPSK Mod Acc"};
    const Strings s2 = {"Source 2 GMSK PFER", "Source 2 PVT", "Source 2 GMSK Power"};
    const std::vector<int> all = {0, 1, 2, 3, 4, 5, 6, 7};
    const struct {
        std::vector<int> tests;
        std::string rejected;
        Strings steps;
        int planned;
    } cases[] = {
        {all, "", s1 + s1 + s1 + s1 + s2, 23},
        {{4, 2, 7}, "", Strings{s1[0], s1[4], s1[0], s1[4], s1[0], s1[4], s1[0], s1[4], s2[2]}, 9},
        {all, "CALL:MODulation:FORMAT:MANUAL:BURST1 GMSK", {s1[0]}, 23},
        {{0, 5, 6, 7}, "SETup:PFERror:COUNt:NUMBer 1", Strings(4, s1[1]) + Strings{s2[0]}, 7}};
    for (const auto& c : cases) {
        FormFixture f;
        f.settings.preset = testrun::PresetChoice{std::vector{2}, c.tests, std::nullopt};
        if (!c.rejected.empty()) f.fake.errorAfter(c.rejected);
        f.prepared().runTest();
        const Strings& status = f.ui.labels[testrun::FormLabel::TestStatus];
        const auto first =
            std::find(status.begin(), status.end(), "Finding power thresholds for PGSM");
        ASSERT_NE(first, status.end());
        EXPECT_EQ(Strings(first + 1, status.end() - 1), c.steps);
        // 0 after preparation and at the start, +1 per step, back to 0 at the end.
        std::vector<std::pair<int, int>> progress = {{0, 0}, {0, c.planned}};
        for (int v = 1; v <= static_cast<int>(c.steps.size()); ++v)
            progress.emplace_back(v, c.planned);
        progress.emplace_back(0, c.planned);
        EXPECT_EQ(f.ui.progress, progress);
    }
}

TEST(TestOptions, LoadsWithOnlyCalibrateSourceAndRunTestClampsTheIterations) {
    instrument::ProgramValues program;
    testrun::TestOptions options(program);
    for (std::int16_t i = -1; i <= testrun::TestOptions::kTests; ++i) {
        EXPECT_EQ(options.getBand(i) || options.getTest(i),
                  i == testrun::TestOptions::kCalibrateSource)
            << i;
    }
    options.setBand(1, true);
    options.setTest(4, true);
    for (const auto& [slider, iterations] : {std::pair{0, 1}, {250, 100}, {37, 37}}) {
        options.setSliderValue(slider);
        options.runTestPressed();
        EXPECT_EQ(options.progressSteps(), 4);  // once per configuration
        EXPECT_EQ(program.measurementIterations, iterations);
    }
}

}  // namespace
}  // namespace quillon::testing
