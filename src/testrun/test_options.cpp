// SPDX-License-Identifier: MIT
#include "testrun/test_options.h"

#include <algorithm>

#include "instrument/bus_hooks.h"

namespace quillon::testrun {
namespace {

// Weight of a chosen test in the progress count: a source 1 test runs under four loopback
// configurations per band, a source 2 test under one. "Calibrate source" weighs nothing.
constexpr std::array<int, TestOptions::kTests> kTestWeight = {4, 4, 4, 4, 4, 1, 1, 1, 0};

// Every band with tests 0 to 7, as before the dialog has weighed a choice.
constexpr std::int16_t allChosenWeight() {
    int weight = 0;
    for (int test = 0; test < TestOptions::kCalibrateSource; ++test) {
        weight += kTestWeight[test];
    }
    return static_cast<std::int16_t>(weight * TestOptions::kBands);
}

bool inRange(std::int16_t index, int size) {
    return index >= 0 && index < size;
}

}  // namespace

TestOptions::TestOptions(instrument::ProgramValues& program)
    : program_(program), progressSteps_(allChosenWeight()) {
    tests_[kCalibrateSource] = true;  // checked and greyed: the operator cannot clear it
    setSliderValue(program_.measurementIterations);
}

void TestOptions::setBand(std::int16_t band, bool state) {
    if (inRange(band, kBands)) {
        bands_[static_cast<std::size_t>(band)] = state;
    }
}

bool TestOptions::getBand(std::int16_t band) const {
    return inRange(band, kBands) && bands_[static_cast<std::size_t>(band)];
}

void TestOptions::setTest(std::int16_t test, bool state) {
    if (inRange(test, kTests)) {
        tests_[static_cast<std::size_t>(test)] = state;
    }
}

bool TestOptions::getTest(std::int16_t test) const {
    return inRange(test, kTests) && tests_[static_cast<std::size_t>(test)];
}

void TestOptions::setSliderValue(int value) {
    slider_ = std::clamp(value, kMinIterations, kMaxIterations);
}

void TestOptions::runTestPressed() {
    const auto bandCount = std::count(bands_.begin(), bands_.end(), true);
    int weight = 0;
    for (std::size_t test = 0; test < tests_.size(); ++test) {
        if (tests_[test]) {
            weight += kTestWeight[test];
        }
    }
    progressSteps_ = static_cast<std::int16_t>(weight * static_cast<int>(bandCount));
    result_ = 1;
    program_.measurementIterations = static_cast<std::int16_t>(slider_);
}

}  // namespace quillon::testrun
