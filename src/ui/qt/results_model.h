// SPDX-License-Identifier: MIT
#pragma once

#include <QAbstractTableModel>
#include <QFont>

#include "testrun/results_grid.h"

class QTableView;

namespace quillon::ui {

// Shows a ResultsGrid: its row 0 (the header texts) as the horizontal header, rows 1 on as the
// table's rows, each column aligned as the grid says and emphasised cells in bold.
class ResultsGridModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    explicit ResultsGridModel(QObject* parent = nullptr);

    // Takes the grid as it now stands. Rows are only ever appended to a grid, so an update
    // with the same columns keeps the view's scroll position and selection.
    void setGrid(const testrun::ResultsGrid& grid);
    const testrun::ResultsGrid& grid() const { return grid_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    Qt::Alignment alignment(int column) const;
    bool sameColumns(const testrun::ResultsGrid& grid) const;

    testrun::ResultsGrid grid_;
    QFont font_;
    QFont boldFont_;
};

// Sets up view for the grid: its font, no row numbers, no editing.
void setUpResultsView(QTableView& view);
// Makes each column of view as wide as its header text, and view wide enough for them all.
void fitResultsColumns(QTableView& view);

}  // namespace quillon::ui
