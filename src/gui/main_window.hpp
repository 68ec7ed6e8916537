#pragma once

#include <QElapsedTimer>
#include <QMainWindow>
#include <QPointer>

#include <array>
#include <functional>
#include <map>
#include <string>

#include "app/driver.hpp"
#include "spectrum/state.hpp"

class QAction;
class QGroupBox;
class QProgressDialog;
class QPushButton;
class QRadioButton;

namespace brandel::gui {

class Form2;

class DirList;
class DriveList;
class FileList;

/// The main window, object name "Form1". Every control carries its own name as member name and
/// object name ("Frame1", "Drive1", "Dir1", "File1", ..., "Command1"). The type options are the
/// array Option1 with object names "Option1_0" to "Option1_8" and their index in the property
/// "index"; the menu "File" (object name "fcv") holds the actions "fcv1_100", "fcv1_200",
/// "fcv1_800" (separator) and "fcv1_900", indexed the same way in fcv1.
class MainWindow : public QMainWindow, public app::Host {
    Q_OBJECT
  public:
    explicit MainWindow(QWidget* parent = nullptr);
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

    // The window's handlers, one per control event.
    void Drive1_Change(const std::string& folder);
    void Dir1_Change();
    void Drive2_Change(const std::string& folder);
    void Dir2_Change();
    void fcv1_Click(int index);
    void switch_mode(int mode);
    void Option1_Click(int index);
    void Command1_Click();

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

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Form_Load();
    void build_controls();
    void lay_out(QSize client);
    void show_open_failure(const QString& folder, const QString& reason);

    spectrum::State state_;

    QWidget* client_ = nullptr;
    QGroupBox* Frame1 = nullptr;
    DriveList* Drive1 = nullptr;
    DirList* Dir1 = nullptr;
    FileList* File1 = nullptr;
    QGroupBox* Frame2 = nullptr;
    DriveList* Drive2 = nullptr;
    DirList* Dir2 = nullptr;
    FileList* File2 = nullptr;
    QPushButton* Command1 = nullptr;
    QGroupBox* Frame3 = nullptr;
    std::array<QRadioButton*, 9> Option1{};
    std::map<int, QAction*> fcv1;

    gui::Form2* Form2 = nullptr;
    ModalShow modal_show_;
    MessageSink message_sink_;
    int progress_delay_ms_ = 500;
    QElapsedTimer batch_timer_;
    QPointer<QProgressDialog> progress_dialog_;
    bool running_ = false;
};

}  // namespace brandel::gui
