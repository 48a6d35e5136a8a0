// SPDX-License-Identifier: MIT
// The simulated test set accepts every command and query the program sends, exactly as the
// program writes them, and matches keywords by their short and long forms in any case.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim_session.h"

namespace quillon::sim_test {
namespace {

// One step of a script: a command, a query (text ends with '?' before any parameters) or a
// wait until "INIT:DONE?" names a measurement.
struct Step {
    std::string text;
    std::string waitFor;  // non-empty: poll "INIT:DONE?" until this name
};

bool isQuery(const std::string& text) {
    const std::size_t blank = text.find(' ');
    const std::string header = text.substr(0, blank);
    return !header.empty() && header.back() == '?';
}

// Every text the program sends, in an order in which a test set would take each of them,
// with the numbers the program writes.
const std::vector<Step> kProgramTexts{
    // Discovery, identification, preparation.
    {"*cls", ""},
    {"*idn?", ""},
    {"syst:appl:curr:rev?", ""},
    {"syst:curr:ta:mod?", ""},
    {"SYSTEM:ERR?", ""},
    {"SYSTem:CORRection:STATE?", ""},
    {"SYSTem:CORRection:STATe 0", ""},
    {"*rst", ""},
    {"*cls", ""},
    // Calibration data.
    {"PL13:CAL:DATA? 'tdma_bbgen_delay_setting1',1,3", ""},
    {"PL13:CAL:DATA? 'tdma_bbgen_delay_setting2',4,4", ""},
    {"PL13:CAL:DATA? 'tdma_bbgen_data_delay1',0,0", ""},
    {"PL13:CAL:DATA? 'tdma_bbgen_data_delay2',4,0", ""},
    {"PL13:CAL:DATA 'tdma_bbgen_delay_setting2',0,2,87", ""},
    {"PL13:CAL:DATA 'tdma_bbgen_delay_setting1',4,4,0", ""},
    {"PL13:CAL:DATA 'tdma_bbgen_data_delay1',0,0,0.000646098", ""},
    {"PL13:CAL:DATA 'tdma_bbgen_data_delay2',2,0,3.367e-05", ""},
    {"PL13:CAL:STOR", ""},
    {"SYSTem:SYNC?", ""},
    // Source 1 arrangement, GSM450.
    {"CALL:CELL:OPERating:MODE EBPT", ""},
    {"CALL:CELL:POWer:AMPLitude -10", ""},
    {"CALL:SETup:PDTChannel:MSLot:CONFig D2U2", ""},
    {"CALL:PDTChannel:PREDuction:LEV1 0", ""},
    {"CALL:PDTChannel:PREDuction:LEV2 0", ""},
    {"CALL:PDTChannel:PREDuction:BURS1 PRL1", ""},
    {"CALL:PDTChannel:PREDuction:BURS2 PRL2", ""},
    {"PL13:STATes:RFS2:Level:RF OFF", ""},
    {"PL13:STATes:RFIO:RFSource:DESTination S1S2LOOPBACK", ""},
    {"CALL:CELL:OPERating:MODE CW", ""},
    {"CALL:CELL:RFGenerator:FREQuency  464000000", ""},
    {"CALL:CELL:OPERating:MODE EBPT", ""},
    {"CALL:CELL:BAND GSM450", ""},
    {"CALL:PDTChannel:ARFCn 276", ""},
    {"RFAN:Control:MEASurement:FREQuency:AUTO 0", ""},
    {"RFANalyzer:MANual:MEASurement:FREQuency  464000000", ""},
    {"PL13:STATES:RFS2:LEVEL:RF OFF", ""},
    {"PL13:STATES:RFS1:LEVEL:RF ON", ""},
    // Level search.
    {"CALL:CELL:POWer:AMPLitude -11", ""},
    {"PL13:STATes:RFS1:LEVel:NORMal:ATTenuation?", ""},
    // Source 1 CW powers.
    {"CALL:CELL:OPERating:MODE CW", ""},
    {"PL13:STATES:RFS2:LEVEL:RF OFF", ""},
    {"CALL:CELL:POWer:AMPlitude:CW -10.000", ""},
    {"PL13:LATC:RFINT:PATH:SOURCE1 1", ""},
    {"PL13:LATC:RFINT:PATH:SOURCE2 1", ""},
    {"PL13:LATC:RFINT:LOOPBACK 1", ""},
    {"RFANALyzer:CONTrol:POWer:AUTO 0", ""},
    {"RFANALyzer:CONTrol:MEASurement:FREQuency:AUTO 0", ""},
    {"RFANalyzer:CW:EXPected:POWer 10.000", ""},
    {"SETup:TXPower:COUNt:STATe 1", ""},
    {"SETup:TXPower:COUNt:NUMBer 50", ""},
    {"SETup:TXPower:CONTinuous 0", ""},
    {"SETup:TXPower:TRIGger:SOURce IMMediate", ""},
    {"INITiate:DONE:CLEAR", ""},
    {"INITiate:TXPower:ON", ""},
    {"", "TXP"},
    {"FETCh:TXPower:POWer?", ""},
    // Source 2 CW power.
    {"CALL:OPER:MODE CW", ""},
    {"RFANalyzer:CONTrol:POWer:AUTO 0", ""},
    {"RFANalyzer:CONTrol:MEASurement:FREQuency:AUTO 0", ""},
    {"RFANalyzer:CW:EXPected:POWer 10.000", ""},
    {"PL13:STATes:RFS1:LEVel:RF OFF", ""},
    {"PL13:STATes:RFS2:LEVel:RF ON", ""},
    {"PL13:STATes:RFS2:DIGM:IQM OFF", ""},
    {"PL13:STATes:RFS2:FREQuency  464000000", ""},
    {"PL13:STATes:RFS2:LEVel:NORM:AMPL -10.000", ""},
    // Loopback configuration 0 with main -10, offset 1 14.
    {"CALL:CELL:OPERating:MODE EBPT", ""},
    {"CALL:PDTChannel:MSLOT:CONFIG D2U2", ""},
    {"CALL:CELL:POWer:AMPlitude -10.000", ""},
    {"CALL:PDTChannel:PREDuction:LEV1 0.000", ""},
    {"CALL:PDTChannel:PREDuction:LEV2 14.000", ""},
    {"RFANalyzer:CONTrol:POWer:AUTO 0", ""},
    {"RFANalyzer:CONTrol:MEASurement:FREQuency:AUTO 0", ""},
    {"RFANalyzer:MANual:POWer:Selected:Selected:BURSt1 10.000", ""},
    {"RFANalyzer:MANual:POWer:Selected:Selected:BURSt2 -4.000", ""},
    {"RFANalyzer:MSLOt:MEASurement:BURSt 2", ""},
    {"CALL:TRIGGER:OUTPUT:FRAME:NIDLe:STATE ON", ""},
    {"PL13:STATes:RFS1:LEVel:RF ON", ""},
    {"PL13:STATES:RFS2:Level:RF OFF", ""},
    // GMSK burst power.
    {"CALL:PDTCHannel:MCSCheme:EBPT MCS4P1", ""},
    {"SETup:ETXPower:COUNt:STATe 1", ""},
    {"SETup:ETXPower:CONTinuous 0", ""},
    {"SETup:ETXPower:TRIGger:SOURce EXTERNAL", ""},
    {"CALL:MODulation:FORMAT:CONTROL:AUTO 0", ""},
    {"CALL:MODulation:FORMAT:MANUAL:BURST1 GMSK", ""},
    {"CALL:MODulation:FORMAT:MANUAL:BURST2 GMSK", ""},
    {"INITiate:DONE:CLEAR", ""},
    {"SETup:ETXPower:COUNt:NUMBer 1", ""},
    {"SETup:ETXPower:TRIGger:DELay 0", ""},
    {"SETup:ETXPower:COUNt:NUMBer  50", ""},
    {"SETup:ETXPower:TRIGger:DELay 1.772ms", ""},
    {"INIT:ETXPower:ON", ""},
    {"", "ETXP"},
    {"FETCh:ETXPower:POWer?", ""},
    {"FETCh:ETXPower:INTegrity?", ""},
    {"INITiate:ETXPower:OFF", ""},
    // Phase and frequency error.
    {"CALL:PDTCHannel:MCSCheme:EBPT MCS4P1", ""},
    {"SETup:PFERror:count:state 1", ""},
    {"SETup:PFERror:CONTinuous 0", ""},
    {"SETup:PFERror:TRIGger:SOURce PROTOCOL", ""},
    {"SETup:PFERror:TRIGger:DELay -1.73ms", ""},
    {"SETup:PFERror:COUNt:NUMBer 1", ""},
    {"SETup:PFERror:COUNt:NUMBer  50", ""},
    {"INIT:PFER:ON", ""},
    {"", "PFER"},
    {"FETCh:PFERror:FERRor:WORSt?", ""},
    {"FETCh:PFERror:RMS:MAXimum?", ""},
    {"FETCh:PFERror:PEAK:MAXimum?", ""},
    {"FETCh:PFERror:INTegrity?", ""},
    {"INIT:PFER:OFF", ""},
    // Power versus time.
    {"CALL:PDTCHannel:MCSCheme:EBPT MCS4P1", ""},
    {"SETup:PVTime:COUNt:state 1", ""},
    {"SETup:PVTime:CONTinuous 0", ""},
    {"SETup:PVTime:TRIGger:Source EXTERNAL", ""},
    {"SETup:PVTime:CUSTOM1:MASK:UPPER 0us,4dBc,593us,1dBc", ""},
    {"SETup:PVTime:CUSTOM1:MASK:LOWER 0us,-200dBc,542.7us,-1dBc,593us,-200dBc", ""},
    {"SETup:PVTime:BURST1:MASK CUSTOM1", ""},
    {"SETup:PVTime:BURST2:MASK CUSTOM1", ""},
    {"INITiate:DONE:CLEAr", ""},
    {"SETup:PVTime:COUNt:NUMBer 1", ""},
    {"SETup:PVTime:TRIGger:DELAY 0", ""},
    {"SETup:PVTime:COUNt:NUMBer  50", ""},
    {"SETup:PVTime:TRIGger:DELAY 1.772ms", ""},
    {"INITiate:PVTime:ON", ""},
    {"", "PVT"},
    {"FETCh:PVTime:MASK:UPPER?", ""},
    {"FETCh:PVTime:MASK:LOWER?", ""},
    {"FETCh:PVTime:INTegrity?", ""},
    {"INITiate:PVTime:OFF", ""},
    // EPSK burst power set-up.
    {"CALL:PDTCHannel:MCSCheme:EBPT MCS5P1", ""},
    {"SETup:ETXPower:COUNt:STATe 1", ""},
    {"SETup:ETXPower:COUNt:NUMBer  50", ""},
    {"SETup:ETXPower:CONTinuous 0", ""},
    {"SETup:ETXPower:TRIGger:SOURce EXTERNAL", ""},
    {"SETup:ETXPower:TRIGger:DELay 1.772ms", ""},
    {"SETup:ETXPower:SPECial 0", ""},
    {"CALL:MODulation:FORMAT:CONTROL:AUTO 0", ""},
    {"CALL:MODulation:FORMAT:MANUAL:BURST1 EPSK", ""},
    {"CALL:MODulation:FORMAT:MANUAL:BURST2 EPSK", ""},
    {"INITiate:DONE:CLEAR", ""},
    // EPSK modulation accuracy.
    {"CALL:PDTCHannel:MCSCheme:EBPT MCS5P1", ""},
    {"SETup:EMACcuracy:COUNt:STATe 1", ""},
    {"SETup:EMACcuracy:COUNt:NUMBer  50", ""},
    {"SETup:EMACcuracy:CONTinuous 0", ""},
    {"SETup:EMACcuracy:TRIGger:SOURce PROTOCOL", ""},
    {"SETup:EMACcuracy:TRIGger:DELay -1.73ms", ""},
    {"INITiate:DONE:CLEAR", ""},
    {"INITiate:EMACcuracy:ON", ""},
    {"", "EMAC"},
    {"FETCh:EMACcuracy:FERRor:WORSt?", ""},
    {"FETCh:EMACcuracy:EVM:RMS?", ""},
    {"FETCh:EMACcuracy:OOFFset?", ""},
    {"FETCh:EMACcuracy:INTegrity?", ""},
    {"INITiate:EMACcuracy:OFF", ""},
    // Source 2 arrangement, PGSM.
    {"CALL:CELL:OPERating:MODE CW", ""},
    {"CALL:CELL:RFGenerator:FREQuency  943000000", ""},
    {"CALL:CELL:OPERating:MODE EBPT", ""},
    {"CALL:CELL:BAND PGSM", ""},
    {"CALL:PDTChannel:ARFCn 46", ""},
    {"CALL:CELL:BCH:ARFCn 40", ""},
    {"RFAN:CONTrol:MEASurement:FREQuency:AUTO 0", ""},
    {"RFANalyzer:MANual:MEASurement:FREQuency  943000000", ""},
    {"CALL:CELL:OPERating:MODE EBT", ""},
    {"CALL:PDTChannel:MSLOT:CONFIG D2U1", ""},
    {"CALL:CELL:POWer:AMPlitude -15.000", ""},
    {"CALL:PDTChannel:PREDuction:LEV1 0", ""},
    {"CALL:PDTChannel:PREDuction:LEV2 12.000", ""},
    {"RFANALyzer:CONTrol:POWer:AUTO 0", ""},
    {"RFANALyzer:CONTrol:MEASurement:FREQuency:AUTO 0", ""},
    {"RFANalyzer:MANual:POWer:SELected:SELected:BURST1 5.000", ""},
    {"RFANalyzer:MANual:POWer:SELected:SELected:BURST2 -7.000", ""},
    {"PL13:STATES:RFS2:LEVEL:RF ON", ""},
    {"PL13:STATES:RFS1:LEVEL:RF OFF", ""},
    // DCS band values and restoring the correction state.
    {"CALL:CELL:BAND DCS", ""},
    {"CALL:PDTChannel:ARFCn 702", ""},
    {"CALL:CELL:RFGenerator:FREQuency 1842000000", ""},
    {"SYSTem:CORRection:STATe  1", ""},
};

TEST(SimCommands, AcceptsEveryProgramTextAsWritten) {
    TestSetSession set(shippedProfile("healthy.toml"));
    for (const Step& step : kProgramTexts) {
        if (!step.waitFor.empty()) {
            EXPECT_GT(set.pollUntilDone(step.waitFor), 0) << step.waitFor;
        } else if (isQuery(step.text)) {
            ViStatus status = 0;
            const std::string reply = set.ask(step.text, &status);
            EXPECT_EQ(status, instrument::kViSuccess) << step.text;
            EXPECT_FALSE(reply.empty()) << step.text;
        } else {
            EXPECT_EQ(set.send(step.text), instrument::kViSuccess) << step.text;
        }
        if (step.text != "SYSTEM:ERR?") {
            EXPECT_EQ(set.nextError(), kNoError) << step.text;
        }
    }
}

// A setting written in one spelling reads back in another.
struct Spelling {
    const char* command;
    const char* query;
    const char* reply;
};

TEST(SimCommands, MatchesShortLongAndMixedCaseKeywords) {
    const std::vector<Spelling> cases{
        {"CALL:CELL:BAND DCS", "CALL:BAND?", "DCS"},
        {"call:cell:band pcs", "CALL:CELL:BAND?", "PCS"},
        {"CALL:CELL:OPER:MODE cw", "call:operating:mode?", "CW"},
        {":CALL:OPERATING:MODE ebt", "CALL:CELL:OPER:MODE?", "EBT"},
        {"RFAN:CONT:MEAS:FREQ:AUTO OFF", "RFANALYZER:CONTROL:MEASUREMENT:FREQUENCY:AUTO?", "0"},
        {"rfanalyzer:control:power:auto on", "RFAN:CONT:POW:AUTO?", "1"},
        {"PL13:STAT:RFS2:LEV:RF ON", "pl13:states:rfs2:level:rf?", "ON"},
        {"CALL:PDTC:PRED:LEVEL2 12.5", "CALL:PDTCHANNEL:PREDUCTION:LEV2?", "+1.250000E+01"},
        {"CALL:PDTChannel:PREDuction:LEV 3", "CALL:PDTC:PRED:LEVel1?", "+3.000000E+00"},
        {"CALL:SETUP:PDTCHANNEL:MSLOT:CONFIG d2u2", "CALL:PDTC:MSL:CONF?", "D2U2"},
        {"SETup:PFERror:TRIGger:SOURce prot", "SET:PFER:TRIG:SOUR?", "PROT"},
        {"SETup:PFERror:TRIGger:DELay -1.73ms", "SETUP:PFER:TRIG:DEL?", "-1.730000E-03"},
        {"SETup:PVT:TRIG:DEL 1772us", "SETUP:PVTIME:TRIGGER:DELAY?", "+1.772000E-03"},
        {"CALL:MOD:FORM:MAN:BURS EPSK", "CALL:MODULATION:FORMAT:MANUAL:BURST1?", "EPSK"},
        {"SETup:PVTime:CUSTom2:MASK:UPPer 0us,3dBc,590us,2dBc", "SETUP:PVT:CUST2:MASK:UPP?",
         "0us,3dBc,590us,2dBc"},
        {"SETup:PVTime:BURSt2:MASK custom2", "SET:PVT:BURS2:MASK?", "CUST2"},
        {"PL13:LATCH:RFINTERNAL:PATH:SOURCE2 1", "PL13:LATC:RFINT:PATH:SOUR2?", "1"},
        {"RFANalyzer:MANual:MEASurement:FREQuency 1842 MHz", "RFAN:MAN:MEAS:FREQ?",
         "+1.842000E+09"},
        {"SYST:CORR:STAT OFF", "SYSTEM:CORRECTION:STATE?", "0"},
    };
    TestSetSession set(shippedProfile("healthy.toml"));
    for (const Spelling& spelling : cases) {
        EXPECT_EQ(set.send(spelling.command), instrument::kViSuccess) << spelling.command;
        EXPECT_EQ(set.ask(spelling.query), spelling.reply) << spelling.query;
        EXPECT_EQ(set.nextError(), kNoError) << spelling.command;
    }
}

struct Refusal {
    const char* text;
    const char* error;
};

TEST(SimCommands, RefusesWhatItDoesNotKnowWithTheMatchingError) {
    const std::vector<Refusal> cases{
        {"CALL:CELL:BANDX DCS", "-113,\"Undefined header\""},
        {"CALL:CELL:BAN DCS", "-113,\"Undefined header\""},  // neither short nor long form
        {"CALL::BAND DCS", "-113,\"Undefined header\""},
        {"PL13:STATes:RFS3:LEVel:RF ON", "-113,\"Undefined header\""},
        {"CALL:CELL:BAND", "-109,\"Missing parameter\""},
        {"CALL:CELL:BAND XYZ", "-224,\"Illegal parameter value\""},
        {"CALL:CELL:POWer:AMPLitude 5", "-224,\"Illegal parameter value\""},
        {"CALL:PDTChannel:ARFCn 700", "-224,\"Illegal parameter value\""},  // not a PGSM channel
        {"PL13:LATC:RFINT:LOOPBACK 2", "-224,\"Illegal parameter value\""},
        {"CALL:CELL:POWer:AMPLitude abc", "-104,\"Data type error\""},
        {"CALL:CELL:BAND DCS,PCS", "-108,\"Parameter not allowed\""},
        {"*idn? now", "-108,\"Parameter not allowed\""},
        {"SETup:PFERror:TRIGger:DELay 1.73xs", "-131,\"Invalid suffix\""},
        {"SETup:PVTime:CUSTOM1:MASK:UPPER 593us,1dBc,0us,4dBc", "-224,\"Illegal parameter value\""},
        {"PL13:CAL:DATA? 'no_such_table',0,0", "-224,\"Illegal parameter value\""},
        {"PL13:CAL:DATA? 'tdma_bbgen_data_delay1',0,1", "-222,\"Data out of range\""},
        {"PL13:CAL:DATA 'tdma_bbgen_data_delay1',0,0", "-109,\"Missing parameter\""},
    };
    TestSetSession set(shippedProfile("healthy.toml"));
    for (const Refusal& refusal : cases) {
        set.send(refusal.text);  // written only, so a refused query leaves nothing to read
        EXPECT_EQ(set.nextError(), refusal.error) << refusal.text;
        EXPECT_EQ(set.nextError(), kNoError) << refusal.text;
    }
}

TEST(SimCommands, ResetRestoresSettingsButKeepsCorrectionAndCalibration) {
    TestSetSession set(shippedProfile("healthy.toml"));
    set.send("CALL:CELL:BAND DCS");
    set.send("SYSTem:CORRection:STATe 0");
    set.send("PL13:CAL:DATA 'tdma_bbgen_delay_setting1',0,0,40");
    set.send("*rst");
    EXPECT_EQ(set.ask("CALL:CELL:BAND?"), "PGSM");
    EXPECT_EQ(set.ask("SYSTem:CORRection:STATE?"), "0");
    EXPECT_EQ(set.ask("PL13:CAL:DATA? 'tdma_bbgen_delay_setting1',0,0"), "40");
}

}  // namespace
}  // namespace quillon::sim_test
