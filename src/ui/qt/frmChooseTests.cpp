// SPDX-License-Identifier: MIT
#include "ui/qt/frmChooseTests.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>
#include <cstdint>

#include "ui/dialog_texts.h"

namespace quillon::ui {
namespace {

using testrun::TestOptions;

QCheckBox* indexedCheckBox(const char* name, int index, const char* caption) {
    auto* box = new QCheckBox(QString::fromLatin1(caption));
    box->setObjectName(QStringLiteral("%1_%2").arg(QString::fromLatin1(name)).arg(index));
    return box;
}

QGroupBox* namedGroup(const char* title, const char* name) {
    auto* group = new QGroupBox(QString::fromLatin1(title));
    group->setObjectName(QString::fromLatin1(name));
    return group;
}

}  // namespace

frmChooseTests::frmChooseTests(TestOptions& options, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      options_(options) {
    setObjectName(QStringLiteral("frmChooseTests"));
    setWindowTitle(QString::fromLatin1(kOptionsTitle));
    setModal(true);

    auto* prompt = new QLabel(QString::fromLatin1(kOptionsPrompt));
    prompt->setObjectName(QStringLiteral("lblSelect"));
    auto* cmdOkay = new QPushButton(QStringLiteral("&Run Test"));
    cmdOkay->setObjectName(QStringLiteral("cmdOkay"));
    cmdOkay->setDefault(true);
    connect(cmdOkay, &QPushButton::clicked, this, &frmChooseTests::runTestPressed);

    auto* layout = new QGridLayout(this);
    layout->addWidget(prompt, 0, 0, 1, 2);
    layout->addWidget(buildBands(), 1, 0);
    layout->addWidget(buildSystemConfiguration(), 1, 1);
    layout->addWidget(buildSourceTests("Source 1 Tests", "Source 1", 0, 4), 2, 0);
    layout->addWidget(buildSourceTests("Source 2 Tests", "Source 2", 5, 7), 2, 1);
    layout->addWidget(cmdOkay, 3, 1, Qt::AlignRight);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    loadChoice();
}

QGroupBox* frmChooseTests::buildBands() {
    auto* group = namedGroup("Bands", "fraBands");
    auto* layout = new QVBoxLayout(group);
    for (int band = 0; band < TestOptions::kBands; ++band) {
        chkBands_[static_cast<std::size_t>(band)] =
            indexedCheckBox("chkBands", band, kBandCaptions[static_cast<std::size_t>(band)]);
        layout->addWidget(chkBands_[static_cast<std::size_t>(band)]);
    }
    return group;
}

QGroupBox* frmChooseTests::buildSystemConfiguration() {
    auto* group = namedGroup("System Configuration", "fraSystem");
    auto* calibrate = indexedCheckBox("chkTests", TestOptions::kCalibrateSource,
                                      kTestCaptions[TestOptions::kCalibrateSource]);
    calibrate->setChecked(true);
    calibrate->setEnabled(false);
    chkTests_[TestOptions::kCalibrateSource] = calibrate;

    slIterations_ = new QSlider(Qt::Horizontal);
    slIterations_->setObjectName(QStringLiteral("slIterations"));
    slIterations_->setRange(TestOptions::kMinIterations, TestOptions::kMaxIterations);
    slIterations_->setPageStep(10);
    auto* value = new QLabel;
    value->setObjectName(QStringLiteral("lblIterations"));
    value->setMinimumWidth(value->fontMetrics().horizontalAdvance(QStringLiteral("000")));
    value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    connect(slIterations_, &QSlider::valueChanged, value,
            [value](int iterations) { value->setNum(iterations); });

    auto* iterations = new QLabel(QStringLiteral("Measurement Iterations"));
    iterations->setBuddy(slIterations_);
    auto* sliderRow = new QHBoxLayout;
    sliderRow->addWidget(slIterations_, 1);
    sliderRow->addWidget(value);
    auto* layout = new QVBoxLayout(group);
    layout->addWidget(calibrate);
    layout->addWidget(iterations);
    layout->addLayout(sliderRow);
    layout->addStretch();
    return group;
}

QGroupBox* frmChooseTests::buildSourceTests(const char* title, const char* source, int first,
                                            int last) {
    auto* group = namedGroup(title, first == 0 ? "fraSource1" : "fraSource2");
    auto* heading = new QLabel(QString::fromLatin1(source));
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    auto* layout = new QVBoxLayout(group);
    layout->addWidget(heading);
    for (int test = first; test <= last; ++test) {
        auto* box =
            indexedCheckBox("chkTests", test, kTestCaptions[static_cast<std::size_t>(test)]);
        chkTests_[static_cast<std::size_t>(test)] = box;
        layout->addWidget(box);
    }
    layout->addStretch();
    return group;
}

void frmChooseTests::loadChoice() {
    for (int band = 0; band < TestOptions::kBands; ++band) {
        chkBands_[static_cast<std::size_t>(band)]->setChecked(
            options_.getBand(static_cast<std::int16_t>(band)));
    }
    for (int test = 0; test < TestOptions::kCalibrateSource; ++test) {
        chkTests_[static_cast<std::size_t>(test)]->setChecked(
            options_.getTest(static_cast<std::int16_t>(test)));
    }
    slIterations_->setValue(options_.sliderValue());
}

void frmChooseTests::runTestPressed() {
    for (int band = 0; band < TestOptions::kBands; ++band) {
        options_.setBand(static_cast<std::int16_t>(band),
                         chkBands_[static_cast<std::size_t>(band)]->isChecked());
    }
    for (int test = 0; test < TestOptions::kTests; ++test) {
        options_.setTest(static_cast<std::int16_t>(test),
                         chkTests_[static_cast<std::size_t>(test)]->isChecked());
    }
    options_.setSliderValue(slIterations_->value());
    options_.runTestPressed();
    accept();
}

void frmChooseTests::reject() {}

void frmChooseTests::closeEvent(QCloseEvent* event) {
    event->ignore();
}

}  // namespace quillon::ui
