// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "measurements/measurement_common.h"
#include "measurements/measurement_context.h"

namespace quillon::measurements {

// The EDGE transmit power measurement behind the burst power checks: per configuration, how
// far the measured burst power lies from a reference power.
class clsEtxpBase {
  public:
    explicit clsEtxpBase(MeasurementContext context) : context_(context) {}

    std::int16_t worstIntegrity() const;
    double maxPowerError() const;
    std::vector<ConfigEntry> powerErrorByConfig() const;
    void initMeas(std::int16_t numConfigs, double mainPwrError, double offset1PwrError,
                  double offset2PwrError);
    bool runMeas(instrument::ViSession vi, std::int16_t config, std::int16_t source,
                 double adjustmentValue);

  private:
    bool runOnce(instrument::ViSession vi, std::size_t entry, double adjustmentValue);

    MeasurementContext context_;
    std::vector<double> powerErrByConfig_;
    std::vector<std::int16_t> integrityByConfig_;
    std::int16_t numConfigs_ = 0;
};

}  // namespace quillon::measurements
