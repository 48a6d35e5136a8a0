// SPDX-License-Identifier: MIT
#pragma once

#include "instrument/visa_types.h"
#include "testrun/band_table.h"
#include "testrun/levels.h"

namespace quillon::instrument {
class clsVisa;
struct ProgramValues;
}  // namespace quillon::instrument

namespace quillon::measurements {
struct MeasurementContext;
}

namespace quillon::testrun {

class OperatorInterface;

// The band's level search and its CW reference measurements. Each step returns true when an
// error occurred and keeps what it found in levels() for the steps after it.
class SourceLevels {
  public:
    SourceLevels(instrument::clsVisa& visa, const instrument::ProgramValues& program,
                 OperatorInterface& ui)
        : visa_(visa), program_(program), ui_(ui) {}

    // The level at which source 1's attenuation reads 10, and how far below it 20.
    bool findPowerThresholds(instrument::ViSession vi, const Band& band);
    // Source 1's CW power at the main level and at both reduced levels.
    bool measureSource1CWPowers(instrument::ViSession vi);
    // Source 2's CW power at the main level, after switching the sources over.
    bool measureSource2CWPower(instrument::ViSession vi, const Band& band);

    const Levels& levels() const { return levels_; }

  private:
    bool searchAttenuation(instrument::ViSession vi, double target, double& level,
                           double* previousLevel);

    measurements::MeasurementContext context() const;

    instrument::clsVisa& visa_;
    const instrument::ProgramValues& program_;
    OperatorInterface& ui_;
    Levels levels_;
};

}  // namespace quillon::testrun
