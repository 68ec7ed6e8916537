#include "gui/grid_editor_window.hpp"

#include <QColor>
#include <QFontDatabase>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QString>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <stdexcept>
#include <string>

namespace brandel::gui {

namespace {

// The background of the cell being edited.
const QColor edited_cell_colour(0xC0, 0xFF, 0xC0);

QString to_qstring(std::u32string_view text) {
    return QString::fromUcs4(text.data(), static_cast<qsizetype>(text.size()));
}

void check_index(int value, int size, const char* what) {
    if (value < 0 || value >= size)
        throw std::out_of_range(std::string(what) + " " + std::to_string(value) +
                                " is outside the grid");
}

}  // namespace

TableGrid::TableGrid(QTableWidget& table)
    : table_(table), alignments_(2, listing::Alignment::left) {
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
    table_.setColumnCount(cols);
    alignments_.resize(static_cast<std::size_t>(cols), listing::Alignment::left);
    col_ = std::min(col_, cols - 1);
}

int TableGrid::rows() const {
    return table_.rowCount() + 1;
}

void TableGrid::set_rows(int rows) {
    if (rows < 1)
        throw std::out_of_range("a grid has at least its header row");
    table_.setRowCount(rows - 1);
    row_ = std::min(row_, rows - 1);
}

void TableGrid::set_format_string(std::u32string_view format) {
    std::vector<listing::ColumnFormat> columns = listing::parse_format_string(format);
    if (static_cast<int>(columns.size()) > cols())
        set_cols(static_cast<int>(columns.size()));
    const QFontMetrics metrics(table_.font());
    const int padding = metrics.averageCharWidth();
    for (int c = 0; c < static_cast<int>(columns.size()); ++c) {
        const listing::ColumnFormat& column = columns[static_cast<std::size_t>(c)];
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
    if (row_ >= 1)
        table_.setCurrentCell(row_ - 1, col_);
}

Qt::Alignment TableGrid::alignment(int col) const {
    const listing::Alignment a = col < static_cast<int>(alignments_.size())
                                     ? alignments_[static_cast<std::size_t>(col)]
                                     : listing::Alignment::left;
    const Qt::Alignment horizontal = a == listing::Alignment::right    ? Qt::AlignRight
                                     : a == listing::Alignment::center ? Qt::AlignHCenter
                                                                       : Qt::AlignLeft;
    return horizontal | Qt::AlignVCenter;
}

Form2::Form2(QWidget* parent) : QDialog(parent) {
    setObjectName("Form2");
    setWindowTitle("DATA.cmt");

    MSFlexGrid1 = new QTableWidget(this);
    MSFlexGrid1->setObjectName("MSFlexGrid1");
    // The cells are blank-padded texts: a fixed-pitch font keeps their columns lined up.
    MSFlexGrid1->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    MSFlexGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The current cell shows by its focus frame only, so that the edited cell's colour stays
    // visible.
    MSFlexGrid1->setSelectionMode(QAbstractItemView::NoSelection);
    MSFlexGrid1->verticalHeader()->hide();
    MSFlexGrid1->verticalHeader()->setDefaultSectionSize(MSFlexGrid1->fontMetrics().height() + 6);
    MSFlexGrid1->horizontalHeader()->setSectionsClickable(false);
    MSFlexGrid1->horizontalHeader()->setHighlightSections(false);
    grid_ = std::make_unique<TableGrid>(*MSFlexGrid1);

    Frame1 = new QGroupBox("Edit Cell", this);
    Frame1->setObjectName("Frame1");
    Label1 = new QLabel(Frame1);
    Label1->setObjectName("Label1");
    Label1->setMinimumWidth(Label1->fontMetrics().horizontalAdvance("No.00000:Comnt"));
    Text1 = new QLineEdit(Frame1);
    Text1->setObjectName("Text1");
    Text1->setEnabled(false);  // nothing is being edited until a cell is clicked
    auto* frame_layout = new QHBoxLayout(Frame1);
    frame_layout->addWidget(Label1);
    frame_layout->addWidget(Text1, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(MSFlexGrid1, 1);
    layout->addWidget(Frame1);
    resize(1000, 600);

    connect(MSFlexGrid1, &QTableWidget::cellClicked, this,
            [this](int row, int col) { MSFlexGrid1_Click(row + 1, col); });
    connect(Text1, &QLineEdit::textChanged, this, [this] { Text1_Change(); });
    Form_Load();
}

Form2::~Form2() = default;

void Form2::set_busy(bool busy) {
    if (busy)
        setCursor(Qt::WaitCursor);
    else
        unsetCursor();
}

void Form2::Form_Load() {
    unsetCursor();
    Text1->clear();
    Label1->clear();
}

void Form2::MSFlexGrid1_Click(int row, int col) {
    // No repainting while the cells change.
    MSFlexGrid1->setUpdatesEnabled(false);
    grid_->set_row(row);
    grid_->set_col(col);

    // The cell clicked before loses its colour, whether it was editable or not. A later, shorter
    // listing may no longer have it.
    if (last_cell_row_ < grid_->rows() && last_cell_col_ < grid_->cols())
        set_background(last_cell_row_, last_cell_col_,
                       MSFlexGrid1->palette().color(QPalette::Base));

    Label1->clear();
    Text1->setEnabled(false);

    QString caption;
    const char* word = col == 4 ? "Date" : col == 5 ? "Time" : col == 7 ? "Comnt" : nullptr;
    if (word != nullptr)
        caption = QString("No.%1:%2").arg(row).arg(QLatin1String(word));
    if (!caption.isEmpty()) {
        Text1->setEnabled(true);
        Text1->setFocus();
        Label1->setText(caption);
        // The box shows the cell's text as it is; loading it is no edit of the cell.
        loading_text_ = true;
        Text1->setText(to_qstring(grid_->text()));
        loading_text_ = false;
        set_background(row, col, edited_cell_colour);
    }

    MSFlexGrid1->setUpdatesEnabled(true);
    last_cell_col_ = col;
    last_cell_row_ = row;
}

void Form2::Text1_Change() {
    if (loading_text_)
        return;
    const int col = grid_->col();
    if (col > 3 && col != 6)
        grid_->set_text(Text1->text().toStdU32String());
}

void Form2::set_background(int row, int col, const QColor& color) {
    grid_->item(row, col).setBackground(color);
}

}  // namespace brandel::gui
