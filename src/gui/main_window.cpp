#include "gui/main_window.hpp"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QSvgRenderer>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>
#include <filesystem>
#include <tuple>
#include <utility>

#include <brandel/version.hpp>

#include "app/org_types.hpp"
#include "gui/dir_list.hpp"
#include "gui/drive_list.hpp"
#include "gui/file_list.hpp"
#include "gui/grid_editor_window.hpp"
#include "gui/preview_pane.hpp"
#include "gui/qt_text.hpp"
#include "listing/actions.hpp"
#include "spectrum/paths.hpp"

namespace brandel::gui {

namespace {

constexpr int naig_index = 2;
constexpr int exit_index = 900;

// Where each type option sits in the rows and columns of its frame.
struct Cell {
    int row, column;
};
constexpr std::array<Cell, 9> option_cells = {{
    {0, 0},  // 0 CANBERRA(txt)
    {0, 1},  // 1 Labo(New)
    {0, 2},  // 2 NAIG
    {0, 3},  // 3 JAERI dat
    {1, 3},  // 4 JAERI csv
    {1, 1},  // 5 Labo(Old)
    {2, 1},  // 6 Labo(LIST)
    {2, 3},  // 7 JAERI txt
    {1, 0},  // 8 Oxford (asc)
}};

// What each type option does, in plain words.
constexpr std::array<const char*, 9> fileconv_tips = {
    "Read the files as CANBERRA text reports (*.txt)",
    "Read the files as Labo binary spectra of the new layout",
    "NAIG files cannot be read",
    "Read the files as JAERI open-lab dat files (*.dat)",
    "Read the files as JAERI open-lab csv files (*.csv)",
    "Read the files as Labo binary spectra of the old layout",
    "Read the files as Labo LIST binary spectra",
    "Read the files as JAERI open-lab txt files (*.txt)",
    "Read the files as Oxford asc exports (*.asc)",
};

// In CHN_edit mode the options 1, 5 and 6 choose the actions of the comment listing.
struct ChnEditOption {
    int index;
    const char* caption;
    const char* tip;
};
constexpr std::array<ChnEditOption, 3> chn_edit_options = {{
    {1, "Make Tesmo.CMT", "List the comments of every CHN file of the folder in the grid window"},
    {5, "Edit Tesmo.CMT", "Runs no action"},
    {6, "WriteTesmo.CMT", "Write the spectrum last converted or listed back to its CHN file"},
}};

bool chn_edit_type(int index) {
    return std::any_of(chn_edit_options.begin(), chn_edit_options.end(),
                       [index](const ChnEditOption& o) { return o.index == index; });
}

QString fileconv_caption(int index) {
    return qt_text(app::find_org_type(index)->caption);
}

QString native(const std::string& path) {
    return QDir::toNativeSeparators(QString::fromStdString(path));
}

// The window's one font: a gothic family that writes both Latin and Japanese, so the Japanese
// type captions and the rest look alike, at the size the user chose for the desktop.
QFont window_font() {
    QFont font = QApplication::font();
    for (const QString& name : {QStringLiteral("Yu Gothic UI"), QStringLiteral("Meiryo UI"),
                                QStringLiteral("MS UI Gothic"), QStringLiteral("IPAPGothic"),
                                QStringLiteral("IPAGothic"), QStringLiteral("Noto Sans CJK JP"),
                                QStringLiteral("VL PGothic"), QStringLiteral("TakaoPGothic"),
                                QStringLiteral("ＭＳ ゴシック"), QStringLiteral("MS Gothic")}) {
        if (QFontDatabase::hasFamily(name)) {
            font.setFamilies({name});
            return font;
        }
    }
    const QStringList japanese = QFontDatabase::families(QFontDatabase::Japanese);
    if (!japanese.isEmpty())
        font.setFamilies({japanese.front()});
    return font;
}

QIcon window_icon() {
    QSvgRenderer renderer(QStringLiteral(":/brandel.svg"));
    QIcon icon;
    if (!renderer.isValid())
        return icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        renderer.render(&painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

template <typename Widget>
Widget* named(Widget* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

bool is_folder(const std::string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_directory(spectrum::fs_path(path), ec);
}

// Settings keys.
const QString key_source = QStringLiteral("folders/source");
const QString key_destination = QStringLiteral("folders/destination");
const QString key_geometry = QStringLiteral("window/geometry");
const QString key_splitter = QStringLiteral("window/splitter");
const QString key_preview = QStringLiteral("window/preview");
QString key_type(int mode) {
    return QStringLiteral("types/%1").arg(mode);
}

}  // namespace

MainWindow::MainWindow(QWidget* parent, const QString& settings_file) : QMainWindow(parent) {
    settings_ = settings_file.isEmpty()
                    ? std::make_unique<QSettings>(QStringLiteral("Brandel"),
                                                  QStringLiteral("Brandel & Korvin"))
                    : std::make_unique<QSettings>(settings_file, QSettings::IniFormat);
    setObjectName(QStringLiteral("Form1"));
    setWindowIcon(window_icon());
    setFont(window_font());
    setAcceptDrops(true);
    build_controls();
    build_menu();

    // Both panes start at the process's current folder; one that cannot be read falls back to
    // the home folder and then to the root.
    std::error_code ec;
    const std::string start = spectrum::utf8_path(std::filesystem::current_path(ec));
    for (DirList* dir : {Dir1, Dir2}) {
        for (const std::string& folder :
             {start, QDir::homePath().toStdString(), QDir::rootPath().toStdString()})
            if (!folder.empty() && dir->open(folder))
                break;
    }

    Form_Load();
    Dir1_Change();
    Dir2_Change();

    connect(Drive1, &DriveList::drive_chosen, this, &MainWindow::Drive1_Change);
    connect(Drive2, &DriveList::drive_chosen, this, &MainWindow::Drive2_Change);
    connect(Dir1, &DirList::path_changed, this, &MainWindow::Dir1_Change);
    connect(Dir2, &DirList::path_changed, this, &MainWindow::Dir2_Change);
    connect(Dir1, &DirList::open_failed, this, &MainWindow::show_open_failure);
    connect(Dir2, &DirList::open_failed, this, &MainWindow::show_open_failure);
    connect(Command1, &QPushButton::clicked, this, &MainWindow::Command1_Click);
    for (int i = 0; i < static_cast<int>(Option1.size()); ++i)
        connect(Option1[static_cast<std::size_t>(i)], &QRadioButton::clicked, this,
                [this, i] { Option1_Click(i); });
    for (auto [index, action] : fcv1)
        connect(action, &QAction::triggered, this, [this, index = index] { fcv1_Click(index); });
    connect(Path1, &QLineEdit::returnPressed, this, [this] { open_paths({Path1->text()}, false); });
    connect(Path2, &QLineEdit::returnPressed, this, [this] { open_paths({Path2->text()}, true); });
    connect(File1, &QListWidget::currentRowChanged, this, &MainWindow::preview_source);
    connect(File2, &QListWidget::currentRowChanged, this, &MainWindow::preview_destination);

    // A folder that changes on disk is read again shortly after, once a burst of changes is over.
    refresh_timer_.setSingleShot(true);
    refresh_timer_.setInterval(200);
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, &refresh_timer_,
            qOverload<>(&QTimer::start));
    connect(&refresh_timer_, &QTimer::timeout, this, [this] {
        // A batch or listing walks the lists by index: they change only once it is over.
        if (running_) {
            refresh_timer_.start();
            return;
        }
        File1->refresh();
        File2->refresh();
    });

    restore_settings();
}

MainWindow::~MainWindow() = default;

void MainWindow::build_controls() {
    splitter_ = named(new QSplitter(Qt::Horizontal, this), "splitter");
    auto* controls = named(new QWidget(splitter_), "controls");

    // Created in tab order.
    Frame1 = named(new QGroupBox(QStringLiteral("ORG file"), controls), "Frame1");
    Path1 = named(new QLineEdit(Frame1), "Path1");
    Drive1 = named(new DriveList(Frame1), "Drive1");
    Dir1 = named(new DirList(Frame1), "Dir1");
    File1 = named(new FileList(Frame1), "File1");
    File1->setSelectionMode(QAbstractItemView::ExtendedSelection);

    Command1 = named(new QPushButton(QStringLiteral("->"), controls), "Command1");

    Frame2 = named(new QGroupBox(QStringLiteral("CHN file"), controls), "Frame2");
    Path2 = named(new QLineEdit(Frame2), "Path2");
    Drive2 = named(new DriveList(Frame2), "Drive2");
    Dir2 = named(new DirList(Frame2), "Dir2");
    File2 = named(new FileList(Frame2), "File2");
    // A list to look at: it scrolls and has a current file for the preview, but no selection.
    File2->setSelectionMode(QAbstractItemView::NoSelection);

    for (auto [path, tip] : {std::pair{Path1, "Type or paste the folder of the ORG files"},
                             std::pair{Path2, "Type or paste the folder of the CHN files"}}) {
        path->setToolTip(QString::fromLatin1(tip));
        path->setClearButtonEnabled(true);
    }
    for (auto [frame, path, drive, dir, files] : {std::tuple{Frame1, Path1, Drive1, Dir1, File1},
                                                  std::tuple{Frame2, Path2, Drive2, Dir2, File2}}) {
        auto* layout = new QVBoxLayout(frame);
        layout->addWidget(path);
        layout->addWidget(drive);
        layout->addWidget(dir, 2);
        layout->addWidget(files, 3);
    }

    Frame3 = named(new QGroupBox(QStringLiteral("ORG file type"), controls), "Frame3");
    auto* options = new QGridLayout(Frame3);
    for (int i = 0; i < static_cast<int>(Option1.size()); ++i) {
        auto* option = new QRadioButton(fileconv_caption(i), Frame3);
        option->setObjectName(QStringLiteral("Option1_%1").arg(i));
        option->setProperty("index", i);
        option->setToolTip(QString::fromLatin1(fileconv_tips[static_cast<std::size_t>(i)]));
        const Cell cell = option_cells[static_cast<std::size_t>(i)];
        options->addWidget(option, cell.row, cell.column);
        Option1[static_cast<std::size_t>(i)] = option;
    }
    for (int c = 0; c < 4; ++c)
        options->setColumnStretch(c, 1);
    Option1[naig_index]->setEnabled(false);

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

    preview_ = named(new PreviewPane(splitter_), "preview");
    splitter_->addWidget(controls);
    splitter_->addWidget(preview_);
    splitter_->setStretchFactor(0, 3);
    splitter_->setStretchFactor(1, 2);
    splitter_->setChildrenCollapsible(false);
    setCentralWidget(splitter_);
    statusBar()->setObjectName(QStringLiteral("status"));
}

void MainWindow::build_menu() {
    QMenu* fcv = menuBar()->addMenu(QStringLiteral("&File"));
    fcv->setObjectName(QStringLiteral("fcv"));
    auto* modes = new QActionGroup(this);
    auto add_item = [&](int index, const QString& caption) {
        QAction* action = fcv->addAction(caption);
        action->setObjectName(QStringLiteral("fcv1_%1").arg(index));
        action->setProperty("index", index);
        fcv1[index] = action;
        return action;
    };
    for (auto [mode, caption, tip] :
         {std::tuple{app::mode_fileconv, "FILEconv",
                     "Convert source spectrum files into CHN files"},
          std::tuple{app::mode_chn_edit, "CHN_edit",
                     "List and edit the comments of the CHN files of a folder"}}) {
        QAction* action = add_item(mode, QString::fromLatin1(caption));
        action->setCheckable(true);
        action->setToolTip(QString::fromLatin1(tip));
        action->setStatusTip(QString::fromLatin1(tip));
        modes->addAction(action);
    }
    fcv->setToolTipsVisible(true);
    fcv1[app::mode_fileconv]->setChecked(true);
    add_item(800, QStringLiteral("-"))->setSeparator(true);
    add_item(exit_index, QStringLiteral("exit"))->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    view->setObjectName(QStringLiteral("view"));
    preview_action_ = view->addAction(QStringLiteral("&Preview"));
    preview_action_->setObjectName(QStringLiteral("view_preview"));
    preview_action_->setCheckable(true);
    preview_action_->setChecked(true);
    preview_action_->setShortcut(QKeySequence(Qt::Key_F9));
    connect(preview_action_, &QAction::toggled, this, &MainWindow::set_preview_visible);
    QAction* refresh = view->addAction(QStringLiteral("&Refresh"));
    refresh->setObjectName(QStringLiteral("view_refresh"));
    refresh->setShortcut(QKeySequence(Qt::Key_F5));
    connect(refresh, &QAction::triggered, this, &MainWindow::refresh_panes);

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("help"));
    QAction* about = help->addAction(QStringLiteral("&About Brandel"));
    about->setObjectName(QStringLiteral("help_about"));
    connect(about, &QAction::triggered, this, [this] {
        const QString text = QStringLiteral(
                                 "<p><b>Brandel &amp; Korvin</b> Ver:1.1, Rev:%1 (%2)</p>"
                                 "<p>Converts source spectrum files into CHN files and lists the "
                                 "comments of the CHN files of a folder.</p>"
                                 "<p>On a fresh Debian or Ubuntu machine:<br><code>make run</code> "
                                 "builds and starts the window,<br><code>make test</code> builds "
                                 "and runs the tests.</p><p>Settings are kept in:<br>%3</p>")
                                 .arg(version_revision)
                                 .arg(QString::fromLatin1(version_text))
                                 .arg(settings_location().toHtmlEscaped());
        QMessageBox::about(this, QStringLiteral("Brandel"), text);
    });
}

void MainWindow::Form_Load() {
    setWindowTitle(QStringLiteral("Brandel & Korvin") + QStringLiteral(" Ver:1.1,") +
                   QStringLiteral(" Rev:") + QString::number(version_revision));
    state_.org_type = -1;
    state_.run_mode = app::mode_fileconv;
    File1->set_pattern("*.*");
    File2->set_pattern("*.chn");
    Command1->setEnabled(false);
    Command1->setToolTip(
        QStringLiteral("Convert the selected ORG files into CHN files in the "
                       "CHN file folder"));
}

void MainWindow::restore_settings() {
    QStringList missing;
    for (auto [key, dir] : {std::pair{key_source, Dir1}, std::pair{key_destination, Dir2}}) {
        const QString folder = settings_->value(key).toString();
        if (folder.isEmpty())
            continue;  // nothing kept: the pane stays where the start put it
        if (is_folder(folder.toStdString()) && dir->open(folder.toStdString()))
            continue;
        missing << QDir::toNativeSeparators(folder);
        dir->open(QDir::homePath().toStdString());
    }
    const int type = settings_->value(key_type(app::mode_fileconv), -1).toInt();
    if (type >= 0 && type <= 8 && type != naig_index)
        Option1_Click(type);
    const int action = settings_->value(key_type(app::mode_chn_edit), -1).toInt();
    if (chn_edit_type(action))
        mode_type_[app::mode_chn_edit] = action;

    const QByteArray geometry = settings_->value(key_geometry).toByteArray();
    if (geometry.isEmpty() || !restoreGeometry(geometry)) {
        // The first start: room for the lists and the preview, within the screen.
        QSize size = sizeHint().expandedTo(QSize(960, 600)).expandedTo(minimumSizeHint());
        if (const QScreen* shown = screen())
            size = size.boundedTo(shown->availableGeometry().size()).expandedTo(minimumSizeHint());
        resize(size);
    }
    splitter_->restoreState(settings_->value(key_splitter).toByteArray());
    preview_action_->setChecked(settings_->value(key_preview, true).toBool());
    set_preview_visible(preview_action_->isChecked());

    settings_restored_ = true;
    for (auto [key, dir] : {std::pair{key_source, Dir1}, std::pair{key_destination, Dir2}})
        settings_->setValue(key, QString::fromStdString(dir->path()));
    if (!missing.isEmpty())
        tell(QStringLiteral("The folder %1 no longer exists; the home folder is shown.")
                 .arg(missing.join(QStringLiteral(" and "))));
}

void MainWindow::save_geometry() {
    settings_->setValue(key_geometry, saveGeometry());
    settings_->setValue(key_splitter, splitter_->saveState());
    settings_->sync();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    save_geometry();
    QMainWindow::closeEvent(event);
}

QString MainWindow::settings_location() const {
    return settings_->fileName();
}

void MainWindow::tell(const QString& text) {
    statusBar()->showMessage(text);
}

QString MainWindow::status_text() const {
    return statusBar()->currentMessage();
}

void MainWindow::Drive1_Change(const std::string& folder) {
    if (!Dir1->open(folder))
        Drive1->follow(Dir1->path());
}

void MainWindow::Dir1_Change() {
    Drive1->follow(Dir1->path());
    File1->set_path(Dir1->path());
    Path1->setText(native(Dir1->path()));
    if (settings_restored_)
        settings_->setValue(key_source, QString::fromStdString(Dir1->path()));
    watch_folders();
    preview_source();
}

void MainWindow::Drive2_Change(const std::string& folder) {
    if (!Dir2->open(folder))
        Drive2->follow(Dir2->path());
}

void MainWindow::Dir2_Change() {
    Drive2->follow(Dir2->path());
    File2->set_path(Dir2->path());
    Path2->setText(native(Dir2->path()));
    if (settings_restored_)
        settings_->setValue(key_destination, QString::fromStdString(Dir2->path()));
    watch_folders();
}

void MainWindow::watch_folders() {
    if (!watcher_.directories().isEmpty())
        watcher_.removePaths(watcher_.directories());
    QStringList folders;
    for (const DirList* dir : {Dir1, Dir2})
        if (!dir->path().empty() && !folders.contains(QString::fromStdString(dir->path())))
            folders << QString::fromStdString(dir->path());
    if (!folders.isEmpty())
        watcher_.addPaths(folders);
}

void MainWindow::refresh_panes() {
    for (DirList* dir : {Dir1, Dir2}) {
        // Opening the same folder again lists its subfolders and files anew; the file lists
        // keep their selection.
        const std::string folder = dir->path();
        if (!folder.empty() && is_folder(folder))
            dir->reopen();
    }
    File1->refresh();
    File2->refresh();
    tell(QStringLiteral("Folders read again."));
}

void MainWindow::show_open_failure(const QString& folder, const QString& reason) {
    message_box(("The folder cannot be opened:\n" + folder + "\n" + reason).toStdString());
}

void MainWindow::open_paths(const QStringList& paths, bool destination) {
    if (paths.isEmpty())
        return;
    DirList* dir = destination ? Dir2 : Dir1;
    const QString first = QDir::fromNativeSeparators(paths.front().trimmed());
    const QFileInfo info(first);
    if (first.isEmpty())
        return;
    if (info.isDir()) {
        dir->open(info.absoluteFilePath().toStdString());
        return;
    }
    if (!info.exists()) {
        tell(QStringLiteral("%1 does not exist.").arg(QDir::toNativeSeparators(first)));
        return;
    }
    const std::string folder = info.absolutePath().toStdString();
    if (folder != dir->path() && !dir->open(folder))
        return;
    if (destination)
        return;
    // Select the files given, in the source list, as if the user had picked them.
    File1->clearSelection();
    int selected = 0, first_row = -1;
    for (const QString& path : paths) {
        const std::string name = QFileInfo(path).fileName().toStdString();
        for (int i = 0; i < File1->entry_count(); ++i) {
            if (File1->entry(i) != name)
                continue;
            File1->item(i)->setSelected(true);
            if (first_row < 0)
                first_row = i;
            ++selected;
        }
    }
    if (first_row >= 0)
        File1->setCurrentRow(first_row, QItemSelectionModel::NoUpdate);
    const int hidden = static_cast<int>(paths.size()) - selected;
    if (hidden > 0)
        tell(QStringLiteral("%1 of the %2 files are not listed: they do not match %3.")
                 .arg(hidden)
                 .arg(paths.size())
                 .arg(QString::fromStdString(File1->pattern())));
    else
        tell(QStringLiteral("%1 files selected.").arg(selected));
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile())
            paths << url.toLocalFile();
    if (paths.isEmpty())
        return;
    // The destination pane takes what is dropped on it; everything else goes to the source
    // pane, unless CHN_edit hides it.
    const QPoint at = Frame2->mapFrom(this, event->position().toPoint());
    const bool destination = Frame2->rect().contains(at) || !Frame1->isVisible();
    open_paths(paths, destination);
    event->acceptProposedAction();
}

void MainWindow::fcv1_Click(int index) {
    if (index == exit_index) {
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
    if (mode == app::mode_fileconv) {
        Frame1->show();
        Command1->setText(QStringLiteral("->"));
        Command1->setToolTip(
            QStringLiteral("Convert the selected ORG files into CHN files in "
                           "the CHN file folder"));
        Frame3->setTitle(QStringLiteral("ORG file type"));
        for (int i = 0; i <= 7; ++i) {
            Option1[static_cast<std::size_t>(i)]->setText(fileconv_caption(i));
            Option1[static_cast<std::size_t>(i)]->setToolTip(
                QString::fromLatin1(fileconv_tips[static_cast<std::size_t>(i)]));
        }
        for (QRadioButton* option : Option1)
            option->show();
        Option1[naig_index]->setEnabled(false);
    } else if (mode == app::mode_chn_edit) {
        Frame1->hide();
        Command1->setText(QStringLiteral("GO"));
        Command1->setToolTip(
            QStringLiteral("Run the chosen action on the CHN files of the folder"));
        Frame3->setTitle(QStringLiteral("Proc type"));
        for (const ChnEditOption& o : chn_edit_options) {
            Option1[static_cast<std::size_t>(o.index)]->setText(QString::fromLatin1(o.caption));
            Option1[static_cast<std::size_t>(o.index)]->setToolTip(QString::fromLatin1(o.tip));
        }
        for (QRadioButton* option : Option1)
            option->hide();
        for (const ChnEditOption& o : chn_edit_options)
            Option1[static_cast<std::size_t>(o.index)]->show();
        // The source pane is gone: the preview follows the CHN file list.
        preview_->clear();
        preview_destination();
    } else {
        return;
    }
    fcv1[mode]->setChecked(true);
    // Each mode keeps its own type: coming back restores the one chosen there.
    show_type(mode_type_[mode]);
}

// Shows `type` as the chosen one of the current mode, or none chosen for -1.
void MainWindow::show_type(int type) {
    if (type < 0) {
        for (QRadioButton* option : Option1) {
            option->setAutoExclusive(false);
            option->setChecked(false);
            option->setAutoExclusive(true);
        }
        state_.org_type = -1;
        Command1->setEnabled(false);
        if (state_.run_mode == app::mode_fileconv)
            File1->set_pattern("*.*");
        preview_source();
        return;
    }
    Option1[static_cast<std::size_t>(type)]->setChecked(true);
    Option1_Click(type);
}

void MainWindow::Option1_Click(int index) {
    const app::OrgType* type = app::find_org_type(index);
    File1->set_pattern(type ? std::string(type->pattern) : "*.*");
    state_.org_type = static_cast<std::int16_t>(index);
    Command1->setEnabled(false);
    if (state_.org_type >= 0 && state_.org_type <= 8)
        Command1->setEnabled(true);
    Option1[static_cast<std::size_t>(index)]->setChecked(true);
    mode_type_[state_.run_mode] = index;
    settings_->setValue(key_type(state_.run_mode), index);
    preview_source();
}

namespace {

QString batch_status(const app::BatchReport& report, const std::string& folder) {
    QString text = report.cancelled ? QStringLiteral("Cancelled: converted %1 of %2 files into %3")
                                    : QStringLiteral("Converted %1 of %2 files into %3");
    text = text.arg(report.converted).arg(report.selected).arg(native(folder));
    if (!report.failures.empty())
        text += QStringLiteral("; %1 did not convert").arg(report.failures.size());
    return text;
}

}  // namespace

void MainWindow::Command1_Click() {
    if (running_)
        return;  // the events handled inside a batch must not start another
    running_ = true;
    try {
        if (state_.run_mode == app::mode_fileconv && state_.org_type >= 0) {
            if (File1->selectedItems().isEmpty()) {
                tell(QStringLiteral("Select the ORG files to convert."));
            } else {
                in_batch_ = true;
                const app::BatchReport report = app::convert_org_files(state_, *this);
                in_batch_ = false;
                refresh_destination_list();
                tell(batch_status(report, Dir2->path()));
            }
        } else {
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
    running_ = false;
}

void MainWindow::set_preview_visible(bool visible) {
    preview_->setVisible(visible);
    settings_->setValue(key_preview, visible);
    if (visible)
        preview_source();
}

void MainWindow::preview_source() {
    if (!preview_ || !preview_->isVisible() || !File1->isVisible())
        return;
    const int row = File1->currentRow();
    if (row < 0 || row >= File1->entry_count()) {
        preview_->clear();
        return;
    }
    preview_->show_source(spectrum::with_trailing_separator(Dir1->path()) + File1->entry(row),
                          state_.run_mode == app::mode_fileconv ? state_.org_type : -1);
}

void MainWindow::preview_destination() {
    if (!preview_ || !preview_->isVisible())
        return;
    const int row = File2->currentRow();
    if (row < 0 || row >= File2->entry_count())
        return;
    preview_->show_chn(spectrum::with_trailing_separator(Dir2->path()) + File2->entry(row));
}

std::string MainWindow::destination_path() const {
    return Dir2->path();
}
std::string MainWindow::source_path() const {
    return Dir1->path();
}
int MainWindow::source_entry_count() const {
    return File1->entry_count();
}
std::string MainWindow::source_entry(int index) const {
    return File1->entry(index);
}
bool MainWindow::source_selected(int index) const {
    return File1->entry_selected(index);
}
int MainWindow::destination_entry_count() const {
    return File2->entry_count();
}
std::string MainWindow::destination_entry(int index) const {
    return File2->entry(index);
}

void MainWindow::set_busy(bool busy) {
    if (busy)
        setCursor(Qt::WaitCursor);
    else
        unsetCursor();
}

void MainWindow::message_box(const std::string& text) {
    if (message_sink_) {
        message_sink_(text);
        return;
    }
    // A message inside a batch reports files that did not convert.
    QMessageBox box(in_batch_ ? QMessageBox::Warning : QMessageBox::NoIcon,
                    QStringLiteral("Brandel"), QString::fromStdString(text), QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText);  // a file name is never markup
    box.exec();
}

void MainWindow::refresh_destination_list() {
    File2->refresh();
}

bool MainWindow::progress(int done, int total, const std::string& name) {
    if (done == 0 || !batch_timer_.isValid())
        batch_timer_.start();
    if (!progress_dialog_ && batch_timer_.elapsed() >= progress_delay_ms_) {
        auto* dialog = new QProgressDialog(this);
        dialog->setObjectName(QStringLiteral("progress"));
        dialog->setWindowTitle(QStringLiteral("Brandel"));
        dialog->setCancelButtonText(QStringLiteral("Cancel"));
        dialog->setWindowModality(Qt::ApplicationModal);
        dialog->setAutoClose(false);
        dialog->setAutoReset(false);
        dialog->setMinimumDuration(0);
        dialog->setMinimumWidth(dialog->fontMetrics().averageCharWidth() * 48);
        dialog->show();
        progress_dialog_ = dialog;
    }
    if (!progress_dialog_)
        return true;
    progress_dialog_->setMaximum(total);
    progress_dialog_->setLabelText(
        QStringLiteral("%1 of %2 files done\n%3").arg(done).arg(total).arg(qt_text(name)));
    progress_dialog_->setValue(done);
    // Repaints the window and lets Cancel be pressed; the modal dialog keeps other input out.
    QCoreApplication::processEvents();
    return progress_dialog_ && !progress_dialog_->wasCanceled();
}

gui::Form2& MainWindow::form2() {
    if (Form2 == nullptr)
        Form2 = new gui::Form2(this);
    return *Form2;
}

listing::Grid& MainWindow::listing_grid() {
    return form2().grid();
}

void MainWindow::set_grid_busy(bool busy) {
    form2().set_busy(busy);
}

void MainWindow::listing_made(const std::string& folder, const std::string& status) {
    // After its edits are saved, the grid window makes the listing again from the files.
    form2().set_listing(&listing_state(), [this] {
        const listing::ListingReport report = listing::build_listing(state_, *this);
        if (!report.skipped.empty())
            message_box(listing::skipped_text(report));
    });
    form2().listing_made(QString::fromStdString(folder), QString::fromStdString(status));
}

void MainWindow::show_grid_modal() {
    if (modal_show_)
        modal_show_(form2());
    else
        form2().exec();
}

void MainWindow::progress_done() {
    batch_timer_.invalidate();
    if (progress_dialog_) {
        progress_dialog_->close();
        progress_dialog_->deleteLater();
        progress_dialog_ = nullptr;
    }
}

}  // namespace brandel::gui
