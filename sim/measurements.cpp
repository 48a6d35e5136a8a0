// SPDX-License-Identifier: MIT
#include "measurements.h"

namespace quillon::sim {

void MeasurementEngine::start(MeasKind kind) {
    State& current = state(kind);
    current = State{};
    current.running = true;
}

void MeasurementEngine::stop(MeasKind kind) {
    state(kind).running = false;
}

std::string MeasurementEngine::poll(const std::function<MeasResults(MeasKind)>& finish) {
    for (const MeasInfo& info : kMeasurements) {
        State& current = state(info.kind);
        if (!current.running || current.finished) continue;
        ++current.polls;
        if (current.polls >= donePolls_) {
            current.finished = true;
            current.results = finish(info.kind);
            done_.push_back(info.kind);
        }
    }
    if (done_.empty()) return "NONE";
    const MeasKind kind = done_.front();
    done_.pop_front();
    return kMeasurements[static_cast<std::size_t>(kind)].doneName;
}

const MeasResults* MeasurementEngine::results(MeasKind kind) const {
    const State& current = states_[static_cast<std::size_t>(kind)];
    return current.finished ? &current.results : nullptr;
}

void MeasurementEngine::reset() {
    states_ = {};
    done_.clear();
}

}  // namespace quillon::sim
