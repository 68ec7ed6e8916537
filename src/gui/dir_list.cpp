#include "gui/dir_list.hpp"

#include <QKeyEvent>
#include <QStyle>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "app/file_list.hpp"
#include "gui/qt_text.hpp"
#include "spectrum/paths.hpp"

namespace brandel::gui {

namespace {

constexpr int path_role = Qt::UserRole;

}  // namespace

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

}  // namespace brandel::gui
