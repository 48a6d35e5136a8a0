// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "measurements/measurement_common.h"
#include "measurements/measurement_context.h"

namespace quillon::measurements {

// GMSK phase and frequency error, kept per loopback configuration.
class clsPFERMeas {
  public:
    explicit clsPFERMeas(MeasurementContext context) : context_(context) {}

    std::int16_t worstIntegrity() const;
    double maxFreqError() const;
    double maxRmsPhaseError() const;
    double maxPeakPhaseError() const;
    double freqErrLowLimit(std::int16_t band) const;
    double freqErrHighLimit(std::int16_t band) const;
    double rmsPhaseErrLowLimit(std::int16_t band) const;
    double rmsPhaseErrHighLimit(std::int16_t band) const;
    double peakPhaseErrLowLimit(std::int16_t band) const;
    double peakPhaseErrHighLimit(std::int16_t band) const;
    std::string freqErrUnits() const;
    std::string rmsPhaseErrUnits() const;
    std::string peakPhaseErrUnits() const;
    void initMeas(std::int16_t numConfigs);
    bool runMeas(instrument::ViSession vi, std::int16_t config, std::int16_t source);
    std::string getFreqErrPassFailString(double value, std::int16_t band) const;
    std::string getRmsPhaseErrPassFailString(double value, std::int16_t band) const;
    std::string getPeakPhaseErrPassFailString(double value, std::int16_t band) const;
    // Each configuration's value and integrity, for records of the run.
    std::vector<ConfigEntry> freqErrByConfig() const;
    std::vector<ConfigEntry> rmsPhaseErrByConfig() const;
    std::vector<ConfigEntry> peakPhaseErrByConfig() const;

  private:
    bool setUp(instrument::ViSession vi, std::int16_t source) const;
    bool startWaitAndFetch(instrument::ViSession vi, std::int16_t config, bool errorOccurred);

    MeasurementContext context_;
    std::vector<double> freqErrByConfig_;
    std::vector<double> rmsPhaseErrByConfig_;
    std::vector<double> peakPhaseErrByConfig_;
    std::vector<std::int16_t> integrityByConfig_;
    std::int16_t numConfigs_ = 0;
};

}  // namespace quillon::measurements
