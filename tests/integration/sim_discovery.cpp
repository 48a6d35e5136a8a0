// SPDX-License-Identifier: MIT
// Discovery on the simulated bus: what each shipped profile puts on it, what the program's bus
// session makes of it, and how a bad profile is reported.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "instrument/clsMom.h"
#include "instrument/clsVisa.h"
#include "sim_session.h"

namespace quillon::sim_test {
namespace {

// The resources viFindRsrc lists, one blank between them.
std::string listResources(SimSession& session) {
    std::array<char, instrument::kDescriptorBufferSize> descriptor{};
    instrument::ViFindList list = 0;
    instrument::ViUInt32 count = 0, listed = 0;
    std::string found;
    for (ViStatus status = session.api().findRsrc(session.rm(), "GPIB[0-9]*::?*INSTR", &list,
                                                  &count, descriptor.data());
         status == instrument::kViSuccess;
         status = session.api().findNext(list, descriptor.data()), ++listed) {
        found += (found.empty() ? "" : " ") + std::string(descriptor.data());
    }
    EXPECT_EQ(listed, count);
    return found;
}

// The resources in order, and the test sets the program finds: the last one's serial number,
// test application and place.
TEST(SimDiscovery, EachShippedProfileAsTheProgramSeesIt) {
    struct Bus {
        const char *profile, *resources;
        int testSets;
        const char* last;
    };
    std::vector<Bus> buses{
        {"healthy", "GPIB0::5::INSTR GPIB0::14::INSTR GPIB0::22::INSTR", 1,
         "GB44180123 K2210 GPIB0::14"},
        {"no-test-set", "GPIB0::5::INSTR GPIB0::9::INSTR GPIB0::22::INSTR", 0, ""},
        {"two-test-sets", "GPIB0::14::INSTR GPIB0::5::INSTR GPIB1::7::INSTR", 2,
         "GB44180777 K2210 GPIB1::7"},
        {"unsupported-application", "GPIB0::14::INSTR", 1, "GB44180123 K2211 GPIB0::14"}};
    for (const char* profile :
         {"failing-result", "mid-band-error", "calibration-differs", "failing-source2",
          "attenuation-edge", "source2-integrity", "timeout"}) {
        buses.push_back({profile, "GPIB0::14::INSTR", 1, "GB44180123 K2210 GPIB0::14"});
    }
    for (const Bus& bus : buses) {
        SimSession session(shippedProfile(bus.profile));
        ASSERT_EQ(session.rmStatus(), instrument::kViSuccess) << bus.profile;
        EXPECT_EQ(listResources(session), bus.resources) << bus.profile;
        instrument::ProgramValues program;
        std::vector<std::string> messages;
        instrument::BusHooks hooks{
            {}, [&](const std::string&, const std::string& text) { messages.push_back(text); }};
        instrument::clsVisa visa(&simLibrary(), std::nullopt, hooks, program);
        visa.seek4750s();
        EXPECT_TRUE(messages.empty()) << bus.profile;
        ASSERT_EQ(visa.num4750s(), bus.testSets) << bus.profile;
        if (bus.testSets == 0) continue;
        const auto mom = visa.get4750(std::int16_t(bus.testSets - 1));
        EXPECT_EQ(mom->MomSerialNumber() + " " + mom->MomTA() + " " + mom->MomInterface() +
                      "::" + std::to_string(mom->MomAddr()),
                  bus.last);
        EXPECT_EQ(mom->MomFirmwareVersion(), "A.05.12");
    }
}

// A missing file, and anything but a regular file (read, it would block or give an empty bus),
// get the same refusal.
TEST(SimDiscovery, ABadProfileRefusesTheResourceManagerWithWords) {
    const std::string notAFile = "File could not be opened for reading";
    const std::vector<std::array<std::string, 3>> cases{
        {"missing", "", notAFile},
        {"folder", "", notAFile},
#ifndef _WIN32
        {"fifo", "", notAFile},
        {"device", "", notAFile},
#endif
        {"syntax", "[simulator\nseed = 1\n", "line 1"},
        {"unknown-key", "[simulator]\nsede = 1\n", "unknown key 'sede'"},
        {"bad-fault",
         "[[instrument]]\nkind = \"test_set\"\nresource = \"GPIB0::1::INSTR\"\n"
         "[[instrument.fault]]\ncommand = \"*RST\"\naction = \"explode\"\n",
         "unknown fault action 'explode'"},
        {"two-selectors",
         "[[instrument]]\nkind = \"test_set\"\nresource = \"GPIB0::1::INSTR\"\n"
         "[[instrument.fault]]\nany = true\ncommand = \"*RST\"\naction = \"timeout\"\n",
         "give exactly one of 'text', 'command' and 'any = true'"}};
    for (const auto& [name, text, words] : cases) {
        const std::string path = writeProfile(name, text);
        if (text.empty()) std::filesystem::remove(path);
        if (name == "folder") std::filesystem::create_directory(path);
#ifndef _WIN32
        if (name == "fifo") {
            ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
        }
        if (name == "device") std::filesystem::create_symlink("/dev/null", path);
#endif
        SimSession session(path);
        EXPECT_LT(session.rmStatus(), 0) << name;
        std::array<char, instrument::kDescriptorBufferSize> description{};
        session.api().statusDesc(session.rm(), session.rmStatus(), description.data());
        EXPECT_NE(std::string(description.data()).find("quillon-sim-test-" + name + ".toml"),
                  std::string::npos)
            << name;
        EXPECT_NE(std::string(description.data()).find(words), std::string::npos) << name;
    }
}

#ifndef _WIN32
// Run by the test below in a process of its own: writes a profile and prints its path.
TEST(SimTestFiles, DISABLED_WriteOneProfile) {
    std::printf("profile %s\n", writeProfile("same", "other").c_str());
}

// Two test processes never share a profile file, each one's folder goes when it exits, and a
// forked child that exits normally leaves its parent's folder alone.
TEST(SimTestFiles, EachProcessWritesInItsOwnFolderRemovedAtExit) {
    const std::string ours = writeProfile("same", "parent");
    if (::fork() == 0) {
        (void)writeProfile("child", "child");
        std::exit(0);  // the normal exit, with its clean-up
    }
    ::wait(nullptr);
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    FILE* other = ::popen(("'" + self + "' --gtest_also_run_disabled_tests " +
                           "--gtest_filter=SimTestFiles.DISABLED_WriteOneProfile")
                              .c_str(),
                          "r");
    ASSERT_NE(other, nullptr);
    std::string otherPath;
    for (std::array<char, 512> line{}; std::fgets(line.data(), line.size(), other);) {
        if (std::string(line.data()).rfind("profile ", 0) == 0) {
            otherPath = std::string(line.data() + 8);
            otherPath.pop_back();  // the line feed
        }
    }
    EXPECT_EQ(::pclose(other), 0);
    ASSERT_FALSE(otherPath.empty());
    EXPECT_NE(ours, otherPath);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(otherPath).parent_path()));
    std::ifstream file(ours);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), "parent");
    EXPECT_EQ(std::filesystem::status(std::filesystem::path(ours).parent_path()).permissions(),
              std::filesystem::perms::owner_all);
}
#endif

}  // namespace
}  // namespace quillon::sim_test
