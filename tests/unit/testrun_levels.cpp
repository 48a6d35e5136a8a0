// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <chrono>

#include "testrun_fixture.h"

namespace quillon::testing {
namespace {

using testrun::FormLabel;

// The level search's exchanges from one level down to another: amplitude, error, attenuation.
Strings searchTraffic(int from, int to) {
    Strings out;
    for (int level = from; level >= to; --level) {
        out = out + Strings{kAmplitude + std::to_string(level), "SYSTEM:ERR?", kAttenuationQuery};
    }
    return out;
}

// Every text shown on the three level labels: the levels found.
Strings shownLevels(FakeOperator& ui) {
    return ui.labels[FormLabel::MainPower] + ui.labels[FormLabel::Offset1Power] +
           ui.labels[FormLabel::Offset2Power];
}

TEST(FindPowerThresholds, WorkedExamples) {
    const struct {
        double mainLevel, offsetLevel;  // where the attenuation first reads 10 and 20
        int mainPower, offset2;
        Strings shown;
    } cases[] = {{-10, -25, -10, 15, {"-10.000", "14.000", "15.000"}},
                 {-12, -13, -12, 1, {"-12.000", "0.000", "1.000"}},
                 {-3, -40, -10, 30, {"-10.000", "29.000", "30.000"}}};
    for (const auto& c : cases) {
        FormFixture f;
        f.mainLevel = c.mainLevel;
        f.offsetLevel = c.offsetLevel;
        EXPECT_FALSE(f.prepared().findPowerThresholds(1));
        EXPECT_EQ(shownLevels(f.ui), c.shown);
        // Three exchanges a level: for -12 (10 first read there) amplitude, error, attenuation.
        EXPECT_EQ(f.texts(), searchTraffic(-10, c.mainPower) +
                                 searchTraffic(c.mainPower - 1, c.mainPower - c.offset2));
    }
}

TEST(FindPowerThresholds, OnlyExactReadingsEndTheSearches) {
    FormFixture f;
    f.fake.onQuery(kAttenuationQuery, {"10.5", "10", "19.9", "19.9", "+2.0E+01"});
    EXPECT_FALSE(f.prepared().findPowerThresholds(0));
    EXPECT_EQ(shownLevels(f.ui), (Strings{"-11.000", "2.000", "3.000"}));
}

TEST(FindPowerThresholds, GivesUpAtTheFloorAndStopsAtAFailureWithoutLabels) {
    FormFixture floor;
    floor.mainLevel = -1000;  // attenuation never reads 10
    EXPECT_TRUE(floor.prepared().findPowerThresholds(0));
    EXPECT_EQ(floor.texts(), searchTraffic(-10, -130));
    EXPECT_EQ(shownLevels(floor.ui), Strings{});

    FormFixture rejected;  // in the first search: no query, no second search
    rejected.fake.errorAfter(kAmplitude + "-11");
    rejected.mainLevel = -11;
    EXPECT_TRUE(rejected.prepared().findPowerThresholds(0));
    EXPECT_EQ(rejected.texts(), searchTraffic(-10, -10) + checked({kAmplitude + "-11"}));
    EXPECT_EQ(shownLevels(rejected.ui), Strings{});
}

TEST(MeasureCWPowers, Source1MeasuresAtTheThreeLevelsAndStopsAtTheFirstFailure) {
    const Strings setup = checked({"CALL:CELL:OPERating:MODE CW", "PL13:STATES:RFS2:LEVEL:RF OFF"});
    FormFixture f;
    f.prepared().levels() = {-12, 14, 15, 0, 0, 0, 0};
    f.fake.onQuery("FETCh:TXPower:POWer?", {"-11.9", "-25.8", "-26.7"});
    EXPECT_FALSE(f.form().measureSource1CWPowers());
    EXPECT_EQ(head(f.texts(), 4), setup);
    for (const auto& [level, expected] :
         {std::pair{"-12.000", "8.000"}, {"-26.000", "-6.000"}, {"-27.000", "-7.000"}}) {
        EXPECT_EQ(f.fake.count(std::string("CALL:CELL:POWer:AMPlitude:CW ") + level), 1u);
        EXPECT_EQ(f.fake.count(std::string("RFANalyzer:CW:EXPected:POWer ") + expected), 1u);
    }
    const auto& l = f.form().levels();
    EXPECT_EQ((std::array{l.src1MainPower, l.src1Offset1CWPower, l.src1Offset2CWPower}),
              (std::array{-11.9, -25.8, -26.7}));

    FormFixture early;
    early.fake.errorAfter("PL13:STATES:RFS2:LEVEL:RF OFF");
    EXPECT_TRUE(early.prepared().measureSource1CWPowers());
    EXPECT_EQ(early.texts(), setup);
}

Strings source2Setup(const char* frequency) {
    return checked({"CALL:OPER:MODE CW", "RFANalyzer:CONTrol:POWer:AUTO 0",
                    "RFANalyzer:CONTrol:MEASurement:FREQuency:AUTO 0",
                    "RFANalyzer:CW:EXPected:POWer 8.000", "PL13:STATes:RFS1:LEVel:RF OFF",
                    "PL13:STATes:RFS2:LEVel:RF ON", "PL13:STATes:RFS2:DIGM:IQM OFF",
                    std::string("PL13:STATes:RFS2:FREQuency ") + frequency,
                    "PL13:STATes:RFS2:LEVel:NORM:AMPL -12.000"});
}

TEST(MeasureCWPowers, Source2SetsUpPausesAndMeasuresOrOnlyPausesAfterAFailure) {
    FormFixture f;
    f.prepared().levels() = {-12, 14, 15, 0, 0, 0, 0};
    f.fake.onQuery("FETCh:TXPower:POWer?", {"-12.4"});
    std::size_t sentBeforePause = 0;
    f.ui.onPause = [&](std::chrono::milliseconds) { sentBeforePause = f.fake.log.size(); };
    EXPECT_FALSE(f.form().measureSource2CWPower(0));
    EXPECT_EQ(head(f.texts(), 18), source2Setup(" 464000000"));
    EXPECT_EQ(sentBeforePause, 18u);
    EXPECT_EQ(f.ui.pauses, std::vector{std::chrono::milliseconds(1000)});
    EXPECT_EQ(f.form().levels().src2MainPower, -12.4);

    FormFixture failed;
    failed.prepared().levels() = {-12, 14, 15, 0, 0, 0, 7.5};
    failed.fake.errorAfter("PL13:STATes:RFS2:DIGM:IQM OFF");
    EXPECT_TRUE(failed.form().measureSource2CWPower(4));
    EXPECT_EQ(failed.texts(), head(source2Setup("1959000000"), 14));
    EXPECT_EQ(failed.ui.pauses.size(), 1u);
    EXPECT_EQ(failed.form().levels().src2MainPower, 7.5);
}

}  // namespace
}  // namespace quillon::testing
