// File > Watch source folder in the main window: what is in the source folder and then each
// new file is converted off the window's thread; the status line counts; failures collect in a
// list; the watch stops when its folders, type or mode change, and closing asks first.

#include "gui/main_window.hpp"

#include <QAction>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QListWidget>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "gui/dir_list.hpp"
#include "gui/file_list.hpp"
#include "gui/folder_watch.hpp"
#include "gui/watch_failures.hpp"
#include "temp_dir.hpp"
#include "window_test_files.hpp"

using brandel::gui::DirList;
using brandel::gui::MainWindow;
using brandel::gui_test::entries;
using brandel::gui_test::files_in;
using brandel::gui_test::good_report;
using brandel::gui_test::Names;
using brandel::test_support::TempDir;

namespace {

// The files of a folder, without the watch's own journal.
Names outputs_in(const std::filesystem::path& folder) {
    Names names = files_in(folder);
    std::erase_if(names,
                  [](const std::string& name) { return name.starts_with(".brandel-watch"); });
    return names;
}

}  // namespace

class WatchModeTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<TempDir> source_;
    std::unique_ptr<TempDir> destination_;
    std::unique_ptr<TempDir> settings_dir_;
    std::unique_ptr<MainWindow> window_;
    std::vector<std::string> messages_;
    std::vector<std::string> questions_;
    bool answer_ = true;

    std::unique_ptr<MainWindow> make_window(const QString& settings) {
        auto window = std::make_unique<MainWindow>(nullptr, settings);
        window->set_message_sink([this](const std::string& text) { messages_.push_back(text); });
        window->set_question_sink([this](const std::string& text) {
            questions_.push_back(text);
            return answer_;
        });
        window->set_watch_settle(std::chrono::milliseconds(50));
        window->show();
        return window;
    }
    // A window on a source folder holding a.txt and an empty destination, CANBERRA chosen.
    void open_window() {
        window_.reset();
        source_ = std::make_unique<TempDir>();
        destination_ = std::make_unique<TempDir>();
        settings_dir_ = std::make_unique<TempDir>();
        source_->write("a.txt", good_report);
        messages_.clear();
        questions_.clear();
        answer_ = true;
        window_ =
            make_window(QString::fromStdString((settings_dir_->path() / "brandel.ini").string()));
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
        QVERIFY(find<DirList>(QStringLiteral("Dir1"))->open(source_->path().string()));
        QVERIFY(find<DirList>(QStringLiteral("Dir2"))->open(destination_->path().string()));
        click(option(0));
    }

    template <typename T>
    T* find(const QString& name) const {
        T* widget = window_->findChild<T*>(name);
        if (widget == nullptr)
            qFatal("no control named %s", qPrintable(name));
        return widget;
    }
    QRadioButton* option(int index) const {
        return find<QRadioButton>(QStringLiteral("Option1_%1").arg(index));
    }
    QAction* watch_action() const { return find<QAction>(QStringLiteral("watch_source")); }
    void click(QWidget* widget) const {
        QTest::mouseClick(widget, Qt::LeftButton, {}, QPoint(8, widget->height() / 2));
    }
    QString watched() const { return QString::fromStdString(source_->path().string()); }

  private slots:
    void cleanup() { window_.reset(); }

    void convertsWhatIsDueThenEachNewFileAndCollectsFailures() {
        open_window();
        click(find<QCheckBox>(QStringLiteral("format_spe")));
        watch_action()->trigger();
        QVERIFY(window_->watching());
        QVERIFY(watch_action()->isChecked());
        QTRY_COMPARE(outputs_in(destination_->path()), (Names{"a.chn", "a.spe"}));
        QTRY_VERIFY2(window_->status_text().startsWith(
                         QStringLiteral("Watching %1: 1 converted, 0 failed; last a.txt at ")
                             .arg(watched())),
                     qPrintable(window_->status_text()));

        source_->write("b.txt", good_report);
        QTRY_COMPARE(outputs_in(destination_->path()), (Names{"a.chn", "a.spe", "b.chn", "b.spe"}));
        QCOMPARE(destination_->read("b.chn"), destination_->read("a.chn"));
        auto* file2 = find<brandel::gui::FileList>(QStringLiteral("File2"));
        QTRY_COMPARE(file2->entry_count(), 4);  // the list follows what the watch writes
        auto* button = find<QToolButton>(QStringLiteral("watch_failures_button"));
        QVERIFY(!button->isVisible());

        source_->write("c.txt", "this is no spectrum\r\n");
        QTRY_VERIFY2(window_->status_text().contains(
                         QStringLiteral(": 2 converted, 1 failed; last c.txt at ")),
                     qPrintable(window_->status_text()));
        QVERIFY(messages_.empty());  // no message box per file
        QVERIFY(button->isVisible());
        click(button);
        brandel::gui::WatchFailures& failures = window_->watch_failures();
        QVERIFY(failures.isVisible() && !failures.isModal());
        QCOMPARE(failures.count(), 1);
        QVERIFY2(failures.list()->item(0)->text().contains(QStringLiteral("c.txt: ")),
                 qPrintable(failures.list()->item(0)->text()));

        // Unchecked, it stops; a new file then stays as it is.
        watch_action()->trigger();
        QVERIFY(!window_->watching());
        QVERIFY2(window_->status_text().startsWith(
                     QStringLiteral("Stopped watching %1: 2 converted, 1 failed; last c.txt at ")
                         .arg(watched())),
                 qPrintable(window_->status_text()));
        source_->write("d.txt", good_report);
        QTest::qWait(300);
        QVERIFY(!destination_->exists("d.chn"));
    }

    void listsFollowChangesThatNeverPause() {
        // A watch writes file after file: the lists must not wait for a pause that never comes.
        TempDir folder;
        brandel::gui::FolderWatch watch;
        watch.watch({folder.path().string()});
        int told = 0;
        connect(&watch, &brandel::gui::FolderWatch::changed, this, [&told] { ++told; });
        QElapsedTimer elapsed;
        elapsed.start();
        for (int i = 0; elapsed.elapsed() < 1600; ++i) {
            folder.write("f" + std::to_string(i), "x");
            QTest::qWait(50);
        }
        QVERIFY(told >= 1);
    }

    void formatsCheckedWhileWatchingApplyToTheNextFiles() {
        open_window();
        watch_action()->trigger();
        QTRY_COMPARE(outputs_in(destination_->path()), Names{"a.chn"});
        click(find<QCheckBox>(QStringLiteral("format_n42")));
        QVERIFY(window_->watching());
        source_->write("b.txt", good_report);
        // a.txt was converted before: it is not converted again.
        QTRY_COMPARE(outputs_in(destination_->path()), (Names{"a.chn", "b.chn", "b.n42"}));
        QTRY_VERIFY2(window_->status_text().contains(QStringLiteral(": 2 converted, 0 failed")),
                     qPrintable(window_->status_text()));
    }

    void aManifestThatCannotBeWrittenStopsTheWatchAndIsTold() {
        open_window();
        const std::string gone = destination_->dir() + "no such folder/manifest.csv";
        window_->set_manifest_chooser([&](const QString&) { return QString::fromStdString(gone); });
        click(find<QCheckBox>(QStringLiteral("write_manifest")));
        watch_action()->trigger();
        QTRY_VERIFY(!window_->watching());
        QVERIFY(!watch_action()->isChecked());
        QCOMPARE(messages_.size(), std::size_t{1});
        QVERIFY2(messages_[0].find("no such folder") != std::string::npos, messages_[0].c_str());
        QVERIFY2(window_->status_text().startsWith(QStringLiteral("Stopped watching ")),
                 qPrintable(window_->status_text()));
        QCOMPARE(outputs_in(destination_->path()), Names{});
    }

    void needsFileconvAndAChosenType() {
        open_window();
        window_.reset();
        window_ =
            make_window(QString::fromStdString((settings_dir_->path() / "fresh.ini").string()));
        QVERIFY(!watch_action()->isEnabled());  // no type chosen yet
        click(option(7));
        QVERIFY(watch_action()->isEnabled());
        find<QAction>(QStringLiteral("fcv1_200"))->trigger();
        QVERIFY(!watch_action()->isEnabled());
        find<QAction>(QStringLiteral("fcv1_100"))->trigger();
        QVERIFY(watch_action()->isEnabled());
    }

    void stopsWhenTheTypeAFolderOrTheModeChanges() {
        open_window();
        watch_action()->trigger();
        QVERIFY(window_->watching());
        click(option(0));  // the same type again changes nothing
        QVERIFY(window_->watching());
        click(option(7));
        QVERIFY(!window_->watching());
        QVERIFY(!watch_action()->isChecked());
        QVERIFY2(window_->status_text().contains(QStringLiteral("(the type changed)")),
                 qPrintable(window_->status_text()));

        watch_action()->trigger();
        QVERIFY(window_->watching());
        TempDir elsewhere;
        QVERIFY(find<DirList>(QStringLiteral("Dir2"))->open(elsewhere.path().string()));
        QVERIFY(!window_->watching());
        QVERIFY2(window_->status_text().contains(QStringLiteral("(the CHN file folder changed)")),
                 qPrintable(window_->status_text()));

        watch_action()->trigger();
        QVERIFY(window_->watching());
        QVERIFY(find<DirList>(QStringLiteral("Dir1"))->open(elsewhere.path().string()));
        QVERIFY(!window_->watching());
        QVERIFY2(window_->status_text().contains(QStringLiteral("(the ORG file folder changed)")),
                 qPrintable(window_->status_text()));

        watch_action()->trigger();
        QVERIFY(window_->watching());
        find<QAction>(QStringLiteral("fcv1_200"))->trigger();
        QVERIFY(!window_->watching());
        QVERIFY(!watch_action()->isChecked());
    }

    void closingTheWindowAsksBeforeStopping() {
        open_window();
        watch_action()->trigger();
        answer_ = false;
        QVERIFY(!window_->close());
        QCOMPARE(questions_.size(), std::size_t{1});
        QVERIFY2(questions_[0].find(watched().toStdString()) != std::string::npos,
                 questions_[0].c_str());
        QVERIFY(window_->isVisible() && window_->watching());
        // "exit" asks too: an unattended conversion never ends by a slip of the mouse.
        find<QAction>(QStringLiteral("fcv1_900"))->trigger();
        QCOMPARE(questions_.size(), std::size_t{2});
        QVERIFY(window_->watching());
        answer_ = true;
        QVERIFY(window_->close());
        QVERIFY(!window_->watching());

        // Without a watch, closing asks nothing.
        questions_.clear();
        window_->show();
        QVERIFY(window_->close());
        QVERIFY(questions_.empty());
    }

    void aSecondWatchOfOneDestinationIsRefused() {
        open_window();
        watch_action()->trigger();
        QVERIFY(window_->watching());
        // Another window of the same folders, as a second copy of the program would be.
        std::unique_ptr<MainWindow> second =
            make_window(QString::fromStdString((settings_dir_->path() / "brandel.ini").string()));
        second->findChild<QAction*>(QStringLiteral("watch_source"))->trigger();
        QVERIFY(!second->watching());
        QVERIFY(!second->findChild<QAction*>(QStringLiteral("watch_source"))->isChecked());
        QCOMPARE(messages_.size(), std::size_t{1});
        QVERIFY2(messages_[0].starts_with("The source folder cannot be watched: "),
                 messages_[0].c_str());
        QVERIFY(window_->watching());
    }
};

QTEST_MAIN(WatchModeTest)
#include "watch_mode_test.moc"
