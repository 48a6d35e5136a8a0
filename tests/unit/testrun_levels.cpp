// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <chrono>

#include "testrun_fixture.h"

namespace quillon::testing {
namespace {

using testrun::FormLabel;

// The level search's own exchanges for the given levels: amplitude, error query, attenuation.
Strings searchTraffic(int from, int to) {
    Strings out;
    for (int level = from; level >= to; --level) {
        out = out + Strings{kAmplitude + std::to_string(level), "SYSTEM:ERR?", kAttenuationQuery};
    }
    return out;
}

struct SearchCase {
    double mainLevel;
    double offsetLevel;
    double mainPower;
    double offset1;
    double offset2;
    const char* labels[3];
};

class FindPowerThresholds : public ::testing::TestWithParam<SearchCase> {};

TEST_P(FindPowerThresholds, FindsTheLevelsAndShowsThem) {
    const SearchCase& c = GetParam();
    FormFixture f;
    f.model.mainLevel = c.mainLevel;
    f.model.offsetLevel = c.offsetLevel;
    EXPECT_FALSE(f.prepared().findPowerThresholds(1));
    const auto& l = f.form().levels();
    EXPECT_EQ(l.mainPower, c.mainPower);
    EXPECT_EQ(l.offset1Power, c.offset1);
    EXPECT_EQ(l.offset2Power, c.offset2);
    EXPECT_EQ(f.ui.label(FormLabel::TestStatus), "Finding power thresholds for GSM850");
    EXPECT_EQ(f.ui.label(FormLabel::MainPower), c.labels[0]);
    EXPECT_EQ(f.ui.label(FormLabel::Offset1Power), c.labels[1]);
    EXPECT_EQ(f.ui.label(FormLabel::Offset2Power), c.labels[2]);
    const int main = static_cast<int>(c.mainPower);
    EXPECT_EQ(f.texts(), searchTraffic(-10, main) +
                             searchTraffic(main - 1, main - static_cast<int>(c.offset2)));
}

INSTANTIATE_TEST_SUITE_P(
    Examples, FindPowerThresholds,
    ::testing::Values(SearchCase{-10, -25, -10, 14, 15, {"-10.000", "14.000", "15.000"}},
                      SearchCase{-12, -13, -12, 0, 1, {"-12.000", "0.000", "1.000"}},
                      SearchCase{-3, -40, -10, 29, 30, {"-10.000", "29.000", "30.000"}}));

TEST(FindPowerThresholdsSearch, FirstTenAtMinus12TakesExactlyThreeSteps) {
    FormFixture f;
    f.model.mainLevel = -12;
    f.prepared().findPowerThresholds(0);
    const Strings texts = f.texts();
    EXPECT_EQ(Strings(texts.begin(), texts.begin() + 9), searchTraffic(-10, -12));
    EXPECT_EQ(texts[9], kAmplitude + std::string("-13"));
}

TEST(FindPowerThresholdsSearch, OnlyExactReadingsEndTheSearches) {
    FormFixture f;
    // 10.5 and 19.9 are near misses; the exact readings come one level later.
    f.fake.onQuery(kAttenuationQuery, {"10.5", "10", "19.9", "19.9", "+2.0E+01"});
    EXPECT_FALSE(f.prepared().findPowerThresholds(0));
    const auto& l = f.form().levels();
    EXPECT_EQ(l.mainPower, -11);
    EXPECT_EQ(l.offset1Power, 2);
    EXPECT_EQ(l.offset2Power, 3);
}

TEST(FindPowerThresholdsSearch, GivesUpBelowTheLowestLevel) {
    FormFixture f;
    f.model.mainLevel = -1000;  // attenuation never reads 10
    EXPECT_TRUE(f.prepared().findPowerThresholds(0));
    EXPECT_EQ(f.fake.count(kAttenuationQuery), 121u);  // -10 down to -130 dBm
    EXPECT_EQ(f.texts().back(), kAttenuationQuery);
    EXPECT_EQ(f.fake.log[f.fake.log.size() - 3].text, kAmplitude + std::string("-130"));
    EXPECT_TRUE(f.ui.labelTexts(FormLabel::MainPower).empty());
}

TEST(FindPowerThresholdsSearch, FailuresEndTheSearchWithoutLabels) {
    {
        FormFixture f;  // rejected amplitude in the first search: no query, no second search
        f.fake.errorAfter(kAmplitude + std::string("-11"));
        f.model.mainLevel = -11;
        EXPECT_TRUE(f.prepared().findPowerThresholds(0));
        const Strings rejected = {kAmplitude + std::string("-11"), "SYSTEM:ERR?"};
        EXPECT_EQ(f.texts(), searchTraffic(-10, -10) + rejected);
        EXPECT_EQ(f.form().levels().offset2Power, 0);
        EXPECT_TRUE(f.ui.labelTexts(FormLabel::MainPower).empty());
    }
    {
        FormFixture f;  // timed-out query in the second search
        f.model.offsetLevel = -12;
        f.fake.handler = [&f](const FakeVisa::Exchange& e) -> std::optional<FakeVisa::Reply> {
            if (e.text == kAttenuationQuery && TestSetModel::lastAmplitude(f.fake) == -12) {
                return FakeVisa::Reply{instrument::kViErrorTimeout, ""};
            }
            return f.model.answer(f.fake, e);
        };
        EXPECT_TRUE(f.prepared().findPowerThresholds(0));
        EXPECT_EQ(f.texts(), searchTraffic(-10, -12));
        EXPECT_EQ(f.ui.label(FormLabel::MainPower), "-10.000");
        EXPECT_TRUE(f.ui.labelTexts(FormLabel::Offset1Power).empty());
    }
}

TEST(MeasureCWPowers, Source1MeasuresAtTheThreeLevels) {
    FormFixture f;
    f.prepared().levels() = {-12, 14, 15, 0, 0, 0, 0};
    f.fake.onQuery("FETCh:TXPower:POWer?", {"-11.9", "-25.8", "-26.7"});
    EXPECT_FALSE(f.form().measureSource1CWPowers());
    const Strings texts = f.texts();
    EXPECT_EQ(Strings(texts.begin(), texts.begin() + 4),
              checked({"CALL:CELL:OPERating:MODE CW", "PL13:STATES:RFS2:LEVEL:RF OFF"}));
    for (const char* level : {"-12.000", "-26.000", "-27.000"}) {
        EXPECT_EQ(f.fake.count(std::string("CALL:CELL:POWer:AMPlitude:CW ") + level), 1u) << level;
    }
    for (const char* expected : {"8.000", "-6.000", "-7.000"}) {
        EXPECT_EQ(f.fake.count(std::string("RFANalyzer:CW:EXPected:POWer ") + expected), 1u);
    }
    const auto& l = f.form().levels();
    EXPECT_EQ(l.src1MainPower, -11.9);
    EXPECT_EQ(l.src1Offset1CWPower, -25.8);
    EXPECT_EQ(l.src1Offset2CWPower, -26.7);
}

TEST(MeasureCWPowers, Source1StopsAtTheFirstFailure) {
    {
        FormFixture f;
        f.fake.errorAfter("PL13:STATES:RFS2:LEVEL:RF OFF");
        EXPECT_TRUE(f.prepared().measureSource1CWPowers());
        EXPECT_EQ(f.texts(),
                  checked({"CALL:CELL:OPERating:MODE CW", "PL13:STATES:RFS2:LEVEL:RF OFF"}));
    }
    {
        FormFixture f;
        f.prepared().levels() = {-12, 14, 15, 1.5, 2.5, 3.5, 0};
        f.fake.errorAfter("PL13:LATC:RFINT:LOOPBACK 1");
        EXPECT_TRUE(f.form().measureSource1CWPowers());
        EXPECT_EQ(f.fake.count("PL13:LATC:RFINT:LOOPBACK 1"), 1u);  // one measurement only
        const auto& l = f.form().levels();
        EXPECT_EQ(l.src1MainPower, 1.5);
        EXPECT_EQ(l.src1Offset1CWPower, 2.5);
        EXPECT_EQ(l.src1Offset2CWPower, 3.5);
    }
}

Strings source2Setup(const char* frequency) {
    return checked({
        "CALL:OPER:MODE CW",
        "RFANalyzer:CONTrol:POWer:AUTO 0",
        "RFANalyzer:CONTrol:MEASurement:FREQuency:AUTO 0",
        "RFANalyzer:CW:EXPected:POWer 8.000",
        "PL13:STATes:RFS1:LEVel:RF OFF",
        "PL13:STATes:RFS2:LEVel:RF ON",
        "PL13:STATes:RFS2:DIGM:IQM OFF",
        std::string("PL13:STATes:RFS2:FREQuency ") + frequency,
        "PL13:STATes:RFS2:LEVel:NORM:AMPL -12.000",
    });
}

TEST(MeasureCWPowers, Source2SetsUpPausesAndMeasures) {
    FormFixture f;
    f.prepared().levels() = {-12, 14, 15, 0, 0, 0, 0};
    f.fake.onQuery("FETCh:TXPower:POWer?", {"-12.4"});
    std::size_t sentBeforePause = 0;
    f.ui.onPause = [&](std::chrono::milliseconds) { sentBeforePause = f.fake.log.size(); };
    EXPECT_FALSE(f.form().measureSource2CWPower(0));
    const Strings texts = f.texts();
    EXPECT_EQ(Strings(texts.begin(), texts.begin() + 18), source2Setup(" 464000000"));
    EXPECT_EQ(sentBeforePause, 18u);
    EXPECT_EQ(f.ui.pauses, std::vector<std::chrono::milliseconds>{std::chrono::milliseconds(1000)});
    EXPECT_EQ(f.fake.count("CALL:CELL:POWer:AMPlitude:CW -12.000"), 1u);
    EXPECT_EQ(f.form().levels().src2MainPower, -12.4);
}

TEST(MeasureCWPowers, Source2RejectedIqOffStillPausesButMeasuresNothing) {
    FormFixture f;
    f.prepared().levels() = {-12, 14, 15, 0, 0, 0, 7.5};
    f.fake.errorAfter("PL13:STATes:RFS2:DIGM:IQM OFF");
    EXPECT_TRUE(f.form().measureSource2CWPower(4));
    const Strings full = source2Setup("1959000000");
    EXPECT_EQ(f.texts(), Strings(full.begin(), full.begin() + 14));
    EXPECT_EQ(f.ui.pauses.size(), 1u);
    EXPECT_EQ(f.form().levels().src2MainPower, 7.5);
}

}  // namespace
}  // namespace quillon::testing
