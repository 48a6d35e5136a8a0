// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <limits>

#include "measurements/clsPFERMeas.h"
#include "measurements_support.h"

namespace quillon::measurements::test {
namespace {

using Kind = Failure::Kind;
const char* const kFreq = "FETCh:PFERror:FERRor:WORSt?";
const char* const kRms = "FETCh:PFERror:RMS:MAXimum?";
const char* const kPeak = "FETCh:PFERror:PEAK:MAXimum?";
const char* const kIntegrity = "FETCh:PFERror:INTegrity?";

Traffic run(const std::string& count, int attempts = 1) {
    const Traffic attempt =
        Traffic().send({"INIT:PFER:ON"}).polls(1).query({kFreq, kRms, kPeak, kIntegrity});
    return Traffic()
        .send({"CALL:PDTCHannel:MCSCheme:EBPT MCS4P1", "SETup:PFERror:count:state 1",
               "SETup:PFERror:CONTinuous 0", "SETup:PFERror:TRIGger:SOURce PROTOCOL",
               "SETup:PFERror:TRIGger:DELay -1.73ms", "SETup:PFERror:COUNt:NUMBer " + count})
        .then(attempt, attempts)
        .send({"INIT:PFER:OFF"});
}

struct Pfer {
    Bus bus;
    clsPFERMeas meas{bus.context()};
    explicit Pfer(std::int16_t numConfigs = 4) {
        bus.fake.onQuery("INIT:DONE?", {"PFER"});
        meas.initMeas(numConfigs);
    }
    void runConfigs(int n) {
        for (int c = 0; c < n; ++c) ASSERT_FALSE(meas.runMeas(kVi, std::int16_t(c), 0));
    }
};

TEST(PferTest, TrafficByIterationsAndSource) {
    struct Case {
        std::int16_t iterations, config, source;
        std::string count;
    };
    for (const Case& c : {Case{50, 0, 0, " 50"}, Case{7, 3, 0, " 7"}, Case{50, 0, 1, "1"}}) {
        Pfer p;
        p.bus.program.measurementIterations = c.iterations;
        EXPECT_FALSE(p.meas.runMeas(kVi, c.config, c.source));
        EXPECT_EQ(p.bus.fake.texts(), run(c.count).texts);
    }
}

TEST(PferTest, WaitYieldsBeforeEachPollUntilTheExactMnemonicArrives) {
    Pfer p;
    p.bus.fake.onQuery("INIT:DONE?", {"", "pfer", "TXP,PVT", "EMAC,PFER"});
    EXPECT_FALSE(p.meas.runMeas(kVi, 0, 0));
    EXPECT_EQ(p.bus.fake.count("INIT:DONE?"), 4u);
    EXPECT_EQ(p.bus.yields, 4);
}

TEST(PferTest, StopsAtTheFirstFailureAndKeepsTheEntriesNotFetched) {
    struct Case {
        Failure failure;
        double freq;
    };
    for (const Case& c : {Case{{Kind::Queued, "SETup:PFERror:CONTinuous 0"}, 0.0},
                          Case{{Kind::Write, "INIT:PFER:ON"}, 0.0},
                          Case{{Kind::Query, "INIT:DONE?", instrument::kViSuccessMaxCnt}, 0.0},
                          Case{{Kind::Query, kRms}, 3.5}}) {
        Pfer p;
        p.bus.fake.onQuery(kFreq, {"3.5"});
        p.bus.inject(c.failure);
        EXPECT_TRUE(p.meas.runMeas(kVi, 0, 0));
        EXPECT_EQ(p.bus.fake.texts(), run(" 50").upTo(c.failure).texts);
        EXPECT_EQ(p.meas.maxFreqError(), c.freq);
    }
}

TEST(PferTest, SourceTwoRepeatsOnIntegrityElevenUpToFiftyRuns) {
    struct Case {
        std::int16_t source;
        std::vector<std::string> integrities;
        int runs;
    };
    for (const Case& c : {Case{1, {"11"}, 50}, Case{1, {"11", "11", "0"}, 3}, Case{0, {"11"}, 1},
                          Case{1, {"5"}, 1}}) {
        Pfer p;
        p.bus.fake.onQuery(kIntegrity, c.integrities);
        EXPECT_FALSE(p.meas.runMeas(kVi, 0, c.source));
        EXPECT_EQ(p.bus.fake.texts(), run(c.source == 0 ? " 50" : "1", c.runs).texts);
    }
}

TEST(PferTest, WorstSignedValueAndWorstIntegrity) {
    struct Case {
        std::vector<std::string> values, integrities;
        double worst;
        std::int16_t integrity;
    };
    for (const Case& c : {Case{{"0.5", "-3.0", "3.0", "2.0"}, {"0", "11", "0", "5"}, -3.0, 0},
                          Case{{"0.5", "3.0", "-3.0", "2.0"}, {"11", "0", "5", "0"}, 3.0, 5},
                          Case{{"-0.2e1 deg", "1", "x", "+1.5"}, {"11", "0", "0", "0"}, -2.0, 11},
                          Case{{"1", "-1", "1", "-1"}, {"-3", "0", "0", "0"}, 1.0, -3}}) {
        Pfer p;
        for (const char* q : {kFreq, kRms, kPeak}) p.bus.fake.onQuery(q, c.values);
        p.bus.fake.onQuery(kIntegrity, c.integrities);
        p.runConfigs(4);
        EXPECT_EQ(p.meas.maxFreqError(), c.worst);
        EXPECT_EQ(p.meas.maxRmsPhaseError(), c.worst);
        EXPECT_EQ(p.meas.maxPeakPhaseError(), c.worst);
        EXPECT_EQ(p.meas.worstIntegrity(), c.integrity);
    }
    Pfer single(1);
    single.bus.fake.onQuery(kFreq, {"0.25", "9"});
    single.runConfigs(1);
    EXPECT_EQ(single.meas.maxFreqError(), 0.25);
}

TEST(PferTest, PassFailTexts) {
    struct Case {
        std::string integrity;
        double value;
        const char *freq, *rms, *peak;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (const Case& c :
         {Case{"0", 0.0, "Pass", "Pass", "Pass"}, Case{"0", 1.0, "Pass", "Pass", "Pass"},
          Case{"0", -4.0, "Pass", "Fail", "Pass"}, Case{"0", 4.01, "Pass", "Fail", "Fail"},
          Case{"0", -20.0, "Pass", "Fail", "Fail"}, Case{"0", 20.000001, "Fail", "Fail", "Fail"},
          Case{"0", nan, "Fail", "Fail", "Fail"},
          Case{"11", 0.0, "Fail ( 11)", "Fail ( 11)", "Fail ( 11)"},
          Case{"-3", 0.0, "Fail (-3)", "Fail (-3)", "Fail (-3)"}}) {
        Pfer p;
        p.bus.fake.onQuery(kIntegrity, {c.integrity, "0"});
        p.runConfigs(4);
        EXPECT_EQ(p.meas.getFreqErrPassFailString(c.value, 0), c.freq) << c.value;
        EXPECT_EQ(p.meas.getRmsPhaseErrPassFailString(c.value, 3), c.rms) << c.value;
        EXPECT_EQ(p.meas.getPeakPhaseErrPassFailString(c.value, 4), c.peak) << c.value;
    }
}

TEST(PferTest, OutsideTheContractNothingIsSent) {
    Bus bus;
    clsPFERMeas fresh{bus.context()};
    EXPECT_TRUE(fresh.runMeas(kVi, 0, 0));
    EXPECT_EQ(fresh.maxFreqError(), 0.0);
    EXPECT_EQ(fresh.worstIntegrity(), 0);
    fresh.initMeas(4);
    EXPECT_TRUE(fresh.runMeas(kVi, 4, 0));
    EXPECT_TRUE(fresh.runMeas(kVi, -1, 0));
    EXPECT_TRUE(bus.fake.log.empty());
}

}  // namespace
}  // namespace quillon::measurements::test
