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
    TestSetSession shipped(shippedProfile("mid-band-error"));  // matching the exact text
    shipped.send("CALL:CELL:BAND GSM450");
    EXPECT_EQ(shipped.nextError(), kNoError);
    shipped.send("CALL:CELL:BAND GSM850");
    EXPECT_EQ(shipped.nextError(), "-221,\"Settings conflict\"");
}

TEST(SimFaults, StatusFaultsReachTheCallerOfTheWrite) {
    struct Case {
        const char* action;
        ViStatus status;
        bool carriedOut;
    };
    for (const Case& c : {Case{"timeout", instrument::kViErrorTimeout, false},
                          Case{"io_error", instrument::kViErrorIo, false},
                          Case{"write_warning", static_cast<ViStatus>(0x3FFF0085), true}}) {
        TestSetSession set(fault(c.action, "command = \"CALL:CELL:OPERating:MODE\"\naction = \"" +
                                               std::string(c.action) + "\"\n"));
        EXPECT_EQ(set.send("CALL:OPER:MODE CW"), c.status) << c.action;
        EXPECT_EQ(set.ask("CALL:OPER:MODE?") == "CW", c.carriedOut) << c.action;
        EXPECT_EQ(set.send("CALL:OPER:MODE EBT"), instrument::kViSuccess) << c.action;
    }
}

TEST(SimFaults, EveryOccurrenceFromNthOnAndSilenceFromThenOn) {
    TestSetSession set(fault("every",
                             "command = \"SYSTem:SYNC?\"\nnth = 3\nevery = true\n"
                             "action = \"garbage\"\nreply = \"#?\"\n"));
    std::vector<std::string> replies;
    for (int i = 0; i < 5; ++i) replies.push_back(set.ask("SYSTem:SYNC?"));
    EXPECT_EQ(replies, (std::vector<std::string>{"1", "1", "#?", "#?", "#?"}));

    TestSetSession silent(shippedProfile("timeout"));  // silent from the third PVT start
    EXPECT_EQ(silent.send("INIT:PVT:ON"), instrument::kViSuccess);
    EXPECT_EQ(silent.send("INIT:PVT:ON"), instrument::kViSuccess);
    EXPECT_EQ(silent.send("INIT:PVT:ON"), instrument::kViErrorTimeout);
    ViStatus status = instrument::kViSuccess;
    EXPECT_EQ(silent.ask("*idn?", &status), "");
    EXPECT_EQ(status, instrument::kViErrorTimeout);
}

// The shipped rule counts only while source 2 is measured, and only its first three runs.
TEST(SimFaults, IntegrityFaultsCountOnlyWhileTheirSourceIsMeasured) {
    TestSetSession set(shippedProfile("source2-integrity"));
    set.loopBack();
    std::vector<std::string> integrities;
    for (int run = 0; run < 5; ++run) {
        if (run == 1) set.send("PL13:STAT:RFS1:LEV:RF OFF");
        if (run == 1) set.send("PL13:STAT:RFS2:LEV:RF ON");
        set.send("INIT:PFER:ON");
        set.pollUntilDone("PFER");
        integrities.push_back(set.ask("FETCh:PFERror:INTegrity?"));
    }
    EXPECT_EQ(integrities, (std::vector<std::string>{"0", "11", "11", "11", "0"}));
    EXPECT_EQ(set.nextError(), kNoError);
}

TEST(SimFaults, AnOverlongReplyIsCutToTheWidthWithoutOverrun) {
    TestSetSession set(
        fault("long", "command = \"*IDN?\"\naction = \"long_reply\"\nlength = 700\n"));
    std::array<char, 600> buffer{};
    buffer.fill('Z');
    EXPECT_EQ(set.api().queryf(set.vi(), "*IDN?\n", "%511t", buffer.data()),
              instrument::kViSuccess);
    EXPECT_EQ(std::strlen(buffer.data()), 511u);
    for (std::size_t i = 512; i < buffer.size(); ++i) ASSERT_EQ(buffer[i], 'Z') << i;
    EXPECT_EQ(set.nextError(), "-410,\"Query INTERRUPTED\"");
    EXPECT_EQ(set.nextError(), kNoError);
}

}  // namespace
}  // namespace quillon::sim_test
