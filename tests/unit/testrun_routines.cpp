// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <algorithm>

#include "measurements/measurement_common.h"
#include "measurements_support.h"
#include "testrun/loopback.h"
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

// One CW power measurement through the 20 dB loopback.
Strings cwMeasurement(const std::string& level, const std::string& expected) {
    return checked(measurements::test::cwPowerCommands(level, expected)) +
           Strings{"INIT:DONE?", "FETCh:TXPower:POWer?"};
}

// Each routine's whole traffic with the levels -15, 12, 13 found. (The stop at a failure, and
// the pauses, are checked in whole runs.)
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
    {[](FormFixture& f) {
         return testrun::SourceLevels(f.bus, f.program, f.ui)
             .findPowerThresholds(f.vi(), kBands[0]);
     },
     searchTraffic(-10, -15) + searchTraffic(-16, -28)},
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
        {-10, -25, {}, -10, 15, {"-10.000", "14.000", "15.000"}},
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

}  // namespace
}  // namespace quillon::testing
