// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "testrun_fixture.h"

namespace quillon::testing {
namespace {

constexpr const char* kQuery = "SYSTem:CORRection:STATE?";
constexpr const char* kOff = "SYSTem:CORRection:STATe 0";

struct CorrectionCase {
    std::vector<FakeVisa::Reply> replies;
    Strings prepareTraffic;
    bool prepareResult;
    const char* restore;
};

FakeVisa::Reply text(const char* t) {
    return {instrument::kViSuccess, std::string(t) + "\n"};
}

class Correction : public ::testing::TestWithParam<CorrectionCase> {};

TEST_P(Correction, SavesSwitchesOffAndRestores) {
    const CorrectionCase& c = GetParam();
    FormFixture f;
    f.fake.onQueryReplies(kQuery, c.replies);
    f.ui.progress.clear();
    EXPECT_EQ(f.form().prepareForTest(0), c.prepareResult);
    EXPECT_EQ(f.texts(), c.prepareTraffic);
    ASSERT_FALSE(f.ui.progress.empty());
    EXPECT_EQ(f.ui.progress.back().value, 0);
    EXPECT_EQ(f.form().mom(), f.bus.get4750(0));

    f.fake.log.clear();
    EXPECT_FALSE(f.form().tidyUp());
    EXPECT_EQ(f.texts(), checked({c.restore}));
}

const Strings kSwitchedOff = Strings{kQuery} + checked({kOff});

INSTANTIATE_TEST_SUITE_P(
    Replies, Correction,
    ::testing::Values(
        CorrectionCase{{text("1")}, kSwitchedOff, false, "SYSTem:CORRection:STATe  1"},
        CorrectionCase{{text("+0.6")}, kSwitchedOff, false, "SYSTem:CORRection:STATe  1"},
        CorrectionCase{{text("0.5")}, kSwitchedOff, false, "SYSTem:CORRection:STATe  0"},
        CorrectionCase{{text("1.5")}, kSwitchedOff, false, "SYSTem:CORRection:STATe  2"},
        CorrectionCase{{text("  -2.5E0,x")}, kSwitchedOff, false, "SYSTem:CORRection:STATe -2"},
        CorrectionCase{{text("")}, kSwitchedOff, false, "SYSTem:CORRection:STATe  0"},
        CorrectionCase{{text("ON")}, kSwitchedOff, false, "SYSTem:CORRection:STATe  0"},
        CorrectionCase{
            {{instrument::kViErrorIo, ""}}, kSwitchedOff, false, "SYSTem:CORRection:STATe  0"},
        CorrectionCase{
            {{instrument::kViErrorTimeout, ""}}, {kQuery}, true, "SYSTem:CORRection:STATe  0"}));

TEST(Preparation, RejectedSwitchOffIsOnlyReportedByTheResult) {
    FormFixture f;
    f.fake.errorAfter(kOff);
    EXPECT_TRUE(f.form().prepareForTest(0));
    EXPECT_TRUE(f.ui.messages.empty());
}

class RefusedApplication : public ::testing::TestWithParam<const char*> {};

TEST_P(RefusedApplication, ShowsTheMessageAndEndsTheProgram) {
    FormFixture f(GetParam());
    try {
        f.form().prepareForTest(0);
        FAIL() << "the program should have ended";
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

INSTANTIATE_TEST_SUITE_P(Models, RefusedApplication,
                         ::testing::Values("k2210", " K2210", "K2210 ", "K2210A", "K2211", "",
                                           "K3310LA", "E1960"));

class AcceptedApplication : public ::testing::TestWithParam<const char*> {};

TEST_P(AcceptedApplication, GoesOn) {
    FormFixture f(GetParam());
    EXPECT_FALSE(f.form().prepareForTest(0));
    EXPECT_TRUE(f.ui.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Models, AcceptedApplication, ::testing::Values("K2210", "K2230", "K3310"));

}  // namespace
}  // namespace quillon::testing
