// SPDX-License-Identifier: MIT
#include "measurements/burst_power.h"

#include <array>
#include <optional>
#include <vector>

#include "measurements/measurement_common.h"

namespace quillon::measurements {
namespace {

// The CW reference the measured burst 2 is compared with, per loopback configuration: burst 2
// sits at the main level less the first reduction in configuration 0, at the main level in
// 1 and 3, and at the main level less the second reduction in 2.
enum class Reference { Main, Offset1, Offset2 };
constexpr std::array<Reference, 4> kReferenceByConfig{Reference::Offset1, Reference::Main,
                                                      Reference::Offset2, Reference::Main};

}  // namespace

// ---- BurstPowerChecks ----

void BurstPowerChecks::initMeas(std::int16_t numConfigs, double src1MainPower,
                                double src1Offset1CWPower, double src1Offset2CWPower) {
    etxp_ = std::make_unique<clsEtxpBase>(context_);
    numConfigs_ = numConfigs;
    mainPower_ = src1MainPower;
    offset1CWPower_ = src1Offset1CWPower;
    offset2CWPower_ = src1Offset2CWPower;
    etxp_->initMeas(numConfigs, src1MainPower, src1Offset1CWPower, src1Offset2CWPower);
}

// Before initMeas there is no engine: no results (0) and no integrity.
double BurstPowerChecks::maxPowerErr() const {
    return etxp_ ? etxp_->maxPowerError() : 0.0;
}

std::vector<ConfigEntry> BurstPowerChecks::powerErrByConfig() const {
    return etxp_ ? etxp_->powerErrorByConfig() : std::vector<ConfigEntry>{};
}

std::string BurstPowerChecks::getPowerErrPassFailString(double value) const {
    return passFailText(etxp_ ? etxp_->worstIntegrity() : std::int16_t{0}, value,
                        {powerErrLowLimit(), powerErrHighLimit()});
}

std::optional<double> BurstPowerChecks::referenceForConfig(std::int16_t config) const {
    if (config < 0 || static_cast<std::size_t>(config) >= kReferenceByConfig.size()) {
        return std::nullopt;
    }
    switch (kReferenceByConfig[static_cast<std::size_t>(config)]) {
        case Reference::Offset1:
            return offset1CWPower_;
        case Reference::Offset2:
            return offset2CWPower_;
        case Reference::Main:
            break;
    }
    return mainPower_;
}

bool BurstPowerChecks::usable(std::int16_t config) const {
    return etxp_ != nullptr && config >= 0 && config < numConfigs_;
}

bool BurstPowerChecks::measure(instrument::ViSession vi, std::int16_t config, std::int16_t source,
                               double reference) {
    return etxp_->runMeas(vi, config, source, reference);
}

// ---- clsGmskPower ----

// Source 2's object holds its own CW power as the main power and compares with it whatever
// the configuration. A config with no table entry or no reference (or a run before initMeas)
// reports an error without touching the bus.
bool clsGmskPower::runMeas(instrument::ViSession vi, std::int16_t config, std::int16_t source) {
    if (!usable(config)) {
        return true;
    }
    const std::optional<double> reference =
        source == 0 ? referenceForConfig(config) : std::optional<double>(mainPower());
    if (!reference) {
        return true;
    }
    if (setUp(vi, source)) {
        return true;
    }
    return measure(vi, config, source, *reference);
}

// Count and trigger delay depend on the source and come last, after the done-clear.
bool clsGmskPower::setUp(instrument::ViSession vi, std::int16_t source) const {
    std::vector<std::string> commands{
        "CALL:PDTCHannel:MCSCheme:EBPT MCS4P1",
        "SETup:ETXPower:COUNt:STATe 1",
        "SETup:ETXPower:CONTinuous 0",
        "SETup:ETXPower:TRIGger:SOURce EXTERNAL",
        "CALL:MODulation:FORMAT:CONTROL:AUTO 0",
        "CALL:MODulation:FORMAT:MANUAL:BURST1 GMSK",
        "CALL:MODulation:FORMAT:MANUAL:BURST2 GMSK",
        "INITiate:DONE:CLEAR",
    };
    if (source == 0) {
        commands.push_back(
            countCommand("SETup:ETXPower:COUNt:NUMBer ", context().program.measurementIterations));
        commands.emplace_back("SETup:ETXPower:TRIGger:DELay 1.772ms");
    } else {
        commands.emplace_back("SETup:ETXPower:COUNt:NUMBer 1");
        commands.emplace_back("SETup:ETXPower:TRIGger:DELay 0");
    }
    return sendChain(context(), vi, false, commands);
}

// ---- clsEpskPower ----

// The reference follows the configuration whatever the source.
bool clsEpskPower::runMeas(instrument::ViSession vi, std::int16_t config, std::int16_t source) {
    if (!usable(config)) {
        return true;
    }
    const std::optional<double> reference = referenceForConfig(config);
    if (!reference) {
        return true;
    }
    if (setUp(vi)) {
        return true;
    }
    return measure(vi, config, source, *reference);
}

// Same count and delay for either source, both before the modulation commands.
bool clsEpskPower::setUp(instrument::ViSession vi) const {
    return sendChain(
        context(), vi, false,
        {
            "CALL:PDTCHannel:MCSCheme:EBPT MCS5P1",
            "SETup:ETXPower:COUNt:STATe 1",
            countCommand("SETup:ETXPower:COUNt:NUMBer ", context().program.measurementIterations),
            "SETup:ETXPower:CONTinuous 0",
            "SETup:ETXPower:TRIGger:SOURce EXTERNAL",
            "SETup:ETXPower:TRIGger:DELay 1.772ms",
            "SETup:ETXPower:SPECial 0",
            "CALL:MODulation:FORMAT:CONTROL:AUTO 0",
            "CALL:MODulation:FORMAT:MANUAL:BURST1 EPSK",
            "CALL:MODulation:FORMAT:MANUAL:BURST2 EPSK",
            "INITiate:DONE:CLEAR",
        });
}

}  // namespace quillon::measurements
