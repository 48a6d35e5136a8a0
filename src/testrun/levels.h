// SPDX-License-Identifier: MIT
#pragma once

namespace quillon::testrun {

// Gain of the test set's internal loopback path between a source and the analyzer, in dB.
inline constexpr double kLoopbackGain = 20.0;

// What the level search and the CW reference measurements leave for the rest of the band, in
// dBm; the two reductions in dB below mainPower, where source 1's attenuation last read 10 and
// first read 20.
struct Levels {
    double mainPower = 0.0;
    double offset1Reduction = 0.0;
    double offset2Reduction = 0.0;
    double src1MainPower = 0.0;
    double src1Offset1CWPower = 0.0;
    double src1Offset2CWPower = 0.0;
    double src2MainPower = 0.0;
};

}  // namespace quillon::testrun
