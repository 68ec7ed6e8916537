#include "listing/memory_grid.hpp"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace brandel::listing {

namespace {

void check_index(int value, int size, const char* what) {
    if (value < 0 || value >= size)
        throw std::out_of_range(std::string(what) + " " + std::to_string(value) +
                                " is outside the grid");
}

}  // namespace

MemoryGrid::MemoryGrid()
    : alignments_(2, Alignment::left), cells_(2, std::vector<std::u32string>(2)) {}

void MemoryGrid::set_cols(int cols) {
    if (cols < 1)
        throw std::out_of_range("a grid has at least one column");
    cols_ = cols;
    alignments_.resize(static_cast<std::size_t>(cols), Alignment::left);
    for (auto& r : cells_)
        r.resize(static_cast<std::size_t>(cols));
    col_ = std::min(col_, cols - 1);
}

void MemoryGrid::set_rows(int rows) {
    if (rows < 1)
        throw std::out_of_range("a grid has at least its header row");
    cells_.resize(static_cast<std::size_t>(rows),
                  std::vector<std::u32string>(static_cast<std::size_t>(cols_)));
    row_ = std::min(row_, rows - 1);
}

void MemoryGrid::set_format_string(std::u32string_view format) {
    std::vector<ColumnFormat> columns = parse_format_string(format);
    if (static_cast<int>(columns.size()) > cols_)
        set_cols(static_cast<int>(columns.size()));
    for (std::size_t c = 0; c < columns.size(); ++c) {
        alignments_[c] = columns[c].alignment;
        cells_[0][c] = std::move(columns[c].header);
    }
}

void MemoryGrid::set_row(int row) {
    check_index(row, rows(), "row");
    row_ = row;
}

void MemoryGrid::set_col(int col) {
    check_index(col, cols_, "column");
    col_ = col;
}

void MemoryGrid::set_text(std::u32string_view text) {
    cells_[static_cast<std::size_t>(row_)][static_cast<std::size_t>(col_)] = std::u32string(text);
}

const std::u32string& MemoryGrid::cell(int row, int col) const {
    check_index(row, rows(), "row");
    check_index(col, cols_, "column");
    return cells_[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)];
}

Alignment MemoryGrid::alignment(int col) const {
    check_index(col, cols_, "column");
    return alignments_[static_cast<std::size_t>(col)];
}

}  // namespace brandel::listing
