// SPDX-License-Identifier: MIT
// The simulated test set matches keywords by their short and long forms in any case, injects the
// faults a profile names and cuts replies that do not fit the reader's buffer; its measurements
// complete after the profile's polls with results repeatable by seed, and its calibration tables
// keep values exactly. That it takes every text the program sends is pinned by the whole runs on
// it (each ends with a clean error queue after every checked message).
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "instrument/conventions.h"
#include "sim_session.h"

namespace quillon::sim_test {
namespace {

// A setting written in one spelling reads back in another; what the test set does not know
// leaves the matching error (written only, so a refused query leaves nothing to read).
TEST(SimCommands, MatchesKeywordsInAnyFormAndCaseAndRefusesTheUnknown) {
    const char* const kError = "SYSTem:ERRor?";
    struct Case {
        const char *text, *query, *reply;
    };
    TestSetSession set(shippedProfile("healthy"));
    for (const Case& c : std::vector<Case>{
             {"CALL:CELL:BAND DCS", "CALL:BAND?", "DCS"},
             {"call:cell:band pcs", "CALL:CELL:BAND?", "PCS"},
             {":CALL:OPERATING:MODE ebt", "CALL:CELL:OPER:MODE?", "EBT"},
             {"RFAN:CONT:MEAS:FREQ:AUTO OFF", "RFANALYZER:CONTROL:MEASUREMENT:FREQUENCY:AUTO?",
              "0"},
             {"CALL:PDTC:PRED:LEVEL2 12.5", "CALL:PDTCHANNEL:PREDUCTION:LEV2?", "+1.250000E+01"},
             {"CALL:PDTChannel:PREDuction:LEV 3", "CALL:PDTC:PRED:LEVel1?", "+3.000000E+00"},
             {"SETup:PFERror:TRIGger:SOURce prot", "SET:PFER:TRIG:SOUR?", "PROT"},
             {"SETup:PVT:TRIG:DEL 1772us", "SETUP:PVTIME:TRIGGER:DELAY?", "+1.772000E-03"},
             {"RFANalyzer:MANual:MEASurement:FREQuency 1842 MHz", "RFAN:MAN:MEAS:FREQ?",
              "+1.842000E+09"},
             {"*rst", "CALL:CELL:BAND?", "PGSM"},
             {"CALL:CELL:BANDX DCS", kError, "-113,\"Undefined header\""},
             {"CALL:CELL:BAN DCS", kError, "-113,\"Undefined header\""},
             {"CALL:CELL:BAND", kError, "-109,\"Missing parameter\""},
             {"CALL:CELL:BAND XYZ", kError, "-224,\"Illegal parameter value\""},
             {"CALL:CELL:POWer:AMPLitude 5", kError, "-222,\"Data out of range\""},
             {"CALL:PDTChannel:ARFCn 1e20", kError, "-222,\"Data out of range\""},
             {"CALL:PDTChannel:ARFCn -1e20", kError, "-222,\"Data out of range\""},
             {"CALL:PDTChannel:ARFCn inf", kError, "-222,\"Data out of range\""},
             {"CALL:PDTChannel:ARFCn 1024", kError, "-222,\"Data out of range\""},
             {"CALL:PDTChannel:ARFCn 600", kError, "-224,\"Illegal parameter value\""},
             {"CALL:PDTChannel:ARFCn 40.5", kError, "-224,\"Illegal parameter value\""},
             {"CALL:CELL:POWer:AMPLitude abc", kError, "-104,\"Data type error\""},
             {"CALL:CELL:BAND DCS,PCS", kError, "-108,\"Parameter not allowed\""},
             {"SETup:PFERror:TRIGger:DELay 1.73xs", kError, "-131,\"Invalid suffix\""},
             {"PL13:CAL:DATA? 'tdma_bbgen_data_delay1',0,1", kError,
              "-222,\"Data out of range\""}}) {
        set.send(c.text);
        EXPECT_EQ(set.ask(c.query), c.reply) << c.text;
        EXPECT_EQ(set.nextError(), kNoError) << c.text;
    }
}

std::string fault(const std::string& name, const std::string& rule) {
    return testSetProfile(name, "seed = 7", "[[instrument.fault]]\n" + rule);
}

TEST(SimFaults, AScpiErrorHitsOnlyTheNthOccurrenceWhateverTheSpelling) {
    TestSetSession set(fault("nth",
                             "command = \"CALL:CELL:BAND\"\nnth = 2\n"
                             "action = \"scpi_error\"\ncode = -224\n"));
    set.send("CALL:CELL:BAND DCS");
    EXPECT_EQ(set.nextError(), kNoError);
    set.send("call:band pcs");
    EXPECT_EQ(set.nextError(), "-224,\"Illegal parameter value\"");
    EXPECT_EQ(set.ask("CALL:CELL:BAND?"), "DCS");  // the refused command was not carried out
    set.send("CALL:CELL:BAND PCS");
    EXPECT_EQ(set.ask("CALL:CELL:BAND?"), "PCS");
}

// The session's "*rst" and "*cls" are messages 1 and 2: an any rule counts every message.
TEST(SimFaults, AnAnyRuleHitsTheNthMessageWhateverItIs) {
    struct Case {
        const char* action;
        ViStatus status;
        const char* reply;  // of the hit query, then of the one after it
        const char* next;
    };
    for (const Case& c : std::vector<Case>{{"timeout", instrument::kViErrorTimeout, "", "DCS"},
                                           {"io_error", instrument::kViErrorIo, "", "DCS"},
                                           {"garbage", instrument::kViSuccess, "garbage", "DCS"},
                                           {"silence", instrument::kViErrorTimeout, "", ""}}) {
        TestSetSession set(
            fault(std::string("any-") + c.action,
                  std::string("any = true\nnth = 4\naction = \"") + c.action + "\"\n"));
        EXPECT_EQ(set.send("CALL:CELL:BAND DCS"), instrument::kViSuccess) << c.action;
        ViStatus status = instrument::kViSuccess;
        EXPECT_EQ(set.ask("CALL:BAND?", &status), c.reply) << c.action;
        EXPECT_EQ(status, c.status) << c.action;
        EXPECT_EQ(set.ask("CALL:BAND?"), c.next) << c.action;
    }
}

// The program's query reads at most the buffer less its NUL; the instrument reports the rest.
TEST(SimFaults, AnOverlongReplyIsCutAtTheBufferWithoutOverrun) {
    TestSetSession set(
        fault("long", "command = \"*IDN?\"\naction = \"long_reply\"\nlength = 700\n"));
    instrument::VisaApi::ReplyBuffer reply{};
    EXPECT_EQ(set.api().query(set.vi(), "*IDN?\n", reply), instrument::kViSuccess);
    EXPECT_EQ(std::strlen(reply.data()), reply.size() - 1);
    EXPECT_EQ(set.nextError(), "-410,\"Query INTERRUPTED\"");
    EXPECT_EQ(set.nextError(), kNoError);
}

double number(const std::string& reply) {
    return std::strtod(reply.c_str(), nullptr);
}

TEST(SimMeasurements, DoneAfterTheProfilesNumberOfPollsReportedOnce) {
    for (int polls : {1, 2, 5}) {
        TestSetSession set(testSetProfile("polls", "done_after_polls = " + std::to_string(polls)));
        EXPECT_EQ(set.ask("INIT:DONE?"), "NONE");
        set.send("INIT:PFER:ON");
        EXPECT_EQ(set.pollUntilDone("PFER"), polls);
        EXPECT_EQ(set.ask("INIT:DONE?"), "NONE");
    }
}

// Three runs each of a frequency error and a power measurement.
std::vector<double> measurementResults(const std::string& profile) {
    TestSetSession set(profile);
    set.loopBack();
    std::vector<double> results;
    for (int run = 0; run < 6; ++run) {
        const bool pfer = run % 2 == 0;
        set.send(pfer ? "INIT:PFER:ON" : "INIT:ETXP:ON");
        EXPECT_GT(set.pollUntilDone(pfer ? "PFER" : "ETXP"), 0) << run;
        results.push_back(
            number(set.ask(pfer ? "FETCh:PFERror:FERRor:WORSt?" : "FETCh:ETXPower:POWer?")));
    }
    return results;
}

TEST(SimMeasurements, ResultsRepeatForTheSameSeedAndDifferForAnother) {
    const auto first = measurementResults(shippedProfile("healthy"));
    EXPECT_EQ(measurementResults(shippedProfile("healthy")), first);
    EXPECT_NE(measurementResults(testSetProfile("seed99", "seed = 99")), first);
    EXPECT_NE(first[0], first[2]);  // each run draws anew
}

TEST(SimMeasurements, CalibrationValuesReadBackAsTheSameDouble) {
    TestSetSession set(shippedProfile("healthy"));
    EXPECT_EQ(number(set.ask("PL13:CAL:DATA? 'tdma_bbgen_data_delay1',0,0")), 0.000646098);
    for (double value : {0.000646098, 3.367e-05, 36.0, -1.25, 0.1 + 0.2, 123456.789012345}) {
        const std::string text = instrument::tableValueText(value);
        set.send("PL13:CAL:DATA 'tdma_bbgen_data_delay2',4,0," + text);
        EXPECT_EQ(number(set.ask("PL13:CAL:DATA? 'tdma_bbgen_data_delay2',4,0")), number(text))
            << text;
    }
    EXPECT_EQ(set.nextError(), kNoError);
}

}  // namespace
}  // namespace quillon::sim_test
