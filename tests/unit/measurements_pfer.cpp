// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <limits>
#include <tuple>

#include "measurements/clsPFERMeas.h"
#include "measurements_support.h"

namespace quillon::measurements::test {
namespace {

const char* const kFreq = "FETCh:PFERror:FERRor:WORSt?";
const char* const kRms = "FETCh:PFERror:RMS:MAXimum?";
const char* const kPeak = "FETCh:PFERror:PEAK:MAXimum?";
const char* const kIntegrity = "FETCh:PFERror:INTegrity?";

// Source 1 counts the iterations (7 here); source 2 counts 1.
Traffic pferRun(std::int16_t source, int attempts) {
    const Traffic attempt =
        Traffic().send({"INIT:PFER:ON"}).query({"INIT:DONE?", kFreq, kRms, kPeak, kIntegrity});
    return Traffic()
        .send({"CALL:PDTCHannel:MCSCheme:EBPT MCS4P1", "SETup:PFERror:count:state 1",
               "SETup:PFERror:CONTinuous 0", "SETup:PFERror:TRIGger:SOURce PROTOCOL",
               "SETup:PFERror:TRIGger:DELay -1.73ms",
               source == 0 ? "SETup:PFERror:COUNt:NUMBer  7" : "SETup:PFERror:COUNt:NUMBer 1"})
        .then(attempt, attempts)
        .send({"INIT:PFER:OFF"});
}

struct Pfer {
    Bus bus{"PFER"};
    clsPFERMeas meas{bus.context()};
    Pfer() { meas.initMeas(4); }
};

// Source 2 repeats on integrity 11, up to 50 starts.
TEST(PferTest, TrafficBySourceRepeatsAndFirstFailure) {
    using Case = std::tuple<std::int16_t, Texts, MaybeFailure, int>;
    for (const auto& [source, integrities, failure, runs] :
         {Case{0, {"11"}, {}, 1}, Case{1, {"11"}, {}, 50}, Case{1, {"11", "11", "0"}, {}, 3},
          Case{1, {"5"}, {}, 1},
          Case{0, {"0"}, Failure{Kind::Queued, "SETup:PFERror:CONTinuous 0"}, 1},
          Case{0, {"0"}, Failure{Kind::Write, "INIT:PFER:ON"}, 1},
          Case{0, {"0"}, Failure{Kind::Query, kRms}, 1},
          Case{1, {"0"}, Failure{Kind::Query, "INIT:DONE?", instrument::kViSuccessMaxCnt}, 1}}) {
        Pfer p;
        p.bus.program.measurementIterations = 7;
        p.bus.fake.onQuery(kIntegrity, integrities);
        p.bus.inject(failure);
        expectRun(p.bus, p.meas.runMeas(kVi, 3, source), pferRun(source, runs), failure);
    }
    Pfer p;  // outside the configurations, and before initMeas, nothing is sent
    EXPECT_TRUE(p.meas.runMeas(kVi, 4, 0) && p.meas.runMeas(kVi, -1, 0) &&
                clsPFERMeas(p.bus.context()).runMeas(kVi, 0, 0));
    EXPECT_TRUE(p.bus.fake.log.empty());
}

// Signed worst, ties keeping the lower configuration; configuration 0's integrity unless a later
// non-zero one is smaller.
TEST(PferTest, WorstOfAndPassFail) {
    using Case = std::tuple<Texts, Texts, double, const char*>;
    for (const auto& [values, integrities, worst, text] :
         {Case{{"0.5", "-3.0", "3.0", "2.0"}, {"0", "11", "0", "5"}, -3.0, "Pass"},
          Case{{"-0.2e1 deg", "1", "x", "+1.5"}, {"11", "0", "5", "0"}, -2.0, "Fail ( 5)"},
          Case{{"1", "-1", "1", "-1"}, {"-3", "0", "0", "0"}, 1.0, "Fail (-3)"}}) {
        Pfer p;
        for (const char* q : {kFreq, kRms, kPeak}) p.bus.fake.onQuery(q, values);
        p.bus.fake.onQuery(kIntegrity, integrities);
        for (std::int16_t c = 0; c < 4; ++c) ASSERT_FALSE(p.meas.runMeas(kVi, c, 0));
        for (double w :
             {p.meas.maxFreqError(), p.meas.maxRmsPhaseError(), p.meas.maxPeakPhaseError()})
            EXPECT_EQ(w, worst);
        EXPECT_EQ(p.meas.getFreqErrPassFailString(0.0, 0), text);
        EXPECT_EQ(p.meas.getRmsPhaseErrPassFailString(0.0, 3), text);
        EXPECT_EQ(p.meas.getPeakPhaseErrPassFailString(0.0, 4), text);
    }
    using Limits = std::tuple<double, const char*>;  // P(ass) or F(ail): frequency, RMS, peak
    Pfer p;
    for (const auto& [value, texts] :
         {Limits{1.0, "PPP"}, Limits{-4.0, "PFP"}, Limits{4.01, "PFF"}, Limits{-20.0, "PFF"},
          Limits{20.000001, "FFF"}, Limits{std::numeric_limits<double>::quiet_NaN(), "FFF"}}) {
        const std::string letters{p.meas.getFreqErrPassFailString(value, 0)[0],
                                  p.meas.getRmsPhaseErrPassFailString(value, 3)[0],
                                  p.meas.getPeakPhaseErrPassFailString(value, 4)[0]};
        EXPECT_EQ(letters, texts) << value;
    }
}

}  // namespace
}  // namespace quillon::measurements::test
