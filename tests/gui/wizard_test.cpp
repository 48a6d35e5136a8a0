// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QPushButton>
#include <QStringList>
#include <QTest>
#include <tuple>
#include <utility>

#include "gui_support.h"
#include "ui/qt/dlgConfirmWizard.h"

namespace quillon::ui {
namespace {

using testing::child;

// The key a stroke names and the modifier it holds down.
std::pair<Qt::Key, Qt::KeyboardModifier> namedKey(const QString& name) {
    if (name == "Shift") return {Qt::Key_Shift, Qt::ShiftModifier};
    if (name == "Ctrl") return {Qt::Key_Control, Qt::ControlModifier};
    if (name == "Alt") return {Qt::Key_Alt, Qt::AltModifier};
    return {Qt::Key_A, Qt::NoModifier};
}

TEST(Wizard, StrokesDecideGoAndWhetherShiftAloneWasDown) {
    // From step 1: "Next" and "Cancel" clicked with what is held, "Return" and "Escape" typed,
    // "+Key" presses and "-Key" releases a key on the dialog (on the named control after '>');
    // then whether the wizard went and whether Shift alone counted as held.
    // clang-format off
    const std::tuple<const char*, bool, bool> cases[] = {
        {"Return Return Return", true, false}, {"Next Next +Shift -Shift Next", true, false},
        {"Next Escape", false, false}, {"Next Next +Ctrl -Ctrl +Shift Next", true, true},
        {"Next Next Cancel", false, false}, {"Next Next +Shift +Alt -Alt Next", true, true},
        {"Next Next Next", true, false}, {"Next Next +Shift>btnCancel Next", true, true},
        {"Next Next +Shift Next", true, true}, {"Next Next +Ctrl +Shift Next", true, false},
        {"Next Next +Shift +A -A Next", true, true}};
    // clang-format on
    for (const auto& [strokes, went, shiftHeld] : cases) {
        SCOPED_TRACE(strokes);
        dlgConfirmWizard wizard;
        wizard.show();
        Qt::KeyboardModifiers held;
        for (const QString& stroke : QString(strokes).split(' ')) {
            if (stroke == "Return" || stroke == "Escape") {
                QTest::keyClick(&wizard, stroke == "Return" ? Qt::Key_Return : Qt::Key_Escape);
            } else if (stroke == "Next" || stroke == "Cancel") {
                const QByteArray button = "btn" + stroke.toLatin1();
                QTest::mouseClick(&child<QPushButton>(wizard, button.data()), Qt::LeftButton, held);
            } else {
                const QStringList keyAndControl = stroke.mid(1).split('>');
                const QByteArray control = keyAndControl.value(1).toLatin1();
                QWidget& target =
                    control.isEmpty() ? wizard : child<QWidget>(wizard, control.data());
                const bool press = stroke.front() == '+';
                const auto [key, modifier] = namedKey(keyAndControl[0]);
                if (modifier != Qt::NoModifier) held.setFlag(modifier, press);
                // One event per stroke, as the platform sends them (QTest would add its own
                // presses and releases of the modifier keys around each one).
                QKeyEvent event(press ? QEvent::KeyPress : QEvent::KeyRelease, key, held);
                QApplication::sendEvent(&target, &event);
            }
        }
        EXPECT_EQ(wizard.okayPressed(), went);
        EXPECT_EQ(wizard.shiftHeld(), shiftHeld);
        EXPECT_FALSE(wizard.isVisible());
    }
}

}  // namespace
}  // namespace quillon::ui
