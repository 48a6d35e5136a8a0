// SPDX-License-Identifier: MIT
#pragma once

#include <QAbstractTableModel>
#include <QFont>

#include "testrun/results_grid.h"

class QTableView;

namespace quillon::ui {

// Shows a ResultsGrid: its row 0 (the header texts) as the horizontal header, rows 1 on as the
// table's rows, each column aligned as the grid says, emphasised cells in bold and failures in
// red.
class ResultsGridModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    explicit ResultsGridModel(QObject* parent = nullptr);

    // Starts over with a whole grid.
    void setGrid(const testrun::ResultsGrid& grid);
    // Follows the grid by its changes: new rows are inserted and changed cells reported one by
    // one, so the cost of an update does not grow with the rows already shown, and the view
    // keeps its scroll position and selection.
    void applyChanges(const testrun::GridChanges& changes);
    const testrun::ResultsGrid& grid() const { return grid_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    Qt::Alignment alignment(int column) const;

    testrun::ResultsGrid grid_;
    QFont font_;
    QFont boldFont_;
};

// Sets up view for the grid: its font, no row numbers, no editing.
void setUpResultsView(QTableView& view);
// Makes each column of view as wide as its header text, and view wide enough for them all.
void fitResultsColumns(QTableView& view);
// Widens the columns of view where a cell of rows first to last (of the model) needs it, so that
// no text is cut (the information row's start time and date is longer than its column's header).
void widenResultsColumns(QTableView& view, int first, int last);

}  // namespace quillon::ui
