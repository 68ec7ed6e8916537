#include "gui/grid_editor_window.hpp"

#include <QAction>
#include <QColor>
#include <QDir>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPalette>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QString>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>
#include <stdexcept>
#include <string>

#include "listing/chn_edits.hpp"
#include "listing/listing_text.hpp"
#include "spectrum/atomic_file.hpp"
#include "spectrum/paths.hpp"

namespace brandel::gui {

using listing::Alignment;
using listing::ColumnFormat;
using listing::comment_column;
using listing::date_column;
using listing::FileEdits;
using listing::SaveResult;
using listing::TableText;
using listing::time_column;

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

namespace {

// The background of a Date or Time cell that holds no date or time, and of a comment that does
// not fit its file.
const QColor warning_cell_colour(0xFF, 0xB4, 0xA0);

// The widest the FileName column grows to fit long names, in characters.
constexpr int widest_name = 40;
// Data rows the window shows when it opens for the first time.
constexpr int rows_shown = 20;

const char* size_key = "GridWindow/size";

bool is_editable(int col) {
    return col == date_column || col == time_column || col == comment_column;
}

QString file_name_of(const std::string& path) {
    const QString p = QString::fromStdString(path);
    return p.mid(p.lastIndexOf(QRegularExpression("[/\\\\]")) + 1);
}

}  // namespace

Form2::Form2(QWidget* parent) : QDialog(parent) {
    setObjectName("Form2");
    setWindowTitle("DATA.cmt");

    folder_line_ = new QLabel(this);
    folder_line_->setObjectName("FolderLine");
    folder_line_->setTextInteractionFlags(Qt::TextSelectableByMouse);

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
    MSFlexGrid1->installEventFilter(this);
    grid_ = std::make_unique<TableGrid>(*MSFlexGrid1);

    Frame1 = new QGroupBox("Edit Cell", this);
    Frame1->setObjectName("Frame1");
    Label1 = new QLabel(Frame1);
    Label1->setObjectName("Label1");
    Label1->setMinimumWidth(Label1->fontMetrics().horizontalAdvance("No.00000:Comnt"));
    Text1 = new QLineEdit(Frame1);
    Text1->setObjectName("Text1");
    Text1->setEnabled(false);  // nothing is being edited until a cell is chosen
    Text1->installEventFilter(this);
    auto* frame_layout = new QHBoxLayout(Frame1);
    frame_layout->addWidget(Label1);
    frame_layout->addWidget(Text1, 1);

    status_line_ = new QLabel(this);
    status_line_->setObjectName("StatusLine");
    status_line_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    save_button_ = new QPushButton("Save edits to CHN files\u2026", this);
    save_button_->setObjectName("SaveEdits");
    export_button_ = new QPushButton("Export\u2026", this);
    export_button_->setObjectName("Export");
    // Enter in the box goes back to the grid; it must not press a button.
    for (QPushButton* button : {save_button_, export_button_}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(status_line_, 1);
    bottom->addWidget(export_button_);
    bottom->addWidget(save_button_);

    auto* menu_bar = new QMenuBar(this);
    QMenu* file_menu = menu_bar->addMenu("&File");
    save_action_ = file_menu->addAction("Save edits to CHN files\u2026");
    save_action_->setObjectName("SaveEditsAction");
    save_action_->setShortcut(QKeySequence::Save);
    export_action_ = file_menu->addAction("Export\u2026");
    export_action_->setObjectName("ExportAction");
    file_menu->addSeparator();
    QAction* close_action = file_menu->addAction("Close");
    close_action->setShortcut(QKeySequence::Close);

    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(menu_bar);
    layout->addWidget(folder_line_);
    layout->addWidget(MSFlexGrid1, 1);
    layout->addWidget(Frame1);
    layout->addLayout(bottom);

    save_button_->setToolTip("Write the edited Date, Time and comment cells into their CHN files");
    export_button_->setToolTip("Write the listing into a CSV file");
    save_button_->setEnabled(false);
    save_action_->setEnabled(false);
    export_button_->setEnabled(false);
    export_action_->setEnabled(false);

    connect(MSFlexGrid1, &QTableWidget::cellClicked, this,
            [this](int row, int col) { MSFlexGrid1_Click(row + 1, col); });
    // The keyboard moves the current cell; the box follows it as it follows a click.
    connect(MSFlexGrid1, &QTableWidget::currentCellChanged, this, [this](int row, int col) {
        if (row >= 0 && col >= 0 && !grid_->writing())
            follow_cell(row + 1, col, false);
    });
    connect(Text1, &QLineEdit::textChanged, this, [this] { Text1_Change(); });
    connect(save_button_, &QPushButton::clicked, this, &Form2::save_edits);
    connect(save_action_, &QAction::triggered, this, &Form2::save_edits);
    connect(export_button_, &QPushButton::clicked, this, &Form2::export_listing);
    connect(export_action_, &QAction::triggered, this, &Form2::export_listing);
    connect(close_action, &QAction::triggered, this, &QDialog::reject);
    Form_Load();
}

Form2::~Form2() = default;

void Form2::set_busy(bool busy) {
    if (busy)
        setCursor(Qt::WaitCursor);
    else
        unsetCursor();
}

void Form2::set_listing(const listing::ListingState* listing,
                        std::function<void()> remake_listing) {
    listing_ = listing;
    remake_listing_ = std::move(remake_listing);
}

void Form2::listing_made(const QString& folder, const QString& status) {
    folder_ = folder;
    folder_line_->setText(QDir::toNativeSeparators(folder));
    folder_line_->setToolTip(folder_line_->text());
    status_line_->setText(status);
    loading_text_ = true;
    Text1->clear();
    loading_text_ = false;
    Label1->clear();
    Text1->setEnabled(false);
    save_button_->setEnabled(false);
    save_action_->setEnabled(false);
    const bool rows = grid_->rows() > 1;
    export_button_->setEnabled(rows);
    export_action_->setEnabled(rows);
    if (listing_ != nullptr) {
        const int n = std::min(grid_->rows() - 1, static_cast<int>(listing_->files.size()));
        for (int r = 1; r <= n; ++r)
            grid_->item(r, 1).setToolTip(
                file_name_of(listing_->files[static_cast<std::size_t>(r - 1)].path));
    }
    fit_columns();
}

void Form2::Form_Load() {
    unsetCursor();
    Text1->clear();
    Label1->clear();
}

void Form2::MSFlexGrid1_Click(int row, int col) {
    follow_cell(row, col, true);
}

void Form2::follow_cell(int row, int col, bool focus_box) {
    // No repainting while the cells change.
    MSFlexGrid1->setUpdatesEnabled(false);
    grid_->set_row(row);
    grid_->set_col(col);

    // The cell chosen before loses its colour, whether it was editable or not, unless it holds
    // what cannot be saved. A later, shorter listing may no longer have it.
    if (last_cell_row_ < grid_->rows() && last_cell_col_ < grid_->cols())
        show_cell_state(last_cell_row_, last_cell_col_, false);

    Label1->clear();
    Text1->setEnabled(false);

    QString caption;
    const char* word = col == date_column      ? "Date"
                       : col == time_column    ? "Time"
                       : col == comment_column ? "Comnt"
                                               : nullptr;
    if (word != nullptr && row >= 1)
        caption = QString("No.%1:%2").arg(row).arg(QLatin1String(word));
    if (!caption.isEmpty()) {
        Text1->setEnabled(true);
        if (focus_box)
            Text1->setFocus();
        Label1->setText(caption);
        // The box shows the cell's text as it is; loading it is no edit of the cell.
        loading_text_ = true;
        Text1->setText(to_qstring(grid_->text()));
        loading_text_ = false;
        text_before_edit_ = Text1->text();
        show_cell_state(row, col, true);
    }

    MSFlexGrid1->setUpdatesEnabled(true);
    last_cell_col_ = col;
    last_cell_row_ = row;
}

void Form2::Text1_Change() {
    if (loading_text_)
        return;
    const int col = grid_->col();
    if (col > 3 && col != 6) {
        grid_->set_text(Text1->text().toStdU32String());
        if (grid_->row() >= 1) {
            show_cell_state(grid_->row(), col, true);
            save_button_->setEnabled(true);
            save_action_->setEnabled(true);
        }
    }
}

QString Form2::cell_problem_text(int row, int col) const {
    if (listing_ == nullptr || row < 1 || row > static_cast<int>(listing_->files.size()) ||
        !is_editable(col))
        return {};
    return QString::fromStdString(listing::cell_problem(
        listing_->files[static_cast<std::size_t>(row - 1)], col, grid_->cell_text(row, col)));
}

void Form2::show_cell_state(int row, int col, bool being_edited) {
    if (row < 1)
        return;
    const QString problem = cell_problem_text(row, col);
    QTableWidgetItem& cell = grid_->item(row, col);
    cell.setToolTip(problem);
    if (!problem.isEmpty())
        set_background(row, col, warning_cell_colour);
    else
        set_background(
            row, col,
            being_edited ? edited_cell_colour : MSFlexGrid1->palette().color(QPalette::Base));
}

void Form2::set_background(int row, int col, const QColor& color) {
    grid_->item(row, col).setBackground(color);
}

void Form2::back_to_grid(int row_step) {
    const int row = std::clamp(MSFlexGrid1->currentRow() + row_step, 0,
                               std::max(0, MSFlexGrid1->rowCount() - 1));
    MSFlexGrid1->setFocus();
    if (row != MSFlexGrid1->currentRow())
        MSFlexGrid1->setCurrentCell(row, MSFlexGrid1->currentColumn());
}

bool Form2::grid_key(const QKeyEvent& key) {
    if (!is_editable(MSFlexGrid1->currentColumn()) || MSFlexGrid1->currentRow() < 0 ||
        !Text1->isEnabled())
        return false;
    if (key.key() == Qt::Key_F2 && key.modifiers() == Qt::NoModifier) {
        Text1->setFocus();
        Text1->deselect();
        Text1->end(false);
        return true;
    }
    // Typing on an editable cell starts its text afresh in the box, as in a spreadsheet.
    const QString typed = key.text();
    const bool printable = !typed.isEmpty() && typed.at(0).isPrint();
    if (printable &&
        !(key.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
        Text1->setFocus();
        Text1->setText(typed);
        return true;
    }
    return false;
}

bool Form2::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return QDialog::eventFilter(watched, event);
    const auto& key = static_cast<const QKeyEvent&>(*event);
    if (watched == MSFlexGrid1)
        return grid_key(key) || QDialog::eventFilter(watched, event);
    if (watched == Text1) {
        if (key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter) {
            back_to_grid(1);
            return true;
        }
        if (key.key() == Qt::Key_Escape) {
            // Escape puts back the text the cell had when the box took it, and leaves the box.
            if (Text1->text() != text_before_edit_)
                Text1->setText(text_before_edit_);
            back_to_grid(0);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void Form2::fit_columns() {
    MSFlexGrid1->resizeColumnsToContents();
    const QFontMetrics metrics(MSFlexGrid1->font());
    const int widest = metrics.horizontalAdvance(QString(widest_name, QLatin1Char('0'))) +
                       2 * metrics.averageCharWidth();
    if (MSFlexGrid1->columnCount() > 1 && MSFlexGrid1->columnWidth(1) > widest)
        MSFlexGrid1->setColumnWidth(1, widest);
}

void Form2::fit_window() {
    // Wide enough for every column, high enough for a screenful of rows, within the screen.
    int width =
        2 * MSFlexGrid1->frameWidth() + MSFlexGrid1->verticalScrollBar()->sizeHint().width();
    for (int c = 0; c < MSFlexGrid1->columnCount(); ++c)
        width += MSFlexGrid1->columnWidth(c);
    const QMargins margins = layout()->contentsMargins();
    width += margins.left() + margins.right();
    const int grid_height = MSFlexGrid1->horizontalHeader()->sizeHint().height() +
                            rows_shown * MSFlexGrid1->verticalHeader()->defaultSectionSize() +
                            2 * MSFlexGrid1->frameWidth();
    const int height =
        layout()->sizeHint().height() - MSFlexGrid1->sizeHint().height() + grid_height;
    QSize size(std::max(width, minimumSizeHint().width()), height);
    if (const QScreen* s = screen())
        size = size.boundedTo(s->availableGeometry().size() * 9 / 10);
    resize(size);
}

void Form2::showEvent(QShowEvent* event) {
    if (!sized_) {
        sized_ = true;
        const QSize kept = QSettings().value(size_key).toSize();
        if (kept.isValid())
            resize(kept.boundedTo(screen() ? screen()->availableGeometry().size() : kept));
        else
            fit_window();
    }
    // Centred on the main window each time it opens.
    if (QWidget* owner = parentWidget()) {
        QRect frame = frameGeometry();
        frame.moveCenter(owner->window()->frameGeometry().center());
        if (const QScreen* s = owner->screen()) {
            const QRect area = s->availableGeometry();
            frame.moveLeft(std::clamp(frame.left(), area.left(),
                                      std::max(area.left(), area.right() - frame.width())));
            frame.moveTop(std::clamp(frame.top(), area.top(),
                                     std::max(area.top(), area.bottom() - frame.height())));
        }
        move(frame.topLeft());
    }
    QDialog::showEvent(event);
}

void Form2::hideEvent(QHideEvent* event) {
    if (sized_)
        QSettings().setValue(size_key, size());
    QDialog::hideEvent(event);
}

void Form2::message(const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, "Brandel", text, QMessageBox::Ok, this);
    box.exec();
}

void Form2::save_edits() {
    if (listing_ == nullptr)
        return;
    const std::vector<FileEdits> edits = listing::collect_edits(*grid_, *listing_);
    if (edits.empty()) {
        message("No Date, Time or comment cell holds an edit to save.");
        return;
    }
    const QString text = QString::fromStdString(listing::confirmation_text(edits));
    const bool savable = std::any_of(edits.begin(), edits.end(),
                                     [](const FileEdits& e) { return e.problem.empty(); });
    if (!savable) {
        QMessageBox box(QMessageBox::Warning, "Brandel", text, QMessageBox::Ok, this);
        box.exec();
        return;
    }
    QMessageBox confirm(QMessageBox::Question, "Brandel", text,
                        QMessageBox::Save | QMessageBox::Cancel, this);
    confirm.setDefaultButton(QMessageBox::Cancel);
    if (confirm.exec() != QMessageBox::Save)
        return;

    const std::vector<SaveResult> results = listing::save_edits(edits);
    // What the grid shows is what the files now hold.
    if (remake_listing_)
        remake_listing_();
    const bool all =
        std::all_of(results.begin(), results.end(), [](const SaveResult& r) { return r.saved; });
    QMessageBox box(all ? QMessageBox::NoIcon : QMessageBox::Warning, "Brandel",
                    QString::fromStdString(listing::save_report_text(results)), QMessageBox::Ok,
                    this);
    box.exec();
}

void Form2::export_listing() {
    const QString start = QDir(folder_.isEmpty() ? QDir::homePath() : folder_).filePath("DATA.csv");
    const QString path = QFileDialog::getSaveFileName(this, "Export the listing", start,
                                                      "CSV files (*.csv);;All files (*)");
    if (path.isEmpty())
        return;
    try {
        spectrum::replace_file(spectrum::fs_path(path.toStdString()),
                               listing::listing_text(*grid_, TableText::csv));
    } catch (const std::exception& e) {
        QMessageBox box(QMessageBox::Warning, "Brandel",
                        QString("The listing was not exported: %1").arg(e.what()), QMessageBox::Ok,
                        this);
        box.exec();
        return;
    }
    status_line_->setText(QString("Exported %1 rows to %2")
                              .arg(grid_->rows() - 1)
                              .arg(QDir::toNativeSeparators(path)));
}

}  // namespace brandel::gui
