#pragma once

#include <QElapsedTimer>
#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>

#include <string>
#include <vector>

namespace brandel::gui {

/// Watches the folders the panes show. A change on disk (a file written, removed or renamed by
/// another program, or the folder itself removed) emits `changed` once a burst of changes is
/// over, or a second after it began when it goes on (a watched folder converting file after
/// file); while the watch is held, the signal waits until it is released.
class FolderWatch : public QObject {
    Q_OBJECT
  public:
    explicit FolderWatch(QObject* parent = nullptr);

    /// Watches these folders, and no others; an empty path or one given twice is skipped.
    void watch(const std::vector<std::string>& folders);
    /// A batch or listing walks the lists by index: while it runs, they must not change.
    void hold(bool held) { held_ = held; }

  signals:
    void changed();

  private:
    QFileSystemWatcher watcher_;
    QTimer quiet_;
    QElapsedTimer burst_;  // since the first change not yet told
    bool held_ = false;
};

}  // namespace brandel::gui
