// SPDX-License-Identifier: MIT
#include "testrun/run_measurements.h"

#include "testrun/loopback.h"

namespace quillon::testrun {

void RunMeasurements::createForRun(measurements::MeasurementContext context) {
    src1Pfer = std::make_unique<measurements::clsPFERMeas>(context);
    src1Pvt = std::make_unique<measurements::clsPVTMeas>(context);
    src1ModAcc = std::make_unique<measurements::clsModAcc>(context);
    src2Pfer = std::make_unique<measurements::clsPFERMeas>(context);
    src2Pvt = std::make_unique<measurements::clsPVTMeas>(context);
    src1Pfer->initMeas(kSource1Configs);
    src1Pvt->initMeas(kSource1Configs);
    src1ModAcc->initMeas(kSource1Configs);
    src2Pfer->initMeas(kSource2Configs);
    src2Pvt->initMeas(kSource2Configs);
}

// The burst power checks compare against the CW references measured for this band; source 2
// has only its main level of its own.
void RunMeasurements::createForBand(measurements::MeasurementContext context, const Levels& l) {
    src1GmskPower = std::make_unique<measurements::clsGmskPower>(context);
    src1EpskPower = std::make_unique<measurements::clsEpskPower>(context);
    src2GmskPower = std::make_unique<measurements::clsGmskPower>(context);
    src1GmskPower->initMeas(kSource1Configs, l.src1MainPower, l.src1Offset1CWPower,
                            l.src1Offset2CWPower);
    src1EpskPower->initMeas(kSource1Configs, l.src1MainPower, l.src1Offset1CWPower,
                            l.src1Offset2CWPower);
    src2GmskPower->initMeas(kSource2Configs, l.src2MainPower, l.src1Offset1CWPower,
                            l.src1Offset2CWPower);
}

void RunMeasurements::releaseBand() {
    src1GmskPower.reset();
    src1EpskPower.reset();
    src2GmskPower.reset();
}

}  // namespace quillon::testrun
