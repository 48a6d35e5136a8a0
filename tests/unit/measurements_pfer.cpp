// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "measurements/clsPFERMeas.h"
#include "measurements_support.h"

namespace quillon::measurements::test {
namespace {

const char* const kFreq = "FETCh:PFERror:FERRor:WORSt?";
const char* const kRms = "FETCh:PFERror:RMS:MAXimum?";
const char* const kPeak = "FETCh:PFERror:PEAK:MAXimum?";
const char* const kIntegrity = "FETCh:PFERror:INTegrity?";

Traffic setUp(const std::string& count) {
    return Traffic().send({"CALL:PDTCHannel:MCSCheme:EBPT MCS4P1", "SETup:PFERror:count:state 1",
                           "SETup:PFERror:CONTinuous 0", "SETup:PFERror:TRIGger:SOURce PROTOCOL",
                           "SETup:PFERror:TRIGger:DELay -1.73ms",
                           "SETup:PFERror:COUNt:NUMBer " + count});
}

Traffic attempt() {
    return Traffic().send({"INIT:PFER:ON"}).polls(1).query({kFreq, kRms, kPeak, kIntegrity});
}

class PferTest : public ::testing::Test {
protected:
    void SetUp() override {
        bus.fake.onQuery("INIT:DONE?", {"PFER"});
        meas.initMeas(4);
    }
    // Runs configurations 0 to n - 1 on source 1 with the scripted replies.
    void runConfigs(int n) {
        for (int c = 0; c < n; ++c) ASSERT_FALSE(meas.runMeas(kVi, static_cast<std::int16_t>(c), 0));
    }
    Bus bus;
    clsPFERMeas meas{bus.context()};
};

TEST_F(PferTest, SendsSetUpCountByIterationsAndSourceThenStartWaitFetchStop) {
    struct Case {
        std::int16_t iterations, config, source;
        std::string count;
    };
    for (const Case& c : {Case{50, 0, 0, " 50"}, Case{7, 3, 0, " 7"}, Case{50, 0, 1, "1"}}) {
        bus.fake.log.clear();
        bus.program.measurementIterations = c.iterations;
        EXPECT_FALSE(meas.runMeas(kVi, c.config, c.source));
        EXPECT_EQ(bus.fake.texts(), setUp(c.count).then(attempt()).send({"INIT:PFER:OFF"}).texts);
    }
}

TEST_F(PferTest, WaitYieldsBeforeEachPollUntilTheExactMnemonicArrives) {
    bus.fake.onQuery("INIT:DONE?", {"", "pfer", "TXP,PVT", "EMAC,PFER"});
    EXPECT_FALSE(meas.runMeas(kVi, 0, 0));
    EXPECT_EQ(bus.fake.count("INIT:DONE?"), 4u);
    EXPECT_EQ(bus.yields, 4);
}

TEST_F(PferTest, StopsAtTheFirstFailureAndKeepsEarlierEntries) {
    const Traffic full = setUp(" 50").then(attempt()).send({"INIT:PFER:OFF"});
    bus.fake.onQuery(kFreq, {"3.5"});
    bus.fake.errorAfter("SETup:PFERror:CONTinuous 0");
    EXPECT_TRUE(meas.runMeas(kVi, 0, 0));
    EXPECT_EQ(bus.fake.texts(), full.upTo("SETup:PFERror:CONTinuous 0", true).texts);
    EXPECT_EQ(meas.maxFreqError(), 0.0);

    bus.fake.log.clear();
    bus.fake.errorAfter("SETup:PFERror:CONTinuous 0", "+0,\"No error\"");
    bus.fake.onWrite("INIT:PFER:ON", instrument::kViErrorIo);
    EXPECT_TRUE(meas.runMeas(kVi, 0, 0));
    EXPECT_EQ(bus.fake.texts(), full.upTo("INIT:PFER:ON", false).texts);

    bus.fake.log.clear();
    bus.fake.onWrite("INIT:PFER:ON", instrument::kViSuccess);
    bus.fake.onQueryReplies(kRms, {bus.timeout()});
    EXPECT_TRUE(meas.runMeas(kVi, 0, 0));
    EXPECT_EQ(bus.fake.texts(), full.upTo(kRms, false).texts);
    EXPECT_EQ(meas.maxFreqError(), 3.5);

    bus.fake.log.clear();
    bus.fake.onQueryReplies("INIT:DONE?", {{instrument::kViSuccessMaxCnt, "PFER\n"}});
    EXPECT_TRUE(meas.runMeas(kVi, 0, 0));
    EXPECT_EQ(bus.fake.texts(), full.upTo("INIT:DONE?", false).texts);
}

TEST_F(PferTest, SourceTwoRepeatsOnIntegrityElevenUpToFiftyRuns) {
    struct Case {
        std::int16_t source;
        std::vector<std::string> integrities;
        int runs;
    };
    for (const Case& c : {Case{1, {"11"}, 50}, Case{1, {"11", "11", "0"}, 3},
                          Case{0, {"11"}, 1}, Case{1, {"5"}, 1}}) {
        bus.fake.log.clear();
        bus.fake.onQuery(kIntegrity, c.integrities);
        EXPECT_FALSE(meas.runMeas(kVi, 0, c.source));
        const std::string count = c.source == 0 ? " 50" : "1";
        EXPECT_EQ(bus.fake.texts(),
                  setUp(count).then(attempt(), c.runs).send({"INIT:PFER:OFF"}).texts);
    }
}

TEST_F(PferTest, WorstOfSignedKeepsTheLowerConfigurationOnTies) {
    struct Case {
        std::vector<std::string> replies;
        double worst;
    };
    for (const Case& c : {Case{{"0.5", "-3.0", "3.0", "2.0"}, -3.0},
                          Case{{"0.5", "3.0", "-3.0", "2.0"}, 3.0},
                          Case{{"-0.2e1 deg", "1", "x", "+1.5"}, -2.0}}) {
        for (const char* q : {kFreq, kRms, kPeak}) bus.fake.onQuery(q, c.replies);
        runConfigs(4);
        EXPECT_EQ(meas.maxFreqError(), c.worst);
        EXPECT_EQ(meas.maxRmsPhaseError(), c.worst);
        EXPECT_EQ(meas.maxPeakPhaseError(), c.worst);
    }
    meas.initMeas(1);
    bus.fake.onQuery(kFreq, {"0.25", "9"});
    runConfigs(1);
    EXPECT_EQ(meas.maxFreqError(), 0.25);
}

TEST_F(PferTest, WorstIntegrityAndPassFailTexts) {
    struct Case {
        std::vector<std::string> integrities;
        std::int16_t worst;
    };
    for (const Case& c : {Case{{"0", "11", "0", "5"}, 0}, Case{{"11", "0", "5", "0"}, 5},
                          Case{{"11", "0", "0", "0"}, 11}, Case{{"-3", "0", "0", "0"}, -3}}) {
        bus.fake.onQuery(kIntegrity, c.integrities);
        runConfigs(4);
        EXPECT_EQ(meas.worstIntegrity(), c.worst);
    }
    EXPECT_EQ(meas.getFreqErrPassFailString(0.0, 2), "Fail (-3)");
    bus.fake.onQuery(kIntegrity, {"11", "0"});
    runConfigs(4);
    for (double v : {0.0, 100.0}) {
        EXPECT_EQ(meas.getFreqErrPassFailString(v, 0), "Fail ( 11)");
        EXPECT_EQ(meas.getRmsPhaseErrPassFailString(v, 1), "Fail ( 11)");
        EXPECT_EQ(meas.getPeakPhaseErrPassFailString(v, 4), "Fail ( 11)");
    }
    bus.fake.onQuery(kIntegrity, {"0"});
    runConfigs(4);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Limit {
        std::string (clsPFERMeas::*text)(double, std::int16_t) const;
        double value;
        const char* expected;
    };
    for (const Limit& l : {Limit{&clsPFERMeas::getFreqErrPassFailString, 20.0, "Pass"},
                           Limit{&clsPFERMeas::getFreqErrPassFailString, -20.0, "Pass"},
                           Limit{&clsPFERMeas::getFreqErrPassFailString, 20.000001, "Fail"},
                           Limit{&clsPFERMeas::getFreqErrPassFailString, nan, "Fail"},
                           Limit{&clsPFERMeas::getRmsPhaseErrPassFailString, 0.0, "Pass"},
                           Limit{&clsPFERMeas::getRmsPhaseErrPassFailString, 1.0, "Pass"},
                           Limit{&clsPFERMeas::getRmsPhaseErrPassFailString, -0.01, "Fail"},
                           Limit{&clsPFERMeas::getPeakPhaseErrPassFailString, -4.0, "Pass"},
                           Limit{&clsPFERMeas::getPeakPhaseErrPassFailString, 4.01, "Fail"}}) {
        EXPECT_EQ((meas.*l.text)(l.value, 3), l.expected) << l.value;
    }
    EXPECT_EQ(meas.freqErrUnits() + meas.rmsPhaseErrUnits() + meas.peakPhaseErrUnits(),
              "Hzdegdeg");
}

TEST_F(PferTest, OutsideTheContractNothingIsSent) {
    clsPFERMeas fresh{bus.context()};
    EXPECT_TRUE(fresh.runMeas(kVi, 0, 0));
    EXPECT_EQ(fresh.maxFreqError(), 0.0);
    EXPECT_EQ(fresh.worstIntegrity(), 0);
    EXPECT_TRUE(meas.runMeas(kVi, 4, 0));
    EXPECT_TRUE(meas.runMeas(kVi, -1, 0));
    EXPECT_TRUE(bus.fake.log.empty());
}

}  // namespace
}  // namespace quillon::measurements::test
