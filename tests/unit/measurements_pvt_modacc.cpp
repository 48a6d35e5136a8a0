// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "measurements/clsModAcc.h"
#include "measurements/clsPVTMeas.h"
#include "measurements_support.h"

namespace quillon::measurements::test {
namespace {

const char* const kUpper = "FETCh:PVTime:MASK:UPPER?";
const char* const kLower = "FETCh:PVTime:MASK:LOWER?";
const char* const kPvtIntegrity = "FETCh:PVTime:INTegrity?";

Traffic pvtSetUp(std::int16_t source) {
    Traffic t;
    t.send({"CALL:PDTCHannel:MCSCheme:EBPT MCS4P1", "SETup:PVTime:COUNt:state 1",
            "SETup:PVTime:CONTinuous 0", "SETup:PVTime:TRIGger:Source EXTERNAL",
            "SETup:PVTime:CUSTOM1:MASK:UPPER 0us,4dBc,593us,1dBc",
            "SETup:PVTime:CUSTOM1:MASK:LOWER 0us,-200dBc,542.7us,-1dBc,593us,-200dBc",
            "SETup:PVTime:BURST1:MASK CUSTOM1", "SETup:PVTime:BURST2:MASK CUSTOM1",
            "INITiate:DONE:CLEAr"});
    if (source == 0) {
        return t.send({"SETup:PVTime:COUNt:NUMBer  50", "SETup:PVTime:TRIGger:DELAY 1.772ms"});
    }
    return t.send({"SETup:PVTime:COUNt:NUMBer 1", "SETup:PVTime:TRIGger:DELAY 0"});
}

Traffic pvtAttempt() {
    return Traffic().send({"INITiate:PVTime:ON"}).polls(1).query({kUpper, kLower, kPvtIntegrity});
}

class PvtTest : public ::testing::Test {
protected:
    void SetUp() override { bus.fake.onQuery("INIT:DONE?", {"PVT"}); }
    Bus bus;
    clsPVTMeas meas{bus.context()};
};

TEST_F(PvtTest, TrafficRepeatsAndTheSourceTwoIntegrity25) {
    struct Case {
        std::int16_t source;
        std::string integrity;
        int runs;
        std::int16_t stored;
    };
    for (const Case& c : {Case{0, "0", 1, 0}, Case{1, "0", 1, 0}, Case{0, "11", 1, 11},
                          Case{1, "11", 50, 11}, Case{1, "25", 1, 0}, Case{0, "25", 1, 25}}) {
        meas.initMeas(c.source == 0 ? 4 : 1);
        bus.fake.log.clear();
        bus.fake.onQuery(kPvtIntegrity, {c.integrity});
        EXPECT_FALSE(meas.runMeas(kVi, 0, c.source));
        EXPECT_EQ(bus.fake.texts(),
                  pvtSetUp(c.source).then(pvtAttempt(), c.runs).send({"INITiate:PVTime:OFF"}).texts);
        EXPECT_EQ(meas.worstIntegrity(), c.stored);
    }
    EXPECT_EQ(meas.getBurstFlatnessPassFailString(0.0, 0), "Fail ( 25)");
}

TEST_F(PvtTest, AFailedFetchSkipsTheRestAndTheStopAndKeepsTheEntry) {
    meas.initMeas(1);
    bus.fake.onQuery(kUpper, {"0.5", "0.9"});
    bus.fake.onQueryReplies(kLower, {{instrument::kViSuccess, "0.6\n"}, bus.timeout()});
    ASSERT_FALSE(meas.runMeas(kVi, 0, 1));
    bus.fake.log.clear();
    EXPECT_TRUE(meas.runMeas(kVi, 0, 1));
    EXPECT_EQ(bus.fake.texts(), pvtSetUp(1).then(pvtAttempt()).upTo(kLower, false).texts);
    EXPECT_DOUBLE_EQ(meas.worstBurstFlatness(), 0.4);  // new upper 0.9, earlier lower 0.6
}

TEST_F(PvtTest, FlatnessIsOneLessTheSmallestMaskNumber) {
    meas.initMeas(4);
    bus.fake.onQuery(kUpper, {"1.2", "0.9", "1.1", "1.5"});
    bus.fake.onQuery(kLower, {"0.8", "1.3", "1.0", "1.4"});
    for (std::int16_t c = 0; c < 4; ++c) ASSERT_FALSE(meas.runMeas(kVi, c, 0));
    EXPECT_DOUBLE_EQ(meas.worstBurstFlatness(), 0.2);

    meas.initMeas(1);
    bus.fake.onQuery(kUpper, {"1.25"});
    bus.fake.onQuery(kLower, {"1.5"});
    ASSERT_FALSE(meas.runMeas(kVi, 0, 1));
    EXPECT_DOUBLE_EQ(meas.worstBurstFlatness(), -0.25);

    struct Case {
        double value;
        const char* text;
    };
    for (const Case& c : {Case{-1.0, "Pass"}, Case{1.0, "Pass"}, Case{1.01, "Fail"},
                          Case{-1.01, "Fail"}}) {
        EXPECT_EQ(meas.getBurstFlatnessPassFailString(c.value, 2), c.text) << c.value;
    }
}

const char* const kFreq = "FETCh:EMACcuracy:FERRor:WORSt?";
const char* const kEvm = "FETCh:EMACcuracy:EVM:RMS?";
const char* const kOffset = "FETCh:EMACcuracy:OOFFset?";
const char* const kModIntegrity = "FETCh:EMACcuracy:INTegrity?";

class ModAccTest : public ::testing::Test {
protected:
    void SetUp() override {
        bus.fake.onQuery("INIT:DONE?", {"EMAC"});
        meas.initMeas(4);
    }
    void runConfigs() {
        for (std::int16_t c = 0; c < 4; ++c) ASSERT_FALSE(meas.runMeas(kVi, c));
    }
    Bus bus;
    clsModAcc meas{bus.context()};
};

TEST_F(ModAccTest, OneAttemptWithTheIterationsCountWhateverTheIntegrity) {
    bus.program.measurementIterations = 120;
    bus.fake.onQuery(kModIntegrity, {"11"});
    const Traffic full = Traffic()
                             .send({"CALL:PDTCHannel:MCSCheme:EBPT MCS5P1",
                                    "SETup:EMACcuracy:COUNt:STATe 1",
                                    "SETup:EMACcuracy:COUNt:NUMBer  120",
                                    "SETup:EMACcuracy:CONTinuous 0",
                                    "SETup:EMACcuracy:TRIGger:SOURce PROTOCOL",
                                    "SETup:EMACcuracy:TRIGger:DELay -1.73ms",
                                    "INITiate:DONE:CLEAR", "INITiate:EMACcuracy:ON"})
                             .polls(1)
                             .query({kFreq, kEvm, kOffset, kModIntegrity})
                             .send({"INITiate:EMACcuracy:OFF"});
    for (const std::int16_t config : {std::int16_t{0}, std::int16_t{3}}) {
        bus.fake.log.clear();
        EXPECT_FALSE(meas.runMeas(kVi, config));
        EXPECT_EQ(bus.fake.texts(), full.texts);
    }
    bus.fake.log.clear();
    bus.fake.errorAfter("INITiate:DONE:CLEAR");
    EXPECT_TRUE(meas.runMeas(kVi, 0));
    EXPECT_EQ(bus.fake.texts(), full.upTo("INITiate:DONE:CLEAR", true).texts);
    EXPECT_TRUE(meas.runMeas(kVi, 4));
}

TEST_F(ModAccTest, WorstRulesPerQuantity) {
    bus.fake.onQuery(kFreq, {"3.0", "-12.0", "12.0", "5.0"});
    bus.fake.onQuery(kEvm, {"1.5", "2.5", "2.5", "0.9"});
    bus.fake.onQuery(kOffset, {"40.0", "-36.0", "50.0", "38.0"});
    runConfigs();
    EXPECT_EQ(meas.worstEpskFreqError(), -12.0);
    EXPECT_EQ(meas.worstRmsEvm(), 2.5);
    EXPECT_EQ(meas.worstOriginOffset(), 36.0);
    EXPECT_EQ(meas.epskFreqErrorUnits() + meas.rmsEvmUnits() + meas.originOffsetUnits(), "hz%dB");
}

TEST_F(ModAccTest, PassFailTextsAndTheOriginOffsetFloor) {
    struct Case {
        std::string integrity;
        double freq, evm, offset;
        const char *freqText, *evmText, *offsetText;
    };
    for (const Case& c : {
             Case{"0", 20.0, 4.0, 35.0, "Pass", "Pass", "Pass"},
             Case{"0", -20.01, 4.01, 34.999, "Fail", "Fail", "Fail"},
             Case{"0", -20.0, 0.0, 36.0, "Pass", "Pass", "Pass"},
             Case{"7", 0.0, 1.0, 36.0, "Fail ( 7)", "Fail ( 7)", "Pass"},
             Case{"7", 0.0, 1.0, 34.0, "Fail ( 7)", "Fail ( 7)", "Fail"},
         }) {
        bus.fake.onQuery(kModIntegrity, {c.integrity});
        runConfigs();
        EXPECT_EQ(meas.getEpskFreqErrorPassFailString(c.freq, 1), c.freqText);
        EXPECT_EQ(meas.getRmsEvmPassFailString(c.evm, 1), c.evmText);
        EXPECT_EQ(meas.getOriginOffsetPassFailString(c.offset, 1), c.offsetText);
    }
}

}  // namespace
}  // namespace quillon::measurements::test
