// SPDX-License-Identifier: MIT
#pragma once

#include <QDialog>
#include <cstdint>
#include <string>

class QLabel;
class QPushButton;

namespace quillon::ui {

// The three-step setup wizard with which a run begins. "Go!" at step 3 leaves it with
// okayPressed() true; Cancel, Escape or closing leave it with okayPressed() false. Holding
// Shift (alone, without Ctrl or Alt) while "Go!" is pressed makes shiftHeld() true.
class dlgConfirmWizard : public QDialog {
    Q_OBJECT

  public:
    explicit dlgConfirmWizard(QWidget* owner = nullptr);
    ~dlgConfirmWizard() override;

    void setSerialNumber(const std::string& num);

    bool okayPressed() const { return OkayPressed_; }
    bool shiftHeld() const { return shiftHeld_; }

    void reject() override;

  protected:
    // Sees every key event of the application, whichever control has the focus.
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void buildContents();
    void fixSizeForLongestStep();
    void showStep(int step);
    void nextPressed();

    std::int16_t step_ = 1;
    bool shiftDown_ = false;
    bool shiftHeld_ = false;
    bool OkayPressed_ = false;

    QLabel* lblSerialNumber_ = nullptr;
    QLabel* lblVersion_ = nullptr;
    QLabel* lblTitle_ = nullptr;
    QLabel* lblText_ = nullptr;
    QPushButton* btnNext_ = nullptr;
};

}  // namespace quillon::ui
