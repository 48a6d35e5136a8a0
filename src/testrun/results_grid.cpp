// SPDX-License-Identifier: MIT
#include "testrun/results_grid.h"

#include <algorithm>
#include <utility>

namespace quillon::testrun {
namespace {

const std::string kEmpty;

std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = text.find(separator, start);
        parts.push_back(text.substr(start, at - start));
        if (at == std::string_view::npos) {
            break;
        }
        start = at + 1;
    }
    return parts;
}

}  // namespace

void ResultsGrid::setFormatString(std::string_view format) {
    columns_.clear();
    for (std::string_view part : split(format, '|')) {
        Column column;
        if (!part.empty() && (part.front() == '>' || part.front() == '<' || part.front() == '^')) {
            column.align = part.front() == '>' ? Align::Right : Align::Left;
            part.remove_prefix(1);
        }
        column.header = std::string(part);
        columns_.push_back(std::move(column));
    }
    if (rows_.empty()) {
        rows_.emplace_back();
    }
    for (Row& row : rows_) {
        row.resize(columns_.size());
    }
    for (std::size_t c = 0; c < columns_.size(); ++c) {
        rows_[0][c] = Cell{columns_[c].header};
    }
    columnsChanged_ = true;
}

void ResultsGrid::appendTabbed(std::string_view text) {
    Row row(columns_.size());
    const std::vector<std::string_view> fields = split(text, '\t');
    for (std::size_t c = 0; c < fields.size() && c < row.size(); ++c) {
        row[c].text = fields[c];
    }
    if (rows_.empty()) {
        rows_.emplace_back(columns_.size());
    }
    rows_.push_back(std::move(row));
}

ResultsGrid::Cell* ResultsGrid::at(int row, int col) {
    if (row < 0 || row >= rows() || col < 0 || col >= cols()) {
        return nullptr;
    }
    return &rows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)];
}

// Rows not yet taken go out whole anyway; older cells are listed once each.
void ResultsGrid::noteChanged(int row, int col) {
    if (row >= takenRows_) {
        return;
    }
    const std::pair<int, int> where(row, col);
    if (std::find(changed_.begin(), changed_.end(), where) == changed_.end()) {
        changed_.push_back(where);
    }
}

void ResultsGrid::setCell(int row, int col, std::string text) {
    if (Cell* cell = at(row, col)) {
        cell->text = std::move(text);
        noteChanged(row, col);
    }
}

void ResultsGrid::setEmphasis(int row, int col, bool on) {
    if (Cell* cell = at(row, col)) {
        cell->emphasised = on;
        noteChanged(row, col);
    }
}

void ResultsGrid::setFailure(int row, int col, bool on) {
    if (Cell* cell = at(row, col)) {
        cell->failure = on;
        noteChanged(row, col);
    }
}

const std::string& ResultsGrid::cell(int row, int col) const {
    if (row < 0 || row >= rows() || col < 0 || col >= cols()) {
        return kEmpty;
    }
    return rows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)].text;
}

bool ResultsGrid::emphasised(int row, int col) const {
    if (row < 0 || row >= rows() || col < 0 || col >= cols()) {
        return false;
    }
    return rows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)].emphasised;
}

bool ResultsGrid::failure(int row, int col) const {
    if (row < 0 || row >= rows() || col < 0 || col >= cols()) {
        return false;
    }
    return rows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)].failure;
}

GridChanges ResultsGrid::takeChanges() {
    GridChanges changes;
    changes.newColumns = columnsChanged_;
    if (columnsChanged_) {
        changes.columns = columns_;
        takenRows_ = 0;
    } else {
        for (const auto& [row, col] : changed_) {
            changes.cells.push_back({row, col, *at(row, col)});
        }
    }
    changes.firstNewRow = takenRows_;
    changes.newRows.assign(rows_.begin() + takenRows_, rows_.end());
    columnsChanged_ = false;
    takenRows_ = rows();
    changed_.clear();
    return changes;
}

void ResultsGrid::apply(const GridChanges& changes) {
    if (changes.newColumns) {
        columns_ = changes.columns;
        rows_.clear();
    }
    rows_.resize(static_cast<std::size_t>(std::max(changes.firstNewRow, 0)), Row(columns_.size()));
    rows_.insert(rows_.end(), changes.newRows.begin(), changes.newRows.end());
    for (const GridChanges::ChangedCell& changed : changes.cells) {
        if (Cell* cell = at(changed.row, changed.col)) {
            *cell = changed.cell;
        }
    }
    // A copy reports no changes of its own.
    columnsChanged_ = false;
    takenRows_ = rows();
    changed_.clear();
}

}  // namespace quillon::testrun
