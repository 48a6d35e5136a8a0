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

struct ReferencePowers {
    double main;
    double offset1;
    double offset2;
};

// No reference for a config outside the table.
std::optional<double> referenceForConfig(std::int16_t config, ReferencePowers powers) {
    if (config < 0 || static_cast<std::size_t>(config) >= kReferenceByConfig.size()) {
        return std::nullopt;
    }
    switch (kReferenceByConfig[static_cast<std::size_t>(config)]) {
        case Reference::Offset1:
            return powers.offset1;
        case Reference::Offset2:
            return powers.offset2;
        case Reference::Main:
            break;
    }
    return powers.main;
}

constexpr Limits kPowerErrLimits{-1.0, 1.0};

// Before initMeas there is no engine: no results (0) and no integrity.
double maxPowerErrOf(const std::unique_ptr<clsEtxpBase>& etxp) {
    return etxp ? etxp->maxPowerError() : 0.0;
}

std::string powerErrPassFail(const std::unique_ptr<clsEtxpBase>& etxp, double value) {
    return passFailText(etxp ? etxp->worstIntegrity() : std::int16_t{0}, value, kPowerErrLimits);
}

bool configUsable(const std::unique_ptr<clsEtxpBase>& etxp, std::int16_t config,
                  std::int16_t numConfigs) {
    return etxp != nullptr && config >= 0 && config < numConfigs;
}

}  // namespace

// ---- clsGmskPower ----

double clsGmskPower::maxPowerErr() const {
    return maxPowerErrOf(etxp_);
}

void clsGmskPower::initMeas(std::int16_t numConfigs, double src1MainPower,
                            double src1Offset1CWPower, double src1Offset2CWPower) {
    etxp_ = std::make_unique<clsEtxpBase>(context_);
    numConfigs_ = numConfigs;
    src1MainPower_ = src1MainPower;
    src1Offset1CWPower_ = src1Offset1CWPower;
    src1Offset2CWPower_ = src1Offset2CWPower;
    etxp_->initMeas(numConfigs, src1MainPower, src1Offset1CWPower, src1Offset2CWPower);
}

// Source 2's object holds its own CW power as the main power and compares with it whatever
// the configuration. A config with no table entry or no reference (or a run before initMeas)
// reports an error without touching the bus.
bool clsGmskPower::runMeas(instrument::ViSession vi, std::int16_t config, std::int16_t source) {
    if (!configUsable(etxp_, config, numConfigs_)) return true;
    const std::optional<double> reference =
        source == 0
            ? referenceForConfig(config, {src1MainPower_, src1Offset1CWPower_, src1Offset2CWPower_})
            : std::optional<double>(src1MainPower_);
    if (!reference) return true;
    if (setUp(vi, source)) return true;
    return etxp_->runMeas(vi, config, source, *reference);
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
            countCommand("SETup:ETXPower:COUNt:NUMBer ", context_.program.measurementIterations));
        commands.emplace_back("SETup:ETXPower:TRIGger:DELay 1.772ms");
    } else {
        commands.emplace_back("SETup:ETXPower:COUNt:NUMBer 1");
        commands.emplace_back("SETup:ETXPower:TRIGger:DELay 0");
    }
    return sendChain(context_, vi, false, commands);
}

std::string clsGmskPower::getPowerErrPassFailString(double value) const {
    return powerErrPassFail(etxp_, value);
}

// ---- clsEpskPower ----

double clsEpskPower::maxPowerErr() const {
    return maxPowerErrOf(etxp_);
}

void clsEpskPower::initMeas(std::int16_t numConfigs, double src1MainPower,
                            double src1Offset1CWPower, double src1Offset2CWPower) {
    etxp_ = std::make_unique<clsEtxpBase>(context_);
    numConfigs_ = numConfigs;
    src1MainPower_ = src1MainPower;
    src1Offset1CWPower_ = src1Offset1CWPower;
    src1Offset2CWPower_ = src1Offset2CWPower;
    etxp_->initMeas(numConfigs, src1MainPower, src1Offset1CWPower, src1Offset2CWPower);
}

// The reference follows the configuration whatever the source. A config with no table entry
// or no reference (or a run before initMeas) reports an error without touching the bus.
bool clsEpskPower::runMeas(instrument::ViSession vi, std::int16_t config, std::int16_t source) {
    if (!configUsable(etxp_, config, numConfigs_)) return true;
    const std::optional<double> reference =
        referenceForConfig(config, {src1MainPower_, src1Offset1CWPower_, src1Offset2CWPower_});
    if (!reference) return true;
    if (setUp(vi)) return true;
    return etxp_->runMeas(vi, config, source, *reference);
}

// Same count and delay for either source, both before the modulation commands.
bool clsEpskPower::setUp(instrument::ViSession vi) const {
    return sendChain(
        context_, vi, false,
        {
            "CALL:PDTCHannel:MCSCheme:EBPT MCS5P1",
            "SETup:ETXPower:COUNt:STATe 1",
            countCommand("SETup:ETXPower:COUNt:NUMBer ", context_.program.measurementIterations),
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

std::string clsEpskPower::getPowerErrPassFailString(double value) const {
    return powerErrPassFail(etxp_, value);
}

}  // namespace quillon::measurements
