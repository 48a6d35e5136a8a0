// SPDX-License-Identifier: MIT
#pragma once

// A measurement object's world for tests: the scripted fake library behind a real bus session,
// and a builder for the bus traffic a run is expected to produce.

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

struct Bus {
    quillon::testing::FakeVisa fake;
    instrument::ProgramValues program;
    int yields = 0;
    instrument::clsVisa visa{&fake, std::nullopt, instrument::BusHooks{[this] { ++yields; }, {}},
                             program};

    MeasurementContext context() { return {visa, program}; }
    quillon::testing::FakeVisa::Reply timeout() const { return {instrument::kViErrorTimeout, ""}; }
};

// Expected texts on the bus, in order; a checked command is followed by the error query.
struct Traffic {
    std::vector<std::string> texts;

    Traffic& send(std::initializer_list<std::string> commands) {
        for (const std::string& c : commands) {
            texts.push_back(c);
            texts.emplace_back("SYSTEM:ERR?");
        }
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
        for (int i = 0; i < times; ++i) texts.insert(texts.end(), part.texts.begin(), part.texts.end());
        return *this;
    }
    // Everything up to and including the first occurrence of text (and its error query when
    // withErrorQuery): what a run sends before it stops at that exchange.
    Traffic upTo(const std::string& text, bool withErrorQuery) const {
        Traffic cut;
        for (std::size_t i = 0; i < texts.size(); ++i) {
            cut.texts.push_back(texts[i]);
            if (texts[i] != text) continue;
            if (withErrorQuery && i + 1 < texts.size()) cut.texts.push_back(texts[i + 1]);
            break;
        }
        return cut;
    }
};

}  // namespace quillon::measurements::test
