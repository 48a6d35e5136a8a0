// SPDX-License-Identifier: MIT
#include "ui/console/results_table_text.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace quillon::ui {
namespace {

constexpr const char* kBold = "\033[1m";
constexpr const char* kRed = "\033[31m";
constexpr const char* kPlain = "\033[0m";
constexpr const char* kColumnGap = "  ";

std::vector<std::size_t> columnWidths(const testrun::ResultsGrid& grid) {
    std::vector<std::size_t> widths(static_cast<std::size_t>(grid.cols()), 0);
    for (int row = 0; row < grid.rows(); ++row) {
        for (int col = 0; col < grid.cols(); ++col) {
            auto& width = widths[static_cast<std::size_t>(col)];
            width = std::max(width, grid.cell(row, col).size());
        }
    }
    return widths;
}

std::string padded(const std::string& text, std::size_t width, testrun::ResultsGrid::Align align) {
    const std::string fill(width - std::min(width, text.size()), ' ');
    return align == testrun::ResultsGrid::Align::Right ? fill + text : text + fill;
}

void dropTrailingBlanks(std::string& line) {
    const std::size_t end = line.find_last_not_of(' ');
    line.erase(end == std::string::npos ? 0 : end + 1);
}

std::string renderRow(const testrun::ResultsGrid& grid, int row,
                      const std::vector<std::size_t>& widths, bool ansi) {
    std::string line;
    for (int col = 0; col < grid.cols(); ++col) {
        const auto index = static_cast<std::size_t>(col);
        if (col > 0) line += kColumnGap;
        std::string text = padded(grid.cell(row, col), widths[index], grid.columns()[index].align);
        std::string style;
        if (ansi && (row == 0 || grid.emphasised(row, col))) style += kBold;
        if (ansi && grid.failure(row, col)) style += kRed;
        // Escape codes go around the padded text; trailing blanks inside them stay harmless.
        line += style.empty() ? text : style + text + kPlain;
    }
    dropTrailingBlanks(line);
    return line + '\n';
}

std::string rule(const std::vector<std::size_t>& widths) {
    std::string line;
    for (std::size_t col = 0; col < widths.size(); ++col) {
        if (col > 0) line += kColumnGap;
        line += std::string(widths[col], '-');
    }
    return line + '\n';
}

}  // namespace

std::string renderResultsTable(const testrun::ResultsGrid& grid, bool ansi) {
    if (grid.rows() == 0 || grid.cols() == 0) return {};
    const std::vector<std::size_t> widths = columnWidths(grid);
    std::string text = renderRow(grid, 0, widths, ansi) + rule(widths);
    for (int row = 1; row < grid.rows(); ++row) text += renderRow(grid, row, widths, ansi);
    return text;
}

}  // namespace quillon::ui
