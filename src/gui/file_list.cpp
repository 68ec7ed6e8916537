#include "gui/file_list.hpp"

#include <QScrollBar>

#include <filesystem>
#include <set>
#include <utility>

#include "app/file_list.hpp"
#include "gui/qt_text.hpp"

namespace brandel::gui {

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

void FileList::set_patterns(std::vector<std::string> patterns) {
    patterns_ = std::move(patterns);
    pattern_.clear();
    for (const std::string& p : patterns_)
        pattern_ += (pattern_.empty() ? "" : ";") + p;
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
            names = app::list_files(path_, patterns_);
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
