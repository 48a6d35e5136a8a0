// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <array>
#include <ostream>
#include <string>
#include <vector>

#include "gui_support.h"
#include "instrument/bus_hooks.h"
#include "testrun/test_options.h"
#include "ui/qt/frmChooseTests.h"

namespace quillon::ui {
namespace {

using testing::child;
using testrun::TestOptions;

class OptionsDialog : public ::testing::Test {
  protected:
    OptionsDialog() { testing::guiApplication(); }

    // The run driver's defaults: every band, tests 0 to 7.
    void selectDefaults() {
        for (std::int16_t band = 0; band < TestOptions::kBands; ++band) {
            options.setBand(band, true);
        }
        for (std::int16_t test = 0; test < TestOptions::kCalibrateSource; ++test) {
            options.setTest(test, true);
        }
    }
    QCheckBox& band(frmChooseTests& dialog, int index) {
        return child<QCheckBox>(dialog, ("chkBands_" + std::to_string(index)).c_str());
    }
    QCheckBox& test(frmChooseTests& dialog, int index) {
        return child<QCheckBox>(dialog, ("chkTests_" + std::to_string(index)).c_str());
    }
    // A click on the box itself, not on the empty space a layout may give it.
    static void toggle(QCheckBox& box) {
        QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(6, box.height() / 2));
    }
    void runTest(frmChooseTests& dialog) {
        QTest::mouseClick(&child<QPushButton>(dialog, "cmdOkay"), Qt::LeftButton);
    }

    instrument::ProgramValues program;
    TestOptions options{program};
};

TEST_F(OptionsDialog, ShowsTheCaptions) {
    frmChooseTests dialog(options);
    const std::array<const char*, 5> bands = {
        "GSM450 (464MHz / ARFCN 276)", "GSM850 (882MHz / ARFCN 192)", "GSM900 (943MHz / ARFCN 40)",
        "DCS1800 (1842MHz / ARFCN 696)", "PCS1900 (1959MHz / ARFCN 656)"};
    const std::array<const char*, 9> tests = {
        "GMSK PFER", "GMSK PvT", "GMSK Power", "8PSK Power",      "8PSK Modulation Accuracy",
        "GMSK PFER", "GMSK PvT", "GMSK Power", "Calibrate source"};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(band(dialog, i).text(), bands[std::size_t(i)]) << i;
    for (int i = 0; i < 9; ++i) EXPECT_EQ(test(dialog, i).text(), tests[std::size_t(i)]) << i;
    EXPECT_EQ(dialog.windowTitle(), "Choose test options");
    EXPECT_EQ(child<QPushButton>(dialog, "cmdOkay").text(), "&Run Test");
    EXPECT_TRUE(child<QPushButton>(dialog, "cmdOkay").isDefault());
    EXPECT_FALSE(dialog.windowFlags().testFlag(Qt::WindowCloseButtonHint));
    const auto& slider = child<QSlider>(dialog, "slIterations");
    EXPECT_EQ(slider.minimum(), 1);
    EXPECT_EQ(slider.maximum(), 100);
}

TEST_F(OptionsDialog, LoadsTheChoiceItIsGiven) {
    options.setBand(3, true);
    options.setTest(1, true);
    options.setTest(6, true);
    options.setSliderValue(37);
    frmChooseTests dialog(options);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(band(dialog, i).isChecked(), i == 3) << i;
    for (int i = 0; i < 8; ++i) EXPECT_EQ(test(dialog, i).isChecked(), i == 1 || i == 6) << i;
    EXPECT_EQ(child<QSlider>(dialog, "slIterations").value(), 37);
    EXPECT_EQ(child<QLabel>(dialog, "lblIterations").text(), "37");
}

TEST_F(OptionsDialog, CalibrateSourceStaysCheckedWhateverTheOperatorDoes) {
    frmChooseTests dialog(options);
    dialog.show();
    QCheckBox& calibrate = test(dialog, TestOptions::kCalibrateSource);
    EXPECT_TRUE(calibrate.isChecked());
    EXPECT_FALSE(calibrate.isEnabled());
    toggle(calibrate);
    runTest(dialog);
    EXPECT_TRUE(options.getTest(TestOptions::kCalibrateSource));
}

// Clicks that change the defaults, then "Run Test".
struct Choice {
    const char* name;
    std::vector<int> bandClicks;
    std::vector<int> testClicks;
    std::int16_t numTests;
};

void PrintTo(const Choice& value, std::ostream* out) {
    *out << value.name;
}

class OptionsChoice : public OptionsDialog, public ::testing::WithParamInterface<Choice> {};

TEST_P(OptionsChoice, RunTestWeighsTheChoice) {
    selectDefaults();
    frmChooseTests dialog(options);
    dialog.show();
    for (const int i : GetParam().bandClicks) toggle(band(dialog, i));
    for (const int i : GetParam().testClicks) toggle(test(dialog, i));
    runTest(dialog);
    EXPECT_EQ(options.numTests(), GetParam().numTests);
    EXPECT_EQ(options.result(), 1);
    EXPECT_FALSE(dialog.isVisible());
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(options.getBand(static_cast<std::int16_t>(i)), band(dialog, i).isChecked());
    }
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(options.getTest(static_cast<std::int16_t>(i)), test(dialog, i).isChecked());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Clicks, OptionsChoice,
    ::testing::Values(Choice{"Defaults", {}, {}, 115}, Choice{"NoBand", {0, 1, 2, 3, 4}, {}, 0},
                      Choice{"OneBandSource1PferOnly", {0, 1, 3, 4}, {1, 2, 3, 4, 5, 6, 7}, 4},
                      Choice{"OneBandSource2PferOnly", {0, 1, 2, 4}, {0, 1, 2, 3, 4, 6, 7}, 1},
                      Choice{"TwoBandsSource2Only", {0, 1, 2}, {0, 1, 2, 3, 4}, 6}),
    [](const auto& tested) { return std::string(tested.param.name); });

TEST_F(OptionsDialog, SliderAtHundredSetsTheIterations) {
    selectDefaults();
    frmChooseTests dialog(options);
    dialog.show();
    QSlider& slider = child<QSlider>(dialog, "slIterations");
    slider.setFocus();
    QTest::keyClick(&slider, Qt::Key_End);
    EXPECT_EQ(child<QLabel>(dialog, "lblIterations").text(), "100");
    EXPECT_EQ(program.measurementIterations, 50);  // only "Run Test" takes it
    runTest(dialog);
    EXPECT_EQ(program.measurementIterations, 100);
}

TEST_F(OptionsDialog, RunTestIsReachedByEnterAndAltR) {
    for (const auto& [key, modifiers] :
         {std::pair{Qt::Key_Return, Qt::NoModifier}, std::pair{Qt::Key_R, Qt::AltModifier}}) {
        instrument::ProgramValues values;
        TestOptions choice(values);
        frmChooseTests dialog(choice);
        dialog.show();
        QApplication::setActiveWindow(&dialog);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
        // Through the window, as the platform delivers keys, so that access keys are seen.
        QTest::keyClick(dialog.windowHandle(), key, modifiers);
        // An access key presses the button visibly, which takes a moment.
        EXPECT_TRUE(testing::waitUntil([&choice] { return choice.result() == 1; })) << key;
        EXPECT_FALSE(dialog.isVisible());
    }
}

TEST_F(OptionsDialog, EscapeAndCloseDoNotDismissIt) {
    frmChooseTests dialog(options);
    dialog.show();
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(dialog.close());
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(options.result(), 0);
}

}  // namespace
}  // namespace quillon::ui
