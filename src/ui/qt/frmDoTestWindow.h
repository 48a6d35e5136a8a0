// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>
#include <functional>
#include <map>
#include <string>

#include "testrun/operator_interface.h"
#include "testrun/results_grid.h"
#include "ui/qt/results_output.h"

class QCloseEvent;
class QLabel;
class QProgressBar;
class QPushButton;
class QTableView;

namespace quillon::ui {

class ResultsGridModel;

// The test form's window: serial number, band, status, levels, progress, the results grid,
// the overall verdict and the Save, Print and Exit buttons. It shows what the run tells it
// and saves or prints the grid as last shown.
class frmDoTestWindow : public QWidget {
    Q_OBJECT

  public:
    // exitProgram ends the process (Exit and closing the window).
    frmDoTestWindow(OutputChoosers choosers, std::function<void()> exitProgram,
                    QWidget* parent = nullptr);

    void setLabel(testrun::FormLabel label, const std::string& text);
    void setProgress(int value, int maximum);
    void showGrid(const testrun::ResultsGrid& grid);  // a whole grid
    void updateGrid(const testrun::GridChanges& changes);
    void setVerdict(testrun::Verdict verdict);
    void setResultButtonsEnabled(bool enabled);

    const testrun::ResultsGrid& grid() const;

    void saveResults();
    void printResults();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void buildContents();
    QPushButton* addButton(const char* name, const QString& text);
    QLabel* addLabel(const char* name, const QString& text);
    void reportSaveFailure(const QString& path, const std::string& reason);
    QString serialNumber() const;

    OutputChoosers choosers_;
    std::function<void()> exitProgram_;
    std::map<testrun::FormLabel, QLabel*> labels_;
    QProgressBar* prgMeasurement_ = nullptr;
    QTableView* grdResults_ = nullptr;
    ResultsGridModel* model_ = nullptr;
    QLabel* lblPassFail_ = nullptr;
    QPushButton* cmdSaveResults_ = nullptr;
    QPushButton* cmdPrintResults_ = nullptr;
    QPushButton* cmdExit_ = nullptr;
};

}  // namespace quillon::ui
