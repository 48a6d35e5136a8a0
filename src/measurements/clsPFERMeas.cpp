// SPDX-License-Identifier: MIT
#include "measurements/clsPFERMeas.h"

#include "measurements/measurement_common.h"

namespace quillon::measurements {
namespace {

constexpr Limits kFreqErrLimits{-20.0, 20.0};
constexpr Limits kRmsPhaseErrLimits{0.0, 1.0};
constexpr Limits kPeakPhaseErrLimits{-4.0, 4.0};

const std::vector<std::string> kCommonSetUp{
    "CALL:PDTCHannel:MCSCheme:EBPT MCS4P1", "SETup:PFERror:count:state 1",
    "SETup:PFERror:CONTinuous 0",           "SETup:PFERror:TRIGger:SOURce PROTOCOL",
    "SETup:PFERror:TRIGger:DELay -1.73ms",
};

}  // namespace

std::int16_t clsPFERMeas::worstIntegrity() const {
    return worstIntegrityOf(integrityByConfig_, numConfigs_);
}
double clsPFERMeas::maxFreqError() const {
    return worstSigned(freqErrByConfig_, numConfigs_);
}
double clsPFERMeas::maxRmsPhaseError() const {
    return worstSigned(rmsPhaseErrByConfig_, numConfigs_);
}
double clsPFERMeas::maxPeakPhaseError() const {
    return worstSigned(peakPhaseErrByConfig_, numConfigs_);
}

std::vector<ConfigEntry> clsPFERMeas::freqErrByConfig() const {
    return configEntries(freqErrByConfig_, integrityByConfig_, numConfigs_);
}
std::vector<ConfigEntry> clsPFERMeas::rmsPhaseErrByConfig() const {
    return configEntries(rmsPhaseErrByConfig_, integrityByConfig_, numConfigs_);
}
std::vector<ConfigEntry> clsPFERMeas::peakPhaseErrByConfig() const {
    return configEntries(peakPhaseErrByConfig_, integrityByConfig_, numConfigs_);
}

double clsPFERMeas::freqErrLowLimit(std::int16_t) const {
    return kFreqErrLimits.low;
}
double clsPFERMeas::freqErrHighLimit(std::int16_t) const {
    return kFreqErrLimits.high;
}
double clsPFERMeas::rmsPhaseErrLowLimit(std::int16_t) const {
    return kRmsPhaseErrLimits.low;
}
double clsPFERMeas::rmsPhaseErrHighLimit(std::int16_t) const {
    return kRmsPhaseErrLimits.high;
}
double clsPFERMeas::peakPhaseErrLowLimit(std::int16_t) const {
    return kPeakPhaseErrLimits.low;
}
double clsPFERMeas::peakPhaseErrHighLimit(std::int16_t) const {
    return kPeakPhaseErrLimits.high;
}
std::string clsPFERMeas::freqErrUnits() const {
    return "Hz";
}
std::string clsPFERMeas::rmsPhaseErrUnits() const {
    return "deg";
}
std::string clsPFERMeas::peakPhaseErrUnits() const {
    return "deg";
}

void clsPFERMeas::initMeas(std::int16_t numConfigs) {
    numConfigs_ = numConfigs;
    freqErrByConfig_ = zeroTable<double>(numConfigs);
    rmsPhaseErrByConfig_ = zeroTable<double>(numConfigs);
    peakPhaseErrByConfig_ = zeroTable<double>(numConfigs);
    integrityByConfig_ = zeroTable<std::int16_t>(numConfigs);
}

// A config outside 0 to numConfigs - 1 (or a run before initMeas) has no entry to write: the
// run reports an error without touching the bus.
bool clsPFERMeas::runMeas(instrument::ViSession vi, std::int16_t config, std::int16_t source) {
    if (!configInRange(config, numConfigs_, integrityByConfig_)) {
        return true;
    }
    bool errorOccurred = setUp(vi, source);
    errorOccurred = runWithRetries(
        source, integrityByConfig_[static_cast<std::size_t>(config)], kMaxRetryRuns, errorOccurred,
        [&](bool errorSoFar) { return startWaitAndFetch(vi, config, errorSoFar); });
    return sendChecked(context_, vi, errorOccurred, "INIT:PFER:OFF");
}

bool clsPFERMeas::setUp(instrument::ViSession vi, std::int16_t source) const {
    std::vector<std::string> commands = kCommonSetUp;
    commands.push_back(source == 0 ? countCommand("SETup:PFERror:COUNt:NUMBer ",
                                                  context_.program.measurementIterations)
                                   : std::string("SETup:PFERror:COUNt:NUMBer 1"));
    return sendChain(context_, vi, false, commands);
}

bool clsPFERMeas::startWaitAndFetch(instrument::ViSession vi, std::int16_t config,
                                    bool errorOccurred) {
    const auto entry = static_cast<std::size_t>(config);
    errorOccurred = sendChecked(context_, vi, errorOccurred, "INIT:PFER:ON");
    errorOccurred = waitForCompletion(context_, vi, errorOccurred, "PFER");
    errorOccurred = fetchNumber(context_, vi, errorOccurred, "FETCh:PFERror:FERRor:WORSt?",
                                freqErrByConfig_[entry]);
    errorOccurred = fetchNumber(context_, vi, errorOccurred, "FETCh:PFERror:RMS:MAXimum?",
                                rmsPhaseErrByConfig_[entry]);
    errorOccurred = fetchNumber(context_, vi, errorOccurred, "FETCh:PFERror:PEAK:MAXimum?",
                                peakPhaseErrByConfig_[entry]);
    return fetchIntegrity(context_, vi, errorOccurred, "FETCh:PFERror:INTegrity?",
                          integrityByConfig_[entry]);
}

std::string clsPFERMeas::getFreqErrPassFailString(double value, std::int16_t band) const {
    return passFailText(worstIntegrity(), value, {freqErrLowLimit(band), freqErrHighLimit(band)});
}

std::string clsPFERMeas::getRmsPhaseErrPassFailString(double value, std::int16_t band) const {
    return passFailText(worstIntegrity(), value,
                        {rmsPhaseErrLowLimit(band), rmsPhaseErrHighLimit(band)});
}

std::string clsPFERMeas::getPeakPhaseErrPassFailString(double value, std::int16_t band) const {
    return passFailText(worstIntegrity(), value,
                        {peakPhaseErrLowLimit(band), peakPhaseErrHighLimit(band)});
}

}  // namespace quillon::measurements
