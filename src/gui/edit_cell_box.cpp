#include "gui/edit_cell_box.hpp"

#include <QColor>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QTableWidgetItem>

#include <algorithm>

#include "gui/grid_view.hpp"
#include "listing/chn_edits.hpp"

namespace brandel::gui {

using listing::comment_column;
using listing::date_column;
using listing::time_column;

namespace {

// The background of the cell being edited.
const QColor edited_cell_colour(0xC0, 0xFF, 0xC0);
// The background of a Date or Time cell that holds no date or time, and of a comment that does
// not fit its file.
const QColor warning_cell_colour(0xFF, 0xB4, 0xA0);

bool is_editable(int col) {
    return col == date_column || col == time_column || col == comment_column;
}

}  // namespace

EditCellBox::EditCellBox(GridView& view, QWidget* parent)
    : QGroupBox("Edit Cell", parent), view_(view) {
    setObjectName("Frame1");
    Label1 = new QLabel(this);
    Label1->setObjectName("Label1");
    Label1->setMinimumWidth(Label1->fontMetrics().horizontalAdvance("No.00000:Comnt"));
    Text1 = new QLineEdit(this);
    Text1->setObjectName("Text1");
    Text1->setEnabled(false);  // nothing is being edited until a cell is chosen
    Text1->installEventFilter(this);
    view_.installEventFilter(this);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(Text1, 1);
    connect(Text1, &QLineEdit::textChanged, this, [this] { Text1_Change(); });
}

void EditCellBox::clear() {
    loading_text_ = true;
    Text1->clear();
    loading_text_ = false;
    Label1->clear();
    Text1->setEnabled(false);
}

bool EditCellBox::editing() const {
    return Text1->isEnabled();
}

void EditCellBox::follow_cell(int row, int col, bool focus_box) {
    TableGrid& grid = view_.grid();
    // No repainting while the cells change.
    view_.setUpdatesEnabled(false);
    grid.set_row(row);
    grid.set_col(col);

    // The cell chosen before loses its colour, whether it was editable or not, unless it holds
    // what cannot be saved. A later, shorter listing may no longer have it.
    if (last_cell_row_ < grid.rows() && last_cell_col_ < grid.cols())
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
        Text1->setText(QString::fromStdU32String(grid.text()));
        loading_text_ = false;
        text_before_edit_ = Text1->text();
        // A click into a comment takes its text, not the field's padding: what is typed then
        // replaces the text, as typing on the cell from the keyboard does.
        if (focus_box && col == comment_column) {
            qsizetype end = text_before_edit_.size();
            while (end > 0 && text_before_edit_.at(end - 1) == QLatin1Char(' '))
                --end;
            Text1->setSelection(0, static_cast<int>(end));
        }
        show_cell_state(row, col, true);
    }

    view_.setUpdatesEnabled(true);
    last_cell_col_ = col;
    last_cell_row_ = row;
}

void EditCellBox::Text1_Change() {
    if (loading_text_)
        return;
    TableGrid& grid = view_.grid();
    const int col = grid.col();
    if (col > 3 && col != 6) {
        grid.set_text(Text1->text().toStdU32String());
        if (grid.row() >= 1) {
            show_cell_state(grid.row(), col, true);
            emit cell_edited();
        }
    }
}

QString EditCellBox::cell_problem_text(int row, int col) const {
    if (listing_ == nullptr || row < 1 || row > static_cast<int>(listing_->files.size()) ||
        !is_editable(col))
        return {};
    return QString::fromStdString(listing::cell_problem(
        listing_->files[static_cast<std::size_t>(row - 1)], col, view_.grid().cell_text(row, col)));
}

void EditCellBox::show_cell_state(int row, int col, bool being_edited) {
    if (row < 1)
        return;
    const QString problem = cell_problem_text(row, col);
    QTableWidgetItem& cell = view_.grid().item(row, col);
    cell.setToolTip(problem);
    if (!problem.isEmpty())
        cell.setBackground(warning_cell_colour);
    else
        cell.setBackground(being_edited ? edited_cell_colour
                                        : view_.palette().color(QPalette::Base));
}

void EditCellBox::back_to_grid(int row_step) {
    const int row = std::clamp(view_.currentRow() + row_step, 0, std::max(0, view_.rowCount() - 1));
    view_.setFocus();
    if (row != view_.currentRow())
        view_.setCurrentCell(row, view_.currentColumn());
}

bool EditCellBox::grid_key(const QKeyEvent& key) {
    if (!is_editable(view_.currentColumn()) || view_.currentRow() < 0 || !Text1->isEnabled())
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

bool EditCellBox::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return QGroupBox::eventFilter(watched, event);
    const auto& key = static_cast<const QKeyEvent&>(*event);
    if (watched == &view_)
        return grid_key(key) || QGroupBox::eventFilter(watched, event);
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
    return QGroupBox::eventFilter(watched, event);
}

}  // namespace brandel::gui
