// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "measurements/clsModAcc.h"
#include "measurements/clsPVTMeas.h"
#include "measurements_support.h"

namespace quillon::measurements::test {
namespace {

const char* const kUpper = "FETCh:PVTime:MASK:UPPER?";
const char* const kLower = "FETCh:PVTime:MASK:LOWER?";
const char* const kPvtIntegrity = "FETCh:PVTime:INTegrity?";

Traffic pvtRun(std::int16_t source, int attempts = 1) {
    const Traffic attempt =
        Traffic().send({"INITiate:PVTime:ON"}).query({"INIT:DONE?", kUpper, kLower, kPvtIntegrity});
    return Traffic()
        .send({"CALL:PDTCHannel:MCSCheme:EBPT MCS4P1", "SETup:PVTime:COUNt:state 1",
               "SETup:PVTime:CONTinuous 0", "SETup:PVTime:TRIGger:Source EXTERNAL",
               "SETup:PVTime:CUSTOM1:MASK:UPPER 0us,4dBc,593us,1dBc",
               "SETup:PVTime:CUSTOM1:MASK:LOWER 0us,-200dBc,542.7us,-1dBc,593us,-200dBc",
               "SETup:PVTime:BURST1:MASK CUSTOM1", "SETup:PVTime:BURST2:MASK CUSTOM1",
               "INITiate:DONE:CLEAr"})
        .send(source == 0
                  ? Texts{"SETup:PVTime:COUNt:NUMBer  50", "SETup:PVTime:TRIGger:DELAY 1.772ms"}
                  : Texts{"SETup:PVTime:COUNt:NUMBer 1", "SETup:PVTime:TRIGger:DELAY 0"})
        .then(attempt, attempts)
        .send({"INITiate:PVTime:OFF"});
}

struct Pvt {
    Bus bus{"PVT"};
    clsPVTMeas meas{bus.context()};
    explicit Pvt(std::int16_t numConfigs = 1) { meas.initMeas(numConfigs); }
};

// Source 2 repeats on integrity 11, up to 50 starts, and takes its 25 as 0.
TEST(PvtTest, TrafficBySourceRepeatsIntegrityAndFirstFailure) {
    using Case = std::tuple<std::int16_t, std::string, MaybeFailure, int, const char*>;
    for (const auto& [source, integrity, failure, runs, text] :
         {Case{0, "11", {}, 1, "Fail ( 11)"}, Case{1, "11", {}, 50, "Fail ( 11)"},
          Case{1, "25", {}, 1, "Pass"}, Case{0, "25", {}, 1, "Fail ( 25)"},
          Case{1, "0", Failure{Kind::Queued, "SETup:PVTime:BURST2:MASK CUSTOM1"}, 1, "Pass"},
          Case{0, "0", Failure{Kind::Write, "INITiate:PVTime:ON"}, 1, "Pass"},
          Case{1, "0", Failure{Kind::Query, kLower}, 1, "Pass"}}) {
        Pvt p;
        p.bus.fake.onQuery(kPvtIntegrity, {integrity});
        p.bus.inject(failure);
        expectRun(p.bus, p.meas.runMeas(kVi, 0, source), pvtRun(source, runs), failure);
        EXPECT_EQ(p.meas.getBurstFlatnessPassFailString(0.0, 0), text);
    }
}

TEST(PvtTest, FlatnessIsOneLessTheSmallestMaskNumber) {
    Pvt p(4);
    p.bus.fake.onQuery(kUpper, {"1.2", "0.9", "1.1", "1.5"});
    p.bus.fake.onQuery(kLower, {"0.8", "1.3", "1.0", "1.4"});
    for (std::int16_t c = 0; c < 4; ++c) ASSERT_FALSE(p.meas.runMeas(kVi, c, 0));
    EXPECT_DOUBLE_EQ(p.meas.worstBurstFlatness(), 0.2);
    for (double value : {-1.0, 1.0, -1.01, 1.01}) {
        EXPECT_EQ(p.meas.getBurstFlatnessPassFailString(value, 2),
                  std::fabs(value) <= 1.0 ? "Pass" : "Fail");
    }
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
        .query({"INIT:DONE?", kFreq, kEvm, kOffset, kModIntegrity})
        .send({"INITiate:EMACcuracy:OFF"});

struct ModAcc {
    Bus bus{"EMAC"};
    clsModAcc meas{bus.context()};
    explicit ModAcc(const std::string& integrity = "0") {
        bus.program.measurementIterations = 120;
        bus.fake.onQuery(kModIntegrity, {integrity});
        meas.initMeas(4);
    }
};

TEST(ModAccTest, OneAttemptWithTheIterationsCountWhateverTheIntegrity) {
    for (const MaybeFailure& failure :
         {MaybeFailure{}, MaybeFailure{{Kind::Queued, "INITiate:DONE:CLEAR"}},
          MaybeFailure{{Kind::Query, kEvm}}}) {
        ModAcc m("11");
        m.bus.inject(failure);
        expectRun(m.bus, m.meas.runMeas(kVi, 3), kModAccRun, failure);
    }
    EXPECT_TRUE(ModAcc().meas.runMeas(kVi, 4));
}

// Signed worst frequency error, largest EVM, smallest origin offset by magnitude; the offset's
// floor ignores the integrity.
TEST(ModAccTest, WorstOfAndPassFail) {
    ModAcc m;
    m.bus.fake.onQuery(kFreq, {"3.0", "-12.0", "12.0", "5.0"});
    m.bus.fake.onQuery(kEvm, {"1.5", "2.5", "2.5", "0.9"});
    m.bus.fake.onQuery(kOffset, {"40.0", "-36.0", "50.0", "38.0"});
    for (std::int16_t c = 0; c < 4; ++c) ASSERT_FALSE(m.meas.runMeas(kVi, c));
    EXPECT_EQ((std::vector<double>{m.meas.worstEpskFreqError(), m.meas.worstRmsEvm(),
                                   m.meas.worstOriginOffset()}),
              (std::vector<double>{-12.0, 2.5, 36.0}));
    EXPECT_EQ(m.meas.epskFreqErrorUnits() + m.meas.rmsEvmUnits() + m.meas.originOffsetUnits(),
              "hz%dB");
    using Case = std::tuple<double, double, double, const char*>;  // P(ass) or F(ail) of each
    for (const auto& [freq, evm, offset, texts] :
         {Case{20.0, 4.0, 35.0, "PPP"}, Case{-20.0, 0.0, 36.0, "PPP"},
          Case{-20.01, 4.01, 34.999, "FFF"}, Case{20.01, -0.01, 1e9, "FFP"}}) {
        const std::string letters{m.meas.getEpskFreqErrorPassFailString(freq, 1)[0],
                                  m.meas.getRmsEvmPassFailString(evm, 1)[0],
                                  m.meas.getOriginOffsetPassFailString(offset, 1)[0]};
        EXPECT_EQ(letters, texts) << freq;
    }
    ModAcc bad("7");
    ASSERT_FALSE(bad.meas.runMeas(kVi, 0));
    EXPECT_EQ(bad.meas.getEpskFreqErrorPassFailString(0.0, 1), "Fail ( 7)");
    EXPECT_EQ(bad.meas.getRmsEvmPassFailString(1.0, 1), "Fail ( 7)");
    EXPECT_EQ(bad.meas.getOriginOffsetPassFailString(36.0, 1), "Pass");
    EXPECT_EQ(bad.meas.getOriginOffsetPassFailString(34.0, 1), "Fail");
}

}  // namespace
}  // namespace quillon::measurements::test
