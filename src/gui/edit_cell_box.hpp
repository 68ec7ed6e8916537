#pragma once

#include <QGroupBox>
#include <QString>

#include "listing/listing.hpp"

class QColor;
class QKeyEvent;
class QLabel;
class QLineEdit;

namespace brandel::gui {

class GridView;

/// The frame "Edit Cell" below the grid: the label Label1 names the cell being edited, the box
/// Text1 holds its text, and each keystroke in the box changes the cell. It follows the grid's
/// current cell, from the mouse or the keyboard, and colours the cells: the one being edited
/// light green, one that holds what cannot be saved into its file in a warning colour with the
/// reason as its tooltip, every other cell plain.
class EditCellBox final : public QGroupBox {
    Q_OBJECT
  public:
    EditCellBox(GridView& view, QWidget* parent = nullptr);

    /// The files behind the grid's rows, against which the cells are checked.
    void set_listing(const listing::ListingState* listing) { listing_ = listing; }

    /// Makes (row, col) the cell being edited when it is an editable cell of a data row, and
    /// nothing otherwise; the cell chosen before gets its plain colour back. A click gives the
    /// box the keyboard, the keyboard keeps it in the grid.
    void follow_cell(int row, int col, bool focus_box);
    /// Nothing is being edited: the box and the label are empty, the box disabled.
    void clear();

    /// Whether an editable cell is the one being edited.
    bool editing() const;

    /// The cell last clicked, as column and row; (0, 0) until the first click.
    int last_cell_col() const { return last_cell_col_; }
    int last_cell_row() const { return last_cell_row_; }

  signals:
    /// The text of a data row's editable cell was changed in the box.
    void cell_edited();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Text1_Change();
    void back_to_grid(int row_step);
    bool grid_key(const QKeyEvent& key);
    void show_cell_state(int row, int col, bool being_edited);
    QString cell_problem_text(int row, int col) const;

    GridView& view_;
    QLabel* Label1;
    QLineEdit* Text1;
    const listing::ListingState* listing_ = nullptr;
    QString text_before_edit_;
    int last_cell_col_ = 0;
    int last_cell_row_ = 0;
    bool loading_text_ = false;
};

}  // namespace brandel::gui
