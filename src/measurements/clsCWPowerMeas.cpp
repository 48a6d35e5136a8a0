// SPDX-License-Identifier: MIT
#include "measurements/clsCWPowerMeas.h"

#include <string>
#include <vector>

#include "instrument/conventions.h"
#include "measurements/measurement_common.h"

namespace quillon::measurements {

// Always 50 measurements, triggered at once; the measurement is left on afterwards.
bool clsCWPowerMeas::runMeas(instrument::ViSession vi, double power, double loopbackGain,
                             double& result) {
    const std::vector<std::string> commands{
        "CALL:CELL:POWer:AMPlitude:CW " + instrument::levelText(power),
        "PL13:LATC:RFINT:PATH:SOURCE1 1",
        "PL13:LATC:RFINT:PATH:SOURCE2 1",
        "PL13:LATC:RFINT:LOOPBACK 1",
        "RFANALyzer:CONTrol:POWer:AUTO 0",
        "RFANALyzer:CONTrol:MEASurement:FREQuency:AUTO 0",
        "RFANalyzer:CW:EXPected:POWer " + instrument::levelText(power + loopbackGain),
        "SETup:TXPower:COUNt:STATe 1",
        "SETup:TXPower:COUNt:NUMBer 50",
        "SETup:TXPower:CONTinuous 0",
        "SETup:TXPower:TRIGger:SOURce IMMediate",
        "INITiate:DONE:CLEAR",
        "INITiate:TXPower:ON",
    };
    bool errorOccurred = sendChain(context_, vi, false, commands);
    errorOccurred = waitForCompletion(context_, vi, errorOccurred, "TXP");
    return fetchNumber(context_, vi, errorOccurred, "FETCh:TXPower:POWer?", result);
}

}  // namespace quillon::measurements
