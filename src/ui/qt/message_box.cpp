// SPDX-License-Identifier: MIT
#include "ui/qt/message_box.h"

#include <QFontMetrics>
#include <QLabel>
#include <QMessageBox>
#include <QStringList>
#include <algorithm>

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

// A message box wraps a text wider than about half the screen at its own width. Made as wide as
// the text's longest line, its label keeps exactly the text's own line breaks.
void keepLineBreaks(QMessageBox& box, const QString& text) {
    auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    if (label == nullptr) return;
    label->ensurePolished();
    const QFontMetrics metrics(label->font());
    int widest = 0;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        widest = std::max(widest, metrics.horizontalAdvance(line));
    }
    // A character to spare, so that rounding in the label's own layout never breaks a line.
    label->setMinimumWidth(widest + metrics.averageCharWidth() + 2 * label->margin());
}

}  // namespace

std::unique_ptr<QMessageBox> makeMessageBox(QWidget* owner, const std::string& title,
                                            const std::string& text, testrun::MessageIcon icon) {
    auto box = std::make_unique<QMessageBox>(qtIcon(icon), QString::fromStdString(title),
                                             displayText(text), QMessageBox::Ok, owner);
    box->setObjectName(QStringLiteral("messageBox"));
    box->setTextFormat(Qt::PlainText);
    keepLineBreaks(*box, box->text());
    return box;
}

void showMessageBox(QWidget* owner, const std::string& title, const std::string& text,
                    testrun::MessageIcon icon) {
    makeMessageBox(owner, title, text, icon)->exec();
}

}  // namespace quillon::ui
