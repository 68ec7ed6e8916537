#pragma once

#include <QElapsedTimer>
#include <QFileSystemWatcher>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "app/driver.hpp"
#include "spectrum/state.hpp"

class QAction;
class QActionGroup;
class QGroupBox;
class QLineEdit;
class QProgressDialog;
class QPushButton;
class QRadioButton;
class QSettings;
class QSplitter;
class QUrl;

namespace brandel::gui {

class Form2;
class DirList;
class DriveList;
class FileList;
class PreviewPane;

/// The main window, object name "Form1". Every control carries its own name as member name and
/// object name ("Frame1", "Drive1", "Dir1", "File1", ..., "Command1"). The type options are the
/// array Option1 with object names "Option1_0" to "Option1_8" and their index in the property
/// "index"; the menu "File" (object name "fcv") holds the actions "fcv1_100", "fcv1_200",
/// "fcv1_800" (separator) and "fcv1_900", indexed the same way in fcv1.
///
/// The controls sit in layouts, so the window fits any font and every list grows with it. A
/// preview of the file under the cursor sits at the right, in a splitter. The folders, each
/// mode's type, the window's place and the preview's visibility are kept in the settings store.
class MainWindow : public QMainWindow, public app::Host {
    Q_OBJECT
  public:
    /// `settings_file` names an ini file to keep the settings in; empty for the platform's own
    /// store.
    explicit MainWindow(QWidget* parent = nullptr, const QString& settings_file = {});
    ~MainWindow() override;

    spectrum::State& state() { return state_; }

    /// Where the window's messages go. By default a modal box titled "Brandel" with OK only;
    /// tests replace it to read the text without a modal loop.
    using MessageSink = std::function<void(const std::string& text)>;
    void set_message_sink(MessageSink sink) { message_sink_ = std::move(sink); }

    /// How the grid editor window is shown once a listing is made. By default modally; tests
    /// replace it to look at the window without a modal loop.
    using ModalShow = std::function<void(gui::Form2& window)>;
    void set_modal_show(ModalShow show) { modal_show_ = std::move(show); }
    /// The grid editor window, made on first use and kept for the rest of the run.
    gui::Form2& form2();

    /// How long a batch runs before its progress dialog shows, in milliseconds.
    void set_progress_delay(int ms) { progress_delay_ms_ = ms; }

    /// The text of the status line.
    QString status_text() const;
    /// Where the settings are kept (a file path or a registry key).
    QString settings_location() const;

    // The window's handlers, one per control event.
    void Drive1_Change(const std::string& folder);
    void Dir1_Change();
    void Drive2_Change(const std::string& folder);
    void Dir2_Change();
    void fcv1_Click(int index);
    void switch_mode(int mode);
    void Option1_Click(int index);
    void Command1_Click();

    /// Files or folders dropped or typed: a folder opens in its pane; files open their folder
    /// and, in the source pane, are selected. Nothing is converted.
    void open_paths(const QStringList& paths, bool destination);
    /// Reads both folders and both file lists again, keeping the selection.
    void refresh_panes();

    // Host: what the conversion driver asks of the window.
    std::string destination_path() const override;
    std::string source_path() const override;
    int source_entry_count() const override;
    std::string source_entry(int index) const override;
    bool source_selected(int index) const override;
    int destination_entry_count() const override;
    std::string destination_entry(int index) const override;
    void set_busy(bool busy) override;
    void message_box(const std::string& text) override;
    void refresh_destination_list() override;
    bool progress(int done, int total, const std::string& name) override;
    void progress_done() override;
    listing::Grid& listing_grid() override;
    void set_grid_busy(bool busy) override;
    void show_grid_modal() override;
    void listing_made(const std::string& folder, const std::string& status) override;

  protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void Form_Load();
    void build_controls();
    void build_menu();
    void restore_settings();
    void save_geometry();
    void show_type(int type);
    void tell(const QString& text);
    void show_open_failure(const QString& folder, const QString& reason);
    void watch_folders();
    void set_preview_visible(bool visible);
    void preview_source();
    void preview_destination();

    spectrum::State state_;
    std::unique_ptr<QSettings> settings_;
    // The type chosen in each mode, -1 while none is.
    std::map<int, int> mode_type_{{app::mode_fileconv, -1}, {app::mode_chn_edit, -1}};

    QSplitter* splitter_ = nullptr;
    QGroupBox* Frame1 = nullptr;
    QLineEdit* Path1 = nullptr;
    DriveList* Drive1 = nullptr;
    DirList* Dir1 = nullptr;
    FileList* File1 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QLineEdit* Path2 = nullptr;
    DriveList* Drive2 = nullptr;
    DirList* Dir2 = nullptr;
    FileList* File2 = nullptr;
    QPushButton* Command1 = nullptr;
    QGroupBox* Frame3 = nullptr;
    std::array<QRadioButton*, 9> Option1{};
    std::map<int, QAction*> fcv1;
    QAction* preview_action_ = nullptr;
    PreviewPane* preview_ = nullptr;

    QFileSystemWatcher watcher_;
    QTimer refresh_timer_;

    gui::Form2* Form2 = nullptr;
    ModalShow modal_show_;
    MessageSink message_sink_;
    int progress_delay_ms_ = 500;
    QElapsedTimer batch_timer_;
    QPointer<QProgressDialog> progress_dialog_;
    bool running_ = false;
    bool in_batch_ = false;
    bool settings_restored_ = false;  // folders are kept only once the kept ones are read
};

}  // namespace brandel::gui
