// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QPushButton>
#include <QTest>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "gui_support.h"
#include "instrument/bus_hooks.h"
#include "testrun/test_options.h"
#include "ui/qt/frmChooseTests.h"

namespace quillon::ui {
namespace {

using testing::child;
using testrun::TestOptions;

// The dialog shown over the run driver's defaults: every band, tests 0 to 7.
struct ShownDialog {
    ShownDialog() {
        for (std::int16_t i = 0; i < TestOptions::kBands; ++i) options.setBand(i, true);
        for (std::int16_t i = 0; i < TestOptions::kCalibrateSource; ++i) options.setTest(i, true);
        dialog.emplace(options);
        dialog->show();
    }
    QCheckBox& box(const char* kind, int index) {
        return child<QCheckBox>(*dialog, (kind + std::to_string(index)).c_str());
    }
    // A click on the box itself, not on the empty space a layout may give it.
    static void toggle(QCheckBox& box) {
        QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(6, box.height() / 2));
    }
    void runTest() { QTest::mouseClick(&child<QPushButton>(*dialog, "cmdOkay"), Qt::LeftButton); }

    instrument::ProgramValues program;
    TestOptions options{program};
    std::optional<frmChooseTests> dialog;
};

TEST(OptionsDialog, RunTestHandsOnTheChoice) {
    // Boxes clicked (bands, tests; test 8 is "Calibrate source", which stays chosen),
    // progressSteps.
    // clang-format off
    const std::tuple<std::vector<int>, std::vector<int>, std::int16_t> cases[] = {
        {{}, {}, 115},                             {{}, {8}, 115},
        {{0, 1, 2, 3, 4}, {}, 0},                  {{0, 1, 2}, {0, 1, 2, 3, 4}, 6},
        {{0, 1, 3, 4}, {1, 2, 3, 4, 5, 6, 7}, 4},  {{0, 1, 2, 4}, {0, 1, 2, 3, 4, 6, 7}, 1}};
    // clang-format on
    for (const auto& [bandClicks, testClicks, progressSteps] : cases) {
        SCOPED_TRACE(progressSteps);
        ShownDialog shown;
        for (const int i : bandClicks) ShownDialog::toggle(shown.box("chkBands_", i));
        for (const int i : testClicks) ShownDialog::toggle(shown.box("chkTests_", i));
        EXPECT_TRUE(shown.box("chkTests_", 8).isChecked());
        EXPECT_FALSE(shown.box("chkTests_", 8).isEnabled());
        shown.runTest();
        EXPECT_EQ(shown.options.progressSteps(), progressSteps);
        EXPECT_EQ(shown.options.result(), 1);
        EXPECT_FALSE(shown.dialog->isVisible());
        for (std::int16_t i = 0; i <= TestOptions::kCalibrateSource; ++i) {
            EXPECT_EQ(shown.options.getTest(i), shown.box("chkTests_", i).isChecked()) << i;
            if (i < TestOptions::kBands) {
                EXPECT_EQ(shown.options.getBand(i), shown.box("chkBands_", i).isChecked()) << i;
            }
        }
    }
}

}  // namespace
}  // namespace quillon::ui
