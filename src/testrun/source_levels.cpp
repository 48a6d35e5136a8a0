// SPDX-License-Identifier: MIT
#include "testrun/source_levels.h"

#include <chrono>
#include <string>

#include "instrument/conventions.h"
#include "measurements/clsCWPowerMeas.h"
#include "measurements/measurement_common.h"
#include "testrun/operator_interface.h"

namespace quillon::testrun {
namespace {

using namespace std::chrono_literals;
using instrument::levelText;

constexpr double kSearchStart = -9.0;  // the first level commanded is one below
constexpr double kMainAttenuation = 10.0;
constexpr double kOffsetAttenuation = 20.0;
// The searches step down until the attenuation reading changes. A test set that accepts every
// level but never reports the reading would otherwise keep the run stepping for good; no level
// this far below the working levels (-10 dBm and a few tens of dB under it) can be the answer,
// so reaching it ends the search as a failed step.
constexpr double kLowestSearchLevel = -130.0;
constexpr auto kSource2Settle = 1000ms;

constexpr const char* kAmplitudeCommand = "CALL:CELL:POWer:AMPLitude ";
constexpr const char* kAttenuationQuery = "PL13:STATes:RFS1:LEVel:NORMal:ATTenuation?";

}  // namespace

measurements::MeasurementContext SourceLevels::context() const {
    return {visa_, program_};
}

// Steps level down 1 dB at a time until source 1's attenuation reads exactly target. With
// previousLevel, the level before each step is kept there. True when a command failed, the
// query timed out or the lowest level was passed.
bool SourceLevels::searchAttenuation(instrument::ViSession session, double target, double& level,
                                     double* previousLevel) {
    bool errorOccurred = false;
    double attenuation = 0.0;
    while (attenuation != target && !errorOccurred) {
        ui_.yield();
        if (level - 1.0 < kLowestSearchLevel) {
            errorOccurred = true;
            continue;
        }
        if (previousLevel != nullptr) {
            *previousLevel = level;
        }
        level -= 1.0;
        errorOccurred = visa_.sendWithStatusCheck(
            session, false, kAmplitudeCommand + instrument::shortestText(level));
        if (errorOccurred) {
            continue;
        }
        std::string reply;
        errorOccurred = visa_.queryInstrument(session, kAttenuationQuery, reply);
        attenuation = instrument::readLeadingNumber(reply);
    }
    return errorOccurred;
}

bool SourceLevels::findPowerThresholds(instrument::ViSession vi, const Band& band) {
    ui_.setLabel(FormLabel::TestStatus, std::string("Finding power thresholds for ") + band.name);
    Levels& l = levels_;
    l.mainPower = kSearchStart;
    bool errorOccurred = searchAttenuation(vi, kMainAttenuation, l.mainPower, nullptr);
    if (!errorOccurred) {
        ui_.setLabel(FormLabel::MainPower, levelText(l.mainPower));
    }

    // The second search ends at the first level that reads 20 and keeps the one above it.
    double offset2Level = l.mainPower;
    double offset1Level = l.offset1Reduction;
    if (!errorOccurred) {
        errorOccurred = searchAttenuation(vi, kOffsetAttenuation, offset2Level, &offset1Level);
    }
    l.offset1Reduction = l.mainPower - offset1Level;
    l.offset2Reduction = l.mainPower - offset2Level;
    if (errorOccurred) {
        return true;
    }
    ui_.setLabel(FormLabel::Offset1Power, levelText(l.offset1Reduction));
    ui_.setLabel(FormLabel::Offset2Power, levelText(l.offset2Reduction));
    return false;
}

bool SourceLevels::measureSource1CWPowers(instrument::ViSession session) {
    measurements::clsCWPowerMeas cw(context());
    Levels& l = levels_;
    bool errorOccurred =
        measurements::sendChain(context(), session, false,
                                {"CALL:CELL:OPERating:MODE CW", "PL13:STATES:RFS2:LEVEL:RF OFF"});
    if (!errorOccurred) {
        errorOccurred = cw.runMeas(session, l.mainPower, kLoopbackGain, l.src1MainPower);
    }
    if (!errorOccurred) {
        errorOccurred = cw.runMeas(session, l.mainPower - l.offset1Reduction, kLoopbackGain,
                                   l.src1Offset1CWPower);
    }
    if (!errorOccurred) {
        errorOccurred = cw.runMeas(session, l.mainPower - l.offset2Reduction, kLoopbackGain,
                                   l.src1Offset2CWPower);
    }
    return errorOccurred;
}

bool SourceLevels::measureSource2CWPower(instrument::ViSession session, const Band& band) {
    measurements::clsCWPowerMeas cw(context());
    Levels& l = levels_;
    bool errorOccurred = measurements::sendChain(
        context(), session, false,
        {
            "CALL:OPER:MODE CW",
            "RFANalyzer:CONTrol:POWer:AUTO 0",
            "RFANalyzer:CONTrol:MEASurement:FREQuency:AUTO 0",
            "RFANalyzer:CW:EXPected:POWer " + levelText(l.mainPower + kLoopbackGain),
            "PL13:STATes:RFS1:LEVel:RF OFF",
            "PL13:STATes:RFS2:LEVel:RF ON",
            "PL13:STATes:RFS2:DIGM:IQM OFF",
            std::string("PL13:STATes:RFS2:FREQuency ") + band.frequency,
            "PL13:STATes:RFS2:LEVel:NORM:AMPL " + levelText(l.mainPower),
        });
    ui_.pause(kSource2Settle);
    if (!errorOccurred) {
        errorOccurred = cw.runMeas(session, l.mainPower, kLoopbackGain, l.src2MainPower);
    }
    return errorOccurred;
}

}  // namespace quillon::testrun
