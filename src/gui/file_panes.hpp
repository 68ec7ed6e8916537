#pragma once

#include <QComboBox>
#include <QListWidget>
#include <QTreeWidget>

#include <map>
#include <string>
#include <vector>

namespace brandel::gui {

// The three lists of a file pane. Paths are kept as UTF-8 std::string, the way the driver takes
// them, so that a name passes through the window unchanged.

/// The drives (Windows) or the mounted file systems and the home folder (elsewhere). Choosing
/// one emits drive_chosen with the folder to move to: the last folder the pane showed on that
/// drive, or its root.
class DriveList : public QComboBox {
    Q_OBJECT
  public:
    explicit DriveList(QWidget* parent = nullptr);

    /// Selects, without emitting anything, the entry that holds `path` (the longest root that
    /// contains it) and remembers `path` as that entry's last folder.
    void follow(const std::string& path);
    /// The root of the selected entry.
    std::string current_root() const;

  signals:
    void drive_chosen(const std::string& folder);

  private:
    void on_activated(int index);
    std::map<std::string, std::string> last_folder_;
};

/// The folder list: the current path's folders from the root down, then its subfolders. Its
/// path changes only when a folder is opened by a double-click or Enter; highlighting a folder
/// changes nothing.
class DirList : public QTreeWidget {
    Q_OBJECT
  public:
    explicit DirList(QWidget* parent = nullptr);

    const std::string& path() const { return path_; }
    /// Moves to a folder and lists it, then emits path_changed. A folder that cannot be read
    /// leaves the list as it was, emits open_failed and returns false.
    bool open(const std::string& folder);
    /// Lists the current folder again.
    bool reopen() { return open(path_); }

  signals:
    void path_changed();
    void open_failed(const QString& folder, const QString& reason);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void drawBranches(QPainter* painter, const QRect& rect,
                      const QModelIndex& index) const override;

  private:
    void open_item(QTreeWidgetItem* item);
    std::string path_;
};

/// A file list: the files of one folder that match a pattern, sorted by name.
class FileList : public QListWidget {
    Q_OBJECT
  public:
    explicit FileList(QWidget* parent = nullptr);

    const std::string& path() const { return path_; }
    const std::string& pattern() const { return pattern_; }
    void set_path(const std::string& folder);
    void set_pattern(const std::string& pattern);
    /// Reads the folder again, keeping the selected and the current file where they are still
    /// listed. A folder that cannot be read shows an empty list.
    void refresh();

    int entry_count() const { return static_cast<int>(names_.size()); }
    const std::string& entry(int index) const { return names_[static_cast<std::size_t>(index)]; }
    bool entry_selected(int index) const;

  private:
    std::string path_;
    std::string pattern_ = "*.*";
    std::vector<std::string> names_;
};

}  // namespace brandel::gui
