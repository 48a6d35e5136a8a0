// SPDX-License-Identifier: MIT
#pragma once

namespace quillon::testrun {

// Gain of the test set's internal loopback path between a source and the analyzer, in dB.
inline constexpr double kLoopbackGain = 20.0;

// What the level search and the CW reference measurements leave for the rest of the band, in
// dBm (the reductions in dB below mainPower).
struct Levels {
    double mainPower = 0.0;
    double offset1Power = 0.0;
    double offset2Power = 0.0;
    double src1MainPower = 0.0;
    double src1Offset1CWPower = 0.0;
    double src1Offset2CWPower = 0.0;
    double src2MainPower = 0.0;
};

}  // namespace quillon::testrun
