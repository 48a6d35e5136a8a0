// SPDX-License-Identifier: MIT
// Discovery on the simulated bus: what each shipped profile puts on it, what the program's bus
// session makes of it, and how a bad profile is reported.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "instrument/clsMom.h"
#include "instrument/clsVisa.h"
#include "sim_session.h"

namespace quillon::sim_test {
namespace {

using instrument::kViErrorRsrcNotFound;
using instrument::kViSuccess;

std::vector<std::string> listResources(SimSession& session, ViStatus* firstStatus = nullptr) {
    std::array<char, instrument::kDescriptorBufferSize> descriptor{};
    instrument::ViFindList list = 0;
    instrument::ViUInt32 count = 0;
    ViStatus status = session.api().findRsrc(session.rm(), "GPIB[0-9]*::?*INSTR", &list, &count,
                                             descriptor.data());
    if (firstStatus != nullptr) *firstStatus = status;
    std::vector<std::string> found;
    if (status != kViSuccess) {
        EXPECT_EQ(count, 0u);
        return found;
    }
    while (status == kViSuccess) {
        found.emplace_back(descriptor.data());
        status = session.api().findNext(list, descriptor.data());
    }
    EXPECT_EQ(status, kViErrorRsrcNotFound);
    EXPECT_EQ(found.size(), count);
    return found;
}

struct ShippedBus {
    const char* profile;
    std::vector<std::string> resources;
    int testSets;
    const char* serial;  // of the first test set found
    const char* testApplication;
};

const std::vector<ShippedBus> kShippedBuses{
    {"healthy.toml",
     {"GPIB0::5::INSTR", "GPIB0::14::INSTR", "GPIB0::22::INSTR"},
     1,
     "GB44180123",
     "K2210"},
    {"no-test-set.toml", {"GPIB0::5::INSTR", "GPIB0::9::INSTR", "GPIB0::22::INSTR"}, 0, "", ""},
    {"two-test-sets.toml",
     {"GPIB0::14::INSTR", "GPIB0::5::INSTR", "GPIB1::7::INSTR"},
     2,
     "GB44180123",
     "K2210"},
    {"unsupported-application.toml", {"GPIB0::14::INSTR"}, 1, "GB44180123", "K2211"},
    {"failing-result.toml", {"GPIB0::14::INSTR"}, 1, "GB44180123", "K2210"},
    {"mid-band-error.toml", {"GPIB0::14::INSTR"}, 1, "GB44180123", "K2210"},
    {"calibration-differs.toml", {"GPIB0::14::INSTR"}, 1, "GB44180123", "K2210"},
    {"failing-source2.toml", {"GPIB0::14::INSTR"}, 1, "GB44180123", "K2210"},
    {"attenuation-edge.toml", {"GPIB0::14::INSTR"}, 1, "GB44180123", "K2210"},
    {"source2-integrity.toml", {"GPIB0::14::INSTR"}, 1, "GB44180123", "K2210"},
    {"timeout.toml", {"GPIB0::14::INSTR"}, 1, "GB44180123", "K2210"},
};

TEST(SimDiscovery, EachShippedProfileListsItsResourcesInOrder) {
    for (const ShippedBus& bus : kShippedBuses) {
        SimSession session(shippedProfile(bus.profile));
        ASSERT_EQ(session.rmStatus(), kViSuccess) << bus.profile;
        EXPECT_EQ(listResources(session), bus.resources) << bus.profile;
    }
}

TEST(SimDiscovery, TheProgramsBusSessionFindsTheTestSetsOfEachProfile) {
    for (const ShippedBus& bus : kShippedBuses) {
        setenv("QUILLON_SIM_PROFILE", shippedProfile(bus.profile).c_str(), 1);
        instrument::ProgramValues program;
        std::vector<std::string> messages;
        instrument::BusHooks hooks{
            {}, [&](const std::string&, const std::string& text) { messages.push_back(text); }};
        instrument::clsVisa visa(&simLibrary(), std::nullopt, hooks, program);
        visa.seek4750s();
        EXPECT_TRUE(messages.empty()) << bus.profile;
        EXPECT_EQ(visa.num4750s(), bus.testSets) << bus.profile;
        if (bus.testSets == 0) continue;
        const auto mom = visa.get4750(0);
        EXPECT_EQ(mom->MomSerialNumber(), bus.serial) << bus.profile;
        EXPECT_EQ(mom->MomTA(), bus.testApplication) << bus.profile;
        EXPECT_EQ(mom->MomFirmwareVersion(), "A.05.12") << bus.profile;
        EXPECT_EQ(mom->MomInterface(), "GPIB0") << bus.profile;
        EXPECT_EQ(mom->MomAddr(), 14) << bus.profile;
    }
}

TEST(SimDiscovery, IdentityRepliesHaveTheFieldsAndQuotesTheProgramTrims) {
    TestSetSession set(shippedProfile("healthy.toml"));
    EXPECT_EQ(set.ask("*idn?"), "Corvane Technologies,4750A,GB44180123,B.02.07");
    EXPECT_EQ(set.ask("syst:appl:curr:rev?"), "\"A.05.12\"");
    EXPECT_EQ(set.ask("syst:curr:ta:mod?"), "\"K2210 \"");
}

TEST(SimDiscovery, SessionsAnswerTheirGpibAttributesOnly) {
    SimSession session(shippedProfile("two-test-sets.toml"));
    const ViSession vi = session.open("GPIB1::7::INSTR");
    struct Attribute {
        instrument::ViAttr attribute;
        instrument::ViUInt16 value;
    };
    for (const Attribute& expected :
         {Attribute{instrument::kViAttrIntfType, 1}, Attribute{instrument::kViAttrIntfNum, 1},
          Attribute{instrument::kViAttrGpibPrimaryAddr, 7}}) {
        instrument::ViUInt16 value = 0xFFFF;
        EXPECT_EQ(session.api().getAttribute(vi, expected.attribute, &value), kViSuccess);
        EXPECT_EQ(value, expected.value);
    }
    instrument::ViUInt32 other = 0;
    EXPECT_EQ(session.api().getAttribute(vi, 0x3FFF001Au, &other), instrument::kViErrorNsupAttr);
    ViSession unknown = 123;
    EXPECT_EQ(session.api().open(session.rm(), "GPIB0::15::INSTR", 0, 0, &unknown),
              kViErrorRsrcNotFound);
    EXPECT_EQ(unknown, 0u);
    EXPECT_EQ(session.api().close(vi), kViSuccess);
    EXPECT_EQ(session.api().close(vi), instrument::kViErrorInvObject);
}

TEST(SimDiscovery, ForeignAndSilentInstrumentsBehaveAsTheirKind) {
    SimSession session(shippedProfile("healthy.toml"));
    const ViSession foreign = session.open("GPIB0::5::INSTR");
    EXPECT_EQ(session.query(foreign, "*IDN?"), "Other Maker,OM-3300,0042117,1.04");
    session.write(foreign, "syst:curr:ta:mod?");
    EXPECT_EQ(session.error(foreign), "-113,\"Undefined header\"");

    const ViSession silent = session.open("GPIB0::22::INSTR");
    ViStatus status = kViSuccess;
    EXPECT_EQ(session.query(silent, "*idn?", &status), "");
    EXPECT_EQ(status, instrument::kViErrorTimeout);
}

TEST(SimDiscovery, AnEmptyBusFindsNothing) {
    SimSession session(writeProfile("empty", "[simulator]\nseed = 1\n"));
    ASSERT_EQ(session.rmStatus(), kViSuccess);
    ViStatus status = kViSuccess;
    EXPECT_TRUE(listResources(session, &status).empty());
    EXPECT_EQ(status, kViErrorRsrcNotFound);
}

struct BadProfile {
    const char* name;
    const char* text;   // nullptr: the file does not exist
    const char* words;  // part of the description
};

TEST(SimDiscovery, ABadProfileRefusesTheResourceManagerWithWords) {
    const std::vector<BadProfile> cases{
        {"missing", nullptr, "quillon-sim-test-missing.toml"},
        {"syntax", "[simulator\nseed = 1\n", "line 1"},
        {"unknown-key", "[simulator]\nsede = 1\n", "unknown key 'sede'"},
        {"bad-kind", "[[instrument]]\nkind = \"scope\"\nresource = \"GPIB0::1::INSTR\"\n",
         "'kind' must be"},
        {"bad-resource", "[[instrument]]\nkind = \"silent\"\nresource = \"GPIB0:1\"\n",
         "is not like"},
        {"bad-fault",
         "[[instrument]]\nkind = \"test_set\"\nresource = \"GPIB0::1::INSTR\"\n"
         "[[instrument.fault]]\ncommand = \"*RST\"\naction = \"explode\"\n",
         "unknown fault action 'explode'"},
        {"bad-table",
         "[[instrument]]\nkind = \"test_set\"\nresource = \"GPIB0::1::INSTR\"\n"
         "[[instrument.calibration]]\ntable = \"nope\"\nrow = 0\ncolumn = 0\nvalue = 1\n",
         "names no table entry"},
    };
    for (const BadProfile& bad : cases) {
        std::string path = writeProfile(bad.name, bad.text == nullptr ? "" : bad.text);
        if (bad.text == nullptr) std::filesystem::remove(path);
        SimSession session(path);
        EXPECT_LT(session.rmStatus(), 0) << bad.name;
        const std::string description = session.statusDescription(session.rmStatus());
        EXPECT_NE(description.find("quillon-sim-test-" + std::string(bad.name) + ".toml"),
                  std::string::npos)
            << description;
        EXPECT_NE(description.find(bad.words), std::string::npos) << description;
    }
}

TEST(SimDiscovery, EveryResourceManagerStartsAFreshBus) {
    {
        TestSetSession set(shippedProfile("healthy.toml"));
        set.send("SYSTem:CORRection:STATe 0");
        EXPECT_EQ(set.ask("SYSTem:CORRection:STATE?"), "0");
    }
    TestSetSession again(shippedProfile("healthy.toml"));
    EXPECT_EQ(again.ask("SYSTem:CORRection:STATE?"), "1");
}

}  // namespace
}  // namespace quillon::sim_test
