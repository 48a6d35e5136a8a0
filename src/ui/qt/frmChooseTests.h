// SPDX-License-Identifier: MIT
#pragma once

#include <QDialog>
#include <array>

#include "testrun/test_options.h"

class QCheckBox;
class QCloseEvent;
class QGroupBox;
class QSlider;

namespace quillon::ui {

// The test options dialog: the run's bands, tests and measurement iterations. It shows the
// choice held in a TestOptions and writes it back when "Run Test" is pressed, its only way out.
class frmChooseTests : public QDialog {
    Q_OBJECT

  public:
    explicit frmChooseTests(testrun::TestOptions& options, QWidget* owner = nullptr);

    // Escape and closing leave the dialog open: the choice must be confirmed with "Run Test".
    void reject() override;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    QGroupBox* buildBands();
    QGroupBox* buildSystemConfiguration();
    QGroupBox* buildSourceTests(const char* title, const char* source, int first, int last);
    void loadChoice();
    void runTestPressed();

    testrun::TestOptions& options_;
    std::array<QCheckBox*, testrun::TestOptions::kBands> chkBands_{};
    std::array<QCheckBox*, testrun::TestOptions::kTests> chkTests_{};
    QSlider* slIterations_ = nullptr;
};

}  // namespace quillon::ui
