// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "testrun/test_options.h"

namespace quillon::testrun {
namespace {

TEST(TestOptions, LoadsWithOnlyCalibrateSourceAndRunTestClampsTheIterations) {
    instrument::ProgramValues program;
    program.measurementIterations = 7;
    TestOptions options(program);
    EXPECT_EQ(options.sliderValue(), 7);
    for (std::int16_t i = -1; i <= TestOptions::kTests; ++i) {
        EXPECT_FALSE(options.getBand(i)) << i;
        EXPECT_EQ(options.getTest(i), i == TestOptions::kCalibrateSource) << i;
    }
    options.setBand(1, true);
    options.setTest(4, true);
    for (const auto& [slider, iterations] : {std::pair{0, 1}, {250, 100}, {37, 37}}) {
        options.setSliderValue(slider);
        options.runTestPressed();
        EXPECT_EQ(options.numTests(), 4);  // once per configuration
        EXPECT_EQ(program.measurementIterations, iterations);
    }
}

}  // namespace
}  // namespace quillon::testrun
