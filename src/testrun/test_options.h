// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstdint>

namespace quillon::instrument {
struct ProgramValues;
}

namespace quillon::testrun {

// The run's choice of bands, tests and iterations: the state behind the test options dialog,
// which also serves as the store the run reads its choices from.
class TestOptions {
  public:
    static constexpr int kBands = 5;
    static constexpr int kTests = 9;
    // Test indices as the dialog lists them.
    static constexpr int kSrc1Pfer = 0;
    static constexpr int kSrc1Pvt = 1;
    static constexpr int kSrc1GmskPower = 2;
    static constexpr int kSrc1EpskPower = 3;
    static constexpr int kSrc1ModAcc = 4;
    static constexpr int kSrc2Pfer = 5;
    static constexpr int kSrc2Pvt = 6;
    static constexpr int kSrc2GmskPower = 7;
    static constexpr int kCalibrateSource = 8;
    static constexpr int kMinIterations = 1;
    static constexpr int kMaxIterations = 100;

    // Loading takes the slider from the iterations setting; the progress total is that of
    // every band and test 0 to 7.
    explicit TestOptions(instrument::ProgramValues& program);

    void setBand(std::int16_t band, bool state);
    bool getBand(std::int16_t band) const;
    void setTest(std::int16_t test, bool state);
    bool getTest(std::int16_t test) const;
    // The progress bar's total: how many measurement steps the choice makes.
    std::int16_t progressSteps() const { return progressSteps_; }
    std::int16_t result() const { return result_; }  // 1 once "Run Test" was pressed

    int sliderValue() const { return slider_; }
    void setSliderValue(int value);  // clamped to 1..100

    // "Run Test": weighs the choice into the progress total, sets result and the iterations
    // setting.
    void runTestPressed();

  private:
    instrument::ProgramValues& program_;
    std::array<bool, kBands> bands_{};
    std::array<bool, kTests> tests_{};
    std::int16_t progressSteps_;
    std::int16_t result_ = 0;
    int slider_ = kMinIterations;  // loading sets it from the iterations setting
};

}  // namespace quillon::testrun
