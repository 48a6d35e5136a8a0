// SPDX-License-Identifier: MIT
#include "measurements/clsEtxpBase.h"

#include <cmath>

#include "measurements/measurement_common.h"

namespace quillon::measurements {
std::int16_t clsEtxpBase::worstIntegrity() const {
    return worstIntegrityOf(integrityByConfig_, numConfigs_);
}

// The entries are absolute deviations already, so the plain largest one is the worst.
double clsEtxpBase::maxPowerError() const {
    return largestEntry(powerErrByConfig_, numConfigs_);
}

std::vector<ConfigEntry> clsEtxpBase::powerErrorByConfig() const {
    return configEntries(powerErrByConfig_, integrityByConfig_, numConfigs_);
}

// The three powers belong to the owning burst power object; this engine only gets the
// reference of each run.
void clsEtxpBase::initMeas(std::int16_t numConfigs, double, double, double) {
    numConfigs_ = numConfigs;
    powerErrByConfig_ = zeroTable<double>(numConfigs);
    integrityByConfig_ = zeroTable<std::int16_t>(numConfigs);
}

// A config outside 0 to numConfigs - 1 (or a run before initMeas) has no entry to write: the
// run reports an error without touching the bus. The repeat looks at the stored integrity only,
// so an 11 left from an earlier run repeats even after a failed fetch; each repeat starts a
// fresh error chain.
bool clsEtxpBase::runMeas(instrument::ViSession vi, std::int16_t config, std::int16_t source,
                          double adjustmentValue) {
    if (!configInRange(config, numConfigs_, integrityByConfig_)) {
        return true;
    }
    const auto entry = static_cast<std::size_t>(config);
    const bool errorOccurred =
        runWithRetries(source, integrityByConfig_[entry], 1 + kMaxRetryRuns, false,
                       [&](bool) { return runOnce(vi, entry, adjustmentValue); });
    return sendChecked(context_, vi, errorOccurred, "INITiate:ETXPower:OFF");
}

bool clsEtxpBase::runOnce(instrument::ViSession vi, std::size_t entry, double adjustmentValue) {
    bool errorOccurred = sendChecked(context_, vi, false, "INIT:ETXPower:ON");
    errorOccurred = waitForCompletion(context_, vi, errorOccurred, "ETXP");
    double power = 0.0;
    errorOccurred = fetchNumber(context_, vi, errorOccurred, "FETCh:ETXPower:POWer?", power);
    if (errorOccurred) {
        return true;
    }
    powerErrByConfig_[entry] = std::abs(power - adjustmentValue);
    return fetchIntegrity(context_, vi, false, "FETCh:ETXPower:INTegrity?",
                          integrityByConfig_[entry]);
}

}  // namespace quillon::measurements
