#include "gui/main_window.hpp"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGroupBox>
#include <QMenu>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <brandel/version.hpp>

#include "gui/file_panes.hpp"
#include "gui/grid_editor_window.hpp"
#include "temp_dir.hpp"

using brandel::gui::DirList;
using brandel::gui::DriveList;
using brandel::gui::FileList;
using brandel::gui::MainWindow;
using brandel::test_support::TempDir;
using Names = std::vector<std::string>;

namespace {

// A small CANBERRA text report of four channels.
const char* const good_report =
    "Sample Name  : test\r\n"
    "Channel No   :    4\r\n"
    "Live Time    : 100.0\r\n"
    "True Time    : 101.0\r\n"
    "Date Time    :2003/07/15 09:41\r\n"
    "\r\n\r\n\r\n"
    "1, 10, 2, 20, 3, 30, 4, 40\r\n";

const QStringList fileconv_captions = {
    QStringLiteral("CANBERRA(txt)"),
    QStringLiteral("Labo(New)"),
    QStringLiteral("NAIG"),
    QStringLiteral("原研開放研(dat)"),
    QStringLiteral("原研開放研(csv)"),
    QStringLiteral("Labo(Old)"),
    QStringLiteral("Labo(LIST)"),
    QStringLiteral("原研開放研(txt)"),
    QStringLiteral("Oxford  (asc)"),
};

Names entries(const FileList* list) {
    Names names;
    for (int i = 0; i < list->entry_count(); ++i)
        names.push_back(list->entry(i));
    return names;
}

Names files_in(const std::filesystem::path& folder) {
    Names names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

QTreeWidgetItem* find_folder_item(DirList* dir, const QString& text) {
    const QList<QTreeWidgetItem*> found =
        dir->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
    return found.isEmpty() ? nullptr : found.front();
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<TempDir> cwd_;
    std::unique_ptr<MainWindow> window_;
    std::vector<std::string> messages_;

    // Opens a fresh window whose panes start in a fresh folder holding `files`.
    void open_window(const Names& files, const Names& folders = {}) {
        window_.reset();
        cwd_ = std::make_unique<TempDir>();
        for (const std::string& name : files)
            cwd_->write(name, good_report);
        for (const std::string& name : folders)
            std::filesystem::create_directory(cwd_->path() / name);
        QVERIFY(QDir::setCurrent(QString::fromStdString(cwd_->path().string())));
        window_ = std::make_unique<MainWindow>();
        messages_.clear();
        window_->set_message_sink([this](const std::string& text) { messages_.push_back(text); });
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
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
    void choose(int menu_index) const {
        find<QAction>(QStringLiteral("fcv1_%1").arg(menu_index))->trigger();
    }
    void click(QWidget* widget) const {
        QTest::mouseClick(widget, Qt::LeftButton, {}, QPoint(8, widget->height() / 2));
    }
    void ctrl_click_entry(FileList* list, const std::string& name) const {
        const QList<QListWidgetItem*> found =
            list->findItems(QString::fromStdString(name), Qt::MatchExactly);
        QCOMPARE(found.size(), 1);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier,
                          list->visualItemRect(found.front()).center());
    }

  private slots:
    void cleanup() {
        window_.reset();
        QDir::setCurrent(QDir::tempPath());
        cwd_.reset();
    }

    void startsInFileconvWithNoTypeChosen() {
        open_window({"b.TXT", "a.txt", "Y.CHN", "x.chn"});
        QCOMPARE(window_->windowTitle(),
                 QStringLiteral("Brandel & Korvin Ver:1.1, Rev:%1").arg(brandel::version_revision));
        QVERIFY(window_->windowTitle().endsWith(QStringLiteral(" Rev:25")));
        QVERIFY(!window_->windowIcon().isNull());
        QCOMPARE(window_->state().org_type, -1);
        QCOMPARE(window_->state().run_mode, 100);

        auto* command = find<QPushButton>(QStringLiteral("Command1"));
        QCOMPARE(command->text(), QStringLiteral("->"));
        QVERIFY(!command->isEnabled());
        QCOMPARE(find<QGroupBox>(QStringLiteral("Frame1"))->title(), QStringLiteral("ORG file"));
        QCOMPARE(find<QGroupBox>(QStringLiteral("Frame2"))->title(), QStringLiteral("CHN file"));
        QCOMPARE(find<QGroupBox>(QStringLiteral("Frame3"))->title(),
                 QStringLiteral("ORG file type"));
        for (int i = 0; i < 9; ++i) {
            QCOMPARE(option(i)->text(), fileconv_captions[i]);
            QCOMPARE(option(i)->property("index").toInt(), i);
            QVERIFY(option(i)->isVisible());
            QVERIFY(!option(i)->isChecked());
            QCOMPARE(option(i)->isEnabled(), i != 2);
        }

        const std::string here = std::filesystem::current_path().string();
        QCOMPARE(window_->source_path(), here);
        QCOMPARE(window_->destination_path(), here);
        auto* file1 = find<FileList>(QStringLiteral("File1"));
        auto* file2 = find<FileList>(QStringLiteral("File2"));
        QCOMPARE(file1->pattern(), std::string("*.*"));
        QCOMPARE(entries(file1), (Names{"a.txt", "b.TXT", "x.chn", "Y.CHN"}));
        QCOMPARE(file1->selectionMode(), QAbstractItemView::ExtendedSelection);
        QCOMPARE(file2->pattern(), std::string("*.chn"));
        QCOMPARE(entries(file2), (Names{"x.chn", "Y.CHN"}));
        QVERIFY(!file2->isEnabled());
        QCOMPARE(file2->selectionMode(), QAbstractItemView::NoSelection);

        QStringList menu;
        for (int index : {100, 200, 800, 900}) {
            QAction* item = find<QAction>(QStringLiteral("fcv1_%1").arg(index));
            menu << (item->isSeparator() ? QStringLiteral("-") : item->text());
        }
        QCOMPARE(menu, (QStringList{"FILEconv", "CHN_edit", "-", "exit"}));
        QCOMPARE(find<QMenu>(QStringLiteral("fcv"))->title(), QStringLiteral("File"));
    }

    void keepsTheDesignGeometry_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("geometry");
        QTest::newRow("Frame1") << "Frame1" << QRect(8, 8, 201, 233);
        QTest::newRow("Drive1") << "Drive1" << QRect(8, 16, 185, 20);
        QTest::newRow("Dir1") << "Dir1" << QRect(8, 40, 185, 62);
        QTest::newRow("File1") << "File1" << QRect(8, 112, 185, 114);
        QTest::newRow("Frame2") << "Frame2" << QRect(264, 8, 209, 233);
        QTest::newRow("Dir2") << "Dir2" << QRect(8, 40, 193, 62);
        QTest::newRow("File2") << "File2" << QRect(8, 112, 193, 114);
        QTest::newRow("Command1") << "Command1" << QRect(216, 112, 41, 33);
        QTest::newRow("Frame3") << "Frame3" << QRect(8, 248, 465, 81);
        QTest::newRow("Option1_2") << "Option1_2" << QRect(224, 16, 49, 25);
        QTest::newRow("Option1_3") << "Option1_3" << QRect(296, 16, 121, 25);
        QTest::newRow("Option1_8") << "Option1_8" << QRect(8, 32, 113, 25);
        QTest::newRow("Option1_6") << "Option1_6" << QRect(120, 48, 113, 25);
    }
    void keepsTheDesignGeometry() {
        QFETCH(QString, name);
        QFETCH(QRect, geometry);
        open_window({});
        QCOMPARE(window_->centralWidget()->size(), QSize(483, 341));
        QCOMPARE(find<QWidget>(name)->geometry(), geometry);
    }

    void fileListsGrowWithTheWindow() {
        open_window({});
        auto* file1 = find<FileList>(QStringLiteral("File1"));
        auto* file2 = find<FileList>(QStringLiteral("File2"));
        auto* frame3 = find<QGroupBox>(QStringLiteral("Frame3"));
        window_->resize(window_->width() + 100, window_->height() + 60);
        QTRY_COMPARE(window_->centralWidget()->size(), QSize(583, 401));
        QCOMPARE(file1->size(), QSize(185 + 50, 114 + 60));
        QCOMPARE(file2->size(), QSize(193 + 50, 114 + 60));
        QCOMPARE(frame3->geometry(), QRect(8, 248 + 60, 465 + 100, 81));
        QVERIFY(file1->geometry().right() < find<QWidget>("Command1")->geometry().left());
    }

    void optionsWriteJapanese() {
        if (QFontDatabase::families(QFontDatabase::Japanese).isEmpty())
            QSKIP("this system has no font that can write Japanese");
        open_window({});
        const QString family = QFontInfo(option(3)->font()).family();
        QVERIFY2(QFontDatabase::families(QFontDatabase::Japanese).contains(family),
                 qPrintable(family));
        QCOMPARE(option(3)->font().pointSize(), 9);
    }

    void menuChoicesGiveTheirLook_data() {
        QTest::addColumn<QList<int>>("choices");
        QTest::newRow("CHN_edit") << QList<int>{200};
        QTest::newRow("FILEconv at start") << QList<int>{100};
        QTest::newRow("CHN_edit, FILEconv") << QList<int>{200, 100};
        QTest::newRow("CHN_edit twice") << QList<int>{200, 200};
        QTest::newRow("back and forth") << QList<int>{200, 100, 200};
    }
    void menuChoicesGiveTheirLook() {
        QFETCH(QList<int>, choices);
        open_window({});
        for (int choice : choices)
            choose(choice);
        const bool chn_edit = choices.back() == 200;
        QCOMPARE(window_->state().run_mode, choices.back());

        QCOMPARE(find<QGroupBox>(QStringLiteral("Frame1"))->isVisible(), !chn_edit);
        QVERIFY(find<QGroupBox>(QStringLiteral("Frame2"))->isVisible());
        QCOMPARE(find<QPushButton>(QStringLiteral("Command1"))->text(),
                 chn_edit ? QStringLiteral("GO") : QStringLiteral("->"));
        QCOMPARE(find<QGroupBox>(QStringLiteral("Frame3"))->title(),
                 chn_edit ? QStringLiteral("Proc type") : QStringLiteral("ORG file type"));
        QStringList captions = fileconv_captions;
        if (chn_edit) {
            captions[1] = QStringLiteral("Make Tesmo.CMT");
            captions[5] = QStringLiteral("Edit Tesmo.CMT");
            captions[6] = QStringLiteral("WriteTesmo.CMT");
        }
        for (int i = 0; i < 9; ++i) {
            const bool shown = !chn_edit || i == 1 || i == 5 || i == 6;
            QCOMPARE(option(i)->isVisible(), shown);
            if (shown)
                QCOMPARE(option(i)->text(), captions[i]);
        }
        QVERIFY(!option(2)->isEnabled());
        // A mode switch leaves the type and the start button alone.
        QCOMPARE(window_->state().org_type, -1);
        QVERIFY(!find<QPushButton>(QStringLiteral("Command1"))->isEnabled());
    }

    void typeOptionsSetTheSourcePattern_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QStringList>("listed");
        const QStringList all = {"a.ASC", "b.csv", "c.DAT", "d.txt", "e.TXT", "readme"};
        QTest::newRow("CANBERRA(txt)") << 0 << "*.txt" << QStringList{"d.txt", "e.TXT"};
        QTest::newRow("Labo(New)") << 1 << "*.*" << all;
        QTest::newRow("JAERI dat") << 3 << "*.dat" << QStringList{"c.DAT"};
        QTest::newRow("JAERI csv") << 4 << "*.csv" << QStringList{"b.csv"};
        QTest::newRow("Labo(Old)") << 5 << "*.*" << all;
        QTest::newRow("Labo(LIST)") << 6 << "*.*" << all;
        QTest::newRow("JAERI txt") << 7 << "*.txt" << QStringList{"d.txt", "e.TXT"};
        QTest::newRow("Oxford (asc)") << 8 << "*.asc" << QStringList{"a.ASC"};
    }
    void typeOptionsSetTheSourcePattern() {
        QFETCH(int, index);
        QFETCH(QString, pattern);
        QFETCH(QStringList, listed);
        open_window({"e.TXT", "d.txt", "c.DAT", "b.csv", "a.ASC", "readme"});
        click(option(index));
        QVERIFY(option(index)->isChecked());
        QCOMPARE(window_->state().org_type, index);
        QVERIFY(find<QPushButton>(QStringLiteral("Command1"))->isEnabled());
        auto* file1 = find<FileList>(QStringLiteral("File1"));
        QCOMPARE(QString::fromStdString(file1->pattern()), pattern);
        QStringList shown;
        for (const std::string& name : entries(file1))
            shown << QString::fromStdString(name);
        QCOMPARE(shown, listed);
    }

