// SPDX-License-Identifier: MIT
#include "ui/qt/dlgConfirmWizard.h"

#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>
#include <numbers>

#include "app/program_info.h"
#include "ui/dialog_texts.h"

namespace quillon::ui {
namespace {

constexpr const char* kNotice = "For use by qualified service personnel.";
constexpr const char* kDisclaimer =
    "The test set's settings are changed during the run, and its baseband generator delay "
    "calibration values are rewritten where they differ from this program's. Check the results "
    "against your own service procedure before returning the instrument to use.";

QString stepText(const char* stored) {
    return QString::fromStdString(shownStepText(stored));
}

QLabel* namedLabel(const char* name, const QString& text = {}) {
    auto* label = new QLabel(text);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

void makeTitleStyle(QLabel& label) {
    QFont font = label.font();
    font.setBold(true);
    font.setPointSizeF(12.0);
    label.setFont(font);
    label.setAlignment(Qt::AlignCenter);
}

// A test set front panel with a modulated carrier on its screen.
QPixmap drawInstrumentPicture() {
    QPixmap picture(132, 96);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(70, 70, 80), 2));
    painter.setBrush(QColor(200, 204, 212));
    painter.drawRoundedRect(QRectF(2, 8, 128, 80), 6, 6);
    painter.setBrush(QColor(20, 40, 30));
    const QRectF screen(10, 16, 72, 52);
    painter.drawRect(screen);
    QPainterPath trace;
    for (int x = 0; x <= 68; ++x) {
        const double envelope = std::sin(std::numbers::pi * x / 68.0);
        const double y = screen.center().y() - 20.0 * envelope * std::sin(x * 0.9);
        const QPointF point(screen.left() + 2 + x, y);
        if (x == 0) {
            trace.moveTo(point);
        } else {
            trace.lineTo(point);
        }
    }
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(90, 230, 120), 1.5));
    painter.drawPath(trace);
    painter.setPen(QPen(QColor(70, 70, 80), 1));
    painter.setBrush(QColor(120, 124, 132));
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 2; ++col) {
            painter.drawEllipse(QRectF(92 + col * 18, 18 + row * 18, 12, 12));
        }
    }
    painter.setBrush(QColor(128, 64, 64));
    painter.drawRect(QRectF(10, 74, 72, 8));
    return picture;
}

QFrame* horizontalRule() {
    auto* line = new QFrame;
    line->setObjectName(QStringLiteral("Line1"));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

// The modifier state a key event leaves behind, restricted to Shift, Ctrl and Alt. A press or
// release of a modifier key itself is counted, whatever the platform put into modifiers().
Qt::KeyboardModifiers modifiersAfter(const QKeyEvent& key) {
    constexpr Qt::KeyboardModifiers kTracked =
        Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier;
    Qt::KeyboardModifiers state = key.modifiers() & kTracked;
    Qt::KeyboardModifier own = Qt::NoModifier;
    switch (key.key()) {
        case Qt::Key_Shift:
            own = Qt::ShiftModifier;
            break;
        case Qt::Key_Control:
            own = Qt::ControlModifier;
            break;
        case Qt::Key_Alt:
            own = Qt::AltModifier;
            break;
        default:
            return state;
    }
    state.setFlag(own, key.type() == QEvent::KeyPress);
    return state;
}

}  // namespace

dlgConfirmWizard::dlgConfirmWizard(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName(QStringLiteral("dlgConfirmWizard"));
    setModal(true);
    buildContents();
    lblVersion_->setText(QString::fromStdString(app::versionText()));
    fixSizeForLongestStep();
    showStep(1);
    qApp->installEventFilter(this);
}

dlgConfirmWizard::~dlgConfirmWizard() {
    qApp->removeEventFilter(this);
}

