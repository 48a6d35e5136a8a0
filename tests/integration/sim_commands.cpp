// SPDX-License-Identifier: MIT
// The simulated test set accepts every command and query the program sends, exactly as the
// program writes them, matches keywords by their short and long forms in any case, injects the
// faults a profile names and cuts replies that do not fit the reader's buffer.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "sim_session.h"

namespace quillon::sim_test {
namespace {

// Every text the program sends, in an order a test set takes them; "@NAME" polls "INIT:DONE?"
// until it names the measurement NAME.
// clang-format off
const std::vector<std::string> kProgramTexts{
    "*cls", "*idn?", "syst:appl:curr:rev?", "syst:curr:ta:mod?", "SYSTEM:ERR?",
    "SYSTem:CORRection:STATE?", "SYSTem:CORRection:STATe 0", "*rst",
    "PL13:CAL:DATA? 'tdma_bbgen_delay_setting1',1,3",
    "PL13:CAL:DATA? 'tdma_bbgen_delay_setting2',4,4", "PL13:CAL:DATA? 'tdma_bbgen_data_delay1',0,0",
    "PL13:CAL:DATA? 'tdma_bbgen_data_delay2',4,0",
    "PL13:CAL:DATA 'tdma_bbgen_delay_setting2',0,2,87",
    "PL13:CAL:DATA 'tdma_bbgen_delay_setting1',4,4,0",
    "PL13:CAL:DATA 'tdma_bbgen_data_delay1',0,0,0.000646098",
    "PL13:CAL:DATA 'tdma_bbgen_data_delay2',2,0,3.367e-05", "PL13:CAL:STOR", "SYSTem:SYNC?",
    "CALL:CELL:OPERating:MODE EBPT", "CALL:CELL:POWer:AMPLitude -10",
    "CALL:SETup:PDTChannel:MSLot:CONFig D2U2", "CALL:PDTChannel:PREDuction:LEV1 0",
    "CALL:PDTChannel:PREDuction:LEV2 0", "CALL:PDTChannel:PREDuction:BURS1 PRL1",
    "CALL:PDTChannel:PREDuction:BURS2 PRL2", "PL13:STATes:RFS2:Level:RF OFF",
    "PL13:STATes:RFIO:RFSource:DESTination S1S2LOOPBACK", "CALL:CELL:OPERating:MODE CW",
    "CALL:CELL:RFGenerator:FREQuency  464000000", "CALL:CELL:BAND GSM450",
    "CALL:PDTChannel:ARFCn 276", "RFAN:Control:MEASurement:FREQuency:AUTO 0",
    "RFANalyzer:MANual:MEASurement:FREQuency  464000000", "PL13:STATES:RFS2:LEVEL:RF OFF",
    "PL13:STATES:RFS1:LEVEL:RF ON", "CALL:CELL:POWer:AMPLitude -11",
    "PL13:STATes:RFS1:LEVel:NORMal:ATTenuation?", "CALL:CELL:POWer:AMPlitude:CW -10.000",
    "PL13:LATC:RFINT:PATH:SOURCE1 1", "PL13:LATC:RFINT:PATH:SOURCE2 1",
    "PL13:LATC:RFINT:LOOPBACK 1", "RFANALyzer:CONTrol:POWer:AUTO 0",
    "RFANALyzer:CONTrol:MEASurement:FREQuency:AUTO 0", "RFANalyzer:CW:EXPected:POWer 10.000",
    "SETup:TXPower:COUNt:STATe 1", "SETup:TXPower:COUNt:NUMBer 50", "SETup:TXPower:CONTinuous 0",
    "SETup:TXPower:TRIGger:SOURce IMMediate", "INITiate:DONE:CLEAR", "INITiate:TXPower:ON", "@TXP",
    "FETCh:TXPower:POWer?", "CALL:OPER:MODE CW", "RFANalyzer:CONTrol:POWer:AUTO 0",
    "RFANalyzer:CONTrol:MEASurement:FREQuency:AUTO 0", "PL13:STATes:RFS1:LEVel:RF OFF",
    "PL13:STATes:RFS2:LEVel:RF ON", "PL13:STATes:RFS2:DIGM:IQM OFF",
    "PL13:STATes:RFS2:FREQuency  464000000", "PL13:STATes:RFS2:LEVel:NORM:AMPL -10.000",
    "CALL:PDTChannel:MSLOT:CONFIG D2U2", "CALL:CELL:POWer:AMPlitude -10.000",
    "CALL:PDTChannel:PREDuction:LEV1 0.000", "CALL:PDTChannel:PREDuction:LEV2 14.000",
    "RFANalyzer:MANual:POWer:Selected:Selected:BURSt1 10.000",
    "RFANalyzer:MANual:POWer:Selected:Selected:BURSt2 -4.000",
    "RFANalyzer:MSLOt:MEASurement:BURSt 2", "CALL:TRIGGER:OUTPUT:FRAME:NIDLe:STATE ON",
    "PL13:STATes:RFS1:LEVel:RF ON", "PL13:STATES:RFS2:Level:RF OFF",
    "CALL:PDTCHannel:MCSCheme:EBPT MCS4P1", "SETup:ETXPower:COUNt:STATe 1",
    "SETup:ETXPower:CONTinuous 0", "SETup:ETXPower:TRIGger:SOURce EXTERNAL",
    "CALL:MODulation:FORMAT:CONTROL:AUTO 0", "CALL:MODulation:FORMAT:MANUAL:BURST1 GMSK",
    "CALL:MODulation:FORMAT:MANUAL:BURST2 GMSK", "SETup:ETXPower:COUNt:NUMBer 1",
    "SETup:ETXPower:TRIGger:DELay 0", "SETup:ETXPower:COUNt:NUMBer  50",
    "SETup:ETXPower:TRIGger:DELay 1.772ms", "INIT:ETXPower:ON", "@ETXP", "FETCh:ETXPower:POWer?",
    "FETCh:ETXPower:INTegrity?", "INITiate:ETXPower:OFF", "SETup:PFERror:count:state 1",
    "SETup:PFERror:CONTinuous 0", "SETup:PFERror:TRIGger:SOURce PROTOCOL",
    "SETup:PFERror:TRIGger:DELay -1.73ms", "SETup:PFERror:COUNt:NUMBer 1",
    "SETup:PFERror:COUNt:NUMBer  50", "INIT:PFER:ON", "@PFER", "FETCh:PFERror:FERRor:WORSt?",
    "FETCh:PFERror:RMS:MAXimum?", "FETCh:PFERror:PEAK:MAXimum?", "FETCh:PFERror:INTegrity?",
    "INIT:PFER:OFF", "SETup:PVTime:COUNt:state 1", "SETup:PVTime:CONTinuous 0",
    "SETup:PVTime:TRIGger:Source EXTERNAL", "SETup:PVTime:CUSTOM1:MASK:UPPER 0us,4dBc,593us,1dBc",
    "SETup:PVTime:CUSTOM1:MASK:LOWER 0us,-200dBc,542.7us,-1dBc,593us,-200dBc",
    "SETup:PVTime:BURST1:MASK CUSTOM1", "SETup:PVTime:BURST2:MASK CUSTOM1", "INITiate:DONE:CLEAr",
    "SETup:PVTime:COUNt:NUMBer 1", "SETup:PVTime:TRIGger:DELAY 0", "SETup:PVTime:COUNt:NUMBer  50",
    "SETup:PVTime:TRIGger:DELAY 1.772ms", "INITiate:PVTime:ON", "@PVT", "FETCh:PVTime:MASK:UPPER?",
    "FETCh:PVTime:MASK:LOWER?", "FETCh:PVTime:INTegrity?", "INITiate:PVTime:OFF",
    "CALL:PDTCHannel:MCSCheme:EBPT MCS5P1", "SETup:ETXPower:SPECial 0",
    "CALL:MODulation:FORMAT:MANUAL:BURST1 EPSK", "CALL:MODulation:FORMAT:MANUAL:BURST2 EPSK",
    "SETup:EMACcuracy:COUNt:STATe 1", "SETup:EMACcuracy:COUNt:NUMBer  50",
    "SETup:EMACcuracy:CONTinuous 0", "SETup:EMACcuracy:TRIGger:SOURce PROTOCOL",
    "SETup:EMACcuracy:TRIGger:DELay -1.73ms", "INITiate:EMACcuracy:ON", "@EMAC",
    "FETCh:EMACcuracy:FERRor:WORSt?", "FETCh:EMACcuracy:EVM:RMS?", "FETCh:EMACcuracy:OOFFset?",
    "FETCh:EMACcuracy:INTegrity?", "INITiate:EMACcuracy:OFF",
    "CALL:CELL:RFGenerator:FREQuency  943000000", "CALL:CELL:BAND PGSM", "CALL:PDTChannel:ARFCn 46",
    "CALL:CELL:BCH:ARFCn 40", "RFAN:CONTrol:MEASurement:FREQuency:AUTO 0",
    "RFANalyzer:MANual:MEASurement:FREQuency  943000000", "CALL:CELL:OPERating:MODE EBT",
    "CALL:PDTChannel:MSLOT:CONFIG D2U1", "CALL:CELL:POWer:AMPlitude -15.000",
    "CALL:PDTChannel:PREDuction:LEV2 12.000",
    "RFANalyzer:MANual:POWer:SELected:SELected:BURST1 5.000",
    "RFANalyzer:MANual:POWer:SELected:SELected:BURST2 -7.000", "PL13:STATES:RFS2:LEVEL:RF ON",
    "PL13:STATES:RFS1:LEVEL:RF OFF", "CALL:CELL:BAND DCS", "CALL:PDTChannel:ARFCn 702",
    "CALL:CELL:RFGenerator:FREQuency 1842000000", "SYSTem:CORRection:STATe  1"};
// clang-format on

TEST(SimCommands, AcceptsEveryProgramTextAsWritten) {
    TestSetSession set(shippedProfile("healthy"));
    for (const std::string& text : kProgramTexts) {
        ViStatus status = 0;
        if (text[0] == '@') {
            EXPECT_GT(set.pollUntilDone(text.substr(1)), 0) << text;
        } else if (text.substr(0, text.find(' ')).back() == '?') {
            EXPECT_FALSE(set.ask(text, &status).empty()) << text;
            EXPECT_EQ(status, instrument::kViSuccess) << text;
        } else {
            EXPECT_EQ(set.send(text), instrument::kViSuccess) << text;
        }
        if (text != "SYSTEM:ERR?") {
            EXPECT_EQ(set.nextError(), kNoError) << text;
        }
    }
}

// A setting written in one spelling reads back in another; what the test set does not know
// leaves the matching error (written only, so a refused query leaves nothing to read).
TEST(SimCommands, MatchesKeywordsInAnyFormAndCaseAndRefusesTheUnknown) {
    const char* const kError = "SYSTem:ERRor?";
    struct Case {
        const char *text, *query, *reply;
    };
    TestSetSession set(shippedProfile("healthy"));
    for (const Case& c : std::vector<Case>{
             {"CALL:CELL:BAND DCS", "CALL:BAND?", "DCS"},
             {"call:cell:band pcs", "CALL:CELL:BAND?", "PCS"},
             {":CALL:OPERATING:MODE ebt", "CALL:CELL:OPER:MODE?", "EBT"},
             {"RFAN:CONT:MEAS:FREQ:AUTO OFF", "RFANALYZER:CONTROL:MEASUREMENT:FREQUENCY:AUTO?",
              "0"},
             {"CALL:PDTC:PRED:LEVEL2 12.5", "CALL:PDTCHANNEL:PREDUCTION:LEV2?", "+1.250000E+01"},
             {"CALL:PDTChannel:PREDuction:LEV 3", "CALL:PDTC:PRED:LEVel1?", "+3.000000E+00"},
             {"SETup:PFERror:TRIGger:SOURce prot", "SET:PFER:TRIG:SOUR?", "PROT"},
             {"SETup:PVT:TRIG:DEL 1772us", "SETUP:PVTIME:TRIGGER:DELAY?", "+1.772000E-03"},
             {"RFANalyzer:MANual:MEASurement:FREQuency 1842 MHz", "RFAN:MAN:MEAS:FREQ?",
              "+1.842000E+09"},
             {"*rst", "CALL:CELL:BAND?", "PGSM"},
             {"CALL:CELL:BANDX DCS", kError, "-113,\"Undefined header\""},
             {"CALL:CELL:BAN DCS", kError, "-113,\"Undefined header\""},
             {"CALL:CELL:BAND", kError, "-109,\"Missing parameter\""},
             {"CALL:CELL:BAND XYZ", kError, "-224,\"Illegal parameter value\""},
             {"CALL:CELL:POWer:AMPLitude 5", kError, "-222,\"Data out of range\""},
             {"CALL:PDTChannel:ARFCn 1e20", kError, "-222,\"Data out of range\""},
             {"CALL:PDTChannel:ARFCn -1e20", kError, "-222,\"Data out of range\""},
             {"CALL:PDTChannel:ARFCn inf", kError, "-222,\"Data out of range\""},
             {"CALL:PDTChannel:ARFCn 1024", kError, "-222,\"Data out of range\""},
             {"CALL:PDTChannel:ARFCn 600", kError, "-224,\"Illegal parameter value\""},
             {"CALL:PDTChannel:ARFCn 40.5", kError, "-224,\"Illegal parameter value\""},
             {"CALL:CELL:POWer:AMPLitude abc", kError, "-104,\"Data type error\""},
             {"CALL:CELL:BAND DCS,PCS", kError, "-108,\"Parameter not allowed\""},
             {"SETup:PFERror:TRIGger:DELay 1.73xs", kError, "-131,\"Invalid suffix\""},
             {"PL13:CAL:DATA? 'tdma_bbgen_data_delay1',0,1", kError,
              "-222,\"Data out of range\""}}) {
        set.send(c.text);
        EXPECT_EQ(set.ask(c.query), c.reply) << c.text;
        EXPECT_EQ(set.nextError(), kNoError) << c.text;
    }
}

std::string fault(const std::string& name, const std::string& rule) {
    return testSetProfile(name, "seed = 7", "[[instrument.fault]]\n" + rule);
}

TEST(SimFaults, AScpiErrorHitsOnlyTheNthOccurrenceWhateverTheSpelling) {
    TestSetSession set(fault("nth",
                             "command = \"CALL:CELL:BAND\"\nnth = 2\n"
                             "action = \"scpi_error\"\ncode = -224\n"));
    set.send("CALL:CELL:BAND DCS");
    EXPECT_EQ(set.nextError(), kNoError);
    set.send("call:band pcs");
    EXPECT_EQ(set.nextError(), "-224,\"Illegal parameter value\"");
    EXPECT_EQ(set.ask("CALL:CELL:BAND?"), "DCS");  // the refused command was not carried out
    set.send("CALL:CELL:BAND PCS");
    EXPECT_EQ(set.ask("CALL:CELL:BAND?"), "PCS");
}

// The program's query reads at most the buffer less its NUL; the instrument reports the rest.
TEST(SimFaults, AnOverlongReplyIsCutAtTheBufferWithoutOverrun) {
    TestSetSession set(
        fault("long", "command = \"*IDN?\"\naction = \"long_reply\"\nlength = 700\n"));
    instrument::VisaApi::ReplyBuffer reply{};
    EXPECT_EQ(set.api().query(set.vi(), "*IDN?\n", reply), instrument::kViSuccess);
    EXPECT_EQ(std::strlen(reply.data()), reply.size() - 1);
    EXPECT_EQ(set.nextError(), "-410,\"Query INTERRUPTED\"");
    EXPECT_EQ(set.nextError(), kNoError);
}

}  // namespace
}  // namespace quillon::sim_test
