#include "gui/main_window.hpp"

#include "gui/grid_editor_window.hpp"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFontDatabase>
#include <QGroupBox>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QSvgRenderer>

#include <algorithm>
#include <exception>
#include <filesystem>

#include <brandel/version.hpp>

#include "app/org_types.hpp"
#include "gui/file_panes.hpp"
#include "spectrum/paths.hpp"

namespace brandel::gui {

namespace {

// The design is laid out in twips; at 15 twips per pixel every value below is a whole pixel.
constexpr int px(int twips) {
    return twips / 15;
}

constexpr QSize design_client{px(7245), px(5115)};
constexpr QPoint design_position{px(1950), px(2700)};

struct Place {
    int left, top, width, height;  // twips, relative to the container
};

QRect rect_of(Place p, int extra_width = 0, int extra_height = 0) {
    return QRect(px(p.left), px(p.top), px(p.width) + extra_width, px(p.height) + extra_height);
}

constexpr Place frame1_place{120, 120, 3015, 3495};
constexpr Place drive1_place{120, 240, 2775, 300};
constexpr Place dir1_place{120, 600, 2775, 930};
constexpr Place file1_place{120, 1680, 2775, 1710};
constexpr Place frame2_place{3960, 120, 3135, 3495};
constexpr Place drive2_place{120, 240, 2895, 300};
constexpr Place dir2_place{120, 600, 2895, 930};
constexpr Place file2_place{120, 1680, 2895, 1710};
constexpr Place command1_place{3240, 1680, 615, 495};
constexpr Place frame3_place{120, 3720, 6975, 1215};

// The type options in three rows inside Frame3, by index.
constexpr std::array<Place, 9> option_places = {{
    {120, 240, 1575, 375},   // 0 CANBERRA(txt)
    {1800, 240, 1815, 375},  // 1 Labo(New)
    {3360, 240, 735, 375},   // 2 NAIG
    {4440, 240, 1815, 375},  // 3 JAERI dat
    {4440, 480, 1695, 375},  // 4 JAERI csv
    {1800, 480, 1815, 375},  // 5 Labo(Old)
    {1800, 720, 1695, 375},  // 6 Labo(LIST)
    {4440, 720, 1695, 375},  // 7 JAERI txt
    {120, 480, 1695, 375},   // 8 Oxford (asc)
}};

constexpr int naig_index = 2;

// In CHN_edit mode the options 1, 5 and 6 choose the actions of the comment listing.
struct ChnEditOption {
    int index;
    const char* caption;
};
constexpr std::array<ChnEditOption, 3> chn_edit_options = {{
    {1, "Make Tesmo.CMT"},
    {5, "Edit Tesmo.CMT"},
    {6, "WriteTesmo.CMT"},
}};

QString qt_text(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

QString fileconv_caption(int index) {
    return qt_text(app::find_org_type(index)->caption);
}

// The options' font: the system's "ＭＳ ゴシック" where it exists, else another Japanese gothic
// font, else any font that can write Japanese, so that the Japanese captions show.
QFont japanese_font() {
    QStringList families;
    for (const QString& name :
         {QStringLiteral("ＭＳ ゴシック"), QStringLiteral("MS Gothic"), QStringLiteral("IPAGothic"),
          QStringLiteral("Noto Sans CJK JP"), QStringLiteral("Noto Sans Mono CJK JP"),
          QStringLiteral("VL Gothic"), QStringLiteral("TakaoGothic")})
        if (QFontDatabase::hasFamily(name))
            families << name;
    if (families.isEmpty()) {
        const QStringList japanese = QFontDatabase::families(QFontDatabase::Japanese);
        if (!japanese.isEmpty())
            families << japanese.front();
    }
    QFont font;
    if (!families.isEmpty())
        font.setFamilies(families);
    font.setPointSize(9);
    font.setWeight(QFont::Normal);
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

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("Form1"));
    setWindowIcon(window_icon());
    build_controls();

    // Both panes start at the process's current folder; one that cannot be read falls back to
    // the home folder and then to the root.
    std::error_code ec;
    std::string start = spectrum::utf8_path(std::filesystem::current_path(ec));
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
}

MainWindow::~MainWindow() = default;

void MainWindow::build_controls() {
    client_ = named(new QWidget(this), "client");
    client_->setMinimumSize(design_client);
    setCentralWidget(client_);

    // Created in tab order.
    Frame1 = named(new QGroupBox(QStringLiteral("ORG file"), client_), "Frame1");
    Drive1 = named(new DriveList(Frame1), "Drive1");
    Dir1 = named(new DirList(Frame1), "Dir1");
    File1 = named(new FileList(Frame1), "File1");
    File1->setSelectionMode(QAbstractItemView::ExtendedSelection);

    Frame2 = named(new QGroupBox(QStringLiteral("CHN file"), client_), "Frame2");
    Drive2 = named(new DriveList(Frame2), "Drive2");
    Dir2 = named(new DirList(Frame2), "Dir2");
    File2 = named(new FileList(Frame2), "File2");
    File2->setSelectionMode(QAbstractItemView::NoSelection);
    File2->setEnabled(false);

    Command1 = named(new QPushButton(QStringLiteral("->"), client_), "Command1");

    Frame3 = named(new QGroupBox(QStringLiteral("ORG file type"), client_), "Frame3");
    const QFont option_font = japanese_font();
    for (int i = 0; i < static_cast<int>(Option1.size()); ++i) {
        auto* option = new QRadioButton(fileconv_caption(i), Frame3);
        option->setObjectName(QStringLiteral("Option1_%1").arg(i));
        option->setProperty("index", i);
        option->setFont(option_font);
        option->setGeometry(rect_of(option_places[static_cast<std::size_t>(i)]));
        Option1[static_cast<std::size_t>(i)] = option;
    }
    Option1[naig_index]->setEnabled(false);

    QMenu* fcv = menuBar()->addMenu(QStringLiteral("File"));
    fcv->setObjectName(QStringLiteral("fcv"));
    auto add_item = [&](int index, const QString& caption) {
        QAction* action = fcv->addAction(caption);
        action->setObjectName(QStringLiteral("fcv1_%1").arg(index));
        action->setProperty("index", index);
        fcv1[index] = action;
        return action;
    };
    add_item(app::mode_fileconv, QStringLiteral("FILEconv"));
    add_item(app::mode_chn_edit, QStringLiteral("CHN_edit"));
    add_item(800, QStringLiteral("-"))->setSeparator(true);
    add_item(900, QStringLiteral("exit"));

    lay_out(design_client);
    client_->installEventFilter(this);
    move(design_position);
    resize(design_client.width(), design_client.height() + menuBar()->sizeHint().height());
}

// The design geometry at the design size; a larger window gives its extra room to the panes,
// whose file lists grow with it, and moves the type frame down.
void MainWindow::lay_out(QSize client) {
    const int dw = std::max(0, client.width() - design_client.width());
    const int dh = std::max(0, client.height() - design_client.height());
    const int left = dw / 2, right = dw - dw / 2;

    Frame1->setGeometry(rect_of(frame1_place, left, dh));
    Drive1->setGeometry(rect_of(drive1_place, left));
    Dir1->setGeometry(rect_of(dir1_place, left));
    File1->setGeometry(rect_of(file1_place, left, dh));
    Command1->setGeometry(rect_of(command1_place).translated(left, 0));
    Frame2->setGeometry(rect_of(frame2_place, right, dh).translated(left, 0));
    Drive2->setGeometry(rect_of(drive2_place, right));
    Dir2->setGeometry(rect_of(dir2_place, right));
    File2->setGeometry(rect_of(file2_place, right, dh));
    Frame3->setGeometry(rect_of(frame3_place, dw).translated(0, dh));
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == client_ && event->type() == QEvent::Resize)
        lay_out(client_->size());
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::Form_Load() {
    setWindowTitle(QStringLiteral("Brandel & Korvin") + QStringLiteral(" Ver:1.1,") +
                   QStringLiteral(" Rev:") + QString::number(version_revision));
    state_.org_type = -1;
    state_.run_mode = app::mode_fileconv;
    File1->set_pattern("*.*");
    File2->set_pattern("*.chn");
    Command1->setEnabled(false);
}

void MainWindow::Drive1_Change(const std::string& folder) {
    if (!Dir1->open(folder))
        Drive1->follow(Dir1->path());
}

void MainWindow::Dir1_Change() {
    Drive1->follow(Dir1->path());
    File1->set_path(Dir1->path());
}

void MainWindow::Drive2_Change(const std::string& folder) {
    if (!Dir2->open(folder))
        Drive2->follow(Dir2->path());
}

void MainWindow::Dir2_Change() {
    Drive2->follow(Dir2->path());
    File2->set_path(Dir2->path());
}

void MainWindow::show_open_failure(const QString& folder, const QString& reason) {
    message_box(("The folder cannot be opened:\n" + folder + "\n" + reason).toStdString());
}

void MainWindow::fcv1_Click(int index) {
    if (index == 900) {
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
        Frame3->setTitle(QStringLiteral("ORG file type"));
        for (int i = 0; i <= 7; ++i)
            Option1[static_cast<std::size_t>(i)]->setText(fileconv_caption(i));
        for (QRadioButton* option : Option1)
            option->show();
        Option1[naig_index]->setEnabled(false);
    } else if (mode == app::mode_chn_edit) {
        Frame1->hide();
        Command1->setText(QStringLiteral("GO"));
        Frame3->setTitle(QStringLiteral("Proc type"));
        for (const ChnEditOption& o : chn_edit_options)
            Option1[static_cast<std::size_t>(o.index)]->setText(QString::fromLatin1(o.caption));
        for (QRadioButton* option : Option1)
            option->hide();
        for (const ChnEditOption& o : chn_edit_options)
            Option1[static_cast<std::size_t>(o.index)]->show();
    }
}

void MainWindow::Option1_Click(int index) {
    const app::OrgType* type = app::find_org_type(index);
    File1->set_pattern(type ? std::string(type->pattern) : "*.*");
    state_.org_type = static_cast<std::int16_t>(index);
    Command1->setEnabled(false);
    if (state_.org_type >= 0 && state_.org_type <= 8)
        Command1->setEnabled(true);
}

void MainWindow::Command1_Click() {
    if (running_)
        return;  // the events handled inside a batch must not start another
    running_ = true;
    try {
        app::Command1_Click(state_, *this);
    } catch (const std::exception& e) {
        // Nothing the driver raises may leave the pointer busy or the pane stale.
        progress_done();
        set_busy(false);
        message_box(std::string("The run stopped: ") + e.what());
        refresh_destination_list();
    }
    running_ = false;
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
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Brandel"), QString::fromStdString(text),
                    QMessageBox::Ok, this);
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
        dialog->setMinimumWidth(320);
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
