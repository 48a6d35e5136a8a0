// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "testrun_fixture.h"

namespace quillon::testing {
namespace {

Strings source1Setup(const std::string& frequency, const std::string& band,
                     const std::string& channel) {
    return checked({"CALL:CELL:OPERating:MODE EBPT", "CALL:CELL:POWer:AMPLitude -10",
                    "CALL:SETup:PDTChannel:MSLot:CONFig D2U2", "CALL:PDTChannel:PREDuction:LEV1 0",
                    "CALL:PDTChannel:PREDuction:LEV2 0", "CALL:PDTChannel:PREDuction:BURS1 PRL1",
                    "CALL:PDTChannel:PREDuction:BURS2 PRL2", "PL13:STATes:RFS2:Level:RF OFF",
                    "PL13:STATes:RFIO:RFSource:DESTination S1S2LOOPBACK",
                    "CALL:CELL:OPERating:MODE CW", "CALL:CELL:RFGenerator:FREQuency " + frequency,
                    "CALL:CELL:OPERating:MODE EBPT", "CALL:CELL:BAND " + band,
                    "CALL:PDTChannel:ARFCn " + channel, "RFAN:Control:MEASurement:FREQuency:AUTO 0",
                    "RFANalyzer:MANual:MEASurement:FREQuency " + frequency,
                    "PL13:STATES:RFS2:LEVEL:RF OFF", "PL13:STATES:RFS1:LEVEL:RF ON"});
}

TEST(SetupBand, Source1ArrangementAndTheStopAfterAFailure) {
    FormFixture f;
    EXPECT_FALSE(f.prepared().setupBand(false, 0));
    EXPECT_EQ(f.texts(), source1Setup(" 464000000", "GSM450", "276"));

    FormFixture dcs;  // a ten-digit frequency has one blank fewer
    dcs.fake.errorAfter("CALL:PDTChannel:ARFCn 696");
    EXPECT_TRUE(dcs.prepared().setupBand(false, 3));
    EXPECT_EQ(dcs.texts(), head(source1Setup("1842000000", "DCS", "696"), 2 * 14));
}

TEST(SetupBand, Source2ArrangementForPgsmWithTheFoundLevels) {
    FormFixture f;
    f.prepared().levels() = {-15, 12, 13, 0, 0, 0, 0};
    EXPECT_FALSE(f.form().setupBand(true, 2));
    EXPECT_EQ(
        f.texts(),
        checked({"CALL:CELL:OPERating:MODE CW", "CALL:CELL:RFGenerator:FREQuency  943000000",
                 "CALL:CELL:OPERating:MODE EBPT", "CALL:CELL:BAND PGSM", "CALL:PDTChannel:ARFCn 46",
                 "CALL:CELL:BCH:ARFCn 40", "RFAN:CONTrol:MEASurement:FREQuency:AUTO 0",
                 "RFANalyzer:MANual:MEASurement:FREQuency  943000000",
                 "CALL:CELL:OPERating:MODE EBT", "CALL:PDTChannel:MSLOT:CONFIG D2U1",
                 "CALL:CELL:POWer:AMPlitude -15.000", "CALL:PDTChannel:PREDuction:LEV1 0",
                 "CALL:PDTChannel:PREDuction:LEV2 12.000", "RFANALyzer:CONTrol:POWer:AUTO 0",
                 "RFANALyzer:CONTrol:MEASurement:FREQuency:AUTO 0",
                 "RFANalyzer:MANual:POWer:SELected:SELected:BURST1 5.000",
                 "RFANalyzer:MANual:POWer:SELected:SELected:BURST2 -7.000",
                 "PL13:STATES:RFS2:LEVEL:RF ON", "PL13:STATES:RFS1:LEVEL:RF OFF"}));
}

Strings configSetup(const std::string& lev1, const std::string& lev2, const std::string& burst1,
                    const std::string& burst2) {
    const std::string expected = "RFANalyzer:MANual:POWer:Selected:Selected:BURSt";
    return checked({"CALL:CELL:OPERating:MODE EBPT", "CALL:PDTChannel:MSLOT:CONFIG D2U2",
                    "CALL:CELL:POWer:AMPlitude -15.000", "CALL:PDTChannel:PREDuction:LEV1 " + lev1,
                    "CALL:PDTChannel:PREDuction:LEV2 " + lev2, "RFANalyzer:CONTrol:POWer:AUTO 0",
                    "RFANalyzer:CONTrol:MEASurement:FREQuency:AUTO 0", expected + "1 " + burst1,
                    expected + "2 " + burst2, "RFANalyzer:MSLOt:MEASurement:BURSt 2",
                    "CALL:TRIGGER:OUTPUT:FRAME:NIDLe:STATE ON", "PL13:STATes:RFS1:LEVel:RF ON",
                    "PL13:STATES:RFS2:Level:RF OFF"});
}

TEST(SetupConfig, SendsTheReductionsAndExpectedPowersOfEachConfiguration) {
    const Strings rows[] = {{"0.000", "12.000", "5.000", "-7.000"},
                            {"12.000", "0.000", "-7.000", "5.000"},
                            {"0.000", "13.000", "5.000", "-8.000"},
                            {"13.000", "0.000", "-8.000", "5.000"}};
    for (std::int16_t config = 0; config < 4; ++config) {
        FormFixture f;
        f.prepared().levels() = {-15, 12, 13, 0, 0, 0, 0};
        EXPECT_FALSE(f.form().setupConfig(config));
        const Strings& r = rows[config];
        EXPECT_EQ(f.texts(), configSetup(r[0], r[1], r[2], r[3])) << config;
    }
}

TEST(SetupConfig, OutOfRangeSendsNothingAndAFailureStopsTheChain) {
    FormFixture f;
    EXPECT_TRUE(f.prepared().setupConfig(4));
    EXPECT_TRUE(f.form().setupConfig(-1));
    EXPECT_TRUE(f.form().setupBand(false, 5));
    EXPECT_TRUE(f.form().setupBand(true, -1));
    EXPECT_TRUE(f.texts().empty());
    f.fake.errorAfter("CALL:PDTChannel:MSLOT:CONFIG D2U2");
    EXPECT_TRUE(f.form().setupConfig(0));
    EXPECT_EQ(f.texts(), head(configSetup("0.000", "12.000", "5.000", "-7.000"), 4));
}

}  // namespace
}  // namespace quillon::testing
