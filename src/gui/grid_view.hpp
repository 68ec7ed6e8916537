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
    void fit_columns();
    /// The width the view needs to show every column without scrolling.
    int width_for_all_columns() const;
    /// The height the view needs to show `rows` data rows below the header.
    int height_for_rows(int rows) const;

  private:
    std::unique_ptr<TableGrid> grid_;
};

}  // namespace brandel::gui
