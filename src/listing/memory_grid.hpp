#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "listing/grid.hpp"

namespace brandel::listing {

/// A grid held in memory, for the command line and for tests. A new one has 2 rows and 2
/// columns with the current cell at row 1, column 1, like a new grid control.
class MemoryGrid final : public Grid {
  public:
    MemoryGrid();

    int cols() const override { return cols_; }
    void set_cols(int cols) override;
    int rows() const override { return static_cast<int>(cells_.size()); }
    void set_rows(int rows) override;
    void set_format_string(std::u32string_view format) override;

    int row() const override { return row_; }
    void set_row(int row) override;
    int col() const override { return col_; }
    void set_col(int col) override;
    std::u32string text() const override { return cell(row_, col_); }
    void set_text(std::u32string_view text) override;
    std::u32string cell_text(int row, int col) const override { return cell(row, col); }

    bool visible() const override { return visible_; }
    void set_visible(bool visible) override { visible_ = visible; }

    /// The text of any cell, without moving the current cell.
    const std::u32string& cell(int row, int col) const;
    Alignment alignment(int col) const;

  private:
    int cols_ = 2;
    int row_ = 1;
    int col_ = 1;
    bool visible_ = true;
    std::vector<Alignment> alignments_;
    std::vector<std::vector<std::u32string>> cells_;  // by row, then column
};

}  // namespace brandel::listing