void dlgConfirmWizard::buildContents() {
    auto* Label1 = namedLabel("Label1", QString::fromLatin1(kProgramHeading));
    makeTitleStyle(*Label1);
    lblSerialNumber_ = namedLabel("lblSerialNumber");
    QFont bold = lblSerialNumber_->font();
    bold.setBold(true);
    lblSerialNumber_->setFont(bold);
    lblSerialNumber_->setAlignment(Qt::AlignCenter);

    auto* Image1 = namedLabel("Image1");
    Image1->setPixmap(drawInstrumentPicture());
    lblVersion_ = namedLabel("lblVersion", QStringLiteral("Version: A.XX.XX"));
    auto* Label2 = namedLabel("Label2", QString::fromLatin1(kNotice));
    Label2->setWordWrap(true);
    auto* lblDescription = namedLabel("lblDescription", QString::fromLatin1(kDescription));
    lblDescription->setWordWrap(true);
    auto* lblDisclaimer = namedLabel("lblDisclaimer", QString::fromLatin1(kDisclaimer));
    lblDisclaimer->setWordWrap(true);

    auto* beside = new QVBoxLayout;
    beside->addWidget(lblVersion_);
    beside->addWidget(Label2);
    beside->addStretch();
    auto* pictureRow = new QHBoxLayout;
    pictureRow->addWidget(Image1, 0, Qt::AlignTop);
    pictureRow->addLayout(beside, 1);
    auto* left = new QVBoxLayout;
    left->addLayout(pictureRow);
    left->addWidget(lblDescription);
    left->addWidget(horizontalRule());
    left->addWidget(lblDisclaimer);
    left->addStretch();

    auto* Frame1 = new QFrame;
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setFrameShape(QFrame::StyledPanel);
    lblTitle_ = namedLabel("lblTitle");
    makeTitleStyle(*lblTitle_);
    lblText_ = namedLabel("lblText");
    lblText_->setWordWrap(true);
    lblText_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    auto* frameLayout = new QVBoxLayout(Frame1);
    frameLayout->addWidget(lblTitle_);
    frameLayout->addWidget(lblText_, 1);

    btnNext_ = new QPushButton;
    btnNext_->setObjectName(QStringLiteral("btnNext"));
    btnNext_->setDefault(true);
    auto* btnCancel = new QPushButton(QString::fromLatin1(kCancelCaption));
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setAutoDefault(false);
    connect(btnNext_, &QPushButton::clicked, this, &dlgConfirmWizard::nextPressed);
    connect(btnCancel, &QPushButton::clicked, this, &dlgConfirmWizard::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnNext_);
    buttons->addWidget(btnCancel);

    auto* body = new QHBoxLayout;
    body->addLayout(left, 1);
    body->addWidget(Frame1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(lblSerialNumber_);
    layout->addLayout(body, 1);
    layout->addLayout(buttons);
}

// The dialog keeps one size through the steps: that of the step with the longest text.
void dlgConfirmWizard::fixSizeForLongestStep() {
    lblText_->setMinimumWidth(260);
    lblText_->setText(stepText(kWizardSteps[2].text));
    lblTitle_->setText(QString::fromLatin1(kWizardSteps[2].title));
    btnNext_->setText(QString::fromLatin1(kWizardSteps[2].next));
    setFixedSize(sizeHint().expandedTo(QSize(600, 0)));
}

void dlgConfirmWizard::showStep(int step) {
    const WizardStepTexts& shown = kWizardSteps[static_cast<std::size_t>(step - 1)];
    step_ = static_cast<std::int16_t>(step);
    setWindowTitle(QString::fromLatin1(shown.caption));
    lblTitle_->setText(QString::fromLatin1(shown.title));
    lblText_->setText(stepText(shown.text));
    btnNext_->setText(QString::fromLatin1(shown.next));
}

void dlgConfirmWizard::setSerialNumber(const std::string& num) {
    lblSerialNumber_->setText(QString::fromLatin1(kSerialNumberCaption) +
                              QString::fromStdString(num));
}

void dlgConfirmWizard::nextPressed() {
    if (step_ < 3) {
        showStep(step_ + 1);
        return;
    }
    shiftHeld_ = shiftDown_;
    OkayPressed_ = true;
    accept();
}

void dlgConfirmWizard::reject() {
    OkayPressed_ = false;
    QDialog::reject();
}

void dlgConfirmWizard::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    btnNext_->setFocus();
}

bool dlgConfirmWizard::eventFilter(QObject* /*watched*/, QEvent* event) {
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
        const Qt::KeyboardModifiers state = modifiersAfter(*static_cast<QKeyEvent*>(event));
        if (event->type() == QEvent::KeyPress && state == Qt::ShiftModifier) shiftDown_ = true;
        if (event->type() == QEvent::KeyRelease && state == Qt::NoModifier) shiftDown_ = false;
    }
    return false;  // seen, never consumed
}

}  // namespace quillon::ui
