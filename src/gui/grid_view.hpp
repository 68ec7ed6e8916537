#pragma once

#include <QTableWidget>

#include <memory>

#include "gui/table_grid.hpp"

namespace brandel::gui {

/// The grid MSFlexGrid1 of the grid editor window: blank-padded cells in a fixed-pitch font, the
/// current cell shown by its focus frame, the listing's header row as the column header. The
/// listing writes into it through grid().
class GridView final : public QTableWidget {
    Q_OBJECT
  public:
    explicit GridView(QWidget* parent = nullptr);
    ~GridView() override;

    /// The grid the listing writes into.
    TableGrid& grid() { return *grid_; }
    const TableGrid& grid() const { return *grid_; }

    /// Every cell loses the colour and the tooltip it was given.
    void clear_marks();
    /// Fits every column to its contents; the FileName column grows to a bounded width only.
    /// The comment column, whose header ends in blanks, gives up those blanks' room before the
    /// view needs a horizontal scroll bar, but never the room of its cells' texts.
    void fit_columns();
    /// Scrolls back to the first column.
    void show_first_column();
    /// The width the view needs to show every column without scrolling.
    int width_for_all_columns() const;
    /// The height the view needs to show `rows` data rows below the header.
    int height_for_rows(int rows) const;

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void fit_comment_column();

    std::unique_ptr<TableGrid> grid_;
    int comment_fitted_ = 0;  // the comment column's width fitted to its header and cells
    int comment_least_ = 0;   // the width its cells' texts need
    int comment_set_ = 0;     // the width last given to it; another width is the user's
};

}  // namespace brandel::gui
