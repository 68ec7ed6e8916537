#include "gui/file_panes.hpp"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QScrollBar>
#include <QStorageInfo>
#include <QStyle>

#include <algorithm>
#include <filesystem>
#include <set>

#include "app/file_list.hpp"
#include "spectrum/paths.hpp"

namespace brandel::gui {

namespace {

constexpr int path_role = Qt::UserRole;

QString qt_text(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

QByteArray path_data(const std::string& path) {
    return QByteArray::fromStdString(path);
}

std::string path_of(const QVariant& data) {
    return data.toByteArray().toStdString();
}

bool is_separator(char c) {
    return c == '/' || c == '\\';
}

bool same_char(char a, char b) {
#ifdef _WIN32
    auto fold = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
    return fold(a) == fold(b);
#else
    return a == b;
#endif
}

// Whether `root` is `path` itself or one of the folders above it.
bool contains(const std::string& root, const std::string& path) {
    if (root.empty() || path.size() < root.size())
        return false;
    if (!std::equal(root.begin(), root.end(), path.begin(), same_char))
        return false;
    return path.size() == root.size() || is_separator(root.back()) ||
           is_separator(path[root.size()]);
}

}  // namespace

DriveList::DriveList(QWidget* parent) : QComboBox(parent) {
#ifdef _WIN32
    const QIcon drive_icon = style()->standardIcon(QStyle::SP_DriveHDIcon);
    for (const QFileInfo& drive : QDir::drives()) {
        std::string root = QDir::toNativeSeparators(drive.absoluteFilePath()).toStdString();
        addItem(drive_icon, qt_text(root), path_data(root));
    }
#else
    const std::string home = QDir::homePath().toStdString();
    addItem(style()->standardIcon(QStyle::SP_DirHomeIcon), qt_text(home), path_data(home));
    std::vector<std::string> roots;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        // Containers mount single files too; only folders can be opened.
        if (!volume.isValid() || !volume.isReady() || !QFileInfo(volume.rootPath()).isDir())
            continue;
        std::string root = volume.rootPath().toStdString();
        if (root != home && std::find(roots.begin(), roots.end(), root) == roots.end())
            roots.push_back(std::move(root));
    }
    std::sort(roots.begin(), roots.end());
    const QIcon drive_icon = style()->standardIcon(QStyle::SP_DriveHDIcon);
    for (const std::string& root : roots)
        addItem(drive_icon, qt_text(root), path_data(root));
#endif
    connect(this, &QComboBox::activated, this, &DriveList::on_activated);
}

void DriveList::follow(const std::string& path) {
    int best = -1;
    std::size_t best_size = 0;
    for (int i = 0; i < count(); ++i) {
        std::string root = path_of(itemData(i));
        if (contains(root, path) && root.size() >= best_size) {
            best = i;
            best_size = root.size();
        }
    }
    if (best < 0)
        return;
    last_folder_[path_of(itemData(best))] = path;
    QSignalBlocker block(this);
    setCurrentIndex(best);
}

std::string DriveList::current_root() const {
    return path_of(currentData());
}

void DriveList::on_activated(int index) {
    std::string root = path_of(itemData(index));
    auto last = last_folder_.find(root);
    emit drive_chosen(last != last_folder_.end() ? last->second : root);
}

DirList::DirList(QWidget* parent) : QTreeWidget(parent) {
    setHeaderHidden(true);
    setColumnCount(1);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setExpandsOnDoubleClick(false);
    setUniformRowHeights(true);
    setIndentation(10);
    connect(this, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { open_item(item); });
}

bool DirList::open(const std::string& folder) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path p = fs::absolute(spectrum::fs_path(folder), ec).lexically_normal();
    if (ec)
        p = spectrum::fs_path(folder).lexically_normal();
    if (!p.has_filename() && p.has_relative_path())
        p = p.parent_path();  // "/data/" -> "/data"
    const std::string target = spectrum::utf8_path(p);

    std::vector<std::string> subfolders;
    try {
        subfolders = app::list_folders(target);
    } catch (const fs::filesystem_error& e) {
        emit open_failed(qt_text(target), qt_text(e.code().message()));
        return false;
    }

    std::vector<fs::path> chain;  // the folder and every folder above it, up to the root
    for (fs::path q = p;; q = q.parent_path()) {
        chain.push_back(q);
        if (!q.has_relative_path())
            break;
    }
    std::reverse(chain.begin(), chain.end());

    clear();
    const QIcon open_icon = style()->standardIcon(QStyle::SP_DirOpenIcon);
    QTreeWidgetItem* current = nullptr;
    for (const fs::path& q : chain) {
        auto* item = current ? new QTreeWidgetItem(current) : new QTreeWidgetItem(this);
        item->setText(0, qt_text(spectrum::utf8_path(q.has_relative_path() ? q.filename() : q)));
        item->setIcon(0, open_icon);
        item->setData(0, path_role, path_data(spectrum::utf8_path(q)));
        current = item;
    }
    const QIcon closed_icon = style()->standardIcon(QStyle::SP_DirClosedIcon);
    for (const std::string& name : subfolders) {
        auto* item = new QTreeWidgetItem(current);
        item->setText(0, qt_text(name));
        item->setIcon(0, closed_icon);
        item->setData(0, path_role, path_data(spectrum::utf8_path(p / spectrum::fs_path(name))));
    }
    expandAll();
    setCurrentItem(current);
    scrollToItem(current, QAbstractItemView::PositionAtTop);

    path_ = target;
    emit path_changed();
    return true;
}

void DirList::drawBranches(QPainter*, const QRect&, const QModelIndex&) const {
    // Every folder shown is open: no expand or collapse marks, only the indentation.
}

void DirList::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && currentItem()) {
        open_item(currentItem());
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

void DirList::open_item(QTreeWidgetItem* item) {
    if (item)
        open(path_of(item->data(0, path_role)));
}

FileList::FileList(QWidget* parent) : QListWidget(parent) {
    setUniformItemSizes(true);
}

void FileList::set_path(const std::string& folder) {
    if (folder != path_) {
        // Another folder: nothing of the old one stays selected.
        clear();
        names_.clear();
    }
    path_ = folder;
    refresh();
}

void FileList::set_pattern(const std::string& pattern) {
    pattern_ = pattern;
    refresh();
}

void FileList::refresh() {
    std::set<std::string> selected;
    for (int i = 0; i < entry_count(); ++i)
        if (entry_selected(i))
            selected.insert(names_[static_cast<std::size_t>(i)]);
    const int row = currentRow();
    const std::string current = row >= 0 && row < entry_count() ? entry(row) : std::string();
    const int scrolled = verticalScrollBar()->value();

    std::vector<std::string> names;
    if (!path_.empty()) {
        try {
            names = app::list_files(path_, pattern_);
        } catch (const std::filesystem::filesystem_error&) {
            // The folder list reports a folder that cannot be read; here it simply lists nothing.
        }
    }
    QSignalBlocker block(this);
    clear();
    names_ = std::move(names);
    QListWidgetItem* current_item = nullptr;
    for (const std::string& name : names_) {
        auto* item = new QListWidgetItem(qt_text(name), this);
        if (selected.count(name) != 0)
            item->setSelected(true);
        if (name == current)
            current_item = item;
    }
    if (current_item)
        setCurrentItem(current_item, QItemSelectionModel::NoUpdate);
    verticalScrollBar()->setValue(scrolled);
    block.unblock();
    emit currentRowChanged(currentRow());
}

bool FileList::entry_selected(int index) const {
    const QListWidgetItem* it = item(index);
    return it != nullptr && it->isSelected();
}

}  // namespace brandel::gui
