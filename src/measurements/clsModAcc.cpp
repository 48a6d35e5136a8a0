// SPDX-License-Identifier: MIT
#include "measurements/clsModAcc.h"

#include <cmath>

#include "measurements/measurement_common.h"

namespace quillon::measurements {
namespace {

constexpr Limits kEpskFreqErrorLimits{-20.0, 20.0};
constexpr Limits kRmsEvmLimits{0.0, 4.0};
// The origin offset has a floor only; the high limit repeats it for the results table.
constexpr Limits kOriginOffsetLimits{35.0, 35.0};

}  // namespace

std::int16_t clsModAcc::worstIntegrity() const {
    return worstIntegrityOf(integrityByConfig_, numConfigs_);
}
double clsModAcc::worstEpskFreqError() const {
    return worstSigned(epskFreqErrByConfig_, numConfigs_);
}
double clsModAcc::worstRmsEvm() const {
    return largestEntry(rmsEvmByConfig_, numConfigs_);
}
double clsModAcc::worstOriginOffset() const {
    return smallestEntry(originOffsetByConfig_, numConfigs_);
}

std::vector<ConfigEntry> clsModAcc::epskFreqErrorByConfig() const {
    return configEntries(epskFreqErrByConfig_, integrityByConfig_, numConfigs_);
}
std::vector<ConfigEntry> clsModAcc::rmsEvmByConfig() const {
    return configEntries(rmsEvmByConfig_, integrityByConfig_, numConfigs_);
}
std::vector<ConfigEntry> clsModAcc::originOffsetByConfig() const {
    return configEntries(originOffsetByConfig_, integrityByConfig_, numConfigs_);
}

double clsModAcc::epskFreqErrorLowLimit(std::int16_t) const {
    return kEpskFreqErrorLimits.low;
}
double clsModAcc::epskFreqErrorHighLimit(std::int16_t) const {
    return kEpskFreqErrorLimits.high;
}
std::string clsModAcc::epskFreqErrorUnits() const {
    return "hz";
}
double clsModAcc::rmsEvmLowLimit(std::int16_t) const {
    return kRmsEvmLimits.low;
}
double clsModAcc::rmsEvmHighLimit(std::int16_t) const {
    return kRmsEvmLimits.high;
}
std::string clsModAcc::rmsEvmUnits() const {
    return "%";
}
double clsModAcc::originOffsetLowLimit(std::int16_t) const {
    return kOriginOffsetLimits.low;
}
double clsModAcc::originOffsetHighLimit(std::int16_t) const {
    return kOriginOffsetLimits.high;
}
std::string clsModAcc::originOffsetUnits() const {
    return "dB";
}

void clsModAcc::initMeas(std::int16_t numConfigs) {
    numConfigs_ = numConfigs;
    epskFreqErrByConfig_ = zeroTable<double>(numConfigs);
    rmsEvmByConfig_ = zeroTable<double>(numConfigs);
    originOffsetByConfig_ = zeroTable<double>(numConfigs);
    integrityByConfig_ = zeroTable<std::int16_t>(numConfigs);
}

// One attempt, no repeat on any integrity. A config outside 0 to numConfigs - 1 (or a run
// before initMeas) has no entry to write: the run reports an error without touching the bus.
bool clsModAcc::runMeas(instrument::ViSession vi, std::int16_t config) {
    if (!configInRange(config, numConfigs_, integrityByConfig_)) {
        return true;
    }
    bool errorOccurred = setUpAndStart(vi);
    errorOccurred = waitForCompletion(context_, vi, errorOccurred, "EMAC");
    errorOccurred = fetchResults(vi, config, errorOccurred);
    return sendChecked(context_, vi, errorOccurred, "INITiate:EMACcuracy:OFF");
}

bool clsModAcc::setUpAndStart(instrument::ViSession vi) const {
    return sendChain(
        context_, vi, false,
        {
            "CALL:PDTCHannel:MCSCheme:EBPT MCS5P1",
            "SETup:EMACcuracy:COUNt:STATe 1",
            countCommand("SETup:EMACcuracy:COUNt:NUMBer ", context_.program.measurementIterations),
            "SETup:EMACcuracy:CONTinuous 0",
            "SETup:EMACcuracy:TRIGger:SOURce PROTOCOL",
            "SETup:EMACcuracy:TRIGger:DELay -1.73ms",
            "INITiate:DONE:CLEAR",
            "INITiate:EMACcuracy:ON",
        });
}

bool clsModAcc::fetchResults(instrument::ViSession vi, std::int16_t config, bool errorOccurred) {
    const auto entry = static_cast<std::size_t>(config);
    errorOccurred = fetchNumber(context_, vi, errorOccurred, "FETCh:EMACcuracy:FERRor:WORSt?",
                                epskFreqErrByConfig_[entry]);
    errorOccurred = fetchNumber(context_, vi, errorOccurred, "FETCh:EMACcuracy:EVM:RMS?",
                                rmsEvmByConfig_[entry]);
    double originOffset = 0.0;
    errorOccurred =
        fetchNumber(context_, vi, errorOccurred, "FETCh:EMACcuracy:OOFFset?", originOffset);
    if (errorOccurred) {
        return true;
    }
    originOffsetByConfig_[entry] = std::abs(originOffset);
    return fetchIntegrity(context_, vi, false, "FETCh:EMACcuracy:INTegrity?",
                          integrityByConfig_[entry]);
}

std::string clsModAcc::getEpskFreqErrorPassFailString(double value, std::int16_t band) const {
    return passFailText(worstIntegrity(), value,
                        {epskFreqErrorLowLimit(band), epskFreqErrorHighLimit(band)});
}

std::string clsModAcc::getRmsEvmPassFailString(double value, std::int16_t band) const {
    return passFailText(worstIntegrity(), value, {rmsEvmLowLimit(band), rmsEvmHighLimit(band)});
}

// A floor only, and judged on the value alone: the integrity does not turn it into a failure.
std::string clsModAcc::getOriginOffsetPassFailString(double value, std::int16_t band) const {
    return value >= originOffsetLowLimit(band) ? "Pass" : "Fail";
}

}  // namespace quillon::measurements
