// SPDX-License-Identifier: MIT
#include "ui/qt/message_box.h"

#include <QMessageBox>

namespace quillon::ui {
namespace {

QMessageBox::Icon qtIcon(testrun::MessageIcon icon) {
    switch (icon) {
        case testrun::MessageIcon::Exclamation:
            return QMessageBox::Warning;
        case testrun::MessageIcon::Critical:
            return QMessageBox::Critical;
        case testrun::MessageIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

// The program's texts join lines with CR LF; a label wants plain line breaks.
QString displayText(const std::string& text) {
    QString shown = QString::fromStdString(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return shown;
}

}  // namespace

void showMessageBox(QWidget* owner, const std::string& title, const std::string& text,
                    testrun::MessageIcon icon) {
    QMessageBox box(qtIcon(icon), QString::fromStdString(title), displayText(text), QMessageBox::Ok,
                    owner);
    box.setObjectName(QStringLiteral("messageBox"));
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

}  // namespace quillon::ui
