// SPDX-License-Identifier: MIT
// Measurements, levels and calibration tables of the simulated test set: completion after the
// profile's polls, repeatable results, the loopback physics and exact table values.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "instrument/conventions.h"
#include "sim_session.h"

namespace quillon::sim_test {
namespace {

struct Band {
    const char* name;
    const char* frequency;
    int arfcn;
};
const std::vector<Band> kBands{{"GSM450", " 464000000", 276},
                               {"GSM850", " 882000000", 192},
                               {"PGSM", " 943000000", 40},
                               {"DCS", "1842000000", 696},
                               {"PCS", "1959000000", 656}};

double number(const std::string& reply) {
    return std::strtod(reply.c_str(), nullptr);
}

// The source 1 loopback arrangement as the program sends it, plus the path latches that its
// CW measurement sets.
void arrangeSource1(TestSetSession& set, const Band& band) {
    const std::string frequency = band.frequency;
    for (const std::string& command : std::vector<std::string>{
             "CALL:CELL:OPERating:MODE EBPT", "CALL:CELL:POWer:AMPLitude -10",
             "CALL:SETup:PDTChannel:MSLot:CONFig D2U2", "CALL:PDTChannel:PREDuction:LEV1 0",
             "CALL:PDTChannel:PREDuction:LEV2 0", "CALL:PDTChannel:PREDuction:BURS1 PRL1",
             "CALL:PDTChannel:PREDuction:BURS2 PRL2", "PL13:STATes:RFS2:Level:RF OFF",
             "PL13:STATes:RFIO:RFSource:DESTination S1S2LOOPBACK",
             "CALL:CELL:RFGenerator:FREQuency " + frequency,
             "CALL:CELL:BAND " + std::string(band.name),
             "CALL:PDTChannel:ARFCn " + std::to_string(band.arfcn),
             "RFAN:Control:MEASurement:FREQuency:AUTO 0",
             "RFANalyzer:MANual:MEASurement:FREQuency " + frequency, "PL13:STATES:RFS1:LEVEL:RF ON",
             "PL13:LATC:RFINT:PATH:SOURCE1 1", "PL13:LATC:RFINT:PATH:SOURCE2 1",
             "PL13:LATC:RFINT:LOOPBACK 1", "RFANALyzer:CONTrol:POWer:AUTO 0"}) {
        set.send(command);
    }
    ASSERT_EQ(set.nextError(), kNoError);
}

std::string runAndFetch(TestSetSession& set, const std::string& start, const std::string& name,
                        const std::string& fetch) {
    set.send(start);
    EXPECT_GT(set.pollUntilDone(name), 0) << name;
    return set.ask(fetch);
}

double cwPower(TestSetSession& set, double level) {
    set.send("CALL:CELL:POWer:AMPlitude:CW " + instrument::levelText(level));
    set.send("RFANalyzer:CW:EXPected:POWer " + instrument::levelText(level + 20));
    return number(runAndFetch(set, "INITiate:TXPower:ON", "TXP", "FETCh:TXPower:POWer?"));
}

TEST(SimMeasurements, DoneAfterTheProfilesNumberOfPolls) {
    for (int polls : {1, 2, 5}) {
        TestSetSession set(writeProfile(
            "polls", testSetProfile("done_after_polls = " + std::to_string(polls), "")));
        EXPECT_EQ(set.ask("INIT:DONE?"), "NONE");
        set.send("INIT:PFER:ON");
        EXPECT_EQ(set.pollUntilDone("PFER"), polls);
        EXPECT_EQ(set.ask("INIT:DONE?"), "NONE");  // reported once
    }
}

TEST(SimMeasurements, FinishedMeasurementsAreReportedInTurnUntilCleared) {
    TestSetSession set(writeProfile("turns", testSetProfile("done_after_polls = 1", "")));
    set.send("INIT:PFER:ON");
    set.send("INITiate:PVTime:ON");
    set.send("INIT:ETXP:ON");
    EXPECT_EQ(set.ask("INIT:DONE?"), "PFER");
    EXPECT_EQ(set.ask("INIT:DONE?"), "PVT");
    set.send("INITiate:DONE:CLEAr");
    EXPECT_EQ(set.ask("INIT:DONE?"), "NONE");
    EXPECT_EQ(set.nextError(), kNoError);
}

TEST(SimMeasurements, FetchingBeforeAnyRunGivesNoValueAndAnError) {
    TestSetSession set(shippedProfile("healthy.toml"));
    EXPECT_GT(number(set.ask("FETCh:PFERror:FERRor:WORSt?")), 1e37);
    EXPECT_EQ(set.nextError(), "-230,\"Data corrupt or stale\"");
}

std::vector<std::string> measurementReplies(const std::string& profile) {
    TestSetSession set(profile);
    arrangeSource1(set, kBands[3]);
    std::vector<std::string> replies;
    for (int run = 0; run < 3; ++run) {
        replies.push_back(runAndFetch(set, "INIT:PFER:ON", "PFER", "FETCh:PFERror:FERRor:WORSt?"));
        replies.push_back(set.ask("FETCh:PFERror:RMS:MAXimum?"));
        replies.push_back(runAndFetch(set, "INIT:ETXP:ON", "ETXP", "FETCh:ETXPower:POWer?"));
    }
    return replies;
}

TEST(SimMeasurements, ResultsRepeatForTheSameSeedAndDifferForAnother) {
    const auto first = measurementReplies(shippedProfile("healthy.toml"));
    EXPECT_EQ(measurementReplies(shippedProfile("healthy.toml")), first);
    std::string otherSeed = testSetProfile("seed = 99", "");
    EXPECT_NE(measurementReplies(writeProfile("seed99", otherSeed)), first);
    EXPECT_NE(first[0], first[3]);  // each run draws anew
}

TEST(SimMeasurements, CwPowerFollowsTheCommandedLevelThroughTheLoopback) {
    TestSetSession set(shippedProfile("healthy.toml"));
    arrangeSource1(set, kBands[2]);
    set.send("CALL:CELL:OPERating:MODE CW");
    for (double level : {-12.0, -26.0, -27.0}) {
        // Source 1 CW error 0.05 +/- 0.03 dB in the healthy profile.
        EXPECT_NEAR(cwPower(set, level), level + 20 + 0.05, 0.0301) << level;
    }
    set.send("PL13:STATes:RFS2:FREQuency  943000000");
    set.send("PL13:STATes:RFS2:LEVel:NORM:AMPL -12.000");
    set.send("PL13:STATes:RFS2:LEVel:RF ON");  // both on: their powers add up
    EXPECT_NEAR(cwPower(set, -12.0), -12 + 20 + 10 * std::log10(2.0), 0.1);
    set.send("PL13:STATes:RFS1:LEVel:RF OFF");
    EXPECT_NEAR(cwPower(set, -40.0), -12 + 20 + 0.08, 0.0301);  // source 2 alone
    EXPECT_EQ(set.nextError(), kNoError);
}

TEST(SimMeasurements, AnalyzerRangeAndTuningDecideTheIntegrity) {
    TestSetSession set(shippedProfile("healthy.toml"));
    arrangeSource1(set, kBands[0]);
    set.send("CALL:CELL:OPERating:MODE CW");
    cwPower(set, -12.0);
    EXPECT_EQ(set.ask("FETCh:TXPower:INTegrity?"), "0");
    set.send("RFANalyzer:CW:EXPected:POWer 30.000");
    runAndFetch(set, "INITiate:TXPower:ON", "TXP", "FETCh:TXPower:POWer?");
    EXPECT_EQ(set.ask("FETCh:TXPower:INTegrity?"), "6");  // 22 dB under the expected power
    set.send("CALL:CELL:OPERating:MODE EBPT");
    set.send("RFANalyzer:MANual:MEASurement:FREQuency 1842000000");  // tuned elsewhere
    runAndFetch(set, "INIT:PFER:ON", "PFER", "FETCh:PFERror:FERRor:WORSt?");
    EXPECT_EQ(set.ask("FETCh:PFERror:INTegrity?"), "11");
}

// The burst the analyzer measures is burst 2, reduced by the level it is assigned to.
TEST(SimMeasurements, BurstPowerIsTheMeasuredBurstsLevelThroughTheLoopback) {
    TestSetSession set(shippedProfile("healthy.toml"));
    arrangeSource1(set, kBands[1]);
    for (const char* command :
         {"CALL:CELL:POWer:AMPlitude -12.000", "CALL:PDTChannel:PREDuction:LEV1 0.000",
          "CALL:PDTChannel:PREDuction:LEV2 15.000",
          "RFANalyzer:MANual:POWer:Selected:Selected:BURSt1 8.000",
          "RFANalyzer:MANual:POWer:Selected:Selected:BURSt2 -7.000",
          "RFANalyzer:MSLOt:MEASurement:BURSt 2", "CALL:MODulation:FORMAT:CONTROL:AUTO 0",
          "CALL:MODulation:FORMAT:MANUAL:BURST2 GMSK"}) {
        set.send(command);
    }
    const double gmsk = number(runAndFetch(set, "INIT:ETXP:ON", "ETXP", "FETCh:ETXPower:POWer?"));
    EXPECT_NEAR(gmsk, -12 - 15 + 20 + 0.12, 0.0501);
    EXPECT_EQ(set.ask("FETCh:ETXPower:INTegrity?"), "0");
    set.send("CALL:MODulation:FORMAT:MANUAL:BURST2 EPSK");
    const double epsk = number(runAndFetch(set, "INIT:ETXP:ON", "ETXP", "FETCh:ETXPower:POWer?"));
    EXPECT_NEAR(epsk, -12 - 15 + 20 + 0.18, 0.0501);
    EXPECT_EQ(set.nextError(), kNoError);
}

TEST(SimMeasurements, ProfilesSetTheResultsThatPassOrFail) {
    struct Case {
        const char* profile;
        std::size_t band;
        const char* fetch;
        double low;
        double high;
    };
    const std::vector<Case> cases{
        {"healthy.toml", 3, "FETCh:PFERror:FERRor:WORSt?", -20, 20},
        {"failing-result.toml", 3, "FETCh:PFERror:FERRor:WORSt?", 24, 26},
        {"failing-result.toml", 2, "FETCh:PFERror:FERRor:WORSt?", -20, 20},
    };
    for (const Case& c : cases) {
        TestSetSession set(shippedProfile(c.profile));
        arrangeSource1(set, kBands[c.band]);
        const double value = number(runAndFetch(set, "INIT:PFER:ON", "PFER", c.fetch));
        EXPECT_GE(value, c.low) << c.profile;
        EXPECT_LE(value, c.high) << c.profile;
        const double offset = std::fabs(number(
            runAndFetch(set, "INITiate:EMACcuracy:ON", "EMAC", "FETCh:EMACcuracy:OOFFset?")));
        EXPECT_GE(offset, 35.0) << c.profile;
        const double upper =
            number(runAndFetch(set, "INITiate:PVTime:ON", "PVT", "FETCh:PVTime:MASK:UPPER?"));
        EXPECT_NEAR(upper, 1.0, 0.1) << c.profile;
    }
}

// Source 2 bursts against its CW level, as the program compares them.
double source2BurstError(const std::string& profile) {
    TestSetSession set(profile);
    arrangeSource1(set, kBands[2]);
    for (const char* command :
         {"CALL:OPER:MODE CW", "PL13:STATes:RFS1:LEVel:RF OFF", "PL13:STATes:RFS2:LEVel:RF ON",
          "PL13:STATes:RFS2:FREQuency  943000000", "PL13:STATes:RFS2:LEVel:NORM:AMPL -12.000"}) {
        set.send(command);
    }
    const double cw = cwPower(set, -12.0);
    for (const char* command : {"CALL:CELL:OPERating:MODE EBT", "CALL:CELL:POWer:AMPlitude -12.000",
                                "CALL:PDTChannel:PREDuction:LEV2 14.000",
                                "RFANalyzer:MANual:POWer:SELected:SELected:BURST1 8.000",
                                "RFANalyzer:MANual:POWer:SELected:SELected:BURST2 -6.000"}) {
        set.send(command);
    }
    const double burst =
        number(runAndFetch(set, "INIT:ETXPower:ON", "ETXP", "FETCh:ETXPower:POWer?"));
    EXPECT_EQ(set.ask("FETCh:ETXPower:INTegrity?"), "0");
    return burst - cw;
}

TEST(SimMeasurements, Source2BurstsMatchItsCwLevelUnlessTheProfileSaysOtherwise) {
    EXPECT_LE(std::fabs(source2BurstError(shippedProfile("healthy.toml"))), 1.0);
    EXPECT_GT(source2BurstError(shippedProfile("failing-source2.toml")), 1.0);
}

struct Attenuation {
    const char* profile;
    std::size_t band;
    int level;
    int expected;
};

TEST(SimMeasurements, AttenuationStepsAtTheProfilesLevels) {
    const std::vector<Attenuation> cases{
        {"healthy.toml", 0, -9, 0},
        {"healthy.toml", 0, -10, 10},
        {"healthy.toml", 0, -25, 10},
        {"healthy.toml", 0, -26, 20},
        {"healthy.toml", 3, -12, 0},
        {"healthy.toml", 3, -13, 10},
        {"healthy.toml", 3, -27, 10},
        {"healthy.toml", 3, -28, 20},
        {"attenuation-edge.toml", 2, -10, 0},
        {"attenuation-edge.toml", 2, -11, 10},
        {"attenuation-edge.toml", 2, -12, 20},
    };
    for (const Attenuation& c : cases) {
        TestSetSession set(shippedProfile(c.profile));
        set.send(std::string("CALL:CELL:BAND ") + kBands[c.band].name);
        set.send("CALL:CELL:POWer:AMPLitude " + std::to_string(c.level));
        EXPECT_EQ(set.ask("PL13:STATes:RFS1:LEVel:NORMal:ATTenuation?"), std::to_string(c.expected))
            << c.profile << " " << c.level;
    }
}

// The program's level search, run against the simulated attenuation.
struct Levels {
    int main;
    int offset1;
    int offset2;
    bool operator==(const Levels&) const = default;
};
Levels searchLevels(TestSetSession& set) {
    int main = -9;
    do {
        --main;
        set.send("CALL:CELL:POWer:AMPLitude " + std::to_string(main));
    } while (set.ask("PL13:STATes:RFS1:LEVel:NORMal:ATTenuation?") != "10" && main > -130);
    int offset2 = main;
    int offset1 = main;
    do {
        offset1 = offset2--;
        set.send("CALL:CELL:POWer:AMPLitude " + std::to_string(offset2));
    } while (set.ask("PL13:STATes:RFS1:LEVel:NORMal:ATTenuation?") != "20" && offset2 > -130);
    return {main, main - offset1, main - offset2};
}

TEST(SimMeasurements, TheLevelSearchFindsTheProfilesThresholds) {
    struct Case {
        const char* profile;
        std::size_t band;
        Levels levels;
    };
    for (const Case& c : std::vector<Case>{{"healthy.toml", 0, {-10, 15, 16}},
                                           {"healthy.toml", 4, {-12, 13, 14}},
                                           {"attenuation-edge.toml", 2, {-11, 0, 1}}}) {
        TestSetSession set(shippedProfile(c.profile));
        arrangeSource1(set, kBands[c.band]);
        EXPECT_EQ(searchLevels(set), c.levels) << c.profile << " band " << c.band;
    }
}

TEST(SimMeasurements, CalibrationValuesReadBackAsTheSameDouble) {
    TestSetSession set(shippedProfile("healthy.toml"));
    EXPECT_EQ(number(set.ask("PL13:CAL:DATA? 'tdma_bbgen_data_delay1',0,0")), 0.000646098);
    EXPECT_EQ(number(set.ask("PL13:CAL:DATA? 'tdma_bbgen_data_delay2',3,0")), 0.00003367);
    EXPECT_EQ(number(set.ask("PL13:CAL:DATA? 'tdma_bbgen_delay_setting1',1,3")), 84.0);
    for (double value : {0.000646098, 3.367e-05, 36.0, 0.0, -1.25, 0.1 + 0.2, 123456.789012345}) {
        const std::string text = instrument::tableValueText(value);
        set.send("PL13:CAL:DATA 'tdma_bbgen_data_delay2',4,0," + text);
        EXPECT_EQ(number(set.ask("PL13:CAL:DATA? 'tdma_bbgen_data_delay2',4,0")),
                  std::strtod(text.c_str(), nullptr))
            << text;
    }
    EXPECT_EQ(set.nextError(), kNoError);
}

TEST(SimMeasurements, StoringCalibrationSynchronisesAfterTheProfilesPolls) {
    TestSetSession set(shippedProfile("calibration-differs.toml"));
    EXPECT_EQ(set.ask("PL13:CAL:DATA? 'tdma_bbgen_delay_setting2',3,4"), "12");
    EXPECT_EQ(set.ask("PL13:CAL:DATA? 'tdma_bbgen_delay_setting1',3,4"), "0");
    EXPECT_EQ(set.ask("SYSTem:SYNC?"), "1");
    set.send("PL13:CAL:STOR");
    std::vector<std::string> replies;
    for (int poll = 0; poll < 5; ++poll) replies.push_back(set.ask("SYSTem:SYNC?"));
    EXPECT_EQ(replies, (std::vector<std::string>{"0", "0", "0", "1", "1"}));
}

TEST(SimMeasurements, TheErrorQueueKeepsOrderAndOverflows) {
    TestSetSession set(writeProfile("queue", testSetProfile("error_queue_size = 4", "")));
    EXPECT_EQ(set.nextError(), kNoError);
    for (const char* bad : {"NOPE", "CALL:CELL:BAND", "CALL:CELL:BAND X", "NOPE", "NOPE"}) {
        set.send(bad);
    }
    EXPECT_EQ(set.nextError(), "-113,\"Undefined header\"");
    EXPECT_EQ(set.nextError(), "-109,\"Missing parameter\"");
    EXPECT_EQ(set.nextError(), "-224,\"Illegal parameter value\"");
    EXPECT_EQ(set.nextError(), "-350,\"Queue overflow\"");
    EXPECT_EQ(set.nextError(), kNoError);
    set.send("NOPE");
    set.send("*cls");
    EXPECT_EQ(set.nextError(), kNoError);
}

TEST(SimMeasurements, UnreadAndMissingRepliesAreQueuedAsQueryErrors) {
    TestSetSession set(shippedProfile("healthy.toml"));
    set.send("*idn?");  // its reply is never read
    set.send("*cls");
    ViStatus status = instrument::kViSuccess;
    set.ask("*cls", &status);  // nothing to read
    EXPECT_EQ(status, instrument::kViErrorTimeout);
    EXPECT_EQ(set.nextError(), "-420,\"Query UNTERMINATED\"");
    set.send("*idn?");
    EXPECT_EQ(set.nextError(), "-410,\"Query INTERRUPTED\"");
}

}  // namespace
}  // namespace quillon::sim_test
