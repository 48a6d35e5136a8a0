// SPDX-License-Identifier: MIT
#pragma once

// What the analyzer of a simulated test set sees through the internal loopback, and the
// results a measurement of it gives. Levels follow the commanded state; the profile adds each
// source's errors; a seeded generator adds repeatable spread.

#include <random>
#include <vector>

#include "measurements.h"
#include "profile.h"
#include "settings.h"

namespace quillon::sim {

inline constexpr double kLoopbackGainDb = 20.0;
inline constexpr double kNoiseFloorDbm = -90.0;
inline constexpr double kTuningToleranceHz = 100e3;
// A reply that carries no measured value.
inline constexpr double kNotANumber = 9.91e37;

// Integrity indicators the simulated analyzer reports.
namespace integrity {
inline constexpr int kNormal = 0;
inline constexpr int kOverRange = 5;
inline constexpr int kUnderRange = 6;
inline constexpr int kNoBurstFound = 11;
}  // namespace integrity

// One source's signal as it arrives at the analyzer input.
struct Carrier {
    int source = 1;         // 1 or 2
    double levelDbm = 0.0;  // commanded level, before the loopback gain
    double frequencyHz = 0.0;
    bool burst = false;  // bursts (EBPT, EBT) or a continuous carrier (CW)
    bool epsk = false;   // modulation of the measured burst
};

// Carriers that reach the analyzer and lie within its tuning.
std::vector<Carrier> carriersAtAnalyzer(const Settings& settings);

// The source the analyzer measures now: 2 when source 2 is on and source 1 off, else 1.
int measuredSource(const Settings& settings);

// Reading of "PL13:STATes:RFS<n>:LEVel:NORMal:ATTenuation?": 0, 10 or 20 dB.
int attenuation(const Settings& settings, const TestSetProfile& profile, int source);

// Results of a measurement that has just finished.
MeasResults measure(MeasKind kind, const Settings& settings, const TestSetProfile& profile,
                    std::mt19937& random);

}  // namespace quillon::sim
