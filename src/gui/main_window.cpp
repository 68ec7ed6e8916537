#include "gui/main_window.hpp"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QHBoxLayout>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <exception>
#include <filesystem>
#include <utility>

#include <brandel/version.hpp>

#include "app/org_types.hpp"
#include "gui/dir_list.hpp"
#include "gui/file_list.hpp"
#include "gui/file_pane.hpp"
#include "gui/fitted_label.hpp"
#include "gui/format_choice.hpp"
#include "gui/main_menu.hpp"
#include "gui/preview_pane.hpp"
#include "gui/proof_choice.hpp"
#include "gui/type_box.hpp"
#include "gui/watch_failures.hpp"
#include "gui/watch_runner.hpp"
#include "gui/window_look.hpp"
#include "spectrum/paths.hpp"

namespace brandel::gui {

namespace {

constexpr int exit_index = 900;

using Pane = WindowSettings::Pane;

const QString fileconv_command_tip =
    QStringLiteral("Convert the selected ORG files into CHN files in the CHN file folder");

}  // namespace

MainWindow::MainWindow(QWidget* parent, const QString& settings_file)
    : QMainWindow(parent), settings_(settings_file) {
    setObjectName(QStringLiteral("Form1"));
    setWindowIcon(window_icon());
    setFont(window_font());
    setAcceptDrops(true);
    build_controls();
    menu_ = new MainMenu(menuBar());

    // Both panes start at the process's current folder; one that cannot be read falls back to
    // the home folder and then to the root.
    std::error_code ec;
    const std::string start = spectrum::utf8_path(std::filesystem::current_path(ec));
    for (FilePane* pane : {Frame1, Frame2})
        pane->open_first({start, QDir::homePath().toStdString(), QDir::rootPath().toStdString()});

    Form_Load();
    Dir1_Change();
    Dir2_Change();
    connect_controls();
    restore_settings();
}

MainWindow::~MainWindow() {
    // A watch still running ends before the window it reports to is gone.
    watch_runner_->disconnect(this);
    watch_runner_->stop();
}

void MainWindow::build_controls() {
    splitter_ = new QSplitter(Qt::Horizontal, this);
    splitter_->setObjectName(QStringLiteral("splitter"));
    auto* controls = new QWidget(splitter_);
    controls->setObjectName(QStringLiteral("controls"));

    // Created in tab order.
    Frame1 = new FilePane(QStringLiteral("ORG file"), 1,
                          QStringLiteral("Type or paste the folder of the ORG files"), controls);
    Frame1->files()->setSelectionMode(QAbstractItemView::ExtendedSelection);
    Command1 = new QPushButton(QStringLiteral("->"), controls);
    Command1->setObjectName(QStringLiteral("Command1"));
    Frame2 = new FilePane(QStringLiteral("CHN file"), 2,
                          QStringLiteral("Type or paste the folder of the CHN files"), controls);
    // A list to look at: it scrolls and has a current file for the preview, but no selection.
    Frame2->files()->setSelectionMode(QAbstractItemView::NoSelection);
    formats_ = new FormatChoice(Frame2);
    proof_ = new ProofChoice(Frame2);
    // Under the list, in this order: what is written, then how it is proved.
    Frame2->add_under_list(proof_);
    Frame2->add_under_list(formats_);
    Frame3 = new TypeBox(controls);

    auto* panes = new QHBoxLayout;
    panes->addWidget(Frame1, 1);
    auto* middle = new QVBoxLayout;
    middle->addStretch(1);
    middle->addWidget(Command1);
    middle->addStretch(1);
    panes->addLayout(middle);
    panes->addWidget(Frame2, 1);
    auto* main = new QVBoxLayout(controls);
    main->addLayout(panes, 1);
    main->addWidget(Frame3);

    preview_ = new PreviewPane(splitter_);
    preview_->setObjectName(QStringLiteral("preview"));
    splitter_->addWidget(controls);
    splitter_->addWidget(preview_);
    splitter_->setStretchFactor(0, 3);
    splitter_->setStretchFactor(1, 2);
    splitter_->setChildrenCollapsible(false);
    setCentralWidget(splitter_);
    statusBar()->setObjectName(QStringLiteral("status"));
    // What the window has to say stays in a line of its own: a menu's tips show over it while
    // the mouse is on an item and leave it as it was.
    status_line_ = new FittedLabel(FittedLabel::Fit::elide_right, statusBar());
    status_line_->setObjectName(QStringLiteral("status_line"));
    statusBar()->addWidget(status_line_, 1);
    // What a watched folder could not convert, one click away.
    failures_button_ = new QToolButton(statusBar());
    failures_button_->setObjectName(QStringLiteral("watch_failures_button"));
    failures_button_->setAutoRaise(true);
    failures_button_->setToolTip(QStringLiteral("The files the watch did not convert, and why"));
    failures_button_->hide();
    statusBar()->addPermanentWidget(failures_button_);
    watch_runner_ = new WatchRunner(this);
}

void MainWindow::connect_controls() {
    connect(Frame1, &FilePane::drive_chosen, this, &MainWindow::Drive1_Change);
    connect(Frame2, &FilePane::drive_chosen, this, &MainWindow::Drive2_Change);
    connect(Frame1, &FilePane::folder_changed, this, &MainWindow::Dir1_Change);
    connect(Frame2, &FilePane::folder_changed, this, &MainWindow::Dir2_Change);
    for (FilePane* pane : {Frame1, Frame2}) {
        connect(pane, &FilePane::open_failed, this, &MainWindow::show_open_failure);
        connect(pane, &FilePane::path_entered, this,
                [this, pane](const QString& text) { open_paths({text}, pane == Frame2); });
    }
    connect(Frame1, &FilePane::current_file_changed, this, &MainWindow::preview_source);
    connect(Frame2, &FilePane::current_file_changed, this, &MainWindow::preview_destination);
    connect(Command1, &QPushButton::clicked, this, &MainWindow::Command1_Click);
    connect(formats_, &FormatChoice::changed, this, &MainWindow::formats_changed);
    connect(proof_, &ProofChoice::changed, this, &MainWindow::proof_changed);
    proof_->set_chooser([this](const QString& current) { return choose_manifest_file(current); });
    connect(Frame3, &TypeBox::clicked, this, &MainWindow::Option1_Click);
    connect(menu_, &MainMenu::item_chosen, this, &MainWindow::fcv1_Click);
    connect(menu_, &MainMenu::preview_toggled, this, &MainWindow::set_preview_visible);
    connect(menu_, &MainMenu::refresh_chosen, this, &MainWindow::refresh_panes);
    connect(menu_, &MainMenu::closed, statusBar(), &QStatusBar::clearMessage);
    connect(menu_, &MainMenu::about_chosen, this,
            [this] { show_about(this, settings_location()); });

    connect(&watch_, &FolderWatch::changed, this, &MainWindow::follow_disk);

    connect(menu_, &MainMenu::watch_toggled, this, &MainWindow::watch_toggled);
    connect(watch_runner_, &WatchRunner::event, this, &MainWindow::watch_event);
    connect(watch_runner_, &WatchRunner::ended, this, &MainWindow::watch_ended);
    connect(failures_button_, &QToolButton::clicked, this, [this] {
        WatchFailures& failures = watch_failures();
        failures.show();
        failures.raise();
        failures.activateWindow();
    });
}

void MainWindow::Form_Load() {
    setWindowTitle(QStringLiteral("Brandel & Korvin") + QStringLiteral(" Ver:1.1,") +
                   QStringLiteral(" Rev:") + QString::number(version_revision));
    state_.org_type = -1;
    state_.run_mode = app::mode_fileconv;
    Frame1->files()->set_pattern("*.*");
    Frame2->files()->set_pattern("*.chn");
    Command1->setEnabled(false);
    Command1->setToolTip(fileconv_command_tip);
    update_watch_action();
}

void MainWindow::restore_settings() {
    std::vector<std::pair<FilePane*, std::string>> kept;
    for (auto [key, pane] :
         {std::pair{Pane::source, Frame1}, std::pair{Pane::destination, Frame2}}) {
        const QString folder = settings_.folder(key);
        if (!folder.isEmpty())  // nothing kept: the pane stays where the start put it
            kept.emplace_back(pane, folder.toStdString());
    }
    open_or_home(kept);
    formats::FormatList chosen;
    if (!formats::parse_format_list(settings_.formats(), chosen).empty())
        chosen.clear();  // nothing kept, or nothing this version writes: CHN alone
    formats_->set_chosen(chosen);
    show_destination_files();
    proof_->set_choices(settings_.verify(), settings_.write_manifest(), settings_.manifest());
    const int type = settings_.type(app::mode_fileconv);
    if (type >= 0 && type <= 8 && type != TypeBox::naig)
        Option1_Click(type);
    const int action = settings_.type(app::mode_chn_edit);
    if (TypeBox::chn_edit_type(action))
        mode_type_[app::mode_chn_edit] = action;

    const QByteArray geometry = settings_.geometry();
    if (geometry.isEmpty() || !restoreGeometry(geometry)) {
        // The first start: room for the lists and the preview, within the screen.
        QSize size = sizeHint().expandedTo(QSize(960, 600)).expandedTo(minimumSizeHint());
        if (const QScreen* shown = screen())
            size = size.boundedTo(shown->availableGeometry().size()).expandedTo(minimumSizeHint());
        resize(size);
    }
    splitter_->restoreState(settings_.splitter());
    menu_->preview_action()->setChecked(settings_.preview_visible());
    set_preview_visible(menu_->preview_action()->isChecked());

    settings_.keep_folders_from_now();
    settings_.keep_folder(Pane::source, Frame1->folder());
    settings_.keep_folder(Pane::destination, Frame2->folder());
}

void MainWindow::save_geometry() {
    settings_.keep_geometry(saveGeometry(), splitter_->saveState());
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (!may_stop_watch()) {
        event->ignore();
        return;
    }
    save_geometry();
    QMainWindow::closeEvent(event);
}

void MainWindow::Drive1_Change(const std::string& folder) {
    Frame1->open_drive_folder(folder);
}

void MainWindow::Dir1_Change() {
    Frame1->follow_folder();
    settings_.keep_folder(Pane::source, Frame1->folder());
    watch_folders();
    watch_follows_choices();
    preview_source();
}

void MainWindow::Drive2_Change(const std::string& folder) {
    Frame2->open_drive_folder(folder);
}

void MainWindow::Dir2_Change() {
    Frame2->follow_folder();
    settings_.keep_folder(Pane::destination, Frame2->folder());
    watch_folders();
    watch_follows_choices();
}

void MainWindow::fcv1_Click(int index) {
    if (index == exit_index) {
        if (!may_stop_watch())
            return;
        save_geometry();
        QCoreApplication::exit(0);
        return;
    }
    if (index != app::mode_fileconv && index != app::mode_chn_edit)
        return;
    state_.run_mode = static_cast<std::int16_t>(index);
    switch_mode(index);
}

void MainWindow::switch_mode(int mode) {
    if (mode != app::mode_fileconv && mode != app::mode_chn_edit)
        return;
    const bool fileconv = mode == app::mode_fileconv;
    Frame1->setVisible(fileconv);
    Command1->setText(fileconv ? QStringLiteral("->") : QStringLiteral("GO"));
    Command1->setToolTip(fileconv ? fileconv_command_tip
                                  : QStringLiteral("Run the chosen action on the CHN files of "
                                                   "the folder"));
    Frame3->show_mode(mode);
    show_destination_files();
    if (!fileconv) {
        // The source pane is gone: the preview follows the CHN file list.
        preview_->clear();
        preview_destination();
    }
    menu_->check_mode(mode);
    // Each mode keeps its own type: coming back restores the one chosen there.
    show_type(mode_type_[mode]);
    watch_follows_choices();
    update_watch_action();
}

// Shows `type` as the chosen one of the current mode, or none chosen for -1.
void MainWindow::show_type(int type) {
    Frame3->check(type);
    if (type >= 0) {
        Option1_Click(type);
        return;
    }
    state_.org_type = -1;
    Command1->setEnabled(false);
    update_watch_action();
    if (state_.run_mode == app::mode_fileconv)
        Frame1->files()->set_pattern("*.*");
    preview_source();
}

void MainWindow::Option1_Click(int index) {
    const app::OrgType* type = app::find_org_type(index);
    Frame1->files()->set_pattern(type ? std::string(type->pattern) : "*.*");
    state_.org_type = static_cast<std::int16_t>(index);
    Command1->setEnabled(false);
    if (state_.org_type >= 0 && state_.org_type <= 8)
        Command1->setEnabled(true);
    Frame3->check(index);
    mode_type_[state_.run_mode] = index;
    settings_.keep_type(state_.run_mode, index);
    watch_follows_choices();
    update_watch_action();
    preview_source();
}

void MainWindow::Command1_Click() {
    if (running_)
        return;  // the events handled inside a batch must not start another
    running_ = true;
    watch_.hold(true);
    try {
        if (state_.run_mode == app::mode_fileconv && state_.org_type >= 0) {
            if (Frame1->files()->selectedItems().isEmpty()) {
                tell(QStringLiteral("Select the ORG files to convert."));
            } else {
                in_batch_ = true;
                const app::BatchReport report = app::convert_org_files(state_, *this);
                in_batch_ = false;
                refresh_destination_list();
                tell_batch(report);
            }
        } else {
            tell({});  // what an earlier run said is no word on this one
            app::Command1_Click(state_, *this);
        }
    } catch (const std::exception& e) {
        // Nothing the driver raises may leave the pointer busy or the pane stale.
        in_batch_ = false;
        progress_done();
        set_busy(false);
        message_box(std::string("The run stopped: ") + e.what());
        refresh_destination_list();
    }
    watch_.hold(false);
    running_ = false;
}

}  // namespace brandel::gui
