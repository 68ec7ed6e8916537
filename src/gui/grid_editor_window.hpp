#pragma once

#include <QDialog>
#include <QMetaObject>

#include <memory>
#include <vector>

#include "listing/grid.hpp"

class QColor;
class QGroupBox;
class QLabel;
class QLineEdit;
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

  private:
    void follow_current();
    Qt::Alignment alignment(int col) const;

    QTableWidget& table_;
    int row_ = 1;
    int col_ = 1;
    std::vector<listing::Alignment> alignments_;
    QMetaObject::Connection current_changed_;
};

/// The grid editor window: the comment listing in the grid MSFlexGrid1 and, below it, the frame
/// "Edit Cell" where the Date, Time and comment cells of a row are edited. Edits change the
/// grid's cells only.
class Form2 : public QDialog {
    Q_OBJECT
  public:
    explicit Form2(QWidget* parent = nullptr);
    ~Form2() override;

    /// The grid the listing writes into.
    listing::Grid& grid() { return *grid_; }
    /// The window's busy pointer.
    void set_busy(bool busy);

    /// The cell last clicked, as column and row; (0, 0) until the first click.
    int last_cell_col() const { return last_cell_col_; }
    int last_cell_row() const { return last_cell_row_; }

  private:
    void Form_Load();
    void MSFlexGrid1_Click(int row, int col);
    void Text1_Change();
    void set_background(int row, int col, const QColor& color);

    QTableWidget* MSFlexGrid1;
    QGroupBox* Frame1;
    QLabel* Label1;
    QLineEdit* Text1;
    std::unique_ptr<TableGrid> grid_;
    int last_cell_col_ = 0;
    int last_cell_row_ = 0;
    bool loading_text_ = false;
};

}  // namespace brandel::gui
