#include "gui/save_export_actions.hpp"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QKeySequence>
#include <QMessageBox>
#include <QPushButton>

#include <algorithm>
#include <exception>
#include <vector>

#include "gui/table_grid.hpp"
#include "listing/listing_text.hpp"
#include "spectrum/atomic_file.hpp"
#include "spectrum/paths.hpp"

namespace brandel::gui {

using listing::FileEdits;
using listing::SaveResult;
using listing::TableText;

SaveExportActions::SaveExportActions(TableGrid& grid, QWidget& window)
    : QObject(&window), grid_(grid), window_(window) {
    save_button_ = new QPushButton("Save edits to CHN files\u2026", &window);
    save_button_->setObjectName("SaveEdits");
    export_button_ = new QPushButton("Export\u2026", &window);
    export_button_->setObjectName("Export");
    // Enter in the box goes back to the grid; it must not press a button.
    for (QPushButton* button : {save_button_, export_button_}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    save_action_ = new QAction("Save edits to CHN files\u2026", &window);
    save_action_->setObjectName("SaveEditsAction");
    save_action_->setShortcut(QKeySequence::Save);
    export_action_ = new QAction("Export\u2026", &window);
    export_action_->setObjectName("ExportAction");

    save_button_->setToolTip("Write the edited Date, Time and comment cells into their CHN files");
    export_button_->setToolTip("Write the listing into a CSV file");
    set_save_enabled(false);
    export_button_->setEnabled(false);
    export_action_->setEnabled(false);

    connect(save_button_, &QPushButton::clicked, this, &SaveExportActions::save_edits);
    connect(save_action_, &QAction::triggered, this, &SaveExportActions::save_edits);
    connect(export_button_, &QPushButton::clicked, this, &SaveExportActions::export_listing);
    connect(export_action_, &QAction::triggered, this, &SaveExportActions::export_listing);
}

void SaveExportActions::set_listing(const listing::ListingState* listing,
                                    std::function<void()> remake_listing) {
    listing_ = listing;
    remake_listing_ = std::move(remake_listing);
}

void SaveExportActions::listing_made(const QString& folder) {
    folder_ = folder;
    set_save_enabled(false);
    const bool rows = grid_.rows() > 1;
    export_button_->setEnabled(rows);
    export_action_->setEnabled(rows);
}

void SaveExportActions::cell_edited() {
    set_save_enabled(true);
}

void SaveExportActions::set_save_enabled(bool enabled) {
    save_button_->setEnabled(enabled);
    save_action_->setEnabled(enabled);
}

void SaveExportActions::message(const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, "Brandel", text, QMessageBox::Ok, &window_);
    box.exec();
}

void SaveExportActions::save_edits() {
    if (listing_ == nullptr)
        return;
    const std::vector<FileEdits> edits = listing::collect_edits(grid_, *listing_);
    if (edits.empty()) {
        message("No Date, Time or comment cell holds an edit to save.");
        return;
    }
    if (none_savable(edits))
        return;
    QMessageBox confirm(QMessageBox::Question, "Brandel",
                        QString::fromStdString(listing::confirmation_text(edits)),
                        QMessageBox::Save | QMessageBox::Cancel, &window_);
    confirm.setDefaultButton(QMessageBox::Cancel);
    if (confirm.exec() == QMessageBox::Save)
        write_edits(edits);
}

bool SaveExportActions::has_edits() const {
    return listing_ != nullptr && !listing::collect_edits(grid_, *listing_).empty();
}

bool SaveExportActions::may_close() {
    if (listing_ == nullptr)
        return true;
    const std::vector<FileEdits> edits = listing::collect_edits(grid_, *listing_);
    if (edits.empty())
        return true;
    QMessageBox ask(QMessageBox::Question, "Brandel", "Save edits to the CHN files?",
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, &window_);
    ask.setInformativeText(QString::fromStdString(listing::edits_list_text(edits)));
    ask.setDefaultButton(QMessageBox::Cancel);
    ask.setEscapeButton(QMessageBox::Cancel);
    switch (ask.exec()) {
        case QMessageBox::Save:
            if (none_savable(edits))
                return false;
            write_edits(edits);
            return true;
        case QMessageBox::Discard:
            return true;
        default:
            return false;
    }
}

// Says so when none of the edits can be saved.
bool SaveExportActions::none_savable(const std::vector<FileEdits>& edits) {
    if (std::any_of(edits.begin(), edits.end(),
                    [](const FileEdits& e) { return e.problem.empty(); }))
        return false;
    QMessageBox box(QMessageBox::Warning, "Brandel",
                    QString::fromStdString(listing::confirmation_text(edits)), QMessageBox::Ok,
                    &window_);
    box.exec();
    return true;
}

void SaveExportActions::write_edits(const std::vector<FileEdits>& edits) {
    const std::vector<SaveResult> results = listing::save_edits(edits);
    // What the grid shows is what the files now hold.
    if (remake_listing_)
        remake_listing_();
    const bool all =
        std::all_of(results.begin(), results.end(), [](const SaveResult& r) { return r.saved; });
    QString report = QString::fromStdString(listing::save_report_text(results));
    if (!all && remake_listing_)
        report +=
            "\n\nThe listing was made again from the files: it shows what they hold now, "
            "without the edits that were not saved.";
    QMessageBox box(all ? QMessageBox::NoIcon : QMessageBox::Warning, "Brandel", report,
                    QMessageBox::Ok, &window_);
    box.exec();
}

void SaveExportActions::export_listing() {
    const QString start = QDir(folder_.isEmpty() ? QDir::homePath() : folder_).filePath("DATA.csv");
    const QString path = QFileDialog::getSaveFileName(&window_, "Export the listing", start,
                                                      "CSV files (*.csv);;All files (*)");
    if (path.isEmpty())
        return;
    try {
        spectrum::replace_file(spectrum::fs_path(path.toStdString()),
                               listing::listing_text(grid_, TableText::csv));
    } catch (const std::exception& e) {
        QMessageBox box(QMessageBox::Warning, "Brandel",
                        QString("The listing was not exported: %1").arg(e.what()), QMessageBox::Ok,
                        &window_);
        box.exec();
        return;
    }
    emit status(QString("Exported %1 rows to %2")
                    .arg(grid_.rows() - 1)
                    .arg(QDir::toNativeSeparators(path)));
}

}  // namespace brandel::gui
