// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "measurements/clsEtxpBase.h"

namespace quillon::measurements {

// GMSK burst power: set-up by source, reference power by configuration (source 1) or the
// source's own CW power (source 2).
class clsGmskPower {
public:
    explicit clsGmskPower(MeasurementContext context) : context_(context) {}

    double maxPowerErr() const;
    double powerErrLowLimit() const { return -1.0; }
    double powerErrHighLimit() const { return 1.0; }
    std::string powerErrUnits() const { return "dB"; }
    void initMeas(std::int16_t numConfigs, double src1MainPower, double src1Offset1CWPower,
                  double src1Offset2CWPower);
    bool runMeas(instrument::ViSession vi, std::int16_t config, std::int16_t source);
    std::string getPowerErrPassFailString(double value) const;

private:
    bool setUp(instrument::ViSession vi, std::int16_t source) const;

    MeasurementContext context_;
    std::unique_ptr<clsEtxpBase> etxp_;
    double src1MainPower_ = 0.0;
    double src1Offset1CWPower_ = 0.0;
    double src1Offset2CWPower_ = 0.0;
    std::int16_t numConfigs_ = 0;
};

// EPSK (8PSK) burst power of source 1, reference power by configuration.
class clsEpskPower {
public:
    explicit clsEpskPower(MeasurementContext context) : context_(context) {}

    double maxPowerErr() const;
    double powerErrLowLimit() const { return -1.0; }
    double powerErrHighLimit() const { return 1.0; }
    std::string powerErrUnits() const { return "dB"; }
    void initMeas(std::int16_t numConfigs, double src1MainPower, double src1Offset1CWPower,
                  double src1Offset2CWPower);
    bool runMeas(instrument::ViSession vi, std::int16_t config, std::int16_t source);
    std::string getPowerErrPassFailString(double value) const;

private:
    bool setUp(instrument::ViSession vi) const;

    MeasurementContext context_;
    std::unique_ptr<clsEtxpBase> etxp_;
    double src1MainPower_ = 0.0;
    double src1Offset1CWPower_ = 0.0;
    double src1Offset2CWPower_ = 0.0;
    std::int16_t numConfigs_ = 0;
};

}  // namespace quillon::measurements
