// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <string>
#include <tuple>
#include <utility>

#include "gui_support.h"
#include "ui/qt/dlgConfirmWizard.h"

namespace quillon::ui {
namespace {

using testing::child;

struct ShownWizard {
    ShownWizard() {
        wizard.setSerialNumber("ABC");
        wizard.show();
    }
    QPushButton& next() { return child<QPushButton>(wizard, "btnNext"); }
    void clickNext(int times) {
        for (int i = 0; i < times; ++i) QTest::mouseClick(&next(), Qt::LeftButton);
    }

    dlgConfirmWizard wizard;
};

TEST(Wizard, StepsShowTheirCaptionTitleTextAndButton) {
    const std::pair<const char*, const char*> steps[] = {
        {"Step 1 - Connections",
         "Connect a BNC - BNC lead from \"TRIG IN\" to \"TRIG OUT\" on the rear panel of the 4750 "
         "being tested"},
        {"Step 2 - Remove RF", "Remove any RF inputs from the 4750"},
        {"Step 3 - Check Firmware",
         "Ensure that the 4750 is running one of the following applications\n\n"
         " - K3310 LA with K3315A Feature License\n"
         " - K2210 TA with K2205A Feature License\n"
         " - K2230 TA with K2205A Feature License\n\n"
         "Press Go! to start test test\n\n"
         "The test may take up to ten minutes to run"}};
    ShownWizard shown;
    EXPECT_EQ(child<QLabel>(shown.wizard, "lblSerialNumber").text(), "Serial Number: ABC");
    for (int step = 1; step <= 3; ++step) {
        SCOPED_TRACE(step);
        shown.clickNext(step == 1 ? 0 : 1);
        EXPECT_EQ(shown.wizard.step(), step);
        EXPECT_EQ(shown.wizard.windowTitle(), QString("Setup Wizard - Step %1 of 3").arg(step));
        EXPECT_EQ(child<QLabel>(shown.wizard, "lblTitle").text(), steps[step - 1].first);
        EXPECT_EQ(child<QLabel>(shown.wizard, "lblText").text(), steps[step - 1].second);
        EXPECT_EQ(shown.next().text(), step < 3 ? "Next >" : "Go!");
    }
}

TEST(Wizard, EnterThreeTimesGoesWithoutShift) {
    ShownWizard shown;
    for (int i = 0; i < 3; ++i) QTest::keyClick(&shown.wizard, Qt::Key_Return);
    EXPECT_TRUE(shown.wizard.okayPressed());
    EXPECT_FALSE(shown.wizard.shiftHeld());
    EXPECT_FALSE(shown.wizard.isVisible());
}

TEST(Wizard, EscapeOrCancelLeavesWithoutOkay) {
    for (const auto& [nextClicks, escape] : {std::pair{1, true}, {0, false}, {2, false}}) {
        ShownWizard shown;
        shown.clickNext(nextClicks);
        if (escape)
            QTest::keyClick(&shown.wizard, Qt::Key_Escape);
        else
            QTest::mouseClick(&child<QPushButton>(shown.wizard, "btnCancel"), Qt::LeftButton);
        EXPECT_FALSE(shown.wizard.okayPressed()) << nextClicks;
        EXPECT_FALSE(shown.wizard.isVisible()) << nextClicks;
    }
}

// The key a stroke names and the modifier it holds down.
std::pair<Qt::Key, Qt::KeyboardModifier> namedKey(const QString& name) {
    if (name == "Shift") return {Qt::Key_Shift, Qt::ShiftModifier};
    if (name == "Ctrl") return {Qt::Key_Control, Qt::ControlModifier};
    if (name == "Alt") return {Qt::Key_Alt, Qt::AltModifier};
    return {Qt::Key_A, Qt::NoModifier};
}

TEST(Wizard, GoRecordsWhetherShiftAloneWasDown) {
    // Strokes ("+Key" presses, "-Key" releases; Go! is clicked with what is held), the control
    // they go to (the dialog when empty), whether Shift alone counts as held.
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"+Shift", "", true},           {"+Shift", "btnCancel", true},
        {"+Shift -Shift", "", false},   {"+Ctrl -Ctrl +Shift", "", true},
        {"+Shift +Alt -Alt", "", true}, {"+Ctrl +Shift", "", false},
        {"+Shift +A -A", "", true},     {"", "", false}};
    for (const auto& [strokes, targetName, shiftHeld] : cases) {
        SCOPED_TRACE(std::string(strokes) + " to " + targetName);
        ShownWizard shown;
        shown.clickNext(2);
        QWidget* target = *targetName ? &child<QWidget>(shown.wizard, targetName)
                                      : static_cast<QWidget*>(&shown.wizard);
        Qt::KeyboardModifiers held;
        for (const QString& stroke : QString(strokes).split(' ', Qt::SkipEmptyParts)) {
            const bool press = stroke.front() == '+';
            const auto [key, modifier] = namedKey(stroke.mid(1));
            if (modifier != Qt::NoModifier) held.setFlag(modifier, press);
            // One event per stroke, as the platform sends them (QTest would add its own presses
            // and releases of the modifier keys around each one).
            QKeyEvent event(press ? QEvent::KeyPress : QEvent::KeyRelease, key, held);
            QApplication::sendEvent(target, &event);
        }
        QTest::mouseClick(&shown.next(), Qt::LeftButton, held);
        EXPECT_TRUE(shown.wizard.okayPressed());
        EXPECT_EQ(shown.wizard.shiftHeld(), shiftHeld);
    }
}

}  // namespace
}  // namespace quillon::ui
