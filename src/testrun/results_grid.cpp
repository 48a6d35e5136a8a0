// SPDX-License-Identifier: MIT
#include "testrun/results_grid.h"

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
        if (at == std::string_view::npos) break;
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
    std::vector<std::string> header;
    for (const Column& column : columns_) header.push_back(column.header);
    if (cells_.empty()) {
        cells_.push_back(std::move(header));
        emphasis_.emplace_back(columns_.size(), false);
    } else {
        cells_[0] = std::move(header);
        for (auto& row : cells_) row.resize(columns_.size());
        for (auto& row : emphasis_) row.resize(columns_.size(), false);
    }
}

void ResultsGrid::appendTabbed(std::string_view text) {
    std::vector<std::string> row(columns_.size());
    const std::vector<std::string_view> fields = split(text, '\t');
    for (std::size_t c = 0; c < fields.size() && c < row.size(); ++c) row[c] = fields[c];
    if (cells_.empty()) {
        cells_.emplace_back(columns_.size());
        emphasis_.emplace_back(columns_.size(), false);
    }
    cells_.push_back(std::move(row));
    emphasis_.emplace_back(columns_.size(), false);
}

void ResultsGrid::setCell(int row, int col, std::string text) {
    if (row < 0 || row >= rows() || col < 0 || col >= cols()) return;
    cells_[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)] = std::move(text);
}

void ResultsGrid::setEmphasis(int row, int col, bool on) {
    if (row < 0 || row >= rows() || col < 0 || col >= cols()) return;
    emphasis_[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)] = on;
}

const std::string& ResultsGrid::cell(int row, int col) const {
    if (row < 0 || row >= rows() || col < 0 || col >= cols()) return kEmpty;
    return cells_[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)];
}

bool ResultsGrid::emphasised(int row, int col) const {
    if (row < 0 || row >= rows() || col < 0 || col >= cols()) return false;
    return emphasis_[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)];
}

}  // namespace quillon::testrun
