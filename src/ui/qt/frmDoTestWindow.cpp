// SPDX-License-Identifier: MIT
#include "ui/qt/frmDoTestWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>
#include <array>

#include "app/program_info.h"
#include "testrun/results_report.h"
#include "testrun/saving.h"
#include "ui/dialog_texts.h"
#include "ui/qt/results_model.h"

namespace quillon::ui {
namespace {

using testrun::FormLabel;

// The caption and value labels of the form's information block, as laid out: two columns of
// caption/value pairs.
struct InfoLine {
    const char* captionName;
    const char* caption;
    const char* valueName;
    FormLabel value;
};
constexpr std::array<InfoLine, 6> kInfoLines = {{
    {"lblSerialNumberText", "Instrument Serial Number: ", "lblSerialNumber",
     FormLabel::SerialNumber},
    {"lblBandName", "Band:", "lblBand", FormLabel::Band},
    {"lblTestName", "Current Test:", "lblTestStatus", FormLabel::TestStatus},
    {"Label5", "Main Power:", "lblMainPower", FormLabel::MainPower},
    {"Label3", "Offset 1 Power:", "lblOffset1Power", FormLabel::Offset1Power},
    {"Label4", "Offset 2 Power:", "lblOffset2Power", FormLabel::Offset2Power},
}};

void setColours(QLabel& label, const QColor& background, const QColor& text) {
    QPalette palette = label.palette();
    palette.setColor(QPalette::Window, background);
    palette.setColor(QPalette::WindowText, text);
    label.setPalette(palette);
}

// Restores the normal cursor however printing ends.
struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace

frmDoTestWindow::frmDoTestWindow(OutputChoosers choosers, std::function<void()> exitProgram,
                                 QWidget* parent)
    : QWidget(parent), choosers_(std::move(choosers)), exitProgram_(std::move(exitProgram)) {
    setObjectName(QStringLiteral("frmDoTest"));
    setWindowTitle(QString::fromLatin1(kTestFormTitle));
    buildContents();
    setVerdict(testrun::Verdict::Hidden);
    resize(sizeHint().width(), 600);
}

QLabel* frmDoTestWindow::addLabel(const char* name, const QString& text) {
    auto* label = new QLabel(text, this);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

QPushButton* frmDoTestWindow::addButton(const char* name, const QString& text) {
    auto* button = new QPushButton(text, this);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    return button;
}

void frmDoTestWindow::buildContents() {
    QLabel* Label1 =
        addLabel("Label1", QStringLiteral("Corvane Technologies 4750 EDGE Source Verification"));
    QFont titleFont = Label1->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.4);
    Label1->setFont(titleFont);
    Label1->setAlignment(Qt::AlignCenter);

    auto* info = new QGridLayout;
    for (std::size_t i = 0; i < kInfoLines.size(); ++i) {
        const InfoLine& line = kInfoLines[i];
        const int row = static_cast<int>(i % 3);
        const int column = static_cast<int>(i / 3) * 2;
        info->addWidget(addLabel(line.captionName, QString::fromLatin1(line.caption)), row, column);
        QLabel* value = addLabel(line.valueName, QString());
        value->setMinimumWidth(160);
        labels_[line.value] = value;
        info->addWidget(value, row, column + 1);
    }
    info->setColumnStretch(1, 1);
    info->setColumnStretch(3, 1);

    prgMeasurement_ = new QProgressBar(this);
    prgMeasurement_->setObjectName(QStringLiteral("prgMeasurement"));
    prgMeasurement_->setRange(0, 1);
    prgMeasurement_->setValue(0);

    grdResults_ = new QTableView(this);
    grdResults_->setObjectName(QStringLiteral("grdResults"));
    model_ = new ResultsGridModel(grdResults_);
    grdResults_->setModel(model_);
    setUpResultsView(*grdResults_);
    connect(model_, &QAbstractItemModel::modelReset, grdResults_, [this] {
        fitResultsColumns(*grdResults_);
        widenResultsColumns(*grdResults_, 0, model_->rowCount() - 1);
    });
    connect(model_, &QAbstractItemModel::rowsInserted, grdResults_,
            [this](const QModelIndex&, int first, int last) {
                widenResultsColumns(*grdResults_, first, last);
            });
    connect(model_, &QAbstractItemModel::dataChanged, grdResults_,
            [this](const QModelIndex& topLeft, const QModelIndex& bottomRight) {
                widenResultsColumns(*grdResults_, topLeft.row(), bottomRight.row());
            });
    // The run's header from the start, so that the window opens at the width it keeps.
    testrun::ResultsGrid headerOnly;
    headerOnly.setFormatString(testrun::kHeaderFormat);
    model_->setGrid(headerOnly);

    lblPassFail_ = addLabel("lblPassFail", QStringLiteral("Pass"));
    QFont verdictFont = lblPassFail_->font();
    verdictFont.setBold(true);
    verdictFont.setPointSizeF(verdictFont.pointSizeF() * 1.6);
    lblPassFail_->setFont(verdictFont);
    lblPassFail_->setAlignment(Qt::AlignCenter);
    lblPassFail_->setAutoFillBackground(true);
    lblPassFail_->setMinimumWidth(120);

    cmdSaveResults_ = addButton("cmdSaveResults", QStringLiteral("&Save Results"));
    cmdPrintResults_ = addButton("cmdPrintResults", QStringLiteral("&Print Results"));
    cmdExit_ = addButton("cmdExit", QStringLiteral("E&xit"));
    connect(cmdSaveResults_, &QPushButton::clicked, this, &frmDoTestWindow::saveResults);
    connect(cmdPrintResults_, &QPushButton::clicked, this, &frmDoTestWindow::printResults);
    connect(cmdExit_, &QPushButton::clicked, this, [this] { exitProgram_(); });
    // The run is under way from the form's first appearance (its logic runs on another thread
    // and disables them only later); it enables them when it ends.
    setResultButtonsEnabled(false);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(lblPassFail_);
    buttons->addStretch();
    buttons->addWidget(cmdSaveResults_);
    buttons->addWidget(cmdPrintResults_);
    buttons->addWidget(cmdExit_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addLayout(info);
    layout->addWidget(prgMeasurement_);
    layout->addWidget(grdResults_, 1);
    layout->addLayout(buttons);
}

void frmDoTestWindow::setLabel(FormLabel label, const std::string& text) {
    labels_.at(label)->setText(QString::fromStdString(text));
}

void frmDoTestWindow::setProgress(int value, int maximum) {
    // A range of 0..0 would turn the bar into a busy indicator; an empty run shows an empty bar.
    prgMeasurement_->setRange(0, maximum > 0 ? maximum : 1);
    prgMeasurement_->setValue(maximum > 0 ? value : 0);
}

void frmDoTestWindow::showGrid(const testrun::ResultsGrid& grid) {
    model_->setGrid(grid);
}

void frmDoTestWindow::updateGrid(const testrun::GridChanges& changes) {
    model_->applyChanges(changes);
}

const testrun::ResultsGrid& frmDoTestWindow::grid() const {
    return model_->grid();
}

void frmDoTestWindow::setVerdict(testrun::Verdict verdict) {
    switch (verdict) {
        case testrun::Verdict::Hidden:
            lblPassFail_->hide();
            return;
        case testrun::Verdict::Pass:
            lblPassFail_->setText(QStringLiteral("Pass"));
            setColours(*lblPassFail_, QColor(0, 255, 0), QColor(0, 0, 0));
            break;
        case testrun::Verdict::Fail:
            lblPassFail_->setText(QStringLiteral("Fail"));
            setColours(*lblPassFail_, QColor(255, 0, 0), QColor(255, 255, 255));
            break;
    }
    lblPassFail_->show();
}

void frmDoTestWindow::setResultButtonsEnabled(bool enabled) {
    cmdSaveResults_->setEnabled(enabled);
    cmdPrintResults_->setEnabled(enabled);
}

QString frmDoTestWindow::serialNumber() const {
    return labels_.at(FormLabel::SerialNumber)->text();
}

void frmDoTestWindow::saveResults() {
    const QString proposed =
        QString::fromStdString(testrun::proposedFileName(serialNumber().toStdString()));
    const QString path = choosers_.saveFileName(this, proposed);
    if (path.isEmpty()) return;  // cancelled: nothing is saved
    std::string error;
    if (!testrun::writeResultsFile(grid(), QFile::encodeName(path).toStdString(), error)) {
        reportSaveFailure(path, error);
    }
}

void frmDoTestWindow::reportSaveFailure(const QString& path, const std::string& reason) {
    QMessageBox::warning(this, QString::fromLatin1(app::kProgramTitle),
                         QStringLiteral("The results could not be saved to\n%1\n\n%2")
                             .arg(path, QString::fromStdString(reason)));
}

void frmDoTestWindow::printResults() {
    const std::unique_ptr<QPrinter> printer =
        choosers_.printer(this, serialNumber() + QStringLiteral(".pdf"));
    if (!printer) return;
    QScrollBar* scroll = grdResults_->verticalScrollBar();
    const int topRow = scroll->value();
    grdResults_->scrollToTop();
    QCoreApplication::processEvents();
    bool printed = false;
    {
        WaitCursor wait;
        printed = printTablePicture(*grdResults_, *printer);
    }
    scroll->setValue(topRow);
    if (!printed) {
        QMessageBox::warning(this, QString::fromLatin1(app::kProgramTitle),
                             QStringLiteral("The results could not be printed: the printer "
                                            "could not be started."));
    }
}

void frmDoTestWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    exitProgram_();
}

}  // namespace quillon::ui
