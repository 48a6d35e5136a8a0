// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <vector>

#include "testrun/test_options.h"

namespace quillon::testrun {
namespace {

TEST(TestOptions, LoadsWithOnlyCalibrateSourceCheckedAndTheFullWeight) {
    instrument::ProgramValues program;
    TestOptions options(program);
    EXPECT_EQ(options.numTests(), 115);
    EXPECT_EQ(options.result(), 0);
    EXPECT_EQ(options.sliderValue(), 50);
    for (std::int16_t band = 0; band < TestOptions::kBands; ++band)
        EXPECT_FALSE(options.getBand(band));
    for (std::int16_t test = 0; test < 8; ++test) EXPECT_FALSE(options.getTest(test));
    EXPECT_TRUE(options.getTest(TestOptions::kCalibrateSource));
    EXPECT_FALSE(options.getBand(5));
    EXPECT_FALSE(options.getTest(-1));
}

struct Weighing {
    std::vector<std::int16_t> bands;
    std::vector<std::int16_t> tests;
    int slider;
    std::int16_t numTests;
    std::int16_t iterations;
};

class RunTestPressed : public ::testing::TestWithParam<Weighing> {};

TEST_P(RunTestPressed, WeighsTheChoiceAndSetsTheIterations) {
    const Weighing& w = GetParam();
    instrument::ProgramValues program;
    TestOptions options(program);
    for (const std::int16_t band : w.bands) options.setBand(band, true);
    for (const std::int16_t test : w.tests) options.setTest(test, true);
    options.setSliderValue(w.slider);
    options.runTestPressed();
    EXPECT_EQ(options.numTests(), w.numTests);
    EXPECT_EQ(options.result(), 1);
    EXPECT_EQ(program.measurementIterations, w.iterations);
}

INSTANTIATE_TEST_SUITE_P(
    Choices, RunTestPressed,
    ::testing::Values(Weighing{{0, 1, 2, 3, 4}, {0, 1, 2, 3, 4, 5, 6, 7}, 50, 115, 50},
                      Weighing{{}, {0, 1, 2, 3, 4, 5, 6, 7}, 50, 0, 50},
                      Weighing{{2}, {0}, 50, 4, 50}, Weighing{{2}, {5}, 50, 1, 50},
                      Weighing{{1, 3}, {4, 7, 8}, 100, 10, 100},
                      Weighing{{0}, {8}, 0, 0, 1},        // slider clamped to 1
                      Weighing{{0}, {0}, 250, 4, 100}));  // and to 100

TEST(TestOptions, SliderStartsFromTheIterationsSettingAtLoad) {
    instrument::ProgramValues program;
    program.measurementIterations = 7;
    TestOptions options(program);
    EXPECT_EQ(options.sliderValue(), 7);
}

}  // namespace
}  // namespace quillon::testrun
