#include "gui/grid_editor_window.hpp"

#include <QAction>
#include <QDir>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSettings>
#include <QVBoxLayout>

#include <algorithm>
#include <string>

#include "gui/edit_cell_box.hpp"
#include "gui/grid_view.hpp"
#include "gui/save_export_actions.hpp"

namespace brandel::gui {

namespace {

// Data rows the window shows when it opens for the first time.
constexpr int rows_shown = 20;

const char* size_key = "GridWindow/size";

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
    MSFlexGrid1 = new GridView(this);
    Frame1 = new EditCellBox(*MSFlexGrid1, this);
    status_line_ = new QLabel(this);
    status_line_->setObjectName("StatusLine");
    status_line_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    actions_ = new SaveExportActions(MSFlexGrid1->grid(), *this);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(status_line_, 1);
    bottom->addWidget(&actions_->export_button());
    bottom->addWidget(&actions_->save_button());

    auto* menu_bar = new QMenuBar(this);
    QMenu* file_menu = menu_bar->addMenu("&File");
    file_menu->addAction(&actions_->save_action());
    file_menu->addAction(&actions_->export_action());
    file_menu->addSeparator();
    QAction* close_action = file_menu->addAction("Close");
    close_action->setShortcut(QKeySequence::Close);

    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(menu_bar);
    layout->addWidget(folder_line_);
    layout->addWidget(MSFlexGrid1, 1);
    layout->addWidget(Frame1);
    layout->addLayout(bottom);

    connect(MSFlexGrid1, &QTableWidget::cellClicked, this,
            [this](int row, int col) { MSFlexGrid1_Click(row + 1, col); });
    // The keyboard moves the current cell; the box follows it as it follows a click.
    connect(MSFlexGrid1, &QTableWidget::currentCellChanged, this, [this](int row, int col) {
        if (row >= 0 && col >= 0 && !MSFlexGrid1->grid().writing())
            Frame1->follow_cell(row + 1, col, false);
    });
    connect(Frame1, &EditCellBox::cell_edited, actions_, &SaveExportActions::cell_edited);
    connect(actions_, &SaveExportActions::status, status_line_, &QLabel::setText);
    connect(close_action, &QAction::triggered, this, &QDialog::reject);
    Form_Load();
}

Form2::~Form2() = default;

listing::Grid& Form2::grid() {
    return MSFlexGrid1->grid();
}

void Form2::set_busy(bool busy) {
    if (busy)
        setCursor(Qt::WaitCursor);
    else
        unsetCursor();
}

void Form2::set_listing(const listing::ListingState* listing,
                        std::function<void()> remake_listing) {
    listing_ = listing;
    Frame1->set_listing(listing);
    actions_->set_listing(listing, std::move(remake_listing));
}

void Form2::listing_made(const QString& folder, const QString& status) {
    folder_line_->setText(QDir::toNativeSeparators(folder));
    folder_line_->setToolTip(folder_line_->text());
    status_line_->setText(status);
    Frame1->clear();
    actions_->listing_made(folder);
    // The rows of a new listing show nothing of an earlier one's marks.
    MSFlexGrid1->clear_marks();
    TableGrid& grid = MSFlexGrid1->grid();
    if (listing_ != nullptr) {
        const int n = std::min(grid.rows() - 1, static_cast<int>(listing_->files.size()));
        for (int r = 1; r <= n; ++r)
            grid.item(r, 1).setToolTip(
                file_name_of(listing_->files[static_cast<std::size_t>(r - 1)].path));
    }
    MSFlexGrid1->fit_columns();
    MSFlexGrid1->show_first_column();
}

void Form2::save_edits() {
    actions_->save_edits();
}

void Form2::export_listing() {
    actions_->export_listing();
}

int Form2::last_cell_col() const {
    return Frame1->last_cell_col();
}

int Form2::last_cell_row() const {
    return Frame1->last_cell_row();
}

void Form2::Form_Load() {
    unsetCursor();
    Frame1->clear();
}

void Form2::MSFlexGrid1_Click(int row, int col) {
    Frame1->follow_cell(row, col, true);
}

void Form2::reject() {
    if (actions_->may_close())
        QDialog::reject();
}

void Form2::keyPressEvent(QKeyEvent* event) {
    // Escape first undoes the cell in the box; pressed once more it must not throw edits away.
    if (event->matches(QKeySequence::Cancel) && (Frame1->editing() || actions_->has_edits())) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void Form2::fit_window() {
    // Wide enough for every column, high enough for a screenful of rows, within the screen.
    const QMargins margins = layout()->contentsMargins();
    const int width = MSFlexGrid1->width_for_all_columns() + margins.left() + margins.right();
    const int height = layout()->sizeHint().height() - MSFlexGrid1->sizeHint().height() +
                       MSFlexGrid1->height_for_rows(rows_shown);
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
    // The grid was filled while hidden, in a view too small for its current cell.
    MSFlexGrid1->show_first_column();
}

void Form2::hideEvent(QHideEvent* event) {
    if (sized_)
        QSettings().setValue(size_key, size());
    QDialog::hideEvent(event);
}

}  // namespace brandel::gui
