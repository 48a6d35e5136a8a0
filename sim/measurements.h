// SPDX-License-Identifier: MIT
#pragma once

// The test set's measurements: which exist, how "INIT:DONE?" reports their completion, and
// the results that their FETCh queries read.

#include <array>
#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <string>

#include "profile.h"

namespace quillon::sim {

enum class MeasKind : std::size_t { Pfer, Pvt, Emac, Etxp, Txp };
inline constexpr std::size_t kMeasKindCount = 5;

struct MeasInfo {
    MeasKind kind;
    const char* mnemonic;  // keyword of INITiate, SETup and FETCh ("PFERror")
    const char* doneName;  // what "INIT:DONE?" answers when it has finished ("PFER")
};
inline constexpr std::array<MeasInfo, kMeasKindCount> kMeasurements{{
    {MeasKind::Pfer, "PFERror", "PFER"},
    {MeasKind::Pvt, "PVTime", "PVT"},
    {MeasKind::Emac, "EMACcuracy", "EMAC"},
    {MeasKind::Etxp, "ETXPower", "ETXP"},
    {MeasKind::Txp, "TXPower", "TXP"},
}};

// The FETCh queries: the header after "FETCh:<mnemonic>:" and the result it reads.
struct FetchInfo {
    MeasKind kind;
    const char* item;  // "FERRor:WORSt"
};
inline constexpr std::array<FetchInfo, 15> kFetches{{
    {MeasKind::Pfer, "FERRor:WORSt"},
    {MeasKind::Pfer, "RMS:MAXimum"},
    {MeasKind::Pfer, "PEAK:MAXimum"},
    {MeasKind::Pfer, "INTegrity"},
    {MeasKind::Pvt, "MASK:UPPer"},
    {MeasKind::Pvt, "MASK:LOWer"},
    {MeasKind::Pvt, "INTegrity"},
    {MeasKind::Emac, "FERRor:WORSt"},
    {MeasKind::Emac, "EVM:RMS"},
    {MeasKind::Emac, "OOFFset"},
    {MeasKind::Emac, "INTegrity"},
    {MeasKind::Etxp, "POWer"},
    {MeasKind::Etxp, "INTegrity"},
    {MeasKind::Txp, "POWer"},
    {MeasKind::Txp, "INTegrity"},
}};

// Results of one finished measurement, by fetch item.
using MeasResults = std::map<std::string, double>;

// Which measurements run and which have finished. A started measurement finishes on the
// donePolls-th "INIT:DONE?" after its start; each finished one is reported once, oldest first.
class MeasurementEngine {
  public:
    explicit MeasurementEngine(int donePolls) : donePolls_(donePolls) {}

    void start(MeasKind kind);
    void stop(MeasKind kind);
    void clearDone() { done_.clear(); }
    // The reply to "INIT:DONE?"; finish computes the results of a measurement that finishes.
    std::string poll(const std::function<MeasResults(MeasKind)>& finish);
    // Results of the last finished run; nullptr while none is available.
    const MeasResults* results(MeasKind kind) const;
    void reset();

  private:
    struct State {
        bool running = false;
        int polls = 0;
        bool finished = false;
        MeasResults results;
    };
    State& state(MeasKind kind) { return states_[static_cast<std::size_t>(kind)]; }

    int donePolls_;
    std::array<State, kMeasKindCount> states_{};
    std::deque<MeasKind> done_;
};

}  // namespace quillon::sim
