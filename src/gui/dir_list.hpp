#pragma once

#include <QTreeWidget>

#include <string>

namespace brandel::gui {

// Paths are kept as UTF-8 std::string, the way the driver takes them, so that a name passes
// through the window unchanged.

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

}  // namespace brandel::gui
