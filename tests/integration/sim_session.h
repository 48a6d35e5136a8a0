// SPDX-License-Identifier: MIT
#pragma once

// Talking to the simulated test set library from a test: loads it once, selects a profile
// through QUILLON_SIM_PROFILE and opens a fresh resource manager (a fresh bus) per test.

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <variant>

#include "instrument/visa_library.h"

namespace quillon::sim_test {

using instrument::ViSession;
using instrument::ViStatus;

inline instrument::VisaLibrary& simLibrary() {
    static std::unique_ptr<instrument::VisaLibrary> library = [] {
        auto loaded =
            instrument::VisaLibrary::load(std::string(QUILLON_BIN_DIR) + "/libquillon-sim-visa.so");
        if (auto* error = std::get_if<instrument::VisaLoadError>(&loaded)) {
            ADD_FAILURE() << "simulated VISA library not loadable: " << error->description;
            return std::unique_ptr<instrument::VisaLibrary>();
        }
        return std::move(std::get<std::unique_ptr<instrument::VisaLibrary>>(loaded));
    }();
    if (!library) std::abort();
    return *library;
}

inline std::string shippedProfile(const std::string& name) {
    return std::string(QUILLON_BIN_DIR) + "/sim-profiles/" + name;
}

// Writes a profile for one test into the temporary directory and returns its path.
inline std::string writeProfile(const std::string& name, const std::string& text) {
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("quillon-sim-test-" + name + ".toml");
    std::ofstream(path) << text;
    return path.string();
}

// A test set profile with extra keys appended after its [[instrument]] header lines.
inline std::string testSetProfile(const std::string& simulator, const std::string& extra) {
    return "[simulator]\n" + simulator +
           "\n[[instrument]]\nkind = \"test_set\"\nresource = \"GPIB0::14::INSTR\"\n" + extra;
}

class SimSession {
  public:
    explicit SimSession(const std::string& profilePath) : api_(simLibrary()) {
        setenv("QUILLON_SIM_PROFILE", profilePath.c_str(), 1);
        rmStatus_ = api_.openDefaultRM(&rm_);
    }

    ViStatus rmStatus() const { return rmStatus_; }
    ViSession rm() const { return rm_; }
    instrument::VisaApi& api() { return api_; }

    std::string statusDescription(ViStatus status) {
        std::array<char, instrument::kDescriptorBufferSize> text{};
        api_.statusDesc(rm_, status, text.data());
        return text.data();
    }

    ViSession open(const std::string& resource) {
        ViSession vi = 0;
        EXPECT_EQ(api_.open(rm_, resource.c_str(), instrument::kViNull, 0, &vi),
                  instrument::kViSuccess)
            << resource;
        return vi;
    }

    ViStatus write(ViSession vi, const std::string& command) {
        return api_.printf(vi, (command + "\n").c_str());
    }

    // The reply without its line feed; status receives the VISA status.
    std::string query(ViSession vi, const std::string& text, ViStatus* status = nullptr) {
        std::array<char, instrument::kReplyBufferSize> reply{};
        const ViStatus result =
            api_.queryf(vi, (text + "\n").c_str(), instrument::kReplyReadFormat, reply.data());
        if (status != nullptr) *status = result;
        std::string answer = reply.data();
        if (!answer.empty() && answer.back() == '\n') answer.pop_back();
        return answer;
    }

    std::string error(ViSession vi) { return query(vi, "SYSTem:ERRor?"); }

  private:
    instrument::VisaApi& api_;
    ViSession rm_ = 0;
    ViStatus rmStatus_ = instrument::kViSuccess;
};

// A session on the default test set of a profile, its error queue cleared.
class TestSetSession : public SimSession {
  public:
    explicit TestSetSession(const std::string& profilePath,
                            const std::string& resource = "GPIB0::14::INSTR")
        : SimSession(profilePath) {
        vi_ = open(resource);
        write(vi_, "*rst");
        write(vi_, "*cls");
    }
    ViSession vi() const { return vi_; }
    ViStatus send(const std::string& command) { return write(vi_, command); }
    std::string ask(const std::string& text, ViStatus* status = nullptr) {
        return query(vi_, text, status);
    }
    std::string nextError() { return error(vi_); }
    // Polls "INIT:DONE?" until it names the measurement; gives up after limit polls.
    int pollUntilDone(const std::string& name, int limit = 20) {
        for (int polls = 1; polls <= limit; ++polls) {
            if (ask("INIT:DONE?") == name) return polls;
        }
        return -1;
    }

  private:
    ViSession vi_ = 0;
};

inline const char* kNoError = "+0,\"No error\"";

}  // namespace quillon::sim_test
