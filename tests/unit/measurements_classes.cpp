// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "fake_visa.h"
#include "instrument/bus_hooks.h"
#include "instrument/clsVisa.h"
#include "measurements/burst_power.h"
#include "measurements/clsModAcc.h"
#include "measurements/clsPFERMeas.h"
#include "measurements/clsPVTMeas.h"
#include "measurements/measurement_common.h"
#include "measurements/measurement_context.h"

namespace quillon::measurements::test {
namespace {

// A measurement object's world: the scripted fake library behind a real bus session, the ways
// an exchange can fail, and a builder for the bus traffic a run should produce.

constexpr instrument::ViSession kVi = 7;
using Texts = std::vector<std::string>;

// Queued: the error query after text reports an error. Write: writing text fails. Query: the
// query text answers with status (a timeout unless told).
struct Failure {
    enum class Kind { Queued, Write, Query } kind;
    std::string text;
    instrument::ViStatus status = instrument::kViErrorTimeout;
};
using Kind = Failure::Kind;
using MaybeFailure = std::optional<Failure>;

// "INIT:DONE?" reports done.
struct Bus {
    explicit Bus(const std::string& done = "") { fake.onQuery("INIT:DONE?", {done}); }
    quillon::testing::FakeVisa fake;
    instrument::ProgramValues program;
    int yields = 0;
    instrument::clsVisa visa{&fake, std::nullopt, instrument::BusHooks{[this] { ++yields; }, {}},
                             program};

    MeasurementContext context() { return {visa, program}; }
    void inject(const MaybeFailure& f) {
        if (f && f->kind == Kind::Queued) fake.errorAfter(f->text);
        if (f && f->kind == Kind::Write) fake.onWrite(f->text, instrument::kViErrorIo);
        if (f && f->kind == Kind::Query) fake.onQueryReplies(f->text, {{f->status, "0\n"}});
    }
};

// Expected texts on the bus, in order; a checked command is followed by the error query.
struct Traffic {
    Texts texts;

    Traffic& send(const Texts& commands) {
        for (const std::string& c : commands) texts.insert(texts.end(), {c, "SYSTEM:ERR?"});
        return *this;
    }
    Traffic& query(const Texts& queries, int times = 1) {
        for (int i = 0; i < times; ++i) texts.insert(texts.end(), queries.begin(), queries.end());
        return *this;
    }
    Traffic& then(const Traffic& part, int times = 1) { return query(part.texts, times); }
};

// A run without failure reports none and sends all of full; with one, it reports it and stops
// after the failing text, or after the error query of a command whose error was queued.
void expectRun(const Bus& bus, bool failed, const Traffic& full, const MaybeFailure& f) {
    Texts expected = full.texts;
    if (f) {
        const auto at = std::find(expected.begin(), expected.end(), f->text);
        ASSERT_NE(at, expected.end()) << f->text;
        expected.erase(at + (f->kind == Kind::Queued ? 2 : 1), expected.end());
    }
    EXPECT_EQ(failed, f.has_value());
    EXPECT_EQ(bus.fake.texts(), expected) << (f ? f->text : "");
}

const char* const kPferIntegrity = "FETCh:PFERror:INTegrity?";
const char* const kPower = "FETCh:ETXPower:POWer?";
const char* const kEtxpIntegrity = "FETCh:ETXPower:INTegrity?";
const char* const kLower = "FETCh:PVTime:MASK:LOWER?";
const char* const kPvtIntegrity = "FETCh:PVTime:INTegrity?";
const char* const kModIntegrity = "FETCh:EMACcuracy:INTegrity?";

// Every measurement object on one bus, for four configurations unless told, with 7 iterations and
// the reference powers main -10, offset 1 -20, offset 2 -30 dBm.
struct Meas {
    Bus bus{"PFER,PVT,TXP,ETXP,EMAC"};
    clsPFERMeas pfer{bus.context()};
    clsGmskPower gmsk{bus.context()};
    clsEpskPower epsk{bus.context()};
    clsPVTMeas pvt{bus.context()};
    clsModAcc modAcc{bus.context()};
    enum class Of { Pfer, Gmsk, Epsk, Pvt, ModAcc };

