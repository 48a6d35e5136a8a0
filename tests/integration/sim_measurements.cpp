// SPDX-License-Identifier: MIT
// Measurements and calibration tables of the simulated test set: completion after the profile's
// polls, results repeatable by seed, table values kept exactly.
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
