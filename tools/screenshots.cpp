// Photographs the window for the README: the FILEconv look with the preview of a CANBERRA
// report, and the grid window of the comment listing. Run through tools/make_screenshots.sh,
// which starts it under a virtual X server.
//
//   brandel-screenshots EXAMPLES_FOLDER OUTPUT_FOLDER
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QTemporaryDir>

#include <cstdio>

#include "gui/dir_list.hpp"
#include "gui/file_list.hpp"
#include "gui/grid_editor_window.hpp"
#include "gui/main_window.hpp"

namespace {

using brandel::gui::MainWindow;

// Lets the window lay itself out and paint.
void settle(int ms = 300) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
}

template <typename T>
T* child(MainWindow& window, const QString& name) {
    T* found = window.findChild<T*>(name);
    if (found == nullptr) {
        std::fprintf(stderr, "no control named %s\n", qPrintable(name));
        std::exit(1);
    }
    return found;
}

QAbstractButton* option(MainWindow& window, int index) {
    return child<QAbstractButton>(window, QStringLiteral("Option1_%1").arg(index));
}

// Selects one file of the source list and makes it the current one, as a click does.
void select(MainWindow& window, const QString& name) {
    auto* list = child<brandel::gui::FileList>(window, QStringLiteral("File1"));
    list->clearSelection();
    const QList<QListWidgetItem*> found = list->findItems(name, Qt::MatchFixedString);
    if (found.isEmpty()) {
        std::fprintf(stderr, "no file %s in the examples\n", qPrintable(name));
        std::exit(1);
    }
    list->setCurrentItem(found.front());
}

bool save(QWidget& widget, const QString& path) {
    if (!widget.grab().save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: brandel-screenshots EXAMPLES_FOLDER OUTPUT_FOLDER\n");
        return 2;
    }
    const QString examples = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    const QDir out(QDir(QString::fromLocal8Bit(argv[2])).absolutePath());
    QTemporaryDir scratch;
    if (!scratch.isValid() || !QDir().mkpath(out.absolutePath()) ||
        !QDir(scratch.path()).mkdir(QStringLiteral("chn")))
        return 1;
    // The examples are copied, so the folders shown are the scratch folder's and not the
    // checkout's.
    const QString spectra = scratch.filePath(QStringLiteral("spectra"));
    QDir().mkpath(spectra);
    for (const QString& name : QDir(examples).entryList(QDir::Files))
        QFile::copy(QDir(examples).filePath(name), QDir(spectra).filePath(name));
    QDir::setCurrent(spectra);

    MainWindow window(nullptr, scratch.filePath(QStringLiteral("settings.ini")));
    window.set_message_sink(
        [](const std::string& text) { std::fprintf(stderr, "%s\n", text.c_str()); });
    window.resize(1180, 700);
    window.show();
    settle();
    child<brandel::gui::DirList>(window, QStringLiteral("Dir2"))
        ->open(scratch.filePath(QStringLiteral("chn")).toStdString());

    // A few conversions, so the listing has rows.
    const std::pair<int, const char*> conversions[] = {
        {0, "S0123.TXT"},    {3, "ge1_0715.dat"}, {7, "kaihou.txt"},
        {8, "nai_0705.asc"}, {1, "labo_new.spc"}, {5, "labo_old.spc"},
    };
    for (auto [type, name] : conversions) {
        option(window, type)->click();
        select(window, QString::fromLatin1(name));
        child<QAbstractButton>(window, QStringLiteral("Command1"))->click();
    }

    option(window, 0)->click();
    select(window, QStringLiteral("S0123.TXT"));
    settle();
    bool ok = save(window, out.filePath(QStringLiteral("fileconv.png")));

    child<QAction>(window, QStringLiteral("fcv1_200"))->trigger();
    option(window, 1)->click();
    window.set_modal_show([&](brandel::gui::Form2& form) {
        form.resize(900, 360);
        form.show();
        settle();
        ok = save(form, out.filePath(QStringLiteral("listing.png"))) && ok;
        form.hide();
    });
    child<QAbstractButton>(window, QStringLiteral("Command1"))->click();
    return ok ? 0 : 1;
}
