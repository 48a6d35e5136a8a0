// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "measurements/measurement_common.h"
#include "measurements/measurement_context.h"

namespace quillon::measurements {

// EPSK modulation accuracy of source 1: frequency error, RMS EVM and origin offset.
class clsModAcc {
  public:
    explicit clsModAcc(MeasurementContext context) : context_(context) {}

    std::int16_t worstIntegrity() const;
    double worstEpskFreqError() const;
    double worstRmsEvm() const;
    double worstOriginOffset() const;
    double epskFreqErrorLowLimit(std::int16_t band) const;
    double epskFreqErrorHighLimit(std::int16_t band) const;
    std::string epskFreqErrorUnits() const;
    double rmsEvmLowLimit(std::int16_t band) const;
    double rmsEvmHighLimit(std::int16_t band) const;
    std::string rmsEvmUnits() const;
    double originOffsetLowLimit(std::int16_t band) const;
    double originOffsetHighLimit(std::int16_t band) const;
    std::string originOffsetUnits() const;
    void initMeas(std::int16_t numConfigs);
    bool runMeas(instrument::ViSession vi, std::int16_t config);
    std::string getEpskFreqErrorPassFailString(double value, std::int16_t band) const;
    std::string getRmsEvmPassFailString(double value, std::int16_t band) const;
    std::string getOriginOffsetPassFailString(double value, std::int16_t band) const;
    // Each configuration's value and integrity, for records of the run.
    std::vector<ConfigEntry> epskFreqErrorByConfig() const;
    std::vector<ConfigEntry> rmsEvmByConfig() const;
    std::vector<ConfigEntry> originOffsetByConfig() const;

  private:
    bool setUpAndStart(instrument::ViSession vi) const;
    bool fetchResults(instrument::ViSession vi, std::int16_t config, bool errorOccurred);

    MeasurementContext context_;
    std::int16_t numConfigs_ = 0;
    std::vector<double> epskFreqErrByConfig_;
    std::vector<double> rmsEvmByConfig_;
    std::vector<double> originOffsetByConfig_;
    std::vector<std::int16_t> integrityByConfig_;
};

}  // namespace quillon::measurements
