#include "gui/drive_list.hpp"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>
#include <QStyle>

#include <algorithm>
#include <vector>

#include "gui/qt_text.hpp"
#include "spectrum/paths.hpp"

namespace brandel::gui {

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
    // A long mount path must not widen the pane: the list shows as much as fits.
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(8);
    connect(this, &QComboBox::activated, this, &DriveList::on_activated);
}

void DriveList::follow(const std::string& path) {
    int best = -1;
    std::size_t best_size = 0;
    for (int i = 0; i < count(); ++i) {
        std::string root = path_of(itemData(i));
        if (spectrum::folder_contains(root, path) && root.size() >= best_size) {
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

}  // namespace brandel::gui
