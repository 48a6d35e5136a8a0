// SPDX-License-Identifier: MIT
// Fault injection of the simulated test set, and replies that do not fit the reader's buffer.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "sim_session.h"

namespace quillon::sim_test {
namespace {

using instrument::kViSuccess;

std::string faultProfile(const std::string& name, const std::string& faults) {
    return writeProfile(name, testSetProfile("seed = 7", faults));
}

TEST(SimFaults, AScpiErrorHitsOnlyTheNthOccurrenceWhateverTheSpelling) {
    TestSetSession set(faultProfile("nth", R"([[instrument.fault]]
command = "CALL:CELL:BAND"
nth = 2
action = "scpi_error"
code = -224
)"));
    set.send("CALL:CELL:BAND DCS");
    EXPECT_EQ(set.nextError(), kNoError);
    set.send("call:band pcs");  // the second occurrence, in another spelling
    EXPECT_EQ(set.nextError(), "-224,\"Illegal parameter value\"");
    EXPECT_EQ(set.ask("CALL:CELL:BAND?"), "DCS");  // the refused command was not carried out
    set.send("CALL:CELL:BAND PCS");
    EXPECT_EQ(set.nextError(), kNoError);
    EXPECT_EQ(set.ask("CALL:CELL:BAND?"), "PCS");
}

TEST(SimFaults, ExactTextRulesIgnoreOtherParameters) {
    TestSetSession set(faultProfile("text", R"([[instrument.fault]]
text = "CALL:CELL:BAND GSM850"
action = "scpi_error"
code = -221
message = "Band locked"
)"));
    set.send("CALL:CELL:BAND GSM450");
    EXPECT_EQ(set.nextError(), kNoError);
    set.send("CALL:CELL:BAND GSM850");
    EXPECT_EQ(set.nextError(), "-221,\"Band locked\"");
}

struct StatusFault {
    const char* action;
    ViStatus status;
    bool carriedOut;
};

TEST(SimFaults, StatusFaultsReachTheCallerOfTheWrite) {
    const std::vector<StatusFault> cases{
        {"timeout", instrument::kViErrorTimeout, false},
        {"io_error", instrument::kViErrorIo, false},
        {"write_warning", static_cast<ViStatus>(0x3FFF0085), true},
    };
    for (const StatusFault& fault : cases) {
        TestSetSession set(faultProfile(fault.action, std::string(R"([[instrument.fault]]
command = "CALL:CELL:OPERating:MODE"
action = ")") + fault.action + "\"\n"));
        EXPECT_EQ(set.send("CALL:OPER:MODE CW"), fault.status) << fault.action;
        EXPECT_EQ(set.ask("CALL:OPER:MODE?") == "CW", fault.carriedOut) << fault.action;
        EXPECT_EQ(set.send("CALL:OPER:MODE EBT"), kViSuccess) << fault.action;
    }
}

TEST(SimFaults, EveryOccurrenceFromNthOnWhenEveryIsSet) {
    TestSetSession set(faultProfile("every", R"([[instrument.fault]]
command = "SYSTem:SYNC?"
nth = 3
every = true
action = "garbage"
reply = "#?"
)"));
    std::vector<std::string> replies;
    for (int i = 0; i < 5; ++i) replies.push_back(set.ask("SYSTem:SYNC?"));
    EXPECT_EQ(replies, (std::vector<std::string>{"1", "1", "#?", "#?", "#?"}));
}

TEST(SimFaults, SilenceStopsEveryAnswerFromThenOn) {
    TestSetSession set(faultProfile("silence", R"([[instrument.fault]]
command = "INITiate:PVTime:ON"
nth = 2
action = "silence"
)"));
    EXPECT_EQ(set.send("INIT:PVT:ON"), kViSuccess);
    EXPECT_EQ(set.send("INIT:PVT:ON"), instrument::kViErrorTimeout);
    ViStatus status = kViSuccess;
    EXPECT_EQ(set.ask("*idn?", &status), "");
    EXPECT_EQ(status, instrument::kViErrorTimeout);
    EXPECT_EQ(set.send("*cls"), instrument::kViErrorTimeout);
}

TEST(SimFaults, IntegrityFaultsCountOnlyWhileTheirSourceIsMeasured) {
    TestSetSession set(faultProfile("integrity", R"([[instrument.fault]]
command = "FETCh:PFERror:INTegrity?"
source = 2
times = 2
action = "integrity"
value = 11
)"));
    for (const char* command :
         {"PL13:STATes:RFIO:RFSource:DESTination S1S2LOOPBACK", "PL13:LATC:RFINT:LOOPBACK 1",
          "PL13:LATC:RFINT:PATH:SOURCE1 1", "PL13:LATC:RFINT:PATH:SOURCE2 1",
          "CALL:PDTChannel:ARFCn 40", "RFAN:CONT:MEAS:FREQ:AUTO 0", "RFAN:MAN:MEAS:FREQ 943 MHz",
          "PL13:STATes:RFS2:FREQuency 943000000"}) {
        set.send(command);
    }
    auto integrity = [&] {
        set.send("INIT:PFER:ON");
        set.pollUntilDone("PFER");
        return set.ask("FETC:PFER:INT?");
    };
    set.send("PL13:STAT:RFS1:LEV:RF ON");
    EXPECT_EQ(integrity(), "0");  // source 1 measured: the rule does not count
    set.send("PL13:STAT:RFS1:LEV:RF OFF");
    set.send("PL13:STAT:RFS2:LEV:RF ON");
    EXPECT_EQ(integrity(), "11");
    EXPECT_EQ(integrity(), "11");
    EXPECT_EQ(integrity(), "0");
    EXPECT_EQ(set.nextError(), kNoError);
}

TEST(SimFaults, TheShippedSource2IntegrityProfileClearsAfterThreeRuns) {
    TestSetSession set(shippedProfile("source2-integrity.toml"));
    for (const char* command :
         {"PL13:STATes:RFIO:RFSource:DESTination S1S2LOOPBACK", "PL13:LATC:RFINT:LOOPBACK 1",
          "PL13:LATC:RFINT:PATH:SOURCE2 1", "CALL:PDTChannel:ARFCn 40",
          "PL13:STATes:RFS2:FREQuency 943000000", "PL13:STATes:RFS2:LEVel:NORM:AMPL -12",
          "PL13:STATes:RFS2:LEVel:RF ON", "PL13:STATes:RFS1:LEVel:RF OFF"}) {
        set.send(command);
    }
    std::vector<std::string> integrities;
    for (int run = 0; run < 4; ++run) {
        set.send("INIT:PFER:ON");
        set.pollUntilDone("PFER");
        integrities.push_back(set.ask("FETCh:PFERror:INTegrity?"));
    }
    EXPECT_EQ(integrities, (std::vector<std::string>{"11", "11", "11", "0"}));
}

TEST(SimFaults, AnOverlongReplyIsCutToTheWidthWithoutOverrun) {
    TestSetSession set(faultProfile("long", R"([[instrument.fault]]
command = "*IDN?"
action = "long_reply"
length = 700
)"));
    std::array<char, 600> buffer{};
    buffer.fill('Z');
    const ViStatus status = set.api().queryf(set.vi(), "*IDN?\n", "%511t", buffer.data());
    EXPECT_EQ(status, kViSuccess);
    EXPECT_EQ(std::strlen(buffer.data()), 511u);
    EXPECT_EQ(buffer[511], '\0');
    for (std::size_t i = 512; i < buffer.size(); ++i) ASSERT_EQ(buffer[i], 'Z') << i;
    EXPECT_EQ(set.nextError(), "-410,\"Query INTERRUPTED\"");
    EXPECT_EQ(set.nextError(), kNoError);
}

TEST(SimFaults, CountedReadsReportWhatTheyStored) {
    TestSetSession set(shippedProfile("healthy.toml"));
    std::array<char, 64> buffer{};
    buffer.fill('Z');
    instrument::ViUInt32 count = 8;
    EXPECT_EQ(set.api().queryf(set.vi(), "*IDN?\n", "%#t", &count, buffer.data()), kViSuccess);
    EXPECT_EQ(count, 7u);
    EXPECT_STREQ(buffer.data(), "Corvane");
    EXPECT_EQ(buffer[8], 'Z');
}

TEST(SimFaults, FormatsOtherThanPlainTextAreRefused) {
    TestSetSession set(shippedProfile("healthy.toml"));
    std::array<char, 64> buffer{};
    EXPECT_EQ(set.api().printf(set.vi(), "*cls %d\n", 5), instrument::kViErrorInvFmt);
    EXPECT_EQ(set.api().queryf(set.vi(), "*IDN?\n", "%s", buffer.data()),
              instrument::kViErrorInvFmt);
    EXPECT_EQ(set.api().printf(set.vi(), "SETup:PFERror:COUNt:NUMBer 5%%\n"), kViSuccess);
    EXPECT_EQ(set.nextError(), "-104,\"Data type error\"");  // "5%" reached the instrument
}

}  // namespace
}  // namespace quillon::sim_test
