// SPDX-License-Identifier: MIT
#pragma once

#include <memory>

#include "measurements/burst_power.h"
#include "measurements/clsModAcc.h"
#include "measurements/clsPFERMeas.h"
#include "measurements/clsPVTMeas.h"
#include "measurements/measurement_context.h"
#include "testrun/levels.h"

namespace quillon::testrun {

// The measurement objects of a run: phase/frequency error, power versus time and modulation
// accuracy live for the whole run; the burst power objects for one band, because they judge
// against that band's CW references. A step whose object is missing counts as an error.
struct RunMeasurements {
    void createForRun(measurements::MeasurementContext context);
    void createForBand(measurements::MeasurementContext context, const Levels& levels);
    void releaseBand();

    std::unique_ptr<measurements::clsPFERMeas> src1Pfer;
    std::unique_ptr<measurements::clsPVTMeas> src1Pvt;
    std::unique_ptr<measurements::clsModAcc> src1ModAcc;
    std::unique_ptr<measurements::clsPFERMeas> src2Pfer;
    std::unique_ptr<measurements::clsPVTMeas> src2Pvt;
    std::unique_ptr<measurements::clsGmskPower> src1GmskPower;
    std::unique_ptr<measurements::clsEpskPower> src1EpskPower;
    std::unique_ptr<measurements::clsGmskPower> src2GmskPower;
};

}  // namespace quillon::testrun
