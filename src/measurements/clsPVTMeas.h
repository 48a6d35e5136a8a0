// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "measurements/measurement_common.h"
#include "measurements/measurement_context.h"

namespace quillon::measurements {

// GMSK power versus time against a custom mask, reduced to a burst flatness per configuration.
class clsPVTMeas {
  public:
    explicit clsPVTMeas(MeasurementContext context) : context_(context) {}

    double worstBurstFlatness() const;
    double burstFlatnessLowLimit(std::int16_t band) const;
    double burstFlatnessHighLimit(std::int16_t band) const;
    std::string burstFlatnessUnits() const;
    std::int16_t worstIntegrity() const;
    void initMeas(std::int16_t numConfigs);
    bool runMeas(instrument::ViSession vi, std::int16_t config, std::int16_t source);
    std::string getBurstFlatnessPassFailString(double value, std::int16_t band) const;
    // Each configuration's burst flatness (from its own two mask numbers) and integrity.
    std::vector<ConfigEntry> burstFlatnessByConfig() const;

  private:
    bool setUp(instrument::ViSession vi, std::int16_t source) const;
    bool startWaitAndFetch(instrument::ViSession vi, std::int16_t config, std::int16_t source,
                           bool errorOccurred);

    MeasurementContext context_;
    std::vector<double> upperMaskByConfig_;
    std::vector<double> lowerMaskByConfig_;
    std::vector<std::int16_t> integrityByConfig_;
    std::int16_t numConfigs_ = 0;
};

}  // namespace quillon::measurements
