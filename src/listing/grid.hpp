#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace brandel::listing {

/// How a column lays out its cells.
enum class Alignment { left, right, center };

/// One column as a format string describes it.
struct ColumnFormat {
    Alignment alignment = Alignment::left;
    std::u32string header;  // text of row 0, trailing blanks kept; the column is as wide as it
};

/// Splits a grid format string into its columns: "|" separates them; a leading "<" aligns the
/// column left, ">" right, "^" centred (no sign: left); the rest is the header text.
std::vector<ColumnFormat> parse_format_string(std::u32string_view format);

/// A grid of text cells with a header row (row 0) and a current cell, the way the listing
/// writes it. Rows and columns count from 0. Setting the current row or column outside the
/// grid raises std::out_of_range; shrinking the grid moves the current cell back inside it.
class Grid {
  public:
    virtual ~Grid() = default;

    virtual int cols() const = 0;
    /// At least 1.
    virtual void set_cols(int cols) = 0;
    virtual int rows() const = 0;
    /// At least 1 (the header row); new rows are empty, removed rows lose their texts.
    virtual void set_rows(int rows) = 0;
    /// Sets each column's alignment and its row-0 text from a format string; a format string
    /// with more columns than the grid has adds columns.
    virtual void set_format_string(std::u32string_view format) = 0;

    virtual int row() const = 0;
    virtual void set_row(int row) = 0;
    virtual int col() const = 0;
    virtual void set_col(int col) = 0;
    /// The text of the current cell.
    virtual std::u32string text() const = 0;
    virtual void set_text(std::u32string_view text) = 0;
    /// The text of any cell (row 0 is the header), without moving the current cell.
    virtual std::u32string cell_text(int row, int col) const = 0;

    virtual bool visible() const = 0;
    virtual void set_visible(bool visible) = 0;
};

}  // namespace brandel::listing
