// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "measurements/clsEtxpBase.h"

namespace quillon::measurements {

// What the two burst power classes share: the transmit power engine, the three CW reference
// powers given at initMeas, the limits and the pass/fail text. Each class adds its own set-up
// and its choice of reference.
class BurstPowerChecks {
public:
    explicit BurstPowerChecks(MeasurementContext context) : context_(context) {}

    void initMeas(std::int16_t numConfigs, double mainPower, double offset1CWPower,
                  double offset2CWPower);
    double maxPowerErr() const;
    std::string passFail(double value) const;
    // The CW reference that burst 2 of a loopback configuration is compared with; none for a
    // configuration outside the table.
    std::optional<double> referenceForConfig(std::int16_t config) const;
    double mainPower() const { return mainPower_; }
    // Runs the engine; a run before initMeas or with a config outside the tables is an error
    // that touches no bus.
    bool usable(std::int16_t config) const;
    bool measure(instrument::ViSession vi, std::int16_t config, std::int16_t source,
                 double reference);
    const MeasurementContext& context() const { return context_; }

private:
    MeasurementContext context_;
    std::unique_ptr<clsEtxpBase> etxp_;
    double mainPower_ = 0.0;
    double offset1CWPower_ = 0.0;
    double offset2CWPower_ = 0.0;
    std::int16_t numConfigs_ = 0;
};

// GMSK burst power: set-up by source, reference power by configuration (source 1) or the
// source's own CW power (source 2).
class clsGmskPower {
public:
    explicit clsGmskPower(MeasurementContext context) : checks_(context) {}

    double maxPowerErr() const { return checks_.maxPowerErr(); }
    double powerErrLowLimit() const { return -1.0; }
    double powerErrHighLimit() const { return 1.0; }
    std::string powerErrUnits() const { return "dB"; }
    void initMeas(std::int16_t numConfigs, double src1MainPower, double src1Offset1CWPower,
                  double src1Offset2CWPower) {
        checks_.initMeas(numConfigs, src1MainPower, src1Offset1CWPower, src1Offset2CWPower);
    }
    bool runMeas(instrument::ViSession vi, std::int16_t config, std::int16_t source);
    std::string getPowerErrPassFailString(double value) const { return checks_.passFail(value); }

private:
    bool setUp(instrument::ViSession vi, std::int16_t source) const;

    BurstPowerChecks checks_;
};

// EPSK (8PSK) burst power of source 1, reference power by configuration.
class clsEpskPower {
public:
    explicit clsEpskPower(MeasurementContext context) : checks_(context) {}

    double maxPowerErr() const { return checks_.maxPowerErr(); }
    double powerErrLowLimit() const { return -1.0; }
    double powerErrHighLimit() const { return 1.0; }
    std::string powerErrUnits() const { return "dB"; }
    void initMeas(std::int16_t numConfigs, double src1MainPower, double src1Offset1CWPower,
                  double src1Offset2CWPower) {
        checks_.initMeas(numConfigs, src1MainPower, src1Offset1CWPower, src1Offset2CWPower);
    }
    bool runMeas(instrument::ViSession vi, std::int16_t config, std::int16_t source);
    std::string getPowerErrPassFailString(double value) const { return checks_.passFail(value); }

private:
    bool setUp(instrument::ViSession vi) const;

    BurstPowerChecks checks_;
};

}  // namespace quillon::measurements
