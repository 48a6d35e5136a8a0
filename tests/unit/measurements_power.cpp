// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cmath>
#include <tuple>
#include <utility>

#include "measurements/burst_power.h"
#include "measurements/clsCWPowerMeas.h"
#include "measurements/measurement_common.h"
#include "measurements_support.h"

namespace quillon::measurements::test {
namespace {

const char* const kPower = "FETCh:ETXPower:POWer?";
const char* const kIntegrity = "FETCh:ETXPower:INTegrity?";

// Source 1 counts 50 after 1.772 ms; source 2 counts 1 at once.
Traffic gmskSetUp(std::int16_t source) {
    return Traffic()
        .send({"CALL:PDTCHannel:MCSCheme:EBPT MCS4P1", "SETup:ETXPower:COUNt:STATe 1",
               "SETup:ETXPower:CONTinuous 0", "SETup:ETXPower:TRIGger:SOURce EXTERNAL",
               "CALL:MODulation:FORMAT:CONTROL:AUTO 0", "CALL:MODulation:FORMAT:MANUAL:BURST1 GMSK",
               "CALL:MODulation:FORMAT:MANUAL:BURST2 GMSK", "INITiate:DONE:CLEAR"})
        .send(source == 0
                  ? Texts{"SETup:ETXPower:COUNt:NUMBer  50", "SETup:ETXPower:TRIGger:DELay 1.772ms"}
                  : Texts{"SETup:ETXPower:COUNt:NUMBer 1", "SETup:ETXPower:TRIGger:DELay 0"});
}
const Traffic kEpskSetUp = Traffic().send(
    {"CALL:PDTCHannel:MCSCheme:EBPT MCS5P1", "SETup:ETXPower:COUNt:STATe 1",
     "SETup:ETXPower:COUNt:NUMBer  50", "SETup:ETXPower:CONTinuous 0",
     "SETup:ETXPower:TRIGger:SOURce EXTERNAL", "SETup:ETXPower:TRIGger:DELay 1.772ms",
     "SETup:ETXPower:SPECial 0", "CALL:MODulation:FORMAT:CONTROL:AUTO 0",
     "CALL:MODulation:FORMAT:MANUAL:BURST1 EPSK", "CALL:MODulation:FORMAT:MANUAL:BURST2 EPSK",
     "INITiate:DONE:CLEAR"});
const Traffic kEtxpRun =
    Traffic().send({"INIT:ETXPower:ON"}).query({"INIT:DONE?", kPower, kIntegrity});
const Traffic kEtxpStop = Traffic().send({"INITiate:ETXPower:OFF"});

// Reference powers: main -10, offset 1 -20, offset 2 -30 dBm.
struct Burst {
    Bus bus{"ETXP"};
    clsGmskPower gmsk{bus.context()};
    clsEpskPower epsk{bus.context()};
    explicit Burst(std::int16_t numConfigs = 1) {
        gmsk.initMeas(numConfigs, -10.0, -20.0, -30.0);
        epsk.initMeas(numConfigs, -10.0, -20.0, -30.0);
    }
};

// The deviation's magnitude names the reference.
TEST(BurstPowerTest, SetUpOrderAndReferencePowerByConfigurationAndSource) {
    using Case = std::tuple<bool, std::int16_t, std::int16_t, std::int16_t, std::string, double>;
    for (const auto& [isGmsk, numConfigs, config, source, power, deviation] :
         {Case{true, 4, 0, 0, "-19.7", 0.3}, Case{true, 4, 1, 0, "0", 10.0},
          Case{true, 4, 2, 0, "-30.5", 0.5}, Case{true, 4, 3, 0, "0", 10.0},
          Case{true, 1, 0, 1, "0", 10.0}, Case{false, 4, 0, 0, "-20.3", 0.3},
          Case{false, 4, 2, 1, "0", 30.0}, Case{false, 4, 3, 0, "0", 10.0}}) {
        Burst b(numConfigs);
        b.bus.fake.onQuery(kPower, {power});
        const bool failed =
            isGmsk ? b.gmsk.runMeas(kVi, config, source) : b.epsk.runMeas(kVi, config, source);
        const Traffic setUp = isGmsk ? gmskSetUp(source) : kEpskSetUp;
        expectRun(b.bus, failed, Traffic(setUp).then(kEtxpRun).then(kEtxpStop), {});
        EXPECT_NEAR(isGmsk ? b.gmsk.maxPowerErr() : b.epsk.maxPowerErr(), deviation, 1e-9);
    }
}

// Source 2 repeats on integrity 11, up to 51 runs, each a fresh chain.
TEST(BurstPowerTest, TrafficRepeatsAndFirstFailure) {
    using Case = std::tuple<std::int16_t, Texts, MaybeFailure, int>;
    for (const auto& [source, integrities, failure, runs] :
         {Case{1, {"11"}, {}, 51}, Case{1, {"11", "0"}, {}, 2}, Case{0, {"11"}, {}, 1},
          Case{0, {"0"}, Failure{Kind::Queued, "SETup:ETXPower:CONTinuous 0"}, 1},
          Case{0, {"0"}, Failure{Kind::Write, "INIT:ETXPower:ON"}, 1},
          Case{1, {"0"}, Failure{Kind::Query, kPower}, 1},
          Case{0, {"0"}, Failure{Kind::Query, kIntegrity}, 1}}) {
        Burst b;
        b.bus.fake.onQuery(kIntegrity, integrities);
        b.bus.inject(failure);
        expectRun(b.bus, b.gmsk.runMeas(kVi, 0, source),
                  gmskSetUp(source).then(kEtxpRun, runs).then(kEtxpStop), failure);
    }
}

// The worst deviation over the configurations; integrities round half to even.
TEST(BurstPowerTest, WorstOfAndPassFail) {
    Burst b(4);  // references -20, -10, -30, -10: deviations 0.2, 0.9, 0.4, 0.9
    b.bus.fake.onQuery(kPower, {"-19.8", "-10.9", "-29.6", "-9.1"});
    for (std::int16_t c = 0; c < 4; ++c) ASSERT_FALSE(b.epsk.runMeas(kVi, c, 0));
    EXPECT_NEAR(b.epsk.maxPowerErr(), 0.9, 1e-12);
    for (double v : {1.0, -1.0, 1.0001, -1.0001})
        EXPECT_EQ(b.epsk.getPowerErrPassFailString(v), std::fabs(v) > 1.0 ? "Fail" : "Pass");
    for (const auto& [integrity, text] :
         {std::pair{"10.5", "Fail ( 10)"}, {"11.5", "Fail ( 12)"}}) {
        Burst bad;
        bad.bus.fake.onQuery(kIntegrity, {integrity});
        ASSERT_FALSE(bad.gmsk.runMeas(kVi, 0, 0));
        EXPECT_EQ(bad.gmsk.getPowerErrPassFailString(0.0), text);
    }
}

// At -15 dBm through a 20 dB loopback; the count is always 50.
const Traffic kCwRun =
    Traffic()
        .send({"CALL:CELL:POWer:AMPlitude:CW -15.000", "PL13:LATC:RFINT:PATH:SOURCE1 1",
               "PL13:LATC:RFINT:PATH:SOURCE2 1", "PL13:LATC:RFINT:LOOPBACK 1",
               "RFANALyzer:CONTrol:POWer:AUTO 0", "RFANALyzer:CONTrol:MEASurement:FREQuency:AUTO 0",
               "RFANalyzer:CW:EXPected:POWer 5.000", "SETup:TXPower:COUNt:STATe 1",
               "SETup:TXPower:COUNt:NUMBer 50", "SETup:TXPower:CONTinuous 0",
               "SETup:TXPower:TRIGger:SOURce IMMediate", "INITiate:DONE:CLEAR",
               "INITiate:TXPower:ON"})
        .query({"INIT:DONE?", "INIT:DONE?", "FETCh:TXPower:POWer?"});

TEST(CwPowerTest, CommandListAndTheResultUnchangedOnFailure) {
    for (const MaybeFailure& failure :
         {MaybeFailure{}, MaybeFailure{{Kind::Queued, "PL13:LATC:RFINT:LOOPBACK 1"}},
          MaybeFailure{{Kind::Query, "INIT:DONE?"}},
          MaybeFailure{{Kind::Query, "FETCh:TXPower:POWer?", instrument::kViSuccessMaxCnt}}}) {
        Bus bus;
        bus.program.measurementIterations = 7;             // not used
        bus.fake.onQuery("INIT:DONE?", {"PFER", "ETXP"});  // ETXP contains TXP
        bus.fake.onQuery("FETCh:TXPower:POWer?", {"-14.87,0"});
        bus.inject(failure);
        double result = 1.5;
        expectRun(bus, clsCWPowerMeas(bus.context()).runMeas(kVi, -15.0, 20.0, result), kCwRun,
                  failure);
        EXPECT_EQ(result, failure ? 1.5 : -14.87);
    }
}

TEST(CompletionWaitTest, YieldsBeforeEachPollUntilTheExactMnemonicOrTheBound) {
    Bus bus;
    bus.fake.onQuery("INIT:DONE?", {"", "pfer", "TXP,PVT", "EMAC,PFER"});
    EXPECT_FALSE(waitForCompletion(bus.context(), kVi, false, "PFER"));
    EXPECT_EQ(bus.yields, 4);
    EXPECT_TRUE(waitForCompletion(bus.context(), kVi, false, "PVT", 5));
    EXPECT_EQ(bus.fake.count("INIT:DONE?"), 9u);
    EXPECT_TRUE(waitForCompletion(bus.context(), kVi, true, "PFER"));
    EXPECT_EQ(bus.fake.count("INIT:DONE?"), 9u);
}

}  // namespace
}  // namespace quillon::measurements::test
