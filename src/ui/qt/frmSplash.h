// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>
#include <string>

class QLabel;

namespace quillon::ui {

// The start-up window: no border or caption, centred on the screen, with a status line above
// the program's name.
class frmSplash : public QWidget {
    Q_OBJECT

  public:
    explicit frmSplash(QWidget* parent = nullptr);

    void setStatus(const std::string& strStatusString);

  private:
    QLabel* lblStatus_;
};

// Moves window so that it is centred on the screen it is on.
void centreOnScreen(QWidget& window);

}  // namespace quillon::ui
