#pragma once

#include <QDialog>
#include <QMetaObject>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

#include "listing/grid.hpp"
#include "listing/listing.hpp"

class QAction;
class QColor;
class QKeyEvent;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
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

/// The grid editor window: the comment listing in the grid MSFlexGrid1 below a line naming its
/// folder and, below it, the frame "Edit Cell" where the Date, Time and comment cells of a row
/// are edited, from the mouse or the keyboard. Edits change the grid's cells only, until the
/// user saves them into the CHN files.
class Form2 : public QDialog {
    Q_OBJECT
  public:
    explicit Form2(QWidget* parent = nullptr);
    ~Form2() override;

    /// The grid the listing writes into.
    listing::Grid& grid() { return *grid_; }
    /// The window's busy pointer.
    void set_busy(bool busy);

    /// The files behind the grid's rows, and how the owner makes the listing again from the
    /// files (after the edits were saved).
    void set_listing(const listing::ListingState* listing, std::function<void()> remake_listing);
    /// Called after each listing: the folder line names the folder, the status line says
    /// `status`, the columns fit their contents, the "Edit Cell" box is emptied and no cell
    /// counts as edited.
    void listing_made(const QString& folder, const QString& status);

    /// "Save edits to CHN files…": after a confirmation that lists them, writes the edited
    /// cells into their files, makes the listing again and says what was saved.
    void save_edits();
    /// "Export…": the grid as CSV into a file the user chooses.
    void export_listing();

    /// The cell last clicked, as column and row; (0, 0) until the first click.
    int last_cell_col() const { return last_cell_col_; }
    int last_cell_row() const { return last_cell_row_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void Form_Load();
    void MSFlexGrid1_Click(int row, int col);
    void Text1_Change();
    void follow_cell(int row, int col, bool focus_box);
    void back_to_grid(int row_step);
    bool grid_key(const QKeyEvent& key);
    void set_background(int row, int col, const QColor& color);
    void show_cell_state(int row, int col, bool being_edited);
    QString cell_problem_text(int row, int col) const;
    void fit_columns();
    void fit_window();
    void message(const QString& text);

    QLabel* folder_line_;
    QTableWidget* MSFlexGrid1;
    QGroupBox* Frame1;
    QLabel* Label1;
    QLineEdit* Text1;
    QLabel* status_line_;
    QPushButton* save_button_;
    QPushButton* export_button_;
    QAction* save_action_;
    QAction* export_action_;
    std::unique_ptr<TableGrid> grid_;
    const listing::ListingState* listing_ = nullptr;
    std::function<void()> remake_listing_;
    QString folder_;
    QString text_before_edit_;
    int last_cell_col_ = 0;
    int last_cell_row_ = 0;
    bool loading_text_ = false;
    bool sized_ = false;
};

}  // namespace brandel::gui
