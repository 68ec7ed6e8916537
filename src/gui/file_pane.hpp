#pragma once

#include <QGroupBox>
#include <QStringList>

#include <string>
#include <vector>

class QLineEdit;
class QVBoxLayout;

namespace brandel::gui {

class DirList;
class DriveList;
class FileList;

/// One file pane of the main window, "ORG file" or "CHN file": a path field, the drive list,
/// the folder list and the file list of one folder, top to bottom. Pane number n names its
/// controls "Frame<n>" (the pane itself), "Path<n>", "Drive<n>", "Dir<n>" and "File<n>".
/// Under the file list there is room for rows that belong to the list (add_under_list).
class FilePane : public QGroupBox {
    Q_OBJECT
  public:
    /// `path_tip` says what the path field is for.
    FilePane(const QString& title, int number, const QString& path_tip, QWidget* parent);

    QLineEdit* path_field() const { return path_; }
    DriveList* drive() const { return drive_; }
    DirList* dir() const { return dir_; }
    FileList* files() const { return files_; }

    /// The folder the folder list shows, the one a conversion uses.
    const std::string& folder() const;
    /// Opens the first of these folders that exists and can be read; false when none can.
    bool open_first(const std::vector<std::string>& folders);
    /// Opens `folder`, or the home folder where that one is gone; false for the home folder.
    bool open_or_home(const std::string& folder);
    /// Whether the folder shown is still there.
    bool folder_exists() const;
    /// Opens `folder`, the last one shown on a drive just chosen; when it cannot be read the
    /// drive list goes back to the drive of the folder still shown.
    void open_drive_folder(const std::string& folder);
    /// Brings the drive list, the file list and the path field to the folder list's folder.
    void follow_folder();
    /// Puts the folder list's folder back into the path field.
    void show_folder_path();
    /// The full path of the file under the list's cursor; empty when there is none.
    std::string current_file() const;
    /// Paths dropped or typed: a folder opens; files open their folder and, with `select`, are
    /// selected in the list, and nothing else is. The path field then shows the pane's folder.
    /// Returns what the status line should say of it, empty for nothing.
    QString open_paths(const QStringList& paths, bool select);
    /// Adds a row under the file list.
    void add_under_list(QWidget* row);

  signals:
    void drive_chosen(const std::string& folder);
    void folder_changed();
    void open_failed(const QString& folder, const QString& reason);
    /// Enter was pressed in the path field.
    void path_entered(const QString& text);
    void current_file_changed();

  private:
    QString open_given(const QStringList& paths, bool select);
    int select_files(const QStringList& names);

    QLineEdit* path_;
    DriveList* drive_;
    DirList* dir_;
    FileList* files_;
    QVBoxLayout* layout_;
};

}  // namespace brandel::gui