    void naigCannotBeChosen() {
        open_window({});
        click(option(2));
        QVERIFY(!option(2)->isChecked());
        QCOMPARE(window_->state().org_type, -1);
        QVERIFY(!find<QPushButton>(QStringLiteral("Command1"))->isEnabled());
    }

    void modeSwitchKeepsTypeSelectionAndPattern() {
        open_window({});
        auto* file1 = find<FileList>(QStringLiteral("File1"));
        auto* command = find<QPushButton>(QStringLiteral("Command1"));

        click(option(1));  // Labo(New), then CHN_edit: the same option is now Make
        choose(200);
        QVERIFY(option(1)->isChecked());
        QCOMPARE(option(1)->text(), QStringLiteral("Make Tesmo.CMT"));
        QCOMPARE(window_->state().org_type, 1);
        QVERIFY(command->isEnabled());

        choose(100);  // CANBERRA(txt), then CHN_edit: hidden but still chosen
        click(option(0));
        choose(200);
        QVERIFY(!option(0)->isVisible());
        QVERIFY(option(0)->isChecked());
        QCOMPARE(window_->state().org_type, 0);
        QVERIFY(command->isEnabled());

        choose(100);  // the pattern stays what the last click set
        click(option(8));
        QCOMPARE(file1->pattern(), std::string("*.asc"));
        choose(200);
        choose(100);
        QCOMPARE(file1->pattern(), std::string("*.asc"));
        choose(200);
        click(option(5));  // Edit, then back: Labo(Old) chosen, pattern *.*
        choose(100);
        QVERIFY(option(5)->isChecked());
        QCOMPARE(option(5)->text(), QStringLiteral("Labo(Old)"));
        QCOMPARE(window_->state().org_type, 5);
        QCOMPARE(file1->pattern(), std::string("*.*"));

        click(option(0));  // two types of one pattern: only the type changes
        click(option(7));
        QCOMPARE(file1->pattern(), std::string("*.txt"));
        QCOMPARE(window_->state().org_type, 7);
    }

