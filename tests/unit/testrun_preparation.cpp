// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "testrun_fixture.h"

namespace quillon::testing {
namespace {

TEST(Preparation, SavesTheCorrectionStateSwitchesItOffAndTidyUpRestoresIt) {
    const std::string query = "SYSTem:CORRection:STATE?";
    const Strings switchedOff = Strings{query} + checked({"SYSTem:CORRection:STATe 0"});
    // Replies to the state query ("io" and "timeout" stand for those failures) and the state
    // that tidyUp restores.
    const Strings replies = {"1", "+0.6", "0.5", "1.5", "  -2.5E0,x", "", "ON", "io", "timeout"};
    const Strings restored = {" 1", " 1", " 0", " 2", "-2", " 0", " 0", " 0", " 0"};
    for (std::size_t i = 0; i < replies.size(); ++i) {
        const bool timedOut = replies[i] == "timeout";
        const instrument::ViStatus status = timedOut             ? instrument::kViErrorTimeout
                                            : replies[i] == "io" ? instrument::kViErrorIo
                                                                 : instrument::kViSuccess;
        SCOPED_TRACE(replies[i]);
        FormFixture f;
        f.fake.onQueryReplies(query, {{status, replies[i] + "\n"}});
        EXPECT_EQ(f.form().prepareForTest(0), timedOut);
        EXPECT_EQ(f.texts(), timedOut ? Strings{query} : switchedOff);
        EXPECT_EQ(f.form().mom(), f.bus.get4750(0));
        f.fake.log.clear();
        EXPECT_FALSE(f.form().tidyUp());
        EXPECT_EQ(f.texts(), checked({std::string("SYSTem:CORRection:STATe ") + restored[i]}));
    }
}

TEST(Preparation, RejectedSwitchOffIsOnlyReportedByTheResult) {
    FormFixture f;
    f.fake.errorAfter("SYSTem:CORRection:STATe 0");
    EXPECT_TRUE(f.form().prepareForTest(0));
    EXPECT_TRUE(f.ui.messages.empty());
}

TEST(Preparation, OnlyTheThreeApplicationsAreAccepted) {
    for (const char* accepted : {"K2210", "K2230", "K3310"}) {
        FormFixture f(accepted);
        EXPECT_FALSE(f.form().prepareForTest(0));
        EXPECT_TRUE(f.ui.messages.empty());
    }
    for (const char* refused :
         {"k2210", " K2210", "K2210 ", "K2210A", "K2211", "", "K3310LA", "E1960"}) {
        SCOPED_TRACE(refused);
        FormFixture f(refused);
        try {
            f.form().prepareForTest(0);
            ADD_FAILURE() << "the program should have ended";
        } catch (const ProgramEnded& ended) {
            EXPECT_EQ(ended.exitCode, testrun::kExitStartupRefused);
        }
        ASSERT_EQ(f.ui.messages.size(), 1u);
        EXPECT_EQ(f.ui.messages[0].title, "Wrong TA/LA revision");
        EXPECT_EQ(f.ui.messages[0].text,
                  "This test can only be run on an instrument running \r\n"
                  "the K2210 TA,K2230 TA, or K3310 LA\r\n\r\n"
                  "Please switch to one of these applications and run this test again");
        EXPECT_EQ(f.ui.messages[0].icon, testrun::MessageIcon::None);
        EXPECT_TRUE(f.texts().empty());
    }
}

}  // namespace
}  // namespace quillon::testing
