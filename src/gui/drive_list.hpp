#pragma once

#include <QComboBox>

#include <map>
#include <string>

namespace brandel::gui {

// Paths are kept as UTF-8 std::string, the way the driver takes them, so that a name passes
// through the window unchanged.

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

}  // namespace brandel::gui
