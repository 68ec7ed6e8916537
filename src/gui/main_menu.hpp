#pragma once

#include <QObject>

#include <map>

class QAction;
class QMenuBar;
class QWidget;

namespace brandel::gui {

/// The main window's menus. "File" (object name "fcv") holds the items of the array fcv1:
/// "FILEconv" (100) and "CHN_edit" (200), one choice whose current mode is marked with a dot, a
/// separator line (800) and "exit" (900), with object names "fcv1_<index>" and the index in the
/// property "index". Between the modes and the separator, "Watch source folder" (object name
/// "watch_source", checkable) converts each new file of the source folder. "View" shows or hides
/// the preview (F9) and reads the folders again (F5); "Help" holds About.
class MainMenu : public QObject {
    Q_OBJECT
  public:
    explicit MainMenu(QMenuBar* bar);

    QAction* item(int index) const { return fcv1_.at(index); }
    QAction* preview_action() const { return preview_; }
    QAction* watch_action() const { return watch_; }
    /// Marks the item of `mode` as the current one.
    void check_mode(int mode);

  signals:
    /// An item of fcv1 was chosen.
    void item_chosen(int index);
    void preview_toggled(bool visible);
    /// The user checked or unchecked "Watch source folder".
    void watch_toggled(bool on);
    void refresh_chosen();
    void about_chosen();
    /// A menu was closed.
    void closed();

  private:
    std::map<int, QAction*> fcv1_;
    QAction* preview_ = nullptr;
    QAction* watch_ = nullptr;
};

/// The README's path on this computer, found beside the program, in an installed program's
/// documentation folder or in the sources it was built from; empty where there is none.
QString readme_location();

/// The About box: the program's version, where its settings are kept and where the README is.
void show_about(QWidget* parent, const QString& settings_location);

}  // namespace brandel::gui