    void folderOpensOnlyWhenOpened() {
        open_window({"outer.txt"}, {"sub"});
        cwd_->write("sub/inner.txt", "x");
        auto* dir1 = find<DirList>(QStringLiteral("Dir1"));
        auto* file1 = find<FileList>(QStringLiteral("File1"));
        const std::string start = window_->source_path();

        QTreeWidgetItem* sub = find_folder_item(dir1, QStringLiteral("sub"));
        QVERIFY(sub != nullptr);
        QTest::mouseClick(dir1->viewport(), Qt::LeftButton, {}, dir1->visualItemRect(sub).center());
        QCOMPARE(dir1->currentItem(), sub);
        QCOMPARE(window_->source_path(), start);
        QCOMPARE(file1->path(), start);
        QCOMPARE(entries(file1), Names{"outer.txt"});

        dir1->setFocus();
        QTest::keyClick(dir1, Qt::Key_Return);
        const std::string inner = (cwd_->path() / "sub").string();
        QCOMPARE(window_->source_path(), inner);
        QCOMPARE(file1->path(), inner);
        QCOMPARE(entries(file1), Names{"inner.txt"});
        QCOMPARE(window_->destination_path(), start);  // the other pane stays

        QTreeWidgetItem* parent = find_folder_item(dir1, cwd_->path().filename().c_str());
        QVERIFY(parent != nullptr);
        const QPoint at = dir1->visualItemRect(parent).center();
        QTest::mouseClick(dir1->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(dir1->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(window_->source_path(), start);
        QCOMPARE(entries(file1), Names{"outer.txt"});
        QVERIFY(messages_.empty());
    }

    void unreadableFolderKeepsThePane() {
        open_window({"outer.txt"}, {"gone"});
        auto* dir2 = find<DirList>(QStringLiteral("Dir2"));
        const std::string start = window_->destination_path();
        QTreeWidgetItem* gone = find_folder_item(dir2, QStringLiteral("gone"));
        QVERIFY(gone != nullptr);
        std::filesystem::remove(cwd_->path() / "gone");

        dir2->setCurrentItem(gone);
        dir2->setFocus();
        QTest::keyClick(dir2, Qt::Key_Return);
        QCOMPARE(messages_.size(), std::size_t{1});
        QVERIFY2(messages_[0].find((cwd_->path() / "gone").string()) != std::string::npos,
                 messages_[0].c_str());
        QCOMPARE(window_->destination_path(), start);
        QCOMPARE(find<FileList>(QStringLiteral("File2"))->path(), start);
    }

    void driveListMovesItsPane() {
        open_window({"outer.txt"});
        auto* drive1 = find<DriveList>(QStringLiteral("Drive1"));
        const std::string start = window_->source_path();
        const std::string home = QDir::homePath().toStdString();
        if (home.empty() || start.rfind(home, 0) == 0)
            QSKIP("the test folder is under home");
        QVERIFY(start.rfind(drive1->current_root(), 0) == 0);
        const int home_index = drive1->findText(QString::fromStdString(home));
        const int start_index = drive1->currentIndex();
        QVERIFY(home_index >= 0);

        drive1->setCurrentIndex(home_index);
        emit drive1->activated(home_index);
        QCOMPARE(window_->source_path(), home);
        QCOMPARE(find<FileList>(QStringLiteral("File1"))->path(), home);
        QCOMPARE(window_->destination_path(), start);

        drive1->setCurrentIndex(start_index);  // back to the folder it showed on that drive
        emit drive1->activated(start_index);
        QCOMPARE(window_->source_path(), start);
    }

    void startButtonConvertsTheSelectedFilesInListOrder() {
        open_window({"a.txt", "b.txt", "c.txt"});
        TempDir destination;
        auto* dir2 = find<DirList>(QStringLiteral("Dir2"));
        QVERIFY(dir2->open(destination.path().string()));
        auto* file1 = find<FileList>(QStringLiteral("File1"));
        auto* file2 = find<FileList>(QStringLiteral("File2"));
        QCOMPARE(entries(file2), Names{});

        click(option(0));
        ctrl_click_entry(file1, "c.txt");  // selected out of list order
        ctrl_click_entry(file1, "a.txt");
        QTest::mouseClick(find<QPushButton>(QStringLiteral("Command1")), Qt::LeftButton);

        QCOMPARE(files_in(destination.path()), (Names{"a.chn", "c.chn"}));
        QCOMPARE(entries(file2), (Names{"a.chn", "c.chn"}));
        QVERIFY(window_->state().org_path.ends_with("c.txt"));  // c came last
        QVERIFY(messages_.empty());
        QVERIFY(file1->entry_selected(0) && !file1->entry_selected(1) && file1->entry_selected(2));
        QCOMPARE(window_->cursor().shape(), Qt::ArrowCursor);  // the busy pointer is gone
    }

    void failingFileGivesOneSummary() {
        open_window({"a.txt"});
        cwd_->write("b.txt", "this is no spectrum\r\n");
        TempDir destination;
        QVERIFY(find<DirList>(QStringLiteral("Dir2"))->open(destination.path().string()));
        auto* file1 = find<FileList>(QStringLiteral("File1"));
        click(option(0));
        ctrl_click_entry(file1, "a.txt");
        ctrl_click_entry(file1, "b.txt");
        QTest::mouseClick(find<QPushButton>(QStringLiteral("Command1")), Qt::LeftButton);

        QCOMPARE(messages_.size(), std::size_t{1});
        QVERIFY2(messages_[0].find("b.txt") != std::string::npos, messages_[0].c_str());
        QVERIFY2(messages_[0].find("a.txt") == std::string::npos, messages_[0].c_str());
        QCOMPARE(files_in(destination.path()), Names{"a.chn"});
        QCOMPARE(entries(find<FileList>(QStringLiteral("File2"))), Names{"a.chn"});
    }

    void cancelStopsTheBatch() {
        open_window({"a.txt", "b.txt"});
        TempDir destination;
        QVERIFY(find<DirList>(QStringLiteral("Dir2"))->open(destination.path().string()));
        window_->set_progress_delay(0);
        click(option(0));
        auto* file1 = find<FileList>(QStringLiteral("File1"));
        ctrl_click_entry(file1, "a.txt");
        ctrl_click_entry(file1, "b.txt");

        bool saw_dialog = false;
        QTimer::singleShot(0, window_.get(), [this, &saw_dialog] {
            if (auto* dialog = window_->findChild<QProgressDialog*>()) {
                saw_dialog = dialog->isVisible() && dialog->isModal();
                dialog->cancel();
            }
        });
        QTest::mouseClick(find<QPushButton>(QStringLiteral("Command1")), Qt::LeftButton);
        QVERIFY(saw_dialog);
        QCOMPARE(files_in(destination.path()), Names{});
        QTRY_VERIFY(window_->findChild<QProgressDialog*>() == nullptr);
        QCOMPARE(window_->cursor().shape(), Qt::ArrowCursor);
    }

    void makeListsEveryChnFileOfTheDestination() {
        open_window({"a.txt", "b.txt", "c.txt"});
        TempDir destination;
        QVERIFY(find<DirList>(QStringLiteral("Dir2"))->open(destination.path().string()));
        click(option(0));
        auto* file1 = find<FileList>(QStringLiteral("File1"));
        for (const char* name : {"a.txt", "b.txt", "c.txt"})
            ctrl_click_entry(file1, name);
        QTest::mouseClick(find<QPushButton>(QStringLiteral("Command1")), Qt::LeftButton);
        QCOMPARE(entries(find<FileList>(QStringLiteral("File2"))),
                 (Names{"a.chn", "b.chn", "c.chn"}));

        choose(200);
        click(option(1));
        QCOMPARE(option(1)->text(), QStringLiteral("Make Tesmo.CMT"));
        QCOMPARE(find<QPushButton>(QStringLiteral("Command1"))->text(), QStringLiteral("GO"));
        QStringList names;
        QString caption;
        bool modal_shown = false;
        window_->set_modal_show([&](brandel::gui::Form2& form) {
            modal_shown = true;
            caption = form.windowTitle();
            auto* grid = form.findChild<QTableWidget*>(QStringLiteral("MSFlexGrid1"));
            QVERIFY(grid != nullptr);
            for (int row = 0; row < grid->rowCount(); ++row)
                names << grid->item(row, 1)->text();
        });
        QTest::mouseClick(find<QPushButton>(QStringLiteral("Command1")), Qt::LeftButton);
        QVERIFY(modal_shown);
        QCOMPARE(caption, QStringLiteral("DATA.cmt"));
        QCOMPARE(names, (QStringList{"a       ", "b       ", "c       "}));
        QVERIFY(messages_.empty());
        QCOMPARE(window_->cursor().shape(), Qt::ArrowCursor);
    }

    void exitEndsTheProgram() {
        open_window({});
        QEventLoop loop;
        QTimer::singleShot(0, window_.get(), [this] { choose(900); });
        QTimer::singleShot(5000, &loop, [&loop] { loop.exit(1); });
        QCOMPARE(loop.exec(), 0);
        QVERIFY(messages_.empty());
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