    explicit Meas(std::int16_t numConfigs = 4) {
        bus.program.measurementIterations = 7;
        pfer.initMeas(numConfigs);
        gmsk.initMeas(numConfigs, -10.0, -20.0, -30.0);
        epsk.initMeas(numConfigs, -10.0, -20.0, -30.0);
        pvt.initMeas(numConfigs);
        modAcc.initMeas(numConfigs);
    }
    void integrities(const Texts& texts) {
        for (const char* q : {kPferIntegrity, kEtxpIntegrity, kPvtIntegrity, kModIntegrity}) {
            bus.fake.onQuery(q, texts);
        }
    }
    bool run(Of of, std::int16_t config, std::int16_t source) {
        return of == Of::Pfer   ? pfer.runMeas(kVi, config, source)
               : of == Of::Gmsk ? gmsk.runMeas(kVi, config, source)
               : of == Of::Epsk ? epsk.runMeas(kVi, config, source)
               : of == Of::Pvt  ? pvt.runMeas(kVi, config, source)
                                : modAcc.runMeas(kVi, config);
    }
};
using Of = Meas::Of;

// Source 1 counts the iterations; source 2 counts 1, at once.
Texts counting(const std::string& count, const std::string& delay, std::int16_t source) {
    return source == 0 ? Texts{count + "  7", delay + " 1.772ms"}
                       : Texts{count + " 1", delay + " 0"};
}

Traffic pferRun(std::int16_t source, int attempts) {
    return Traffic()
        .send({"CALL:PDTCHannel:MCSCheme:EBPT MCS4P1", "SETup:PFERror:count:state 1",
               "SETup:PFERror:CONTinuous 0", "SETup:PFERror:TRIGger:SOURce PROTOCOL",
               "SETup:PFERror:TRIGger:DELay -1.73ms",
               source == 0 ? "SETup:PFERror:COUNt:NUMBer  7" : "SETup:PFERror:COUNt:NUMBer 1"})
        .then(Traffic()
                  .send({"INIT:PFER:ON"})
                  .query({"INIT:DONE?", "FETCh:PFERror:FERRor:WORSt?", "FETCh:PFERror:RMS:MAXimum?",
                          "FETCh:PFERror:PEAK:MAXimum?", kPferIntegrity}),
              attempts)
        .send({"INIT:PFER:OFF"});
}

Traffic burstRun(bool gmsk, std::int16_t source, int attempts) {
    const Traffic setUp =
        gmsk
            ? Traffic()
                  .send({"CALL:PDTCHannel:MCSCheme:EBPT MCS4P1", "SETup:ETXPower:COUNt:STATe 1",
                         "SETup:ETXPower:CONTinuous 0", "SETup:ETXPower:TRIGger:SOURce EXTERNAL",
                         "CALL:MODulation:FORMAT:CONTROL:AUTO 0",
                         "CALL:MODulation:FORMAT:MANUAL:BURST1 GMSK",
                         "CALL:MODulation:FORMAT:MANUAL:BURST2 GMSK", "INITiate:DONE:CLEAR"})
                  .send(counting("SETup:ETXPower:COUNt:NUMBer", "SETup:ETXPower:TRIGger:DELay",
                                 source))
            : Traffic().send(
                  {"CALL:PDTCHannel:MCSCheme:EBPT MCS5P1", "SETup:ETXPower:COUNt:STATe 1",
                   "SETup:ETXPower:COUNt:NUMBer  7", "SETup:ETXPower:CONTinuous 0",
                   "SETup:ETXPower:TRIGger:SOURce EXTERNAL", "SETup:ETXPower:TRIGger:DELay 1.772ms",
                   "SETup:ETXPower:SPECial 0", "CALL:MODulation:FORMAT:CONTROL:AUTO 0",
                   "CALL:MODulation:FORMAT:MANUAL:BURST1 EPSK",
                   "CALL:MODulation:FORMAT:MANUAL:BURST2 EPSK", "INITiate:DONE:CLEAR"});
    return Traffic(setUp)
        .then(Traffic().send({"INIT:ETXPower:ON"}).query({"INIT:DONE?", kPower, kEtxpIntegrity}),
              attempts)
        .send({"INITiate:ETXPower:OFF"});
}

Traffic pvtRun(std::int16_t source, int attempts) {
    return Traffic()
        .send({"CALL:PDTCHannel:MCSCheme:EBPT MCS4P1", "SETup:PVTime:COUNt:state 1",
               "SETup:PVTime:CONTinuous 0", "SETup:PVTime:TRIGger:Source EXTERNAL",
               "SETup:PVTime:CUSTOM1:MASK:UPPER 0us,4dBc,593us,1dBc",
               "SETup:PVTime:CUSTOM1:MASK:LOWER 0us,-200dBc,542.7us,-1dBc,593us,-200dBc",
               "SETup:PVTime:BURST1:MASK CUSTOM1", "SETup:PVTime:BURST2:MASK CUSTOM1",
               "INITiate:DONE:CLEAr"})
        .send(counting("SETup:PVTime:COUNt:NUMBer", "SETup:PVTime:TRIGger:DELAY", source))
        .then(Traffic()
                  .send({"INITiate:PVTime:ON"})
                  .query({"INIT:DONE?", "FETCh:PVTime:MASK:UPPER?", kLower, kPvtIntegrity}),
              attempts)
        .send({"INITiate:PVTime:OFF"});
}

const Traffic kModAccRun =
    Traffic()
        .send({"CALL:PDTCHannel:MCSCheme:EBPT MCS5P1", "SETup:EMACcuracy:COUNt:STATe 1",
               "SETup:EMACcuracy:COUNt:NUMBer  7", "SETup:EMACcuracy:CONTinuous 0",
               "SETup:EMACcuracy:TRIGger:SOURce PROTOCOL", "SETup:EMACcuracy:TRIGger:DELay -1.73ms",
               "INITiate:DONE:CLEAR", "INITiate:EMACcuracy:ON"})
        .query({"INIT:DONE?", "FETCh:EMACcuracy:FERRor:WORSt?", "FETCh:EMACcuracy:EVM:RMS?",
                "FETCh:EMACcuracy:OOFFset?", kModIntegrity})
        .send({"INITiate:EMACcuracy:OFF"});

// Source 2 starts again on integrity 11: up to 50 starts, 51 for burst power; mod accuracy runs
// once whatever the integrity. Each way of failing stops one class's run. (The CW power's
// traffic is checked with the level routines.)
TEST(MeasurementTraffic, BySourceWithRepeatsAndTheStopAtAFailure) {
    // clang-format off
    const std::tuple<Of, std::int16_t, Texts, MaybeFailure, Traffic> cases[] = {
        {Of::Pfer, 0, {"11"}, {}, pferRun(0, 1)},
        {Of::Pfer, 1, {"11"}, {}, pferRun(1, 50)},
        {Of::Pfer, 1, {"5"}, {}, pferRun(1, 1)},
        {Of::Pfer, 0, {"0"}, Failure{Kind::Queued, "SETup:PFERror:CONTinuous 0"}, pferRun(0, 1)},
        {Of::Gmsk, 0, {"11"}, {}, burstRun(true, 0, 1)},
        {Of::Gmsk, 1, {"11"}, {}, burstRun(true, 1, 51)},
        {Of::Gmsk, 1, {"11", "0"}, {}, burstRun(true, 1, 2)},
        {Of::Gmsk, 0, {"0"}, Failure{Kind::Write, "INIT:ETXPower:ON"}, burstRun(true, 0, 1)},
        {Of::Epsk, 0, {"0"}, {}, burstRun(false, 0, 1)},
        {Of::Pvt, 0, {"11"}, {}, pvtRun(0, 1)},
        {Of::Pvt, 1, {"11"}, {}, pvtRun(1, 50)},
        {Of::Pvt, 1, {"0"}, Failure{Kind::Query, kLower}, pvtRun(1, 1)},
        {Of::ModAcc, 0, {"11"}, {}, kModAccRun},
        {Of::ModAcc, 0, {"0"}, Failure{Kind::Query, "INIT:DONE?", instrument::kViSuccessTermChar}, kModAccRun}};
    // clang-format on
    for (const auto& [of, source, integrities, failure, traffic] : cases) {
        Meas m;
        m.integrities(integrities);
        m.bus.inject(failure);
        expectRun(m.bus, m.run(of, 3, source), traffic, failure);
    }
    Meas m;  // outside the configurations, and before initMeas, nothing is sent
    EXPECT_TRUE(m.run(Of::Pfer, 4, 0) && m.run(Of::Pvt, -1, 0) && m.run(Of::ModAcc, 4, 0) &&
                clsPFERMeas(m.bus.context()).runMeas(kVi, 0, 0));
    EXPECT_TRUE(m.bus.fake.log.empty());
}

// Over the configurations: the signed worst frequency error (ties keep the lower configuration),
// the largest deviation from each configuration's reference, one less the smallest mask number,
// the largest EVM and the smallest origin offset by magnitude.
TEST(MeasurementResults, WorstOfTheConfigurations) {
    Meas m;
    m.bus.fake.onQuery("FETCh:PFERror:FERRor:WORSt?", {"0.5", "-3.0", "3.0", "2.0"});
    m.bus.fake.onQuery(kPower, {"-19.8", "-10.9", "-29.6", "-9.1"});  // against -20, -10, -30, -10
    m.bus.fake.onQuery("FETCh:PVTime:MASK:UPPER?", {"1.2", "0.9", "1.1", "1.5"});
    m.bus.fake.onQuery(kLower, {"0.8", "1.3", "1.0", "1.4"});
    m.bus.fake.onQuery("FETCh:EMACcuracy:FERRor:WORSt?", {"3.0", "-12.0", "12.0", "5.0"});
    m.bus.fake.onQuery("FETCh:EMACcuracy:EVM:RMS?", {"1.5", "2.5", "2.5", "0.9"});
    m.bus.fake.onQuery("FETCh:EMACcuracy:OOFFset?", {"40.0", "-36.0", "50.0", "38.0"});
    for (std::int16_t c = 0; c < 4; ++c) {
        ASSERT_FALSE(m.pfer.runMeas(kVi, c, 0) || m.epsk.runMeas(kVi, c, 0) ||
                     m.pvt.runMeas(kVi, c, 0) || m.modAcc.runMeas(kVi, c));
    }
    EXPECT_EQ(m.pfer.maxFreqError(), -3.0);
    EXPECT_NEAR(m.epsk.maxPowerErr(), 0.9, 1e-12);
    EXPECT_DOUBLE_EQ(m.pvt.worstBurstFlatness(), 0.2);
    EXPECT_EQ((std::array{m.modAcc.worstEpskFreqError(), m.modAcc.worstRmsEvm(),
                          m.modAcc.worstOriginOffset()}),
              (std::array{-12.0, 2.5, 36.0}));
}

// The deviation's magnitude names the reference power taken.
TEST(MeasurementResults, BurstPowerReferenceByConfigurationAndSource) {
    using Case = std::tuple<Of, std::int16_t, std::int16_t, std::int16_t, const char*, double>;
    for (const auto& [of, numConfigs, config, source, power, deviation] :
         {Case{Of::Gmsk, 4, 0, 0, "-19.7", 0.3}, Case{Of::Gmsk, 4, 1, 0, "0", 10.0},
          Case{Of::Gmsk, 4, 2, 0, "-30.5", 0.5}, Case{Of::Gmsk, 1, 0, 1, "0", 10.0},
          Case{Of::Epsk, 4, 0, 0, "-20.3", 0.3}, Case{Of::Epsk, 4, 2, 1, "0", 30.0}}) {
        Meas m(numConfigs);
        m.bus.fake.onQuery(kPower, {power});
        ASSERT_FALSE(m.run(of, config, source));
        EXPECT_NEAR(of == Of::Gmsk ? m.gmsk.maxPowerErr() : m.epsk.maxPowerErr(), deviation, 1e-9);
    }
}

// P(ass) or F(ail) of each check at value: frequency, RMS and peak phase error, burst power,
// flatness, EPSK frequency error, EVM and origin offset.
std::string letters(Meas& m, double v) {
    const std::string texts[] = {
        m.pfer.getFreqErrPassFailString(v, 0),      m.pfer.getRmsPhaseErrPassFailString(v, 3),
        m.pfer.getPeakPhaseErrPassFailString(v, 4), m.gmsk.getPowerErrPassFailString(v),
        m.pvt.getBurstFlatnessPassFailString(v, 2), m.modAcc.getEpskFreqErrorPassFailString(v, 1),
        m.modAcc.getRmsEvmPassFailString(v, 1),     m.modAcc.getOriginOffsetPassFailString(v, 1)};
    std::string out;
    for (const std::string& t : texts) out += t.substr(0, 1);
    return out;
}

TEST(MeasurementResults, LimitsOfEachCheck) {
    Meas m;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    // clang-format off
    for (const auto& [value, expected] : {
             std::pair{0.0, "PPPPPPPF"}, {1.0, "PPPPPPPF"}, {-1.0001, "PFPFFPFF"}, {4.0, "PFPFFPPF"},
             {4.01, "PFFFFPFF"}, {-20.0, "PFFFFPFF"}, {20.000001, "FFFFFFFF"}, {35.0, "FFFFFFFP"},
             {34.999, "FFFFFFFF"}, {1e9, "FFFFFFFP"}, {nan, "FFFFFFFF"}}) {
        // clang-format on
        EXPECT_EQ(letters(m, value), expected) << value;
    }
}

// A non-zero integrity fails with its number, rounded half to even; source 2's PVT takes 25 as
// 0; the origin offset's floor ignores it.
TEST(MeasurementResults, IntegrityInThePassFailText) {
    for (const auto& [integrity, source, texts] :
         {std::tuple{"7", 0, "Fail ( 7)|Fail ( 7)|Fail ( 7)|Fail ( 7)|Pass"},
          {"10.5", 0, "Fail ( 10)|Fail ( 10)|Fail ( 10)|Fail ( 10)|Pass"},
          {"11.5", 0, "Fail ( 12)|Fail ( 12)|Fail ( 12)|Fail ( 12)|Pass"},
          {"25", 1, "Fail ( 25)|Fail ( 25)|Pass|Fail ( 25)|Pass"}}) {
        Meas m;
        m.integrities({integrity});
        for (const Of of : {Of::Pfer, Of::Gmsk, Of::Pvt, Of::ModAcc}) {
            ASSERT_FALSE(m.run(of, 0, static_cast<std::int16_t>(source)));
        }
        EXPECT_EQ(m.pfer.getFreqErrPassFailString(0.0, 0) + "|" +
                      m.gmsk.getPowerErrPassFailString(0.0) + "|" +
                      m.pvt.getBurstFlatnessPassFailString(0.0, 0) + "|" +
                      m.modAcc.getRmsEvmPassFailString(1.0, 1) + "|" +
                      m.modAcc.getOriginOffsetPassFailString(36.0, 1),
                  texts);
    }
    // PFER keeps configuration 0's integrity unless a later non-zero one is smaller.
    for (const auto& [integrities, text] : {std::pair{Texts{"0", "11", "0", "5"}, "Pass"},
                                            {Texts{"11", "0", "5", "0"}, "Fail ( 5)"},
                                            {Texts{"-3", "0", "0", "0"}, "Fail (-3)"}}) {
        Meas m;
        m.integrities(integrities);
        for (std::int16_t c = 0; c < 4; ++c) ASSERT_FALSE(m.run(Of::Pfer, c, 0));
        EXPECT_EQ(m.pfer.getFreqErrPassFailString(0.0, 0), text);
    }
}

// Case matters, but the mnemonic may be part of another: "ETXP" ends a wait for "TXP".
TEST(CompletionWaitTest, YieldsBeforeEachPollUntilTheMnemonicOrTheBound) {
    Bus bus;
    bus.fake.onQuery("INIT:DONE?", {"txp", "PVT,PFER", "EMAC,ETXP"});
    EXPECT_FALSE(waitForCompletion(bus.context(), kVi, false, "TXP"));
    EXPECT_EQ(bus.yields, 3);
    EXPECT_TRUE(waitForCompletion(bus.context(), kVi, false, "PVT", 5));
    EXPECT_EQ(bus.fake.count("INIT:DONE?"), 8u);
    EXPECT_TRUE(waitForCompletion(bus.context(), kVi, true, "PFER"));
    EXPECT_EQ(bus.fake.count("INIT:DONE?"), 8u);
}

}  // namespace
}  // namespace quillon::measurements::test
