#pragma once

#include <QMainWindow>

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/driver.hpp"
#include "gui/batch_progress.hpp"
#include "gui/folder_watch.hpp"
#include "gui/watch_runner.hpp"
#include "gui/window_settings.hpp"
#include "spectrum/state.hpp"

class QPushButton;
class QSplitter;
class QToolButton;

namespace brandel::gui {

class Form2;
class FilePane;
class FormatChoice;
class ProofChoice;
class FittedLabel;
class MainMenu;
class PreviewPane;
class TypeBox;
class WatchFailures;

/// The main window, object name "Form1": the source pane "ORG file" (Frame1), the start button
/// Command1, the destination pane "CHN file" (Frame2), the type box Frame3 under them, the menu,
/// and at the right, in a splitter, the preview of the file under the cursor. The window places
/// its panes and connects them to the core; its handlers, one per control event, are here.
///
/// The controls sit in layouts, so the window fits any font and every list grows with it. The
/// folders, each mode's type, the window's place and the preview's visibility are kept in the
/// settings store.
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

    /// How the manifest file is chosen: by default a file dialog; tests replace it. It gets the
    /// file chosen before (empty for none) and returns the one chosen, empty for none.
    using FileChooser = std::function<QString(const QString& current)>;
    void set_manifest_chooser(FileChooser chooser);

    /// Where the window's questions go (yes or no). By default a modal box titled "Brandel";
    /// tests replace it to answer without a modal loop.
    using QuestionSink = std::function<bool(const std::string& text)>;
    void set_question_sink(QuestionSink sink) { question_sink_ = std::move(sink); }

    /// How long a watched file must stay unchanged before it is converted.
    void set_watch_settle(std::chrono::milliseconds settle) { watch_settle_ = settle; }
    /// Whether File > Watch source folder is on.
    bool watching() const { return watching_.has_value(); }
    /// The files the watch did not convert, made on first use.
    WatchFailures& watch_failures();

    /// How long a batch runs before its progress dialog shows, in milliseconds.
    void set_progress_delay(int ms) { progress_.set_delay(ms); }

    /// What the status line says (a menu item's tip may show over it for a while).
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
    void chn_written(const std::string& path) override;
    formats::FormatList output_formats() const override;
    bool verify_outputs() const override;
    std::string manifest_path() const override;

  protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void Form_Load();
    void build_controls();
    void connect_controls();
    void restore_settings();
    void save_geometry();
    void show_type(int type);
    void tell(const QString& text);
    void tell_batch(const app::BatchReport& report);
    void show_open_failure(const QString& folder, const QString& reason);
    void watch_folders();
    void follow_disk();
    void open_or_home(const std::vector<std::pair<FilePane*, std::string>>& folders);
    void set_preview_visible(bool visible);
    void preview_source();
    void preview_destination();
    // The watched source folder.
    void watch_toggled(bool on);
    void start_watch();
    void stop_watch(const QString& why);
    void watch_follows_choices();
    app::WatchOptions watch_options() const;
    void watch_outputs_changed();
    void update_watch_action();
    void watch_event(const app::WatchEvent& event);
    void watch_ended(const QString& reason, const app::WatchTotals& totals);
    QString watch_status() const;
    QString watch_counts() const;
    bool may_stop_watch();
    void show_destination_files();
    void formats_changed();
    void proof_changed();
    QString choose_manifest_file(const QString& current);

    spectrum::State state_;
    WindowSettings settings_;
    // The type chosen in each mode, -1 while none is.
    std::map<int, int> mode_type_{{app::mode_fileconv, -1}, {app::mode_chn_edit, -1}};

    QSplitter* splitter_ = nullptr;
    FilePane* Frame1 = nullptr;
    QPushButton* Command1 = nullptr;
    FilePane* Frame2 = nullptr;
    FormatChoice* formats_ = nullptr;
    ProofChoice* proof_ = nullptr;
    TypeBox* Frame3 = nullptr;
    MainMenu* menu_ = nullptr;
    PreviewPane* preview_ = nullptr;
    FittedLabel* status_line_ = nullptr;
    QToolButton* failures_button_ = nullptr;

    FolderWatch watch_;

    gui::Form2* Form2 = nullptr;
    ModalShow modal_show_;
    MessageSink message_sink_;
    QuestionSink question_sink_;

    // What is watched while File > Watch source folder is on.
    struct Watching {
        std::string source;
        std::string destination;
        int type = -1;
        int converted = 0;
        int failed = 0;
        QString last;  // "S0123.TXT at 10:15"
        bool gone = false;
    };
    std::optional<Watching> watching_;
    WatchRunner* watch_runner_ = nullptr;
    WatchFailures* watch_failures_ = nullptr;
    std::chrono::milliseconds watch_settle_ = app::WatchOptions{}.settle;
    BatchProgress progress_{this};
    bool running_ = false;
    bool in_batch_ = false;
};

}  // namespace brandel::gui
