// SPDX-License-Identifier: MIT
#include "replay.h"

#include <fstream>
#include <iostream>

namespace quillon::sim {
namespace {

namespace trace = instrument::trace;

std::string describe(const std::string& function, instrument::ViSession session,
                     const Replay::Inputs& inputs) {
    std::string text = function + " " + std::to_string(session);
    for (const auto& [key, value] : inputs) text += " " + key + "=" + trace::quote(value);
    return text;
}

std::string describe(const trace::Line& line, const Replay::Inputs& keys) {
    Replay::Inputs recorded;
    for (const auto& [key, ignored] : keys) {
        const auto it = line.fields.find(key);
        recorded.emplace_back(key, it == line.fields.end() ? std::string() : it->second);
    }
    return describe(line.function, line.session, recorded);
}

}  // namespace

std::variant<Replay, std::string> Replay::load(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return "Replay trace " + path + " cannot be read.";
    Replay replay;
    replay.path_ = path;
    std::string text;
    for (std::size_t number = 1; std::getline(in, text); ++number) {
        bool malformed = false;
        auto line = trace::parseLine(text, malformed);
        if (malformed) {
            return "Replay trace " + path + " line " + std::to_string(number) +
                   " is not a trace line: " + text;
        }
        if (line) replay.calls_.push_back({number, std::move(*line)});
    }
    return replay;
}

const trace::Line* Replay::next(const std::string& function, instrument::ViSession session,
                                const Inputs& inputs) {
    if (departed_) return nullptr;
    std::string expected;
    std::size_t lineNumber = 0;
    if (at_ < calls_.size()) {
        const Call& call = calls_[at_];
        bool same = call.line.function == function && call.line.session == session;
        for (const auto& [key, value] : inputs) {
            const auto it = call.line.fields.find(key);
            same = same && it != call.line.fields.end() && it->second == value;
        }
        if (same) {
            ++at_;
            return &call.line;
        }
        expected = describe(call.line, inputs);
        lineNumber = call.lineNumber;
    } else {
        expected = "the end of the recording";
    }
    departed_ = true;
    std::cerr << "quillon-sim-visa: the traffic departs from the recording " << path_;
    if (lineNumber > 0) std::cerr << " at line " << lineNumber;
    std::cerr << "\n  expected: " << expected
              << "\n  actual:   " << describe(function, session, inputs) << '\n';
    return nullptr;
}

}  // namespace quillon::sim
