// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <ostream>
#include <string>
#include <vector>

#include "gui_support.h"
#include "ui/qt/dlgConfirmWizard.h"

namespace quillon::ui {
namespace {

using testing::child;

class Wizard : public ::testing::Test {
  protected:
    Wizard() {
        testing::guiApplication();
        wizard.setSerialNumber("ABC");
        wizard.show();
    }
    QPushButton& next() { return child<QPushButton>(wizard, "btnNext"); }
    QPushButton& cancel() { return child<QPushButton>(wizard, "btnCancel"); }
    QString label(const char* name) { return child<QLabel>(wizard, name).text(); }
    void clickNextTimes(int times) {
        for (int i = 0; i < times; ++i) QTest::mouseClick(&next(), Qt::LeftButton);
    }

    dlgConfirmWizard wizard;
};

TEST_F(Wizard, ShowsSerialNumberVersionAndDescription) {
    EXPECT_EQ(label("lblSerialNumber"), "Serial Number: ABC");
    EXPECT_EQ(label("lblVersion"), "Version: A.02.01");
    EXPECT_EQ(label("lblDescription"),
              "This program verifies 4750 Instruments, after installation of EGPRS hardware.");
    EXPECT_EQ(label("Label1"), "Corvane 4750 Source Verification");
    EXPECT_FALSE(child<QLabel>(wizard, "Image1").pixmap().isNull());
}

TEST_F(Wizard, HasNoCloseButtonAndKeepsItsSize) {
    EXPECT_FALSE(wizard.windowFlags().testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(wizard.windowFlags().testFlag(Qt::WindowMinMaxButtonsHint));
    EXPECT_EQ(wizard.minimumSize(), wizard.maximumSize());
}

struct StepView {
    int nextPresses;
    const char* caption;
    const char* title;
    const char* text;
    const char* button;
};

void PrintTo(const StepView& value, std::ostream* out) {
    *out << "step " << value.nextPresses + 1;
}

class WizardSteps : public Wizard, public ::testing::WithParamInterface<StepView> {};

TEST_P(WizardSteps, ShowCaptionTitleTextAndButton) {
    const StepView& step = GetParam();
    clickNextTimes(step.nextPresses);
    EXPECT_EQ(wizard.step(), step.nextPresses + 1);
    EXPECT_EQ(wizard.windowTitle(), step.caption);
    EXPECT_EQ(label("lblTitle"), step.title);
    EXPECT_EQ(label("lblText"), step.text);
    EXPECT_EQ(next().text(), step.button);
    EXPECT_TRUE(wizard.isVisible());
}

INSTANTIATE_TEST_SUITE_P(
    AllSteps, WizardSteps,
    ::testing::Values(
        StepView{0, "Setup Wizard - Step 1 of 3", "Step 1 - Connections",
                 "Connect a BNC - BNC lead from \"TRIG IN\" to \"TRIG OUT\" on the rear panel of "
                 "the 4750 being tested",
                 "Next >"},
        StepView{1, "Setup Wizard - Step 2 of 3", "Step 2 - Remove RF",
                 "Remove any RF inputs from the 4750", "Next >"},
        StepView{2, "Setup Wizard - Step 3 of 3", "Step 3 - Check Firmware",
                 "Ensure that the 4750 is running one of the following applications\n\n"
                 " - K3310 LA with K3315A Feature License\n"
                 " - K2210 TA with K2205A Feature License\n"
                 " - K2230 TA with K2205A Feature License\n\n"
                 "Press Go! to start test test\n\n"
                 "The test may take up to ten minutes to run",
                 "Go!"}));

TEST_F(Wizard, EnterThreeTimesGoesWithoutShift) {
    for (int i = 0; i < 3; ++i) QTest::keyClick(&wizard, Qt::Key_Return);
    EXPECT_TRUE(wizard.okayPressed());
    EXPECT_FALSE(wizard.shiftHeld());
    EXPECT_FALSE(wizard.isVisible());
}

struct Leaving {
    const char* name;
    int nextPresses;
    bool useEscape;  // otherwise Cancel is clicked
};

void PrintTo(const Leaving& value, std::ostream* out) {
    *out << value.name;
}

class WizardCancel : public Wizard, public ::testing::WithParamInterface<Leaving> {};

TEST_P(WizardCancel, LeavesWithoutOkay) {
    clickNextTimes(GetParam().nextPresses);
    if (GetParam().useEscape) {
        QTest::keyClick(&wizard, Qt::Key_Escape);
    } else {
        QTest::mouseClick(&cancel(), Qt::LeftButton);
    }
    EXPECT_FALSE(wizard.okayPressed());
    EXPECT_FALSE(wizard.isVisible());
}

INSTANTIATE_TEST_SUITE_P(Ways, WizardCancel,
                         ::testing::Values(Leaving{"EscapeAtStep2", 1, true},
                                           Leaving{"CancelAtStep1", 0, false},
                                           Leaving{"CancelAtStep3", 2, false}),
                         [](const auto& tested) { return std::string(tested.param.name); });

// A key event the operator makes before "Go!": press or release of a key, with the modifiers
// that are down once it is pressed or released, sent to the named control (the dialog itself
// when empty).
struct KeyStroke {
    bool press;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    const char* target;
};

struct ShiftCase {
    const char* name;
    std::vector<KeyStroke> strokes;
    Qt::KeyboardModifiers clickModifiers;
    bool shiftHeld;
};

void PrintTo(const ShiftCase& value, std::ostream* out) {
    *out << value.name;
}

class WizardShift : public Wizard, public ::testing::WithParamInterface<ShiftCase> {};

TEST_P(WizardShift, GoRecordsWhetherShiftAloneWasDown) {
    clickNextTimes(2);
    for (const KeyStroke& stroke : GetParam().strokes) {
        QWidget* target = *stroke.target ? &child<QWidget>(wizard, stroke.target)
                                         : static_cast<QWidget*>(&wizard);
        // One event per stroke, as the platform sends them (QTest would add its own presses
        // and releases of the modifier keys around each one).
        QKeyEvent event(stroke.press ? QEvent::KeyPress : QEvent::KeyRelease, stroke.key,
                        stroke.modifiers);
        QApplication::sendEvent(target, &event);
    }
    QTest::mouseClick(&next(), Qt::LeftButton, GetParam().clickModifiers);
    EXPECT_TRUE(wizard.okayPressed());
    EXPECT_EQ(wizard.shiftHeld(), GetParam().shiftHeld);
}

constexpr auto kShift = Qt::ShiftModifier;
constexpr auto kCtrl = Qt::ControlModifier;
constexpr auto kNone = Qt::NoModifier;

INSTANTIATE_TEST_SUITE_P(
    KeySequences, WizardShift,
    ::testing::Values(
        ShiftCase{"ShiftHeldAtGo", {{true, Qt::Key_Shift, kShift, ""}}, kShift, true},
        ShiftCase{"ShiftHeldWithFocusOnCancel",
                  {{true, Qt::Key_Shift, kShift, "btnCancel"}},
                  kShift,
                  true},
        ShiftCase{"ShiftPressedAndReleased",
                  {{true, Qt::Key_Shift, kShift, ""}, {false, Qt::Key_Shift, kNone, ""}},
                  kNone,
                  false},
        ShiftCase{"ShiftAfterCtrlWasReleased",
                  {{true, Qt::Key_Control, kCtrl, ""},
                   {false, Qt::Key_Control, kNone, ""},
                   {true, Qt::Key_Shift, kShift, ""}},
                  kShift,
                  true},
        ShiftCase{"AltReleasedWhileShiftStaysDown",
                  {{true, Qt::Key_Shift, kShift, ""},
                   {true, Qt::Key_Alt, kShift | Qt::AltModifier, ""},
                   {false, Qt::Key_Alt, kShift, ""}},
                  kShift,
                  true},
        ShiftCase{"CtrlFirstThenShift",
                  {{true, Qt::Key_Control, kCtrl, ""}, {true, Qt::Key_Shift, kCtrl | kShift, ""}},
                  kCtrl | kShift,
                  false},
        ShiftCase{"ShiftThenLetterKeepsIt",
                  {{true, Qt::Key_Shift, kShift, ""},
                   {true, Qt::Key_A, kShift, ""},
                   {false, Qt::Key_A, kShift, ""}},
                  kShift,
                  true},
        ShiftCase{"NoKeys", {}, kNone, false}),
    [](const auto& tested) { return std::string(tested.param.name); });

}  // namespace
}  // namespace quillon::ui
