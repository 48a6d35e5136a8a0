// SPDX-License-Identifier: MIT
#include "ui/qt/frmSplash.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

namespace quillon::ui {
namespace {

// 4680 by 1710 twips at 15 twips a pixel.
constexpr int kWidth = 312;
constexpr int kHeight = 114;
const QColor kTitleColour(128, 64, 64);

QLabel* addLabel(QVBoxLayout& layout, const char* name, const QString& text, bool titleStyle) {
    auto* label = new QLabel(text);
    label->setObjectName(QString::fromLatin1(name));
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    if (titleStyle) {
        label->setAlignment(Qt::AlignCenter);
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, kTitleColour);
        label->setPalette(palette);
    }
    layout.addWidget(label);
    return label;
}

}  // namespace

// A plain frameless window: a Qt::SplashScreen one would run the event loop inside show(),
// where queued calls of the run (closing this very window) could come in.
frmSplash::frmSplash(QWidget* parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("frmSplash"));
    setFixedSize(kWidth, kHeight);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 10, 12, 10);
    lblStatus_ = addLabel(*layout, "lblStatus", QString(), false);
    layout->addStretch();
    addLabel(*layout, "Label1", QStringLiteral("Corvane 4750 Source Verification"), true);
    addLabel(*layout, "Label2", QStringLiteral("loading - please wait"), true);
    layout->addStretch();
    centreOnScreen(*this);
}

void frmSplash::setStatus(const std::string& strStatusString) {
    lblStatus_->setText(QString::fromStdString(strStatusString));
}

void centreOnScreen(QWidget& window) {
    const QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    QRect frame = window.frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window.move(frame.topLeft());
}

}  // namespace quillon::ui
