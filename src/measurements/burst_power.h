// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "measurements/clsEtxpBase.h"

namespace quillon::measurements {

// What the two burst power classes share: the transmit power engine, the three CW reference
// powers given at initMeas, the results, limits, units and pass/fail text for the results
// table. Each class adds its own set-up and its choice of reference.
class BurstPowerChecks {
  public:
    double maxPowerErr() const;
    double powerErrLowLimit() const { return -1.0; }
    double powerErrHighLimit() const { return 1.0; }
    std::string powerErrUnits() const { return "dB"; }
    void initMeas(std::int16_t numConfigs, double src1MainPower, double src1Offset1CWPower,
                  double src1Offset2CWPower);
    std::string getPowerErrPassFailString(double value) const;
    // Each configuration's power error and integrity, for records of the run.
    std::vector<ConfigEntry> powerErrByConfig() const;

  protected:
    explicit BurstPowerChecks(MeasurementContext context) : context_(context) {}

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
class clsGmskPower : public BurstPowerChecks {
  public:
    explicit clsGmskPower(MeasurementContext context) : BurstPowerChecks(context) {}

    bool runMeas(instrument::ViSession vi, std::int16_t config, std::int16_t source);

  private:
    bool setUp(instrument::ViSession vi, std::int16_t source) const;
};

// EPSK (8PSK) burst power of source 1, reference power by configuration.
class clsEpskPower : public BurstPowerChecks {
  public:
    explicit clsEpskPower(MeasurementContext context) : BurstPowerChecks(context) {}

    bool runMeas(instrument::ViSession vi, std::int16_t config, std::int16_t source);

  private:
    bool setUp(instrument::ViSession vi) const;
};

}  // namespace quillon::measurements
