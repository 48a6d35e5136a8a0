// SPDX-License-Identifier: MIT
#include "measurements/clsPVTMeas.h"

#include "measurements/measurement_common.h"

namespace quillon::measurements {
namespace {

constexpr Limits kBurstFlatnessLimits{-1.0, 1.0};

// On source 2 the test set reports 25 for a burst it measured normally; it counts as 0 there.
constexpr std::int16_t kSource2NormalIntegrity = 25;

const std::vector<std::string> kCommonSetUp{
    "CALL:PDTCHannel:MCSCheme:EBPT MCS4P1",
    "SETup:PVTime:COUNt:state 1",
    "SETup:PVTime:CONTinuous 0",
    "SETup:PVTime:TRIGger:Source EXTERNAL",
    "SETup:PVTime:CUSTOM1:MASK:UPPER 0us,4dBc,593us,1dBc",
    "SETup:PVTime:CUSTOM1:MASK:LOWER 0us,-200dBc,542.7us,-1dBc,593us,-200dBc",
    "SETup:PVTime:BURST1:MASK CUSTOM1",
    "SETup:PVTime:BURST2:MASK CUSTOM1",
    "INITiate:DONE:CLEAr",
};

}  // namespace

// 1 dB less the smallest mask number, upper and lower alike. Before initMeas the tables are
// empty and read as 0, like freshly initialised ones.
double clsPVTMeas::worstBurstFlatness() const {
    const double upper = smallestEntry(upperMaskByConfig_, numConfigs_);
    const double lower = smallestEntry(lowerMaskByConfig_, numConfigs_);
    return 1.0 - (lower < upper ? lower : upper);
}

std::vector<ConfigEntry> clsPVTMeas::burstFlatnessByConfig() const {
    std::vector<double> flatness;
    for (std::size_t i = 0; i < upperMaskByConfig_.size() && i < lowerMaskByConfig_.size(); ++i) {
        const double upper = upperMaskByConfig_[i];
        const double lower = lowerMaskByConfig_[i];
        flatness.push_back(1.0 - (lower < upper ? lower : upper));
    }
    return configEntries(flatness, integrityByConfig_, numConfigs_);
}

double clsPVTMeas::burstFlatnessLowLimit(std::int16_t) const {
    return kBurstFlatnessLimits.low;
}
double clsPVTMeas::burstFlatnessHighLimit(std::int16_t) const {
    return kBurstFlatnessLimits.high;
}
std::string clsPVTMeas::burstFlatnessUnits() const {
    return "dB";
}

std::int16_t clsPVTMeas::worstIntegrity() const {
    return worstIntegrityOf(integrityByConfig_, numConfigs_);
}

void clsPVTMeas::initMeas(std::int16_t numConfigs) {
    numConfigs_ = numConfigs;
    upperMaskByConfig_ = zeroTable<double>(numConfigs);
    lowerMaskByConfig_ = zeroTable<double>(numConfigs);
    integrityByConfig_ = zeroTable<std::int16_t>(numConfigs);
}

// A config outside 0 to numConfigs - 1 (or a run before initMeas) has no entry to write: the
// run reports an error without touching the bus.
bool clsPVTMeas::runMeas(instrument::ViSession vi, std::int16_t config, std::int16_t source) {
    if (!configInRange(config, numConfigs_, integrityByConfig_)) {
        return true;
    }
    bool errorOccurred = setUp(vi, source);
    errorOccurred = runWithRetries(
        source, integrityByConfig_[static_cast<std::size_t>(config)], kMaxRetryRuns, errorOccurred,
        [&](bool errorSoFar) { return startWaitAndFetch(vi, config, source, errorSoFar); });
    return sendChecked(context_, vi, errorOccurred, "INITiate:PVTime:OFF");
}

bool clsPVTMeas::setUp(instrument::ViSession vi, std::int16_t source) const {
    std::vector<std::string> commands = kCommonSetUp;
    if (source == 0) {
        commands.push_back(
            countCommand("SETup:PVTime:COUNt:NUMBer ", context_.program.measurementIterations));
        commands.emplace_back("SETup:PVTime:TRIGger:DELAY 1.772ms");
    } else {
        commands.emplace_back("SETup:PVTime:COUNt:NUMBer 1");
        commands.emplace_back("SETup:PVTime:TRIGger:DELAY 0");
    }
    return sendChain(context_, vi, false, commands);
}

bool clsPVTMeas::startWaitAndFetch(instrument::ViSession vi, std::int16_t config,
                                   std::int16_t source, bool errorOccurred) {
    const auto entry = static_cast<std::size_t>(config);
    errorOccurred = sendChecked(context_, vi, errorOccurred, "INITiate:PVTime:ON");
    errorOccurred = waitForCompletion(context_, vi, errorOccurred, "PVT");
    errorOccurred = fetchNumber(context_, vi, errorOccurred, "FETCh:PVTime:MASK:UPPER?",
                                upperMaskByConfig_[entry]);
    errorOccurred = fetchNumber(context_, vi, errorOccurred, "FETCh:PVTime:MASK:LOWER?",
                                lowerMaskByConfig_[entry]);
    if (errorOccurred) {
        return true;
    }
    std::int16_t& integrity = integrityByConfig_[entry];
    if (fetchIntegrity(context_, vi, false, "FETCh:PVTime:INTegrity?", integrity)) {
        return true;
    }
    if (source == 1 && integrity == kSource2NormalIntegrity) {
        integrity = 0;
    }
    return false;
}

std::string clsPVTMeas::getBurstFlatnessPassFailString(double value, std::int16_t band) const {
    return passFailText(worstIntegrity(), value,
                        {burstFlatnessLowLimit(band), burstFlatnessHighLimit(band)});
}

}  // namespace quillon::measurements
