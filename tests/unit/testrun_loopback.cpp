// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "testrun_fixture.h"

namespace quillon::testing {
namespace {

TEST(SetupBand, Source1ArrangementForGsm450) {
    FormFixture f;
    EXPECT_FALSE(f.prepared().setupBand(false, 0));
    EXPECT_EQ(f.texts(), checked({
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
                             "CALL:CELL:RFGenerator:FREQuency  464000000",
                             "CALL:CELL:OPERating:MODE EBPT",
                             "CALL:CELL:BAND GSM450",
                             "CALL:PDTChannel:ARFCn 276",
                             "RFAN:Control:MEASurement:FREQuency:AUTO 0",
                             "RFANalyzer:MANual:MEASurement:FREQuency  464000000",
                             "PL13:STATES:RFS2:LEVEL:RF OFF",
                             "PL13:STATES:RFS1:LEVEL:RF ON",
                         }));
}

TEST(SetupBand, Source2ArrangementForPgsmWithTheFoundLevels) {
    FormFixture f;
    f.prepared().levels() = {-15, 12, 13, 0, 0, 0, 0};
    EXPECT_FALSE(f.form().setupBand(true, 2));
    EXPECT_EQ(f.texts(), checked({
                             "CALL:CELL:OPERating:MODE CW",
                             "CALL:CELL:RFGenerator:FREQuency  943000000",
                             "CALL:CELL:OPERating:MODE EBPT",
                             "CALL:CELL:BAND PGSM",
                             "CALL:PDTChannel:ARFCn 46",
                             "CALL:CELL:BCH:ARFCn 40",
                             "RFAN:CONTrol:MEASurement:FREQuency:AUTO 0",
                             "RFANalyzer:MANual:MEASurement:FREQuency  943000000",
                             "CALL:CELL:OPERating:MODE EBT",
                             "CALL:PDTChannel:MSLOT:CONFIG D2U1",
                             "CALL:CELL:POWer:AMPlitude -15.000",
                             "CALL:PDTChannel:PREDuction:LEV1 0",
                             "CALL:PDTChannel:PREDuction:LEV2 12.000",
                             "RFANALyzer:CONTrol:POWer:AUTO 0",
                             "RFANALyzer:CONTrol:MEASurement:FREQuency:AUTO 0",
                             "RFANalyzer:MANual:POWer:SELected:SELected:BURST1 5.000",
                             "RFANalyzer:MANual:POWer:SELected:SELected:BURST2 -7.000",
                             "PL13:STATES:RFS2:LEVEL:RF ON",
                             "PL13:STATES:RFS1:LEVEL:RF OFF",
                         }));
}

TEST(SetupBand, DcsFrequencyHasOneBlankAndRejectedLoopbackStopsTheChain) {
    FormFixture f;
    f.fake.errorAfter("PL13:STATes:RFIO:RFSource:DESTination S1S2LOOPBACK");
    EXPECT_TRUE(f.prepared().setupBand(false, 3));
    const Strings texts = f.texts();
    ASSERT_EQ(texts.size(), 18u);  // nine commands, each with its error query
    EXPECT_EQ(texts[16], "PL13:STATes:RFIO:RFSource:DESTination S1S2LOOPBACK");

    FormFixture healthy;
    EXPECT_FALSE(healthy.prepared().setupBand(false, 3));
    EXPECT_EQ(healthy.fake.count("CALL:CELL:RFGenerator:FREQuency 1842000000"), 1u);
    EXPECT_EQ(healthy.fake.count("CALL:PDTChannel:ARFCn 696"), 1u);
}

TEST(SetupBand, BandOutsideTheTableSendsNothing) {
    FormFixture f;
    EXPECT_TRUE(f.prepared().setupBand(false, 5));
    EXPECT_TRUE(f.form().setupBand(true, -1));
    EXPECT_TRUE(f.texts().empty());
}

struct ConfigCase {
    std::int16_t config;
    const char* lev1;
    const char* lev2;
    const char* burst1;
    const char* burst2;
};

class SetupConfig : public ::testing::TestWithParam<ConfigCase> {};

TEST_P(SetupConfig, SendsTheReductionsAndExpectedPowers) {
    const ConfigCase& c = GetParam();
    FormFixture f;
    f.prepared().levels() = {-15, 12, 13, 0, 0, 0, 0};
    EXPECT_FALSE(f.form().setupConfig(c.config));
    EXPECT_EQ(f.texts(),
              checked({
                  "CALL:CELL:OPERating:MODE EBPT",
                  "CALL:PDTChannel:MSLOT:CONFIG D2U2",
                  "CALL:CELL:POWer:AMPlitude -15.000",
                  std::string("CALL:PDTChannel:PREDuction:LEV1 ") + c.lev1,
                  std::string("CALL:PDTChannel:PREDuction:LEV2 ") + c.lev2,
                  "RFANalyzer:CONTrol:POWer:AUTO 0",
                  "RFANalyzer:CONTrol:MEASurement:FREQuency:AUTO 0",
                  std::string("RFANalyzer:MANual:POWer:Selected:Selected:BURSt1 ") + c.burst1,
                  std::string("RFANalyzer:MANual:POWer:Selected:Selected:BURSt2 ") + c.burst2,
                  "RFANalyzer:MSLOt:MEASurement:BURSt 2",
                  "CALL:TRIGGER:OUTPUT:FRAME:NIDLe:STATE ON",
                  "PL13:STATes:RFS1:LEVel:RF ON",
                  "PL13:STATES:RFS2:Level:RF OFF",
              }));
}

INSTANTIATE_TEST_SUITE_P(Configs, SetupConfig,
                         ::testing::Values(ConfigCase{0, "0.000", "12.000", "5.000", "-7.000"},
                                           ConfigCase{1, "12.000", "0.000", "-7.000", "5.000"},
                                           ConfigCase{2, "0.000", "13.000", "5.000", "-8.000"},
                                           ConfigCase{3, "13.000", "0.000", "-8.000", "5.000"}));

TEST(SetupConfigEdges, OutsideZeroToThreeSendsNothingAndAFailureStopsTheChain) {
    FormFixture f;
    EXPECT_TRUE(f.prepared().setupConfig(4));
    EXPECT_TRUE(f.form().setupConfig(-1));
    EXPECT_TRUE(f.texts().empty());

    f.fake.errorAfter("CALL:PDTChannel:MSLOT:CONFIG D2U2");
    EXPECT_TRUE(f.form().setupConfig(0));
    EXPECT_EQ(f.texts(),
              checked({"CALL:CELL:OPERating:MODE EBPT", "CALL:PDTChannel:MSLOT:CONFIG D2U2"}));
}

}  // namespace
}  // namespace quillon::testing
