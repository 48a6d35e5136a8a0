// SPDX-License-Identifier: MIT
#include "testrun/loopback.h"

#include <array>
#include <string>
#include <vector>

#include "instrument/conventions.h"

namespace quillon::testrun {
namespace {

using instrument::levelText;

enum class Reduction { None, Offset1, Offset2 };
struct ConfigReductions {
    Reduction burst1;
    Reduction burst2;
};

// Burst 1 uses power reduction level 1, burst 2 level 2; the analyzer measures burst 2.
constexpr std::array<ConfigReductions, 4> kConfigReductions = {{
    {Reduction::None, Reduction::Offset1},
    {Reduction::Offset1, Reduction::None},
    {Reduction::None, Reduction::Offset2},
    {Reduction::Offset2, Reduction::None},
}};
static_assert(kConfigReductions.size() == kSource1Configs);

double reductionDb(Reduction reduction, const Levels& levels) {
    switch (reduction) {
        case Reduction::Offset1:
            return levels.offset1Reduction;
        case Reduction::Offset2:
            return levels.offset2Reduction;
        case Reduction::None:
            break;
    }
    return 0.0;
}

}  // namespace

std::vector<std::string> source1Arrangement(const Band& band) {
    const std::string frequency = band.frequency;
    return {
        "CALL:CELL:OPERating:MODE EBPT",
        "CALL:CELL:POWer:AMPLitude -10",
        "CALL:SETup:PDTChannel:MSLot:CONFig D2U2",
        "CALL:PDTChannel:PREDuction:LEV1 0",
        "CALL:PDTChannel:PREDuction:LEV2 0",
        "CALL:PDTChannel:PREDuction:BURS1 PRL1",
        "CALL:PDTChannel:PREDuction:BURS2 PRL2",
        "PL13:STATes:RFS2:Level:RF OFF",
        "PL13:STATes:RFIO:RFSource:DESTination S1S2LOOPBACK",
        "CALL:CELL:OPERating:MODE CW",
        "CALL:CELL:RFGenerator:FREQuency " + frequency,
        "CALL:CELL:OPERating:MODE EBPT",
        std::string("CALL:CELL:BAND ") + band.name,
        "CALL:PDTChannel:ARFCn " + std::to_string(band.arfcn),
        "RFAN:Control:MEASurement:FREQuency:AUTO 0",
        "RFANalyzer:MANual:MEASurement:FREQuency " + frequency,
        "PL13:STATES:RFS2:LEVEL:RF OFF",
        "PL13:STATES:RFS1:LEVEL:RF ON",
    };
}

// The loopback destination set by the source 1 arrangement stays in force.
std::vector<std::string> source2Arrangement(const Band& band, const Levels& l) {
    const std::string frequency = band.frequency;
    return {
        "CALL:CELL:OPERating:MODE CW",
        "CALL:CELL:RFGenerator:FREQuency " + frequency,
        "CALL:CELL:OPERating:MODE EBPT",
        std::string("CALL:CELL:BAND ") + band.name,
        "CALL:PDTChannel:ARFCn " + std::to_string(band.secondArfcn),
        "CALL:CELL:BCH:ARFCn " + std::to_string(band.arfcn),
        "RFAN:CONTrol:MEASurement:FREQuency:AUTO 0",
        "RFANalyzer:MANual:MEASurement:FREQuency " + frequency,
        "CALL:CELL:OPERating:MODE EBT",
        "CALL:PDTChannel:MSLOT:CONFIG D2U1",
        "CALL:CELL:POWer:AMPlitude " + levelText(l.mainPower),
        "CALL:PDTChannel:PREDuction:LEV1 0",
        "CALL:PDTChannel:PREDuction:LEV2 " + levelText(l.offset1Reduction),
        "RFANALyzer:CONTrol:POWer:AUTO 0",
        "RFANALyzer:CONTrol:MEASurement:FREQuency:AUTO 0",
        "RFANalyzer:MANual:POWer:SELected:SELected:BURST1 " +
            levelText(l.mainPower + kLoopbackGain),
        "RFANalyzer:MANual:POWer:SELected:SELected:BURST2 " +
            levelText(l.mainPower - l.offset1Reduction + kLoopbackGain),
        "PL13:STATES:RFS2:LEVEL:RF ON",
        "PL13:STATES:RFS1:LEVEL:RF OFF",
    };
}

std::vector<std::string> configCommands(std::int16_t index, const Levels& l) {
    if (index < 0 || static_cast<std::size_t>(index) >= kConfigReductions.size()) {
        return {};
    }
    const ConfigReductions& config = kConfigReductions[static_cast<std::size_t>(index)];
    const double reduction1 = reductionDb(config.burst1, l);
    const double reduction2 = reductionDb(config.burst2, l);
    return {
        "CALL:CELL:OPERating:MODE EBPT",
        "CALL:PDTChannel:MSLOT:CONFIG D2U2",
        "CALL:CELL:POWer:AMPlitude " + levelText(l.mainPower),
        "CALL:PDTChannel:PREDuction:LEV1 " + levelText(reduction1),
        "CALL:PDTChannel:PREDuction:LEV2 " + levelText(reduction2),
        "RFANalyzer:CONTrol:POWer:AUTO 0",
        "RFANalyzer:CONTrol:MEASurement:FREQuency:AUTO 0",
        "RFANalyzer:MANual:POWer:Selected:Selected:BURSt1 " +
            levelText(l.mainPower - reduction1 + kLoopbackGain),
        "RFANalyzer:MANual:POWer:Selected:Selected:BURSt2 " +
            levelText(l.mainPower - reduction2 + kLoopbackGain),
        "RFANalyzer:MSLOt:MEASurement:BURSt 2",
        "CALL:TRIGGER:OUTPUT:FRAME:NIDLe:STATE ON",
        "PL13:STATes:RFS1:LEVel:RF ON",
        "PL13:STATES:RFS2:Level:RF OFF",
    };
}

}  // namespace quillon::testrun
