#include "gui/grid_view.hpp"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QHeaderView>
#include <QScrollBar>
#include <QString>

#include <algorithm>

#include "listing/listing.hpp"

namespace brandel::gui {

namespace {

// The widest the FileName column grows to fit long names, in characters.
constexpr int widest_name = 40;

}  // namespace

GridView::GridView(QWidget* parent) : QTableWidget(parent) {
    setObjectName("MSFlexGrid1");
    // The cells are blank-padded texts: a fixed-pitch font keeps their columns lined up.
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The current cell shows by its focus frame only, so that the edited cell's colour stays
    // visible.
    setSelectionMode(QAbstractItemView::NoSelection);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setHighlightSections(false);
    // Header texts end in blanks that may be cut; they show no ellipsis for it.
    horizontalHeader()->setTextElideMode(Qt::ElideNone);
    // The columns are wide: the view scrolls by pixels, so the scroll bar shows where it is.
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    grid_ = std::make_unique<TableGrid>(*this);
}

GridView::~GridView() = default;

void GridView::clear_marks() {
    for (int r = 0; r < rowCount(); ++r)
        for (int c = 0; c < columnCount(); ++c)
            if (QTableWidgetItem* cell = item(r, c)) {
                cell->setBackground(QBrush());
                cell->setToolTip(QString());
            }
}

void GridView::fit_columns() {
    resizeColumnsToContents();
    const QFontMetrics metrics(font());
    const int widest = metrics.horizontalAdvance(QString(widest_name, QLatin1Char('0'))) +
                       2 * metrics.averageCharWidth();
    if (columnCount() > 1 && columnWidth(1) > widest)
        setColumnWidth(1, widest);
    comment_fitted_ = comment_least_ = comment_set_ = 0;
    if (columnCount() == listing::listing_columns) {
        comment_fitted_ = columnWidth(listing::comment_column);
        comment_least_ = std::min(comment_fitted_, sizeHintForColumn(listing::comment_column));
        comment_set_ = comment_fitted_;
        fit_comment_column();
    }
}

void GridView::show_first_column() {
    horizontalScrollBar()->setValue(horizontalScrollBar()->minimum());
}

void GridView::resizeEvent(QResizeEvent* event) {
    QTableWidget::resizeEvent(event);
    fit_comment_column();
}

void GridView::fit_comment_column() {
    const int col = listing::comment_column;
    if (comment_fitted_ == 0 || columnCount() != listing::listing_columns ||
        columnWidth(col) != comment_set_)
        return;
    int others = 0;
    for (int c = 0; c < columnCount(); ++c)
        others += c == col ? 0 : columnWidth(c);
    const int width = std::clamp(viewport()->width() - others, comment_least_, comment_fitted_);
    comment_set_ = width;
    if (width != columnWidth(col))
        setColumnWidth(col, width);
}

int GridView::width_for_all_columns() const {
    int width = 2 * frameWidth() + verticalScrollBar()->sizeHint().width();
    for (int c = 0; c < columnCount(); ++c)
        width += columnWidth(c);
    return width;
}

int GridView::height_for_rows(int rows) const {
    return horizontalHeader()->sizeHint().height() + rows * verticalHeader()->defaultSectionSize() +
           2 * frameWidth();
}

}  // namespace brandel::gui
