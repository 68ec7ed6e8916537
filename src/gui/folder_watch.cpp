#include "gui/folder_watch.hpp"

#include <QStringList>

namespace brandel::gui {

FolderWatch::FolderWatch(QObject* parent) : QObject(parent) {
    quiet_.setSingleShot(true);
    quiet_.setInterval(200);
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, [this] {
        if (!quiet_.isActive())
            burst_.start();
        else if (burst_.elapsed() >= 1000)
            return;  // changes that go on are told anyway, when the timer runs out
        quiet_.start();
    });
    connect(&quiet_, &QTimer::timeout, this, [this] {
        if (held_) {
            quiet_.start();
            return;
        }
        emit changed();
    });
}

void FolderWatch::watch(const std::vector<std::string>& folders) {
    if (!watcher_.directories().isEmpty())
        watcher_.removePaths(watcher_.directories());
    QStringList paths;
    for (const std::string& folder : folders)
        if (!folder.empty() && !paths.contains(QString::fromStdString(folder)))
            paths << QString::fromStdString(folder);
    if (!paths.isEmpty())
        watcher_.addPaths(paths);
}

}  // namespace brandel::gui
