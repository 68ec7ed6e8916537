#pragma once

#include <QDialog>
#include <QString>

#include <functional>

#include "listing/grid.hpp"
#include "listing/listing.hpp"

class QKeyEvent;
class QLabel;

namespace brandel::gui {

class EditCellBox;
class GridView;
class SaveExportActions;

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
    listing::Grid& grid();
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
    int last_cell_col() const;
    int last_cell_row() const;

  public slots:
    /// Closing by any way (the title bar, File > Close, Escape) asks first when the grid holds
    /// edits that are not saved.
    void reject() override;

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void Form_Load();
    void MSFlexGrid1_Click(int row, int col);
    void fit_window();

    QLabel* folder_line_;
    GridView* MSFlexGrid1;
    EditCellBox* Frame1;
    QLabel* status_line_;
    SaveExportActions* actions_;
    const listing::ListingState* listing_ = nullptr;
    bool sized_ = false;
};

}  // namespace brandel::gui
