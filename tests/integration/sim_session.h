// SPDX-License-Identifier: MIT
#pragma once

// Talking to the simulated test set library from a test: loads it once, selects a profile
// through QUILLON_SIM_PROFILE and opens a fresh resource manager (a fresh bus) per session.

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <variant>

#include "instrument/visa_library.h"
#include "private_temp.h"

namespace quillon::sim_test {

using instrument::ViSession;
using instrument::ViStatus;

inline const char* const kNoError = "+0,\"No error\"";

inline instrument::VisaLibrary& simLibrary() {
    static auto loaded = instrument::VisaLibrary::load(QUILLON_SIM_LIBRARY);
    auto* library = std::get_if<std::unique_ptr<instrument::VisaLibrary>>(&loaded);
    if (library == nullptr) {
        std::fprintf(stderr, "no simulated VISA library: %s\n",
                     std::get<instrument::VisaLoadError>(loaded).description.c_str());
        std::abort();
    }
    return **library;
}

// The simulated library reads its profile from the environment when a resource manager opens.
inline void selectProfile(const std::string& path) {
#ifdef _WIN32
    _putenv_s("QUILLON_SIM_PROFILE", path.c_str());
#else
    setenv("QUILLON_SIM_PROFILE", path.c_str(), 1);
#endif
}

inline std::string shippedProfile(const std::string& name) {
    return std::string(QUILLON_BIN_DIR) + "/sim-profiles/" + name + ".toml";
}

// In the test process's own temporary folder; returns its path.
inline std::string writeProfile(const std::string& name, const std::string& text) {
    const std::string path = testing::privateTempPath("quillon-sim-test-" + name + ".toml");
    std::ofstream(path) << text;
    return path;
}

// A profile with these simulator settings and one test set, with extra keys after its own.
inline std::string testSetProfile(const std::string& name, const std::string& simulator,
                                  const std::string& extra = "") {
    return writeProfile(name, "[simulator]\n" + simulator +
                                  "\n[[instrument]]\nkind = \"test_set\"\n"
                                  "resource = \"GPIB0::14::INSTR\"\n" +
                                  extra);
}

// A fresh bus on a profile; with openTestSet, a session on its test set, reset and cleared.
class SimSession {
  public:
    explicit SimSession(const std::string& profilePath, bool openTestSet = false)
        : api_(simLibrary()) {
        selectProfile(profilePath);
        rmStatus_ = api_.openDefaultRM(&rm_);
        if (!openTestSet) return;
        EXPECT_EQ(api_.open(rm_, "GPIB0::14::INSTR", instrument::kViNull, 0, &vi_),
                  instrument::kViSuccess);
        send("*rst");
        send("*cls");
    }
    ViStatus rmStatus() const { return rmStatus_; }
    ViSession rm() const { return rm_; }
    instrument::VisaApi& api() { return api_; }
    ViSession vi() const { return vi_; }
    ViStatus send(const std::string& command) { return api_.printf(vi_, (command + "\n").c_str()); }
    // The reply without its line feed; status receives the VISA status.
    std::string ask(const std::string& text, ViStatus* status = nullptr) {
        instrument::VisaApi::ReplyBuffer reply{};
        const ViStatus result = api_.query(vi_, (text + "\n").c_str(), reply);
        if (status != nullptr) *status = result;
        std::string answer = reply.data();
        if (!answer.empty() && answer.back() == '\n') answer.pop_back();
        return answer;
    }
    std::string nextError() { return ask("SYSTem:ERRor?"); }
    // Both sources looped back to the analyzer at PGSM channel 40, source 1 on.
    void loopBack() {
        for (const char* command :
             {"PL13:STATes:RFIO:RFSource:DESTination S1S2LOOPBACK", "PL13:LATC:RFINT:LOOPBACK 1",
              "PL13:LATC:RFINT:PATH:SOURCE1 1", "PL13:LATC:RFINT:PATH:SOURCE2 1",
              "CALL:PDTChannel:ARFCn 40", "RFAN:CONT:MEAS:FREQ:AUTO 0",
              "RFAN:MAN:MEAS:FREQ 943 MHz", "PL13:STATes:RFS2:FREQuency 943000000",
              "PL13:STAT:RFS1:LEV:RF ON"}) {
            send(command);
        }
        EXPECT_EQ(nextError(), kNoError);
    }
    // Polls "INIT:DONE?" until it names the measurement: the number of polls, or -1 after 20.
    int pollUntilDone(const std::string& name) {
        for (int polls = 1; polls <= 20; ++polls) {
            if (ask("INIT:DONE?") == name) return polls;
        }
        return -1;
    }

  private:
    instrument::VisaApi& api_;
    ViSession rm_ = 0;
    ViStatus rmStatus_ = instrument::kViSuccess;
    ViSession vi_ = 0;
};

struct TestSetSession : SimSession {
    explicit TestSetSession(const std::string& profilePath) : SimSession(profilePath, true) {}
};

}  // namespace quillon::sim_test
