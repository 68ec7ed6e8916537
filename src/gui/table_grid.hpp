#pragma once

#include <QMetaObject>

#include <string>
#include <string_view>
#include <vector>

#include "listing/grid.hpp"

class QTableWidget;
class QTableWidgetItem;

namespace brandel::gui {

/// The listing's grid over a table widget. Row 0 of the grid is the table's column header, and
/// grid row r (from 1) is table row r - 1, so rows keep the numbers the listing gives them.
/// While the grid's current row is a data row, the table's current cell follows it, and a cell
/// that the user makes current in the table becomes the grid's current cell.
class TableGrid final : public listing::Grid {
  public:
    explicit TableGrid(QTableWidget& table);
    ~TableGrid() override;
    TableGrid(const TableGrid&) = delete;
    TableGrid& operator=(const TableGrid&) = delete;

    int cols() const override;
    void set_cols(int cols) override;
    int rows() const override;
    void set_rows(int rows) override;
    void set_format_string(std::u32string_view format) override;

    int row() const override { return row_; }
    void set_row(int row) override;
    int col() const override { return col_; }
    void set_col(int col) override;
    std::u32string text() const override;
    void set_text(std::u32string_view text) override;
    std::u32string cell_text(int row, int col) const override;

    bool visible() const override;
    void set_visible(bool visible) override;

    /// The table item of a cell (the header item for row 0), made when it has none yet.
    QTableWidgetItem& item(int row, int col);
    /// Whether the table's current cell is being changed by the grid itself (a listing writing
    /// its rows), not by the user.
    bool writing() const { return writing_ > 0; }

  private:
    void follow_current();
    Qt::Alignment alignment(int col) const;

    QTableWidget& table_;
    int row_ = 1;
    int col_ = 1;
    int writing_ = 0;
    std::vector<listing::Alignment> alignments_;
    QMetaObject::Connection current_changed_;
};

}  // namespace brandel::gui
