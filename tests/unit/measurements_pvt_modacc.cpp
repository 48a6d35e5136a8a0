// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "measurements/clsModAcc.h"
#include "measurements/clsPVTMeas.h"
#include "measurements_support.h"

namespace quillon::measurements::test {
namespace {

using Kind = Failure::Kind;
const char* const kUpper = "FETCh:PVTime:MASK:UPPER?";
const char* const kLower = "FETCh:PVTime:MASK:LOWER?";
const char* const kPvtIntegrity = "FETCh:PVTime:INTegrity?";

Traffic pvtRun(std::int16_t source, int attempts = 1) {
    const Traffic attempt =
        Traffic().send({"INITiate:PVTime:ON"}).polls(1).query({kUpper, kLower, kPvtIntegrity});
    return Traffic()
        .send({"CALL:PDTCHannel:MCSCheme:EBPT MCS4P1", "SETup:PVTime:COUNt:state 1",
               "SETup:PVTime:CONTinuous 0", "SETup:PVTime:TRIGger:Source EXTERNAL",
               "SETup:PVTime:CUSTOM1:MASK:UPPER 0us,4dBc,593us,1dBc",
               "SETup:PVTime:CUSTOM1:MASK:LOWER 0us,-200dBc,542.7us,-1dBc,593us,-200dBc",
               "SETup:PVTime:BURST1:MASK CUSTOM1", "SETup:PVTime:BURST2:MASK CUSTOM1",
               "INITiate:DONE:CLEAr"})
        .send(source == 0 ? std::initializer_list<std::string>{"SETup:PVTime:COUNt:NUMBer  50",
                                                               "SETup:PVTime:TRIGger:DELAY 1.772ms"}
                          : std::initializer_list<std::string>{"SETup:PVTime:COUNt:NUMBer 1",
                                                               "SETup:PVTime:TRIGger:DELAY 0"})
        .then(attempt, attempts)
        .send({"INITiate:PVTime:OFF"});
}

struct Pvt {
    Bus bus;
    clsPVTMeas meas{bus.context()};
    explicit Pvt(std::int16_t numConfigs) {
        bus.fake.onQuery("INIT:DONE?", {"PVT"});
        meas.initMeas(numConfigs);
    }
};

TEST(PvtTest, TrafficRepeatsAndIntegrity25OnSourceTwoOnly) {
    struct Case {
        std::int16_t source;
        std::string integrity;
        int runs;
        std::int16_t stored;
        const char* text;  // for a flatness of 0
    };
    for (const Case& c : {Case{0, "0", 1, 0, "Pass"}, Case{1, "0", 1, 0, "Pass"},
                          Case{0, "11", 1, 11, "Fail ( 11)"}, Case{1, "11", 50, 11, "Fail ( 11)"},
                          Case{1, "25", 1, 0, "Pass"}, Case{0, "25", 1, 25, "Fail ( 25)"}}) {
        Pvt p(c.source == 0 ? 4 : 1);
        p.bus.fake.onQuery(kPvtIntegrity, {c.integrity});
        EXPECT_FALSE(p.meas.runMeas(kVi, 0, c.source));
        EXPECT_EQ(p.bus.fake.texts(), pvtRun(c.source, c.runs).texts);
        EXPECT_EQ(p.meas.worstIntegrity(), c.stored);
        EXPECT_EQ(p.meas.getBurstFlatnessPassFailString(0.0, 0), c.text);
    }
}

TEST(PvtTest, AFailedFetchSkipsTheRestAndTheStopAndKeepsTheEntry) {
    Pvt p(1);
    p.bus.fake.onQuery(kUpper, {"0.5", "0.9"});
    p.bus.fake.onQueryReplies(kLower,
                              {{instrument::kViSuccess, "0.6\n"}, {instrument::kViErrorIo, ""}});
    ASSERT_FALSE(p.meas.runMeas(kVi, 0, 1));
    p.bus.fake.log.clear();
    EXPECT_TRUE(p.meas.runMeas(kVi, 0, 1));
    EXPECT_EQ(p.bus.fake.texts(), pvtRun(1).upTo({Kind::Query, kLower}).texts);
    EXPECT_DOUBLE_EQ(p.meas.worstBurstFlatness(), 0.4);  // new upper 0.9, earlier lower 0.6
}

TEST(PvtTest, FlatnessIsOneLessTheSmallestMaskNumber) {
    Pvt p(4);
    p.bus.fake.onQuery(kUpper, {"1.2", "0.9", "1.1", "1.5"});
    p.bus.fake.onQuery(kLower, {"0.8", "1.3", "1.0", "1.4"});
    for (std::int16_t c = 0; c < 4; ++c) ASSERT_FALSE(p.meas.runMeas(kVi, c, 0));
    EXPECT_DOUBLE_EQ(p.meas.worstBurstFlatness(), 0.2);

    Pvt single(1);
    single.bus.fake.onQuery(kUpper, {"1.25"});
    single.bus.fake.onQuery(kLower, {"1.5"});
    ASSERT_FALSE(single.meas.runMeas(kVi, 0, 1));
    EXPECT_DOUBLE_EQ(single.meas.worstBurstFlatness(), -0.25);
    for (double pass : {-1.0, 1.0})
        EXPECT_EQ(p.meas.getBurstFlatnessPassFailString(pass, 2), "Pass");
    for (double fail : {-1.01, 1.01})
        EXPECT_EQ(p.meas.getBurstFlatnessPassFailString(fail, 2), "Fail");
}

const char* const kFreq = "FETCh:EMACcuracy:FERRor:WORSt?";
const char* const kEvm = "FETCh:EMACcuracy:EVM:RMS?";
const char* const kOffset = "FETCh:EMACcuracy:OOFFset?";
const char* const kModIntegrity = "FETCh:EMACcuracy:INTegrity?";

const Traffic kModAccRun =
    Traffic()
        .send({"CALL:PDTCHannel:MCSCheme:EBPT MCS5P1", "SETup:EMACcuracy:COUNt:STATe 1",
               "SETup:EMACcuracy:COUNt:NUMBer  120", "SETup:EMACcuracy:CONTinuous 0",
               "SETup:EMACcuracy:TRIGger:SOURce PROTOCOL", "SETup:EMACcuracy:TRIGger:DELay -1.73ms",
               "INITiate:DONE:CLEAR", "INITiate:EMACcuracy:ON"})
        .polls(1)
        .query({kFreq, kEvm, kOffset, kModIntegrity})
        .send({"INITiate:EMACcuracy:OFF"});

struct ModAcc {
    Bus bus;
    clsModAcc meas{bus.context()};
    ModAcc() {
        bus.fake.onQuery("INIT:DONE?", {"EMAC"});
        bus.program.measurementIterations = 120;
        meas.initMeas(4);
    }
    void runConfigs() {
        for (std::int16_t c = 0; c < 4; ++c) ASSERT_FALSE(meas.runMeas(kVi, c));
    }
};

TEST(ModAccTest, OneAttemptWithTheIterationsCountWhateverTheIntegrity) {
    ModAcc ok;
    ok.bus.fake.onQuery(kModIntegrity, {"11"});
    EXPECT_FALSE(ok.meas.runMeas(kVi, 3));
    EXPECT_EQ(ok.bus.fake.texts(), kModAccRun.texts);
    for (const Failure& f :
         {Failure{Kind::Queued, "INITiate:DONE:CLEAR"}, Failure{Kind::Query, kEvm}}) {
        ModAcc m;
        m.bus.inject(f);
        EXPECT_TRUE(m.meas.runMeas(kVi, 0));
        EXPECT_EQ(m.bus.fake.texts(), kModAccRun.upTo(f).texts);
    }
    EXPECT_TRUE(ModAcc().meas.runMeas(kVi, 4));
}

TEST(ModAccTest, WorstRulesPerQuantityAndUnits) {
    ModAcc m;
    m.bus.fake.onQuery(kFreq, {"3.0", "-12.0", "12.0", "5.0"});
    m.bus.fake.onQuery(kEvm, {"1.5", "2.5", "2.5", "0.9"});
    m.bus.fake.onQuery(kOffset, {"40.0", "-36.0", "50.0", "38.0"});
    m.runConfigs();
    EXPECT_EQ(m.meas.worstEpskFreqError(), -12.0);
    EXPECT_EQ(m.meas.worstRmsEvm(), 2.5);
    EXPECT_EQ(m.meas.worstOriginOffset(), 36.0);
    EXPECT_EQ(m.meas.epskFreqErrorUnits() + m.meas.rmsEvmUnits() + m.meas.originOffsetUnits(),
              "hz%dB");
}

TEST(ModAccTest, PassFailTextsAndTheOriginOffsetFloorThatIgnoresIntegrity) {
    struct Case {
        std::string integrity;
        double freq, evm, offset;
        const char *freqText, *evmText, *offsetText;
    };
    for (const Case& c : {Case{"0", 20.0, 4.0, 35.0, "Pass", "Pass", "Pass"},
                          Case{"0", -20.01, 4.01, 34.999, "Fail", "Fail", "Fail"},
                          Case{"0", -20.0, 0.0, 36.0, "Pass", "Pass", "Pass"},
                          Case{"7", 0.0, 1.0, 36.0, "Fail ( 7)", "Fail ( 7)", "Pass"},
                          Case{"7", 0.0, 1.0, 34.0, "Fail ( 7)", "Fail ( 7)", "Fail"}}) {
        ModAcc m;
        m.bus.fake.onQuery(kModIntegrity, {c.integrity});
        m.runConfigs();
        EXPECT_EQ(m.meas.getEpskFreqErrorPassFailString(c.freq, 1), c.freqText);
        EXPECT_EQ(m.meas.getRmsEvmPassFailString(c.evm, 1), c.evmText);
        EXPECT_EQ(m.meas.getOriginOffsetPassFailString(c.offset, 1), c.offsetText);
    }
}

}  // namespace
}  // namespace quillon::measurements::test
