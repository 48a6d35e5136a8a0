// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillon::testrun {

struct GridChanges;

// The results table as text cells: row 0 is the header made from a format string, further rows
// are only ever appended. Both front-ends render it; saving writes it.
//
// The grid keeps what changed since its changes were last taken, so that a view can follow it
// with only the new rows and the changed cells instead of a copy of the whole table.
class ResultsGrid {
  public:
    enum class Align { Left, Right };
    struct Column {
        std::string header;  // blanks kept
        Align align = Align::Left;
    };
    struct Cell {
        std::string text;
        bool emphasised = false;
        bool failure = false;  // a result that did not pass: shown in red
    };
    using Row = std::vector<Cell>;

    // ">Frequency   |>Source  |..." : "|" separates columns, a leading ">" right-aligns one.
    void setFormatString(std::string_view format);

    // Splits text at tabs into consecutive cells from column 0; extra fields are dropped.
    void appendTabbed(std::string_view text);
    void setCell(int row, int col, std::string text);
    void setEmphasis(int row, int col, bool on);
    void setFailure(int row, int col, bool on);

    int rows() const { return static_cast<int>(rows_.size()); }
    int cols() const { return static_cast<int>(columns_.size()); }
    const std::string& cell(int row, int col) const;
    bool emphasised(int row, int col) const;
    bool failure(int row, int col) const;
    const std::vector<Column>& columns() const { return columns_; }

    // What changed since the last call (everything, the first time), with the contents a copy
    // needs to follow; the grid then counts itself as unchanged.
    GridChanges takeChanges();
    // Brings a copy up to date with the changes taken from the original, in the order taken.
    void apply(const GridChanges& changes);

  private:
    Cell* at(int row, int col);
    void noteChanged(int row, int col);

    std::vector<Column> columns_;
    std::vector<Row> rows_;  // row 0: header texts
    // Change tracking: rows from takenRows_ on are new; changed_ lists older cells written since.
    bool columnsChanged_ = true;
    int takenRows_ = 0;
    std::vector<std::pair<int, int>> changed_;
};

// One batch of changes to a grid. With newColumns the copy starts over: columns holds the
// columns and newRows every row. Otherwise newRows are appended at firstNewRow and the cells
// of older rows are replaced.
struct GridChanges {
    struct ChangedCell {
        int row = 0;
        int col = 0;
        ResultsGrid::Cell cell;
    };
    bool newColumns = false;
    std::vector<ResultsGrid::Column> columns;
    int firstNewRow = 0;
    std::vector<ResultsGrid::Row> newRows;
    std::vector<ChangedCell> cells;

    bool empty() const { return !newColumns && newRows.empty() && cells.empty(); }
};

}  // namespace quillon::testrun
