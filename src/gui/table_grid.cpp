#include "gui/table_grid.hpp"

#include <QFontMetrics>
#include <QString>
#include <QTableWidget>

#include <algorithm>
#include <stdexcept>
#include <string>

namespace brandel::gui {

using listing::Alignment;
using listing::ColumnFormat;

namespace {

QString to_qstring(std::u32string_view text) {
    return QString::fromUcs4(text.data(), static_cast<qsizetype>(text.size()));
}

void check_index(int value, int size, const char* what) {
    if (value < 0 || value >= size)
        throw std::out_of_range(std::string(what) + " " + std::to_string(value) +
                                " is outside the grid");
}

// Counts the grid's own changes of the table, so that the window tells them from the user's.
class Writing {
  public:
    explicit Writing(int& depth) : depth_(depth) { ++depth_; }
    ~Writing() { --depth_; }
    Writing(const Writing&) = delete;
    Writing& operator=(const Writing&) = delete;

  private:
    int& depth_;
};

}  // namespace

TableGrid::TableGrid(QTableWidget& table) : table_(table), alignments_(2, Alignment::left) {
    // A new grid has a header row and one data row, two columns, and its first data cell current.
    table_.setColumnCount(2);
    table_.setRowCount(1);
    table_.setCurrentCell(0, 1);
    current_changed_ = QObject::connect(&table_, &QTableWidget::currentCellChanged, &table_,
                                        [this](int row, int col, int, int) {
                                            if (row < 0 || col < 0)
                                                return;
                                            row_ = row + 1;
                                            col_ = col;
                                        });
}

TableGrid::~TableGrid() {
    QObject::disconnect(current_changed_);
}

int TableGrid::cols() const {
    return table_.columnCount();
}

void TableGrid::set_cols(int cols) {
    if (cols < 1)
        throw std::out_of_range("a grid has at least one column");
    const Writing writing(writing_);
    table_.setColumnCount(cols);
    alignments_.resize(static_cast<std::size_t>(cols), Alignment::left);
    col_ = std::min(col_, cols - 1);
}

int TableGrid::rows() const {
    return table_.rowCount() + 1;
}

void TableGrid::set_rows(int rows) {
    if (rows < 1)
        throw std::out_of_range("a grid has at least its header row");
    const Writing writing(writing_);
    table_.setRowCount(rows - 1);
    row_ = std::min(row_, rows - 1);
}

void TableGrid::set_format_string(std::u32string_view format) {
    std::vector<ColumnFormat> columns = listing::parse_format_string(format);
    if (static_cast<int>(columns.size()) > cols())
        set_cols(static_cast<int>(columns.size()));
    const QFontMetrics metrics(table_.font());
    const int padding = metrics.averageCharWidth();
    for (int c = 0; c < static_cast<int>(columns.size()); ++c) {
        const ColumnFormat& column = columns[static_cast<std::size_t>(c)];
        alignments_[static_cast<std::size_t>(c)] = column.alignment;
        QTableWidgetItem& header = item(0, c);
        header.setText(to_qstring(column.header));
        header.setTextAlignment(alignment(c));
        for (int r = 0; r < table_.rowCount(); ++r)
            if (QTableWidgetItem* cell = table_.item(r, c))
                cell->setTextAlignment(alignment(c));
        // The column is as wide as its header text, trailing blanks included.
        const QString width_text(static_cast<qsizetype>(column.header.size()), QLatin1Char('0'));
        table_.setColumnWidth(c, metrics.horizontalAdvance(width_text) + padding);
    }
}

void TableGrid::set_row(int row) {
    check_index(row, rows(), "row");
    row_ = row;
    follow_current();
}

void TableGrid::set_col(int col) {
    check_index(col, cols(), "column");
    col_ = col;
    follow_current();
}

std::u32string TableGrid::text() const {
    const QTableWidgetItem* cell =
        row_ == 0 ? table_.horizontalHeaderItem(col_) : table_.item(row_ - 1, col_);
    return cell == nullptr ? std::u32string() : cell->text().toStdU32String();
}

std::u32string TableGrid::cell_text(int row, int col) const {
    check_index(row, rows(), "row");
    check_index(col, cols(), "column");
    const QTableWidgetItem* cell =
        row == 0 ? table_.horizontalHeaderItem(col) : table_.item(row - 1, col);
    return cell == nullptr ? std::u32string() : cell->text().toStdU32String();
}

void TableGrid::set_text(std::u32string_view text) {
    item(row_, col_).setText(to_qstring(text));
}

bool TableGrid::visible() const {
    return !table_.isHidden();
}

void TableGrid::set_visible(bool visible) {
    table_.setVisible(visible);
}

QTableWidgetItem& TableGrid::item(int row, int col) {
    QTableWidgetItem* cell =
        row == 0 ? table_.horizontalHeaderItem(col) : table_.item(row - 1, col);
    if (cell == nullptr) {
        cell = new QTableWidgetItem;
        cell->setTextAlignment(alignment(col));
        if (row == 0)
            table_.setHorizontalHeaderItem(col, cell);
        else
            table_.setItem(row - 1, col, cell);
    }
    return *cell;
}

void TableGrid::follow_current() {
    const Writing writing(writing_);
    if (row_ >= 1)
        table_.setCurrentCell(row_ - 1, col_);
}

Qt::Alignment TableGrid::alignment(int col) const {
    const Alignment a = col < static_cast<int>(alignments_.size())
                            ? alignments_[static_cast<std::size_t>(col)]
                            : Alignment::left;
    const Qt::Alignment horizontal = a == Alignment::right    ? Qt::AlignRight
                                     : a == Alignment::center ? Qt::AlignHCenter
                                                              : Qt::AlignLeft;
    return horizontal | Qt::AlignVCenter;
}

}  // namespace brandel::gui
