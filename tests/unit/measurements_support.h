// SPDX-License-Identifier: MIT
#pragma once

// A measurement object's world for tests: the scripted fake library behind a real bus session,
// the ways an exchange can fail, and a builder for the bus traffic a run should produce.

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "fake_visa.h"
#include "instrument/bus_hooks.h"
#include "instrument/clsVisa.h"
#include "measurements/measurement_context.h"

namespace quillon::measurements::test {

inline constexpr instrument::ViSession kVi = 7;
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

// The commands of one CW power measurement at level through the loopback, expecting expected.
inline Texts cwPowerCommands(const std::string& level, const std::string& expected) {
    return Texts(
        {"CALL:CELL:POWer:AMPlitude:CW " + level, "PL13:LATC:RFINT:PATH:SOURCE1 1",
         "PL13:LATC:RFINT:PATH:SOURCE2 1", "PL13:LATC:RFINT:LOOPBACK 1",
         "RFANALyzer:CONTrol:POWer:AUTO 0", "RFANALyzer:CONTrol:MEASurement:FREQuency:AUTO 0",
         "RFANalyzer:CW:EXPected:POWer " + expected, "SETup:TXPower:COUNt:STATe 1",
         "SETup:TXPower:COUNt:NUMBer 50", "SETup:TXPower:CONTinuous 0",
         "SETup:TXPower:TRIGger:SOURce IMMediate", "INITiate:DONE:CLEAR", "INITiate:TXPower:ON"});
}

// A run without failure reports none and sends all of full; with one, it reports it and stops
// after the failing text, or after the error query of a command whose error was queued.
inline void expectRun(const Bus& bus, bool failed, const Traffic& full, const MaybeFailure& f) {
    Texts expected = full.texts;
    if (f) {
        const auto at = std::find(expected.begin(), expected.end(), f->text);
        ASSERT_NE(at, expected.end()) << f->text;
        expected.erase(at + (f->kind == Kind::Queued ? 2 : 1), expected.end());
    }
    EXPECT_EQ(failed, f.has_value());
    EXPECT_EQ(bus.fake.texts(), expected) << (f ? f->text : "");
}

}  // namespace quillon::measurements::test
