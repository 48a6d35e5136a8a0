// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace quillon::instrument {

// What the instrument layer needs from whoever runs it: a chance for the user interface to
// breathe during long work, and a way to tell the operator about an unusable VISA library.
struct BusHooks {
    std::function<void()> yield;
    // Shows a message box with an OK button and no icon; returns when it is closed.
    std::function<void(const std::string& title, const std::string& text)> notify;
};

// The program's title, also that of the message boxes that name no title of their own.
inline constexpr const char* kProgramTitle = "Quillon";

// Measurements per result until the operator chooses another count.
inline constexpr std::int16_t kDefaultIterations = 50;

// The program-wide values of the run, created by start-up and alive until the program ends.
struct ProgramValues {
    bool visaInitFailed = false;
    std::int16_t measurementIterations = kDefaultIterations;
};

}  // namespace quillon::instrument
