// SPDX-License-Identifier: MIT
#pragma once

// A measurement object's world for tests: the scripted fake library behind a real bus session,
// the ways an exchange can fail, and a builder for the bus traffic a run should produce.

#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "fake_visa.h"
#include "instrument/bus_hooks.h"
#include "instrument/clsVisa.h"
#include "measurements/measurement_context.h"

namespace quillon::measurements::test {

inline constexpr instrument::ViSession kVi = 7;

// Queued: the error query after text reports an error. Write: writing text fails. Query: the
// query text answers with status (a timeout unless told).
struct Failure {
    enum class Kind { Queued, Write, Query } kind;
    std::string text;
    instrument::ViStatus status = instrument::kViErrorTimeout;
};

struct Bus {
    quillon::testing::FakeVisa fake;
    instrument::ProgramValues program;
    int yields = 0;
    instrument::clsVisa visa{&fake, std::nullopt, instrument::BusHooks{[this] { ++yields; }, {}},
                             program};

    MeasurementContext context() { return {visa, program}; }
    void inject(const Failure& f) {
        switch (f.kind) {
            case Failure::Kind::Queued:
                fake.errorAfter(f.text);
                break;
            case Failure::Kind::Write:
                fake.onWrite(f.text, instrument::kViErrorIo);
                break;
            case Failure::Kind::Query:
                fake.onQueryReplies(f.text, {{f.status, "0\n"}});
                break;
        }
    }
};

// Expected texts on the bus, in order; a checked command is followed by the error query.
struct Traffic {
    std::vector<std::string> texts;

    Traffic& send(std::initializer_list<std::string> commands) {
        for (const std::string& c : commands) texts.insert(texts.end(), {c, "SYSTEM:ERR?"});
        return *this;
    }
    Traffic& query(std::initializer_list<std::string> queries) {
        texts.insert(texts.end(), queries);
        return *this;
    }
    Traffic& polls(int n) {
        texts.insert(texts.end(), static_cast<std::size_t>(n), "INIT:DONE?");
        return *this;
    }
    Traffic& then(const Traffic& part, int times = 1) {
        for (int i = 0; i < times; ++i)
            texts.insert(texts.end(), part.texts.begin(), part.texts.end());
        return *this;
    }
    // What a run sends before it stops at failure f: up to its text, and the error query after
    // a command whose error is queued.
    Traffic upTo(const Failure& f) const {
        Traffic cut;
        for (std::size_t i = 0; i < texts.size(); ++i) {
            cut.texts.push_back(texts[i]);
            if (texts[i] != f.text) continue;
            if (f.kind == Failure::Kind::Queued) cut.texts.emplace_back("SYSTEM:ERR?");
            break;
        }
        return cut;
    }
};

}  // namespace quillon::measurements::test
