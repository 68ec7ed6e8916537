#include <QDir>
#include <QFileDialog>
#include <QMessageBox>

#include "gui/file_list.hpp"
#include "gui/file_pane.hpp"
#include "gui/fitted_label.hpp"
#include "gui/format_choice.hpp"
#include "gui/grid_editor_window.hpp"
#include "gui/main_window.hpp"
#include "gui/preview_pane.hpp"
#include "gui/proof_choice.hpp"
#include "listing/actions.hpp"

// What the main window shows and tells the user (the preview, the status line, messages,
// progress), and what the conversion driver and the listing actions ask of it: the panes'
// folders and entries, the busy pointer and the grid window.

namespace brandel::gui {

QString MainWindow::settings_location() const {
    return settings_.location();
}

void MainWindow::tell(const QString& text) {
    status_line_->setText(text);
}

QString MainWindow::status_text() const {
    return status_line_->text();
}

namespace {

QString batch_status(const app::BatchReport& report, const std::string& folder) {
    QString text = report.cancelled ? QStringLiteral("Cancelled: converted %1 of %2 files into %3")
                                    : QStringLiteral("Converted %1 of %2 files into %3");
    text = text.arg(report.converted)
               .arg(report.selected)
               .arg(QDir::toNativeSeparators(QString::fromStdString(folder)));
    if (!report.failures.empty())
        text += QStringLiteral("; %1 did not convert").arg(report.failures.size());
    if (!report.manifest_error.empty())
        text += QStringLiteral("; the manifest could not be written");
    return text;
}

}  // namespace

void MainWindow::tell_batch(const app::BatchReport& report) {
    tell(batch_status(report, Frame2->folder()));
}

void MainWindow::set_preview_visible(bool visible) {
    preview_->setVisible(visible);
    settings_.keep_preview_visible(visible);
    if (visible)
        preview_source();
}

void MainWindow::preview_source() {
    if (!preview_ || !preview_->isVisible() || !Frame1->files()->isVisible())
        return;
    const std::string file = Frame1->current_file();
    if (file.empty())
        preview_->clear();
    else
        preview_->show_source(file, state_.run_mode == app::mode_fileconv ? state_.org_type : -1);
}

void MainWindow::preview_destination() {
    if (!preview_ || !preview_->isVisible())
        return;
    const std::string file = Frame2->current_file();
    if (!file.empty())
        preview_->show_output(file);
}

void MainWindow::formats_changed() {
    settings_.keep_formats(formats::format_list_text(formats_->chosen()));
    show_destination_files();
    watch_outputs_changed();
}

void MainWindow::show_destination_files() {
    // A conversion writes the checked formats, and the list shows what it writes. The listing
    // of CHN_edit reads every file of the list as a CHN file: there it shows CHN files alone.
    const bool fileconv = state_.run_mode == app::mode_fileconv;
    formats_->setVisible(fileconv);
    proof_->setVisible(fileconv);
    if (fileconv)
        Frame2->files()->set_patterns(formats_->patterns());
    else
        Frame2->files()->set_pattern("*.chn");
}

formats::FormatList MainWindow::output_formats() const {
    return formats_->chosen();
}

void MainWindow::proof_changed() {
    settings_.keep_verify(proof_->verify());
    settings_.keep_write_manifest(proof_->write_manifest());
    settings_.keep_manifest(proof_->manifest());
    watch_outputs_changed();
}

void MainWindow::set_manifest_chooser(FileChooser chooser) {
    proof_->set_chooser(std::move(chooser));
}

QString MainWindow::choose_manifest_file(const QString& current) {
    // A manifest is appended to: choosing a file that exists is no reason to ask about it.
    const QString start = current.isEmpty() ? QDir(QString::fromStdString(Frame2->folder()))
                                                  .filePath(QStringLiteral("manifest.csv"))
                                            : current;
    return QFileDialog::getSaveFileName(this, QStringLiteral("Manifest of the conversions"), start,
                                        QStringLiteral("CSV files (*.csv);;All files (*)"), nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}

bool MainWindow::verify_outputs() const {
    return proof_->verify();
}

std::string MainWindow::manifest_path() const {
    return proof_->write_manifest() ? QDir::toNativeSeparators(proof_->manifest()).toStdString()
                                    : std::string();
}

std::string MainWindow::destination_path() const {
    return Frame2->folder();
}
std::string MainWindow::source_path() const {
    return Frame1->folder();
}
int MainWindow::source_entry_count() const {
    return Frame1->files()->entry_count();
}
std::string MainWindow::source_entry(int index) const {
    return Frame1->files()->entry(index);
}
bool MainWindow::source_selected(int index) const {
    return Frame1->files()->entry_selected(index);
}
int MainWindow::destination_entry_count() const {
    return Frame2->files()->entry_count();
}
std::string MainWindow::destination_entry(int index) const {
    return Frame2->files()->entry(index);
}

void MainWindow::set_busy(bool busy) {
    if (busy)
        setCursor(Qt::WaitCursor);
    else
        unsetCursor();
}

void MainWindow::message_box(const std::string& text) {
    if (message_sink_) {
        message_sink_(text);
        return;
    }
    // A message inside a batch reports files that did not convert.
    QMessageBox box(in_batch_ ? QMessageBox::Warning : QMessageBox::NoIcon,
                    QStringLiteral("Brandel"), QString::fromStdString(text), QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText);  // a file name is never markup
    box.exec();
}

void MainWindow::refresh_destination_list() {
    Frame2->files()->refresh();
}

bool MainWindow::progress(int done, int total, const std::string& name) {
    return progress_.step(done, total, name);
}

void MainWindow::progress_done() {
    progress_.done();
}

gui::Form2& MainWindow::form2() {
    if (Form2 == nullptr)
        Form2 = new gui::Form2(this);
    return *Form2;
}

listing::Grid& MainWindow::listing_grid() {
    return form2().grid();
}

void MainWindow::set_grid_busy(bool busy) {
    form2().set_busy(busy);
}

void MainWindow::listing_made(const std::string& folder, const std::string& status) {
    // After its edits are saved, the grid window makes the listing again from the files.
    form2().set_listing(&listing_state(), [this] {
        const listing::ListingReport report = listing::build_listing(state_, *this);
        if (!report.skipped.empty())
            message_box(listing::skipped_text(report));
    });
    form2().listing_made(QString::fromStdString(folder), QString::fromStdString(status));
}

void MainWindow::chn_written(const std::string& path) {
    tell(QStringLiteral("Wrote the spectrum to %1.")
             .arg(QDir::toNativeSeparators(QString::fromStdString(path))));
}

void MainWindow::show_grid_modal() {
    if (modal_show_)
        modal_show_(form2());
    else
        form2().exec();
}

}  // namespace brandel::gui
