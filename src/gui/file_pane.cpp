#include "gui/file_pane.hpp"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QVBoxLayout>

#include <algorithm>
#include <filesystem>

#include "gui/dir_list.hpp"
#include "gui/drive_list.hpp"
#include "gui/file_list.hpp"
#include "spectrum/paths.hpp"

namespace brandel::gui {

FilePane::FilePane(const QString& title, int number, const QString& path_tip, QWidget* parent)
    : QGroupBox(title, parent) {
    auto name = [number](const char* kind) { return QStringLiteral("%1%2").arg(kind).arg(number); };
    setObjectName(name("Frame"));
    // Created in tab order.
    path_ = new QLineEdit(this);
    path_->setObjectName(name("Path"));
    path_->setToolTip(path_tip);
    path_->setClearButtonEnabled(true);
    drive_ = new DriveList(this);
    drive_->setObjectName(name("Drive"));
    dir_ = new DirList(this);
    dir_->setObjectName(name("Dir"));
    files_ = new FileList(this);
    files_->setObjectName(name("File"));

    layout_ = new QVBoxLayout(this);
    layout_->addWidget(path_);
    layout_->addWidget(drive_);
    layout_->addWidget(dir_, 2);
    layout_->addWidget(files_, 3);

    connect(drive_, &DriveList::drive_chosen, this, &FilePane::drive_chosen);
    connect(dir_, &DirList::path_changed, this, &FilePane::folder_changed);
    connect(dir_, &DirList::open_failed, this, &FilePane::open_failed);
    connect(path_, &QLineEdit::returnPressed, this, [this] { emit path_entered(path_->text()); });
    connect(files_, &QListWidget::currentRowChanged, this, &FilePane::current_file_changed);
}

const std::string& FilePane::folder() const {
    return dir_->path();
}

namespace {

bool is_folder(const std::string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_directory(spectrum::fs_path(path), ec);
}

}  // namespace

bool FilePane::open_first(const std::vector<std::string>& folders) {
    return std::any_of(folders.begin(), folders.end(), [this](const std::string& folder) {
        return is_folder(folder) && dir_->open(folder);
    });
}

bool FilePane::open_or_home(const std::string& folder) {
    if (open_first({folder}))
        return true;
    open_first({QDir::homePath().toStdString()});
    return false;
}

bool FilePane::folder_exists() const {
    return is_folder(dir_->path());
}

void FilePane::open_drive_folder(const std::string& folder) {
    if (!dir_->open(folder))
        drive_->follow(dir_->path());
}

void FilePane::follow_folder() {
    drive_->follow(dir_->path());
    files_->set_path(dir_->path());
    show_folder_path();
}

void FilePane::show_folder_path() {
    path_->setText(QDir::toNativeSeparators(QString::fromStdString(dir_->path())));
}

std::string FilePane::current_file() const {
    const int row = files_->currentRow();
    if (row < 0 || row >= files_->entry_count())
        return {};
    return spectrum::with_trailing_separator(dir_->path()) + files_->entry(row);
}

QString FilePane::open_paths(const QStringList& paths, bool select) {
    const QString said = open_given(paths, select);
    // Whatever was typed, the field shows the folder the pane is in: a folder that does not
    // exist or cannot be opened is not left standing there as if it were shown.
    show_folder_path();
    return said;
}

QString FilePane::open_given(const QStringList& paths, bool select) {
    if (paths.isEmpty())
        return {};
    const QString first = QDir::fromNativeSeparators(paths.front().trimmed());
    const QFileInfo info(first);
    if (first.isEmpty())
        return {};
    if (info.isDir()) {
        dir_->open(info.absoluteFilePath().toStdString());
        return {};
    }
    if (!info.exists())
        return QStringLiteral("%1 does not exist.").arg(QDir::toNativeSeparators(first));
    const std::string folder = info.absolutePath().toStdString();
    if (folder != dir_->path() && !dir_->open(folder))
        return {};
    if (!select)
        return {};
    // The files given are selected, as if the user had picked them.
    const int selected = select_files(paths);
    const int hidden = static_cast<int>(paths.size()) - selected;
    if (hidden > 0)
        return QStringLiteral("%1 of the %2 files are not listed: they do not match %3.")
            .arg(hidden)
            .arg(paths.size())
            .arg(QString::fromStdString(files_->pattern()));
    return QStringLiteral("%1 files selected.").arg(selected);
}

int FilePane::select_files(const QStringList& names) {
    files_->clearSelection();
    int selected = 0, first_row = -1;
    for (const QString& path : names) {
        const std::string name = QFileInfo(path).fileName().toStdString();
        for (int i = 0; i < files_->entry_count(); ++i) {
            if (files_->entry(i) != name)
                continue;
            files_->item(i)->setSelected(true);
            if (first_row < 0)
                first_row = i;
            ++selected;
        }
    }
    if (first_row >= 0)
        files_->setCurrentRow(first_row, QItemSelectionModel::NoUpdate);
    return selected;
}

void FilePane::add_under_list(QWidget* row) {
    row->setParent(this);
    layout_->insertWidget(layout_->indexOf(files_) + 1, row);
}

}  // namespace brandel::gui
