// SPDX-License-Identifier: MIT
// Measurements, levels and calibration tables of the simulated test set: completion after the
// profile's polls, repeatable results, the loopback physics and exact table values.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "instrument/conventions.h"
#include "sim_session.h"

namespace quillon::sim_test {
namespace {

double number(const std::string& reply) {
    return std::strtod(reply.c_str(), nullptr);
}

double runAndFetch(TestSetSession& set, const std::string& start, const std::string& name,
                   const std::string& fetch) {
    set.send(start);
    EXPECT_GT(set.pollUntilDone(name), 0) << name;
    return number(set.ask(fetch));
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

std::vector<double> measurementResults(const std::string& profile) {
    TestSetSession set(profile);
    set.loopBack();
    std::vector<double> results;
    for (int run = 0; run < 3; ++run) {
        results.push_back(runAndFetch(set, "INIT:PFER:ON", "PFER", "FETCh:PFERror:FERRor:WORSt?"));
        results.push_back(runAndFetch(set, "INIT:ETXP:ON", "ETXP", "FETCh:ETXPower:POWer?"));
    }
    return results;
}

TEST(SimMeasurements, ResultsRepeatForTheSameSeedAndDifferForAnother) {
    const auto first = measurementResults(shippedProfile("healthy"));
    EXPECT_EQ(measurementResults(shippedProfile("healthy")), first);
    EXPECT_NE(measurementResults(testSetProfile("seed99", "seed = 99")), first);
    EXPECT_NE(first[0], first[2]);  // each run draws anew
}

// Attenuation 0 above the profile's first threshold, 10 from it down, 20 from the second down.
TEST(SimMeasurements, AttenuationStepsAtTheProfilesThresholds) {
    struct Case {
        const char *profile, *band;
        int level10, level20;
    };
    for (const Case& c : {Case{"healthy", "GSM450", -10, -26}, Case{"healthy", "DCS", -13, -28},
                          Case{"attenuation-edge", "PGSM", -11, -12}}) {
        TestSetSession set(shippedProfile(c.profile));
        set.send(std::string("CALL:CELL:BAND ") + c.band);
        for (const auto& [level, attenuation] : {std::pair{c.level10 + 1, "0"},
                                                 {c.level10, "10"},
                                                 {c.level20 + 1, "10"},
                                                 {c.level20, "20"}}) {
            set.send("CALL:CELL:POWer:AMPLitude " + std::to_string(level));
            EXPECT_EQ(set.ask("PL13:STATes:RFS1:LEVel:NORMal:ATTenuation?"), attenuation)
                << c.profile << " " << level;
        }
    }
}

TEST(SimMeasurements, CalibrationValuesReadBackAsTheSameDouble) {
    TestSetSession set(shippedProfile("healthy"));
    EXPECT_EQ(number(set.ask("PL13:CAL:DATA? 'tdma_bbgen_data_delay1',0,0")), 0.000646098);
    EXPECT_EQ(number(set.ask("PL13:CAL:DATA? 'tdma_bbgen_data_delay2',3,0")), 3.367e-05);
    for (double value : {0.000646098, 3.367e-05, 36.0, -1.25, 0.1 + 0.2, 123456.789012345}) {
        const std::string text = instrument::tableValueText(value);
        set.send("PL13:CAL:DATA 'tdma_bbgen_data_delay2',4,0," + text);
        EXPECT_EQ(number(set.ask("PL13:CAL:DATA? 'tdma_bbgen_data_delay2',4,0")), number(text))
            << text;
    }
    EXPECT_EQ(set.nextError(), kNoError);
}

TEST(SimMeasurements, StoringCalibrationSynchronisesAfterTheProfilesPolls) {
    TestSetSession set(shippedProfile("calibration-differs"));
    EXPECT_EQ(set.ask("PL13:CAL:DATA? 'tdma_bbgen_delay_setting2',3,4"), "12");
    EXPECT_EQ(set.ask("SYSTem:SYNC?"), "1");
    set.send("PL13:CAL:STOR");
    std::vector<std::string> replies;
    for (int poll = 0; poll < 5; ++poll) replies.push_back(set.ask("SYSTem:SYNC?"));
    EXPECT_EQ(replies, (std::vector<std::string>{"0", "0", "0", "1", "1"}));
}

TEST(SimMeasurements, TheErrorQueueKeepsOrderOverflowsAndReportsQueryErrors) {
    TestSetSession set(testSetProfile("queue", "error_queue_size = 4"));
    for (const char* bad : {"NOPE", "CALL:CELL:BAND", "CALL:CELL:BAND X", "NOPE", "NOPE"}) {
        set.send(bad);
    }
    std::vector<std::string> errors;
    for (int i = 0; i < 5; ++i) errors.push_back(set.nextError());
    EXPECT_EQ(errors,
              (std::vector<std::string>{"-113,\"Undefined header\"", "-109,\"Missing parameter\"",
                                        "-224,\"Illegal parameter value\"",
                                        "-350,\"Queue overflow\"", kNoError}));
    set.send("NOPE");
    set.send("*cls");
    EXPECT_EQ(set.nextError(), kNoError);
    EXPECT_GT(number(set.ask("FETCh:PFERror:FERRor:WORSt?")), 1e37);  // before any run
    EXPECT_EQ(set.nextError(), "-230,\"Data corrupt or stale\"");
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
