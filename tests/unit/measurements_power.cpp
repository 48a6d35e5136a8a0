// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "measurements/burst_power.h"
#include "measurements/clsCWPowerMeas.h"
#include "measurements/measurement_common.h"
#include "measurements_support.h"

namespace quillon::measurements::test {
namespace {

using Kind = Failure::Kind;
const char* const kPower = "FETCh:ETXPower:POWer?";
const char* const kIntegrity = "FETCh:ETXPower:INTegrity?";

Traffic gmskSetUp(std::int16_t source) {
    return Traffic()
        .send({"CALL:PDTCHannel:MCSCheme:EBPT MCS4P1", "SETup:ETXPower:COUNt:STATe 1",
               "SETup:ETXPower:CONTinuous 0", "SETup:ETXPower:TRIGger:SOURce EXTERNAL",
               "CALL:MODulation:FORMAT:CONTROL:AUTO 0", "CALL:MODulation:FORMAT:MANUAL:BURST1 GMSK",
               "CALL:MODulation:FORMAT:MANUAL:BURST2 GMSK", "INITiate:DONE:CLEAR"})
        .send(source == 0
                  ? std::initializer_list<std::string>{"SETup:ETXPower:COUNt:NUMBer  50",
                                                       "SETup:ETXPower:TRIGger:DELay 1.772ms"}
                  : std::initializer_list<std::string>{"SETup:ETXPower:COUNt:NUMBer 1",
                                                       "SETup:ETXPower:TRIGger:DELay 0"});
}

const Traffic kEpskSetUp = Traffic().send(
    {"CALL:PDTCHannel:MCSCheme:EBPT MCS5P1", "SETup:ETXPower:COUNt:STATe 1",
     "SETup:ETXPower:COUNt:NUMBer  50", "SETup:ETXPower:CONTinuous 0",
     "SETup:ETXPower:TRIGger:SOURce EXTERNAL", "SETup:ETXPower:TRIGger:DELay 1.772ms",
     "SETup:ETXPower:SPECial 0", "CALL:MODulation:FORMAT:CONTROL:AUTO 0",
     "CALL:MODulation:FORMAT:MANUAL:BURST1 EPSK", "CALL:MODulation:FORMAT:MANUAL:BURST2 EPSK",
     "INITiate:DONE:CLEAR"});
const Traffic kEtxpRun = Traffic().send({"INIT:ETXPower:ON"}).polls(1).query({kPower, kIntegrity});
const Traffic kEtxpStop = Traffic().send({"INITiate:ETXPower:OFF"});

// Reference powers: main -10, offset 1 -20, offset 2 -30 dBm.
struct Burst {
    Bus bus;
    clsGmskPower gmsk{bus.context()};
    clsEpskPower epsk{bus.context()};
    explicit Burst(std::int16_t numConfigs = 4) {
        bus.fake.onQuery("INIT:DONE?", {"ETXP"});
        gmsk.initMeas(numConfigs, -10.0, -20.0, -30.0);
        epsk.initMeas(numConfigs, -10.0, -20.0, -30.0);
    }
    bool run(bool isGmsk, std::int16_t config, std::int16_t source) {
        return isGmsk ? gmsk.runMeas(kVi, config, source) : epsk.runMeas(kVi, config, source);
    }
};

TEST(BurstPowerTest, SetUpOrderAndReferencePowerByConfigurationAndSource) {
    struct Case {
        bool isGmsk;
        std::int16_t numConfigs, config, source;
        double deviation;  // from a measured 0 dBm, so it names the reference
    };
    for (const Case& c :
         {Case{true, 4, 0, 0, 20.0}, Case{true, 4, 1, 0, 10.0}, Case{true, 4, 2, 0, 30.0},
          Case{true, 4, 3, 0, 10.0}, Case{true, 1, 0, 1, 10.0}, Case{false, 4, 0, 0, 20.0},
          Case{false, 4, 2, 1, 30.0}, Case{false, 4, 3, 0, 10.0}}) {
        Burst b(c.numConfigs);
        b.bus.fake.onQuery(kPower, {"0"});
        ASSERT_FALSE(b.run(c.isGmsk, c.config, c.source));
        const Traffic setUp = c.isGmsk ? gmskSetUp(c.source) : kEpskSetUp;
        EXPECT_EQ(b.bus.fake.texts(), Traffic(setUp).then(kEtxpRun).then(kEtxpStop).texts);
        EXPECT_EQ(c.isGmsk ? b.gmsk.maxPowerErr() : b.epsk.maxPowerErr(), c.deviation) << c.config;
    }
}

TEST(BurstPowerTest, StopsAtTheFirstFailure) {
    const Traffic full = gmskSetUp(0).then(kEtxpRun).then(kEtxpStop);
    for (const Failure& f : {Failure{Kind::Queued, "SETup:ETXPower:CONTinuous 0"},
                             Failure{Kind::Write, "INIT:ETXPower:ON"}, Failure{Kind::Query, kPower},
                             Failure{Kind::Query, kIntegrity}}) {
        Burst b;
        b.bus.inject(f);
        EXPECT_TRUE(b.gmsk.runMeas(kVi, 0, 0));
        EXPECT_EQ(b.bus.fake.texts(), full.upTo(f).texts);
    }
    Burst b;
    EXPECT_TRUE(b.gmsk.runMeas(kVi, 4, 0));
    EXPECT_TRUE(clsEpskPower(b.bus.context()).runMeas(kVi, 0, 0));
    EXPECT_TRUE(b.bus.fake.log.empty());
}

TEST(BurstPowerTest, SourceTwoRepeatsOnIntegrityElevenUpTo51RunsEachAFreshChain) {
    struct Case {
        std::int16_t source;
        std::vector<std::string> integrities;
        int runs;
    };
    for (const Case& c : {Case{1, {"11"}, 51}, Case{1, {"11", "0"}, 2}, Case{0, {"11"}, 1}}) {
        Burst b(1);
        b.bus.fake.onQuery(kIntegrity, c.integrities);
        EXPECT_FALSE(b.gmsk.runMeas(kVi, 0, c.source));
        EXPECT_EQ(b.bus.fake.texts(),
                  gmskSetUp(c.source).then(kEtxpRun, c.runs).then(kEtxpStop).texts);
    }
    // An 11 left from an earlier run repeats even when every start fails; no stop is sent.
    Burst b(1);
    b.bus.fake.onQuery(kIntegrity, {"11"});
    ASSERT_FALSE(b.gmsk.runMeas(kVi, 0, 1));
    b.bus.fake.log.clear();
    b.bus.inject({Kind::Write, "INIT:ETXPower:ON"});
    EXPECT_TRUE(b.gmsk.runMeas(kVi, 0, 1));
    EXPECT_EQ(b.bus.fake.texts(),
              gmskSetUp(1).then(Traffic().query({"INIT:ETXPower:ON"}), 51).texts);
}

TEST(BurstPowerTest, DeviationIntegrityRoundingAndPassFail) {
    struct Case {
        std::string power, integrity;
        double deviation;
        const char* text;  // for the value 1.0
    };
    for (const Case& c : {Case{"-19.7", "0", 0.3, "Pass"}, Case{"-20.3", "10.5", 0.3, "Fail ( 10)"},
                          Case{"-20", "11.5", 0.0, "Fail ( 12)"}}) {
        Burst b;
        b.bus.fake.onQuery(kPower, {c.power});
        b.bus.fake.onQuery(kIntegrity, {c.integrity});
        ASSERT_FALSE(b.gmsk.runMeas(kVi, 0, 0));
        EXPECT_NEAR(b.gmsk.maxPowerErr(), c.deviation, 1e-12);
        EXPECT_EQ(b.gmsk.getPowerErrPassFailString(1.0), c.text);
    }
    Burst b;  // references -20, -10, -30, -10: deviations 0.2, 0.9, 0.4, 0.9
    b.bus.fake.onQuery(kPower, {"-19.8", "-10.9", "-29.6", "-9.1"});
    for (std::int16_t c = 0; c < 4; ++c) ASSERT_FALSE(b.epsk.runMeas(kVi, c, 0));
    EXPECT_NEAR(b.epsk.maxPowerErr(), 0.9, 1e-12);
    for (double v : {1.0, 0.0, -1.0}) EXPECT_EQ(b.epsk.getPowerErrPassFailString(v), "Pass");
    EXPECT_EQ(b.epsk.getPowerErrPassFailString(1.0001), "Fail");
    EXPECT_EQ(clsGmskPower(b.bus.context()).maxPowerErr(), 0.0);
}

const Traffic kCwRun =
    Traffic()
        .send({"CALL:CELL:POWer:AMPlitude:CW -15.000", "PL13:LATC:RFINT:PATH:SOURCE1 1",
               "PL13:LATC:RFINT:PATH:SOURCE2 1", "PL13:LATC:RFINT:LOOPBACK 1",
               "RFANALyzer:CONTrol:POWer:AUTO 0", "RFANALyzer:CONTrol:MEASurement:FREQuency:AUTO 0",
               "RFANalyzer:CW:EXPected:POWer 5.000", "SETup:TXPower:COUNt:STATe 1",
               "SETup:TXPower:COUNt:NUMBer 50", "SETup:TXPower:CONTinuous 0",
               "SETup:TXPower:TRIGger:SOURce IMMediate", "INITiate:DONE:CLEAR",
               "INITiate:TXPower:ON"})
        .polls(2)
        .query({"FETCh:TXPower:POWer?"});

struct Cw {
    Bus bus;
    clsCWPowerMeas cw{bus.context()};
    double result = 1.5;
    Cw() {
        bus.program.measurementIterations = 7;             // not used: always 50
        bus.fake.onQuery("INIT:DONE?", {"PFER", "ETXP"});  // ETXP contains TXP
        bus.fake.onQuery("FETCh:TXPower:POWer?", {"-14.87,0"});
    }
};

TEST(CwPowerTest, CommandListAndResult) {
    Cw m;
    EXPECT_FALSE(m.cw.runMeas(kVi, -15.0, 20.0, m.result));
    EXPECT_EQ(m.bus.fake.texts(), kCwRun.texts);
    EXPECT_EQ(m.result, -14.87);
    EXPECT_EQ(m.bus.yields, 2);
    m.bus.fake.log.clear();
    EXPECT_FALSE(m.cw.runMeas(kVi, -27.5, 20.0, m.result));
    EXPECT_EQ(m.bus.fake.texts()[0], "CALL:CELL:POWer:AMPlitude:CW -27.500");
    EXPECT_EQ(m.bus.fake.texts()[12], "RFANalyzer:CW:EXPected:POWer -7.500");
}

TEST(CwPowerTest, AFailureLeavesTheResultUnchanged) {
    for (const Failure& f :
         {Failure{Kind::Queued, "PL13:LATC:RFINT:LOOPBACK 1"}, Failure{Kind::Query, "INIT:DONE?"},
          Failure{Kind::Query, "FETCh:TXPower:POWer?", instrument::kViSuccessMaxCnt}}) {
        Cw m;
        m.bus.inject(f);
        EXPECT_TRUE(m.cw.runMeas(kVi, -15.0, 20.0, m.result));
        EXPECT_EQ(m.bus.fake.texts(), kCwRun.upTo(f).texts);
        EXPECT_EQ(m.result, 1.5);
    }
}

TEST(CompletionWaitTest, GivesUpAfterTheBoundOfPolls) {
    Bus bus;
    bus.fake.onQuery("INIT:DONE?", {"PVT"});
    EXPECT_TRUE(waitForCompletion(bus.context(), kVi, false, "PFER", 5));
    EXPECT_EQ(bus.fake.count("INIT:DONE?"), 5u);
    EXPECT_TRUE(waitForCompletion(bus.context(), kVi, true, "PFER"));
    EXPECT_EQ(bus.fake.count("INIT:DONE?"), 5u);
}

}  // namespace
}  // namespace quillon::measurements::test
