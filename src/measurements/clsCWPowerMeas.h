// SPDX-License-Identifier: MIT
#pragma once

#include "measurements/measurement_context.h"

namespace quillon::measurements {

// CW power of the test set's own source through the internal loopback; keeps no results.
class clsCWPowerMeas {
  public:
    explicit clsCWPowerMeas(MeasurementContext context) : context_(context) {}

    // result is written only when the fetch succeeds. True on error.
    bool runMeas(instrument::ViSession vi, double power, double loopbackGain, double& result);

  private:
    MeasurementContext context_;
};

}  // namespace quillon::measurements
