// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillon::testrun {

// The results table as text cells: row 0 is the header made from a format string, further rows
// are only ever appended. Both front-ends render it; saving writes it.
class ResultsGrid {
  public:
    enum class Align { Left, Right };
    struct Column {
        std::string header;  // blanks kept
        Align align = Align::Left;
    };

    // ">Frequency   |>Source  |..." : "|" separates columns, a leading ">" right-aligns one.
    void setFormatString(std::string_view format);

    // Splits text at tabs into consecutive cells from column 0; extra fields are dropped.
    void appendTabbed(std::string_view text);
    void setCell(int row, int col, std::string text);
    void setEmphasis(int row, int col, bool on);

    int rows() const { return static_cast<int>(cells_.size()); }
    int cols() const { return static_cast<int>(columns_.size()); }
    const std::string& cell(int row, int col) const;
    bool emphasised(int row, int col) const;
    const std::vector<Column>& columns() const { return columns_; }

  private:
    std::vector<Column> columns_;
    std::vector<std::vector<std::string>> cells_;  // row 0: header texts
    std::vector<std::vector<bool>> emphasis_;
};

}  // namespace quillon::testrun
