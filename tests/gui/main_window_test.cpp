#include "gui/main_window.hpp"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEventLoop>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGroupBox>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QToolTip>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <brandel/version.hpp>

#include "gui/dir_list.hpp"
#include "gui/drive_list.hpp"
#include "gui/file_list.hpp"
#include "gui/fitted_label.hpp"
#include "gui/grid_editor_window.hpp"
#include "gui/main_menu.hpp"
#include "gui/preview_pane.hpp"
#include "gui/preview_reading.hpp"
#include "gui/spectrum_plot.hpp"
#include "spectrum/chn_file.hpp"
#include "temp_dir.hpp"
#include "window_test_files.hpp"

using brandel::gui::DirList;
using brandel::gui::DriveList;
using brandel::gui::FileList;
using brandel::gui::MainWindow;
using brandel::gui_test::entries;
using brandel::gui_test::files_in;
using brandel::gui_test::good_report;
using brandel::gui_test::Names;
using brandel::test_support::TempDir;

namespace {

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
    std::unique_ptr<TempDir> settings_dir_;
    std::unique_ptr<MainWindow> window_;
    std::vector<std::string> messages_;

    QString settings_file() const {
        return QString::fromStdString((settings_dir_->path() / "brandel.ini").string());
    }

    // Opens a fresh window, with nothing remembered, whose panes start in a fresh folder
    // holding `files`.
    void open_window(const Names& files, const Names& folders = {}) {
        window_.reset();
        cwd_ = std::make_unique<TempDir>();
        settings_dir_ = std::make_unique<TempDir>();
        for (const std::string& name : files)
            cwd_->write(name, good_report);
        for (const std::string& name : folders)
            std::filesystem::create_directory(cwd_->path() / name);
        QVERIFY(QDir::setCurrent(QString::fromStdString(cwd_->path().string())));
        reopen_window();
    }
    // Closes the window and opens it again with the same settings, as a restart does.
    void reopen_window() {
        if (window_)
            window_->close();
        window_.reset();
        window_ = std::make_unique<MainWindow>(nullptr, settings_file());
        messages_.clear();
        window_->set_message_sink([this](const std::string& text) { messages_.push_back(text); });
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    }
    // Converts the source file `name` as a CANBERRA report into `destination`.
    void convert_into(const TempDir& destination, const std::string& name) const {
        QVERIFY(find<DirList>(QStringLiteral("Dir2"))->open(destination.path().string()));
        click(option(0));
        ctrl_click_entry(find<FileList>(QStringLiteral("File1")), name);
        press_start();
    }
    void press_start() const {
        QTest::mouseClick(find<QPushButton>(QStringLiteral("Command1")), Qt::LeftButton);
    }
    void set_current(FileList* list, const std::string& name) const {
        const QList<QListWidgetItem*> found =
            list->findItems(QString::fromStdString(name), Qt::MatchExactly);
        QCOMPARE(found.size(), 1);
        list->setCurrentItem(found.front(), QItemSelectionModel::NoUpdate);
        wait_for_preview();
    }
    // The preview reads on a thread of its own; this waits until it shows its reading.
    void wait_for_preview() const {
        auto* pane = find<brandel::gui::PreviewPane>(QStringLiteral("preview"));
        QTRY_VERIFY(!pane->reading());
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
        QCOMPARE(file2->selectionMode(), QAbstractItemView::NoSelection);

        QStringList menu;
        for (int index : {100, 200, 800, 900}) {
            QAction* item = find<QAction>(QStringLiteral("fcv1_%1").arg(index));
            menu << (item->isSeparator() ? QStringLiteral("-") : item->text());
        }
        QCOMPARE(menu, (QStringList{"FILEconv", "CHN_edit", "-", "exit"}));
        // "&File": shown as "File", opened with Alt+F.
        QCOMPARE(find<QMenu>(QStringLiteral("fcv"))->title(), QStringLiteral("&File"));
        QVERIFY(window_->status_text().isEmpty());
    }

    // The window is built from layouts: at any font size every caption shows whole.
    void captionsFitAtEveryFontSize_data() {
        QTest::addColumn<int>("points");
        QTest::newRow("9 point") << 9;
        QTest::newRow("13 point") << 13;
        QTest::newRow("18 point") << 18;
    }
    void captionsFitAtEveryFontSize() {
        QFETCH(int, points);
        const QFont saved = QApplication::font();
        QFont font = saved;
        font.setPointSize(points);
        QApplication::setFont(font);
        open_window({});
        QApplication::setFont(saved);
        QCOMPARE(option(3)->font().pointSize(), points);
        // It still fits a 1280 x 1024 screen, also with a long file name and a warning in the
        // preview: the preview shrinks, its one-line values elide.
        const std::string name =
            "ge1_background_2024-07-15_shield_closed_sample_holder_B_0123456789";
        cwd_->write(name + ".txt", good_report);
        auto* file1 = find<FileList>(QStringLiteral("File1"));
        file1->refresh();
        click(option(1));  // the wrong type: a warning that quotes what the file holds
        set_current(file1, name + ".txt");
        QVERIFY(!find<brandel::gui::PreviewPane>(QStringLiteral("preview"))->warning().isEmpty());
        QCoreApplication::processEvents();  // the layouts take the new texts in
        const QSize least = window_->minimumSizeHint();
        QVERIFY2(least.width() <= 1280 && least.height() <= 1000,
                 qPrintable(QStringLiteral("%1 x %2").arg(least.width()).arg(least.height())));
        window_->resize(least);
        QTRY_COMPARE(window_->width(), least.width());
        auto* preview = find<QWidget>(QStringLiteral("preview"));
        for (const char* value : {"preview_name", "preview_fits", "preview_warning"}) {
            auto* label = find<QLabel>(QString::fromLatin1(value));
            QVERIFY2(label->geometry().right() <= preview->width(), value);
        }
        auto* shown_name = find<brandel::gui::FittedLabel>(QStringLiteral("preview_name"));
        QCOMPARE(shown_name->text(), QString::fromStdString(name + ".txt"));
        QVERIFY(shown_name->elided());
        QHelpEvent hover(QEvent::ToolTip, QPoint(4, 4), shown_name->mapToGlobal(QPoint(4, 4)));
        QApplication::sendEvent(shown_name, &hover);
        QTRY_COMPARE(QToolTip::text(), shown_name->text());
        QToolTip::hideText();
        click(option(0));
        wait_for_preview();
        QVERIFY(find<brandel::gui::PreviewPane>(QStringLiteral("preview"))->warning().isEmpty());
        for (int mode : {100, 200}) {
            choose(mode);
            QCoreApplication::processEvents();
            for (int i = 0; i < 9; ++i) {
                if (!option(i)->isVisible())
                    continue;
                QVERIFY2(option(i)->width() >= option(i)->sizeHint().width(),
                         qPrintable(option(i)->text()));
                QVERIFY(option(i)->height() >= option(i)->sizeHint().height());
            }
            for (const char* name : {"Frame1", "Frame2", "Frame3"}) {
                auto* frame = find<QGroupBox>(QString::fromLatin1(name));
                if (frame->isVisible())
                    QVERIFY2(
                        frame->width() > frame->fontMetrics().horizontalAdvance(frame->title()) + 8,
                        name);
            }
            auto* command = find<QPushButton>(QStringLiteral("Command1"));
            QVERIFY(command->width() >= command->sizeHint().width());
        }
    }

    void listsGrowWithTheWindow() {
        open_window({});
        auto* file1 = find<FileList>(QStringLiteral("File1"));
        auto* file2 = find<FileList>(QStringLiteral("File2"));
        auto* dir1 = find<DirList>(QStringLiteral("Dir1"));
        const QSize before1 = file1->size(), before2 = file2->size(), dir_before = dir1->size();
        window_->resize(window_->width() + 200, window_->height() + 200);
        QTRY_VERIFY(file1->height() > before1.height() + 40);
        QVERIFY(file1->width() > before1.width());
        QVERIFY(file2->height() > before2.height() + 40);
        QVERIFY(dir1->height() > dir_before.height());
        // The start button stays between the panes.
        auto* command = find<QPushButton>(QStringLiteral("Command1"));
        const QRect button(command->mapTo(window_.get(), QPoint(0, 0)), command->size());
        QVERIFY(find<QGroupBox>(QStringLiteral("Frame1"))->mapTo(window_.get(), QPoint(0, 0)).x() +
                    find<QGroupBox>(QStringLiteral("Frame1"))->width() <=
                button.left());
        QVERIFY(button.right() <
                find<QGroupBox>(QStringLiteral("Frame2"))->mapTo(window_.get(), QPoint(0, 0)).x());
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

    void eachModeKeepsItsOwnType() {
        open_window({"a.asc", "b.txt"});
        auto* file1 = find<FileList>(QStringLiteral("File1"));
        auto* command = find<QPushButton>(QStringLiteral("Command1"));

        click(option(1));  // Labo(New), then CHN_edit: no action chosen there yet
        choose(200);
        QCOMPARE(option(1)->text(), QStringLiteral("Make Tesmo.CMT"));
        QVERIFY(!option(1)->isChecked());
        QCOMPARE(window_->state().org_type, -1);
        QVERIFY(!command->isEnabled());

        click(option(1));  // Make, then back: Labo(New) is what FILEconv had
        QCOMPARE(window_->state().org_type, 1);
        choose(100);
        QVERIFY(option(1)->isChecked());
        QCOMPARE(window_->state().org_type, 1);

        click(option(8));  // Oxford, to CHN_edit and back: Oxford and its pattern return
        choose(200);
        QVERIFY(option(1)->isChecked());  // Make, as chosen there
        QCOMPARE(window_->state().org_type, 1);
        choose(100);
        QVERIFY(option(8)->isChecked());
        QVERIFY(!option(1)->isChecked());
        QCOMPARE(window_->state().org_type, 8);
        QCOMPARE(file1->pattern(), std::string("*.asc"));
        QCOMPARE(entries(file1), Names{"a.asc"});
        QVERIFY(command->isEnabled());
        QVERIFY(find<QAction>(QStringLiteral("fcv1_100"))->isChecked());
        QVERIFY(!find<QAction>(QStringLiteral("fcv1_200"))->isChecked());

        click(option(0));  // two types of one pattern: only the type changes
        click(option(7));
        QCOMPARE(file1->pattern(), std::string("*.txt"));
        QCOMPARE(window_->state().org_type, 7);
    }

    void choosingATypeKeepsTheMatchingSelection() {
        open_window({"a.txt", "b.TXT", "c.asc", "d.dat"});
        auto* file1 = find<FileList>(QStringLiteral("File1"));
        for (const char* name : {"a.txt", "c.asc", "b.TXT"})
            ctrl_click_entry(file1, name);
        click(option(0));  // *.txt: a and b stay selected, c is no longer listed
        QCOMPARE(entries(file1), (Names{"a.txt", "b.TXT"}));
        QVERIFY(file1->entry_selected(0) && file1->entry_selected(1));
        click(option(7));  // the same pattern: nothing changes
        QVERIFY(file1->entry_selected(0) && file1->entry_selected(1));
        click(option(1));  // *.*: c comes back unselected
        QCOMPARE(entries(file1), (Names{"a.txt", "b.TXT", "c.asc", "d.dat"}));
        QVERIFY(file1->entry_selected(0) && file1->entry_selected(1));
        QVERIFY(!file1->entry_selected(2) && !file1->entry_selected(3));
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
        QCOMPARE(window_->status_text(),
                 QStringLiteral("Converted 2 of 2 files into %1")
                     .arg(QString::fromStdString(destination.path().string())));
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
        QVERIFY2(window_->status_text().startsWith(QStringLiteral("Converted 1 of 2 files into ")),
                 qPrintable(window_->status_text()));
        QVERIFY(window_->status_text().endsWith(QStringLiteral("; 1 did not convert")));
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
        QCOMPARE(window_->status_text(),
                 QStringLiteral("Cancelled: converted 0 of 2 files into %1")
                     .arg(QString::fromStdString(destination.path().string())));
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

    void writeSaysInTheStatusLineWhatItWrote() {
        open_window({"a.txt"});
        TempDir destination;
        convert_into(destination, "a.txt");
        const std::string chn = destination.dir() + "a.chn";
        std::filesystem::remove(chn);
        choose(200);
        click(option(6));
        QCOMPARE(option(6)->text(), QStringLiteral("WriteTesmo.CMT"));
        press_start();
        QVERIFY(std::filesystem::exists(chn));
        QVERIFY(messages_.empty());
        QCOMPARE(window_->status_text(),
                 QStringLiteral("Wrote the spectrum to %1.").arg(QString::fromStdString(chn)));

        // A write that fails says why, and the status line no longer claims a write.
        namespace fs = std::filesystem;
        fs::permissions(chn,
                        fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
        press_start();
        QCOMPARE(messages_.size(), std::size_t{1});
        QVERIFY2(messages_[0].find("read-only") != std::string::npos, messages_[0].c_str());
        QVERIFY2(window_->status_text().isEmpty(), qPrintable(window_->status_text()));
    }

    void makeOnAFolderWithoutChnFilesEmptiesTheGridAndSaysSo() {
        open_window({"a.txt"});
        TempDir full, empty;
        QVERIFY(find<DirList>(QStringLiteral("Dir2"))->open(full.path().string()));
        click(option(0));
        ctrl_click_entry(find<FileList>(QStringLiteral("File1")), "a.txt");
        QTest::mouseClick(find<QPushButton>(QStringLiteral("Command1")), Qt::LeftButton);
        choose(200);
        click(option(1));
        int rows = -1;
        QString folder, status, box;
        window_->set_modal_show([&](brandel::gui::Form2& form) {
            rows = form.findChild<QTableWidget*>(QStringLiteral("MSFlexGrid1"))->rowCount();
            folder = form.findChild<QLabel*>(QStringLiteral("FolderLine"))->text();
            status = form.findChild<QLabel*>(QStringLiteral("StatusLine"))->text();
            box = form.findChild<QLineEdit*>(QStringLiteral("Text1"))->text();
        });
        QTest::mouseClick(find<QPushButton>(QStringLiteral("Command1")), Qt::LeftButton);
        QCOMPARE(rows, 1);
        QCOMPARE(status, QStringLiteral("1 CHN file"));

        QVERIFY(find<DirList>(QStringLiteral("Dir2"))->open(empty.path().string()));
        QTest::mouseClick(find<QPushButton>(QStringLiteral("Command1")), Qt::LeftButton);
        const QString shown =
            QDir::toNativeSeparators(QString::fromStdString(empty.path().string()));
        QCOMPARE(rows, 0);  // the header row alone
        QCOMPARE(folder, shown);
        QCOMPARE(status, QStringLiteral("No CHN files in %1.")
                             .arg(QString::fromStdString(empty.path().string())));
        QVERIFY(box.isEmpty());
        QVERIFY(messages_.empty());
    }

    void batchFailuresCarryTheWarningIcon() {
        open_window({"a.txt"});
        cwd_->write("b.txt", "this is no spectrum\r\n");
        TempDir destination;
        QVERIFY(find<DirList>(QStringLiteral("Dir2"))->open(destination.path().string()));
        window_->set_message_sink(nullptr);  // the real message box
        click(option(0));
        ctrl_click_entry(find<FileList>(QStringLiteral("File1")), "b.txt");
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QString title, text;
        QTimer::singleShot(0, window_.get(), [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr)
                return;
            icon = box->icon();
            title = box->windowTitle();
            text = box->text();
            box->accept();
        });
        press_start();
        QCOMPARE(icon, QMessageBox::Warning);
        QCOMPARE(title, QStringLiteral("Brandel"));
        QVERIFY2(text.contains(QStringLiteral("b.txt")) && text.contains(QStringLiteral("layout")),
                 qPrintable(text));
    }

    void filesSelectedBeforeTheTypeConvert() {
        // The README's order: select the files, pick their kind, press "->".
        open_window({"a.txt", "b.TXT", "notes.doc"});
        TempDir destination;
        QVERIFY(find<DirList>(QStringLiteral("Dir2"))->open(destination.path().string()));
        auto* file1 = find<FileList>(QStringLiteral("File1"));
        ctrl_click_entry(file1, "a.txt");
        ctrl_click_entry(file1, "b.TXT");
        ctrl_click_entry(file1, "notes.doc");
        click(option(0));
        press_start();
        QCOMPARE(files_in(destination.path()), (Names{"a.chn", "b.chn"}));
        QVERIFY(messages_.empty());
        QVERIFY(window_->status_text().startsWith(QStringLiteral("Converted 2 of 2 files into ")));
    }

    void menuTipsLeaveTheBatchResultInTheStatusLine() {
        open_window({"a.txt"});
        TempDir destination;
        convert_into(destination, "a.txt");
        const QString result = window_->status_text();
        QVERIFY2(result.startsWith(QStringLiteral("Converted 1 of 1 files")), qPrintable(result));

        // The mouse on "CHN_edit" shows its tip in the status line, for as long as it rests there.
        auto* fcv = find<QMenu>(QStringLiteral("fcv"));
        QAction* item = find<QAction>(QStringLiteral("fcv1_200"));
        window_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
        QTest::keyClick(window_.get(), Qt::Key_F, Qt::AltModifier);
        QTRY_COMPARE(QApplication::activePopupWidget(), static_cast<QWidget*>(fcv));
        const QPointF on_item = fcv->actionGeometry(item).center();
        QMouseEvent move(QEvent::MouseMove, on_item, fcv->mapToGlobal(on_item), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(fcv, &move);
        QTRY_COMPARE(window_->statusBar()->currentMessage(), item->statusTip());
        auto* line = find<QLabel>(QStringLiteral("status_line"));
        QVERIFY(!line->isVisible());  // the tip shows over it
        fcv->close();
        QTRY_VERIFY(window_->statusBar()->currentMessage().isEmpty());
        QTRY_VERIFY(line->isVisible());
        QCOMPARE(line->text(), result);
        QCOMPARE(window_->status_text(), result);
        QCOMPARE(window_->state().run_mode, 100);  // nothing was chosen
    }

    void startWithNothingSelectedSaysWhatToDo() {
        open_window({"a.txt"});
        TempDir destination;
        QVERIFY(find<DirList>(QStringLiteral("Dir2"))->open(destination.path().string()));
        click(option(0));
        press_start();
        QCOMPARE(window_->status_text(), QStringLiteral("Select the ORG files to convert."));
        QCOMPARE(files_in(destination.path()), Names{});
        QVERIFY(messages_.empty());
    }

    void chnListScrollsButSelectsNothing() {
        Names many;
        for (int i = 0; i < 300; ++i)
            many.push_back("s" + std::to_string(1000 + i) + ".chn");
        open_window(many);
        auto* file2 = find<FileList>(QStringLiteral("File2"));
        QVERIFY(file2->isEnabled());
        QCOMPARE(file2->entry_count(), 300);
        QVERIFY(file2->verticalScrollBar()->maximum() > 0);
        file2->setFocus();
        QTest::keyClick(file2, Qt::Key_End);
        QCOMPARE(file2->verticalScrollBar()->value(), file2->verticalScrollBar()->maximum());
        QTest::mouseClick(file2->viewport(), Qt::LeftButton, {},
                          file2->visualItemRect(file2->item(file2->currentRow())).center());
        QVERIFY(file2->selectedItems().isEmpty());
    }

    void foldersTypesAndPlaceAreRemembered() {
        open_window({"a.asc"}, {"src", "dst"});
        const std::string src = (cwd_->path() / "src").string();
        const std::string dst = (cwd_->path() / "dst").string();
        QVERIFY(find<DirList>(QStringLiteral("Dir1"))->open(src));
        QVERIFY(find<DirList>(QStringLiteral("Dir2"))->open(dst));
        click(option(8));
        choose(200);
        click(option(6));
        choose(100);
        find<QAction>(QStringLiteral("view_preview"))->trigger();  // hidden
        window_->resize(1111, 777);
        QTRY_COMPARE(window_->size(), QSize(1111, 777));

        QDir::setCurrent(QDir::tempPath());
        reopen_window();
        QCOMPARE(window_->source_path(), src);
        QCOMPARE(window_->destination_path(), dst);
        QCOMPARE(window_->state().org_type, 8);
        QVERIFY(option(8)->isChecked());
        QCOMPARE(find<FileList>(QStringLiteral("File1"))->pattern(), std::string("*.asc"));
        QVERIFY(find<QPushButton>(QStringLiteral("Command1"))->isEnabled());
        QCOMPARE(window_->size(), QSize(1111, 777));
        QVERIFY(!find<QWidget>(QStringLiteral("preview"))->isVisible());
        QVERIFY(!find<QAction>(QStringLiteral("view_preview"))->isChecked());
        choose(200);
        QVERIFY(option(6)->isChecked());
        QCOMPARE(window_->state().org_type, 6);

        // A remembered folder that is gone: the home folder, and a line that says so.
        std::filesystem::remove_all(src);
        reopen_window();
        QCOMPARE(window_->source_path(), QDir::homePath().toStdString());
        QCOMPARE(window_->destination_path(), dst);
        QVERIFY2(window_->status_text().contains(QString::fromStdString(src)) &&
                     window_->status_text().contains(QStringLiteral("no longer exists")),
                 qPrintable(window_->status_text()));
    }

    void droppedFilesOpenTheirFolderAndAreSelected() {
        open_window({}, {"elsewhere"});
        TempDir other;
        other.write("x.txt", good_report);
        other.write("y.txt", good_report);
        other.write("z.txt", good_report);
        auto* file1 = find<FileList>(QStringLiteral("File1"));
        auto drop = [this](QWidget* target, const QList<QUrl>& urls) {
            QMimeData data;
            data.setUrls(urls);
            const QPoint at = target->mapTo(window_.get(), target->rect().center());
            QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(window_.get(), &enter);
            QVERIFY(enter.isAccepted());
            QDropEvent event(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(window_.get(), &event);
        };
        drop(file1, {QUrl::fromLocalFile(QString::fromStdString(other.dir() + "z.txt")),
                     QUrl::fromLocalFile(QString::fromStdString(other.dir() + "x.txt"))});
        QCOMPARE(window_->source_path(), other.path().string());
        QCOMPARE(entries(file1), (Names{"x.txt", "y.txt", "z.txt"}));
        QVERIFY(file1->entry_selected(0) && !file1->entry_selected(1) && file1->entry_selected(2));
        QCOMPARE(files_in(other.path()), (Names{"x.txt", "y.txt", "z.txt"}));  // nothing converted

        // A folder dropped on the destination pane opens there.
        const std::string elsewhere = (cwd_->path() / "elsewhere").string();
        drop(find<FileList>(QStringLiteral("File2")),
             {QUrl::fromLocalFile(QString::fromStdString(elsewhere))});
        QCOMPARE(window_->destination_path(), elsewhere);
        QCOMPARE(window_->source_path(), other.path().string());
    }

    void panesFollowTheDisk() {
        open_window({"a.txt", "b.txt"});
        auto* file1 = find<FileList>(QStringLiteral("File1"));
        auto* file2 = find<FileList>(QStringLiteral("File2"));
        ctrl_click_entry(file1, "b.txt");
        cwd_->write("c.chn", "x");  // written by another program
        cwd_->write("0.txt", "x");
        QTRY_COMPARE(entries(file2), Names{"c.chn"});
        QTRY_COMPARE(entries(file1), (Names{"0.txt", "a.txt", "b.txt", "c.chn"}));
        QVERIFY(file1->entry_selected(2) && !file1->entry_selected(0) && !file1->entry_selected(1));
        std::filesystem::remove(cwd_->path() / "a.txt");
        QTRY_COMPARE(entries(file1), (Names{"0.txt", "b.txt", "c.chn"}));
        QVERIFY(file1->entry_selected(1));

        // F5 reads both panes again.
        QTest::keyClick(window_.get(), Qt::Key_F5);
        QCOMPARE(entries(file2), Names{"c.chn"});
        QVERIFY(file1->entry_selected(1));
    }

    void aFolderRemovedByAnotherProgramFallsBackToHome() {
        open_window({"a.txt"}, {"dst"});
        const std::string dst = (cwd_->path() / "dst").string();
        cwd_->write("dst/a.chn", "x");
        QVERIFY(find<DirList>(QStringLiteral("Dir2"))->open(dst));
        QCOMPARE(entries(find<FileList>(QStringLiteral("File2"))), Names{"a.chn"});
        std::filesystem::remove_all(dst);
        const std::string home = QDir::homePath().toStdString();
        QTRY_COMPARE(window_->destination_path(), home);
        QCOMPARE(find<FileList>(QStringLiteral("File2"))->path(), home);
        QCOMPARE(find<QLineEdit>(QStringLiteral("Path2"))->text(), QString::fromStdString(home));
        QVERIFY2(window_->status_text() ==
                     QStringLiteral("The folder %1 no longer exists; the home folder is shown.")
                         .arg(QString::fromStdString(dst)),
                 qPrintable(window_->status_text()));
        QCOMPARE(window_->source_path(), cwd_->path().string());  // the other pane stays
        QVERIFY(messages_.empty());
        // The next start finds the home folder kept, as a start with a gone folder does.
        reopen_window();
        QCOMPARE(window_->destination_path(), home);
    }

    void pathFieldOpensATypedFolder() {
        open_window({}, {"typed"});
        auto* path2 = find<QLineEdit>(QStringLiteral("Path2"));
        QCOMPARE(path2->text(), QString::fromStdString(cwd_->path().string()));
        const std::string typed = (cwd_->path() / "typed").string();
        path2->clear();
        QTest::keyClicks(path2, QString::fromStdString(typed));
        QTest::keyClick(path2, Qt::Key_Return);
        QCOMPARE(window_->destination_path(), typed);
        auto* path1 = find<QLineEdit>(QStringLiteral("Path1"));
        path1->setText(QStringLiteral("/no/such/folder"));
        QTest::keyClick(path1, Qt::Key_Return);
        QCOMPARE(window_->source_path(), cwd_->path().string());
        QVERIFY(window_->status_text().contains(QStringLiteral("does not exist")));
        // The field shows the folder the tree shows again, not the one that does not exist.
        QCOMPARE(path1->text(), QString::fromStdString(cwd_->path().string()));
        QCOMPARE(path2->text(), QString::fromStdString(typed));

        // A file typed in the field opens its folder; the field shows that folder.
        cwd_->write("typed/a.txt", good_report);
        path2->setText(QString::fromStdString(typed + "/a.txt"));
        QTest::keyClick(path2, Qt::Key_Return);
        QCOMPARE(window_->destination_path(), typed);
        QCOMPARE(path2->text(), QString::fromStdString(typed));
    }

    void menuKeysAndTips() {
        open_window({});
        // The modes are one choice, marked with a dot; the separator is a line, nothing beside.
        for (const char* name : {"fcv1_100", "fcv1_200"}) {
            QAction* mode = find<QAction>(QString::fromLatin1(name));
            QVERIFY(mode->isCheckable() && mode->actionGroup() != nullptr);
            QVERIFY(mode->actionGroup()->isExclusive());
        }
        QAction* separator = find<QAction>(QStringLiteral("fcv1_800"));
        QVERIFY(separator->isSeparator());
        QVERIFY2(separator->text().isEmpty(), qPrintable(separator->text()));
        QVERIFY(find<QAction>(QStringLiteral("fcv1_100"))->isChecked());
        choose(200);
        QVERIFY(find<QAction>(QStringLiteral("fcv1_200"))->isChecked());
        QVERIFY(!find<QAction>(QStringLiteral("fcv1_100"))->isChecked());
        QCOMPARE(find<QAction>(QStringLiteral("fcv1_900"))->shortcut(),
                 QKeySequence(QStringLiteral("Ctrl+Q")));
        QCOMPARE(find<QAction>(QStringLiteral("view_refresh"))->shortcut(),
                 QKeySequence(Qt::Key_F5));
        QVERIFY(window_->findChild<QAction*>(QStringLiteral("help_about")) != nullptr);
        QVERIFY(!find<QPushButton>(QStringLiteral("Command1"))->toolTip().isEmpty());
        for (int i : {1, 5, 6})
            QVERIFY(!option(i)->toolTip().isEmpty());
        choose(100);
        for (int i = 0; i < 9; ++i)
            QVERIFY(!option(i)->toolTip().isEmpty());
        QVERIFY(find<QPushButton>(QStringLiteral("Command1"))->toolTip().contains("Convert"));
        QVERIFY(!find<QAction>(QStringLiteral("fcv1_200"))->toolTip().isEmpty());
    }

    void altFOpensTheFileMenuAndAboutTellsTheEssentials() {
        open_window({});
        window_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
        QTest::keyClick(window_.get(), Qt::Key_F, Qt::AltModifier);
        QTRY_COMPARE(QApplication::activePopupWidget(),
                     static_cast<QWidget*>(find<QMenu>(QStringLiteral("fcv"))));
        find<QMenu>(QStringLiteral("fcv"))->close();

        QString title, text;
        QTimer::singleShot(0, window_.get(), [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr)
                return;
            title = box->windowTitle();
            text = box->text();
            box->accept();
        });
        find<QAction>(QStringLiteral("help_about"))->trigger();
        QCOMPARE(title, QStringLiteral("Brandel"));
        QVERIFY(text.contains(QStringLiteral("Rev:%1").arg(brandel::version_revision)));
        QVERIFY(text.contains(QStringLiteral("version %1").arg(brandel::version_text)));
        QVERIFY2(text.contains(settings_file().toHtmlEscaped()), qPrintable(text));
        // Where the README is, here the one of the sources; no build commands.
        const QString readme =
            QFileInfo(QStringLiteral(BRANDEL_SOURCE_DIR "/README.md")).canonicalFilePath();
        QCOMPARE(brandel::gui::readme_location(), readme);
        QVERIFY2(text.contains(readme.toHtmlEscaped()), qPrintable(text));
        QVERIFY2(!text.contains(QStringLiteral("make ")), qPrintable(text));
    }

    void previewWarnsBeforeAWrongTypeConverts() {
        open_window({"a.txt"});
        auto* file1 = find<FileList>(QStringLiteral("File1"));
        auto* pane = find<brandel::gui::PreviewPane>(QStringLiteral("preview"));
        auto label = [this](const char* name) {
            return find<QLabel>(QString::fromLatin1(name))->text();
        };
        click(option(1));  // Labo(New), but the file is a CANBERRA report
        wait_for_preview();
        set_current(file1, "a.txt");
        QVERIFY2(pane->warning().startsWith(QStringLiteral("Does not read as Labo(New): ")),
                 qPrintable(pane->warning()));
        QVERIFY(pane->warning().contains(QStringLiteral("It reads as CANBERRA(txt)")));
        QCOMPARE(pane->plot().channel_count(), 0);
        QVERIFY(label("preview_fits").contains(QStringLiteral("CANBERRA(txt)")));

        click(option(0));  // the right type: no warning, what the file holds
        wait_for_preview();
        QVERIFY2(pane->warning().isEmpty(), qPrintable(pane->warning()));
        QCOMPARE(label("preview_channels"), QStringLiteral("4"));
        QCOMPARE(label("preview_sample"), QStringLiteral(" test"));  // as the record holds it
        QCOMPARE(label("preview_live"), QStringLiteral("100.00 s"));
        QCOMPARE(label("preview_real"), QStringLiteral("101.00 s"));
        QCOMPARE(label("preview_start"), QStringLiteral("15 JUL 2003 09:41:00"));
        QCOMPARE(pane->plot().channel_count(), 4);
        QCOMPARE(label("preview_notes"), QStringLiteral("CHN keeps: all"));

        // Nothing chosen: read under the one layout it fits.
        reopen_window();
        pane = find<brandel::gui::PreviewPane>(QStringLiteral("preview"));
        set_current(find<FileList>(QStringLiteral("File1")), "a.txt");
        QCOMPARE(label("preview_fits"), QStringLiteral("Fits: CANBERRA(txt)"));
        QCOMPARE(label("preview_channels"), QStringLiteral("4"));
        QVERIFY(pane->warning().isEmpty());
        click(option(7));  // a type of the same pattern that the file does not fit
        wait_for_preview();
        QVERIFY2(pane->warning().startsWith(QStringLiteral("Does not read as 原研開放研(txt)")),
                 qPrintable(pane->warning()));

        // A CHN file under the cursor in the destination list.
        click(option(0));
        wait_for_preview();
        ctrl_click_entry(find<FileList>(QStringLiteral("File1")), "a.txt");
        press_start();
        auto* file2 = find<FileList>(QStringLiteral("File2"));
        QCOMPARE(entries(file2), Names{"a.chn"});
        set_current(file2, "a.chn");
        QCOMPARE(find<QLabel>(QStringLiteral("preview_fits"))->text(), QStringLiteral("CHN file"));
        QCOMPARE(find<QLabel>(QStringLiteral("preview_live"))->text(), QStringLiteral("100.00 s"));
        QCOMPARE(pane->plot().channel_count(), 4);
        QVERIFY(find<QLabel>(QStringLiteral("preview_notes"))->isHidden());

        // In CHN_edit the preview follows the CHN file list only.
        click(option(0));  // the source file under the cursor again
        wait_for_preview();
        QCOMPARE(label("preview_name"), QStringLiteral("a.txt"));
        choose(200);
        wait_for_preview();
        QCOMPARE(label("preview_name"), QStringLiteral("a.chn"));
    }

    void previewOfAChnFileShowsItsTimesToTheTick() {
        // A CHN file of another program that holds 1815.30 s (90765 ticks of 20 ms).
        brandel::spectrum::State record;
        brandel::spectrum::ChnHeader& h = record.chn_header;
        h.start_sec_tens = '2';
        h.start_sec_units = '0';
        h.live_time = 90001;  // 1800.02 s
        h.real_time = 90765;
        h.start_date.assign(U"15JUL031");
        h.start_time.assign(U"094120");
        h.num_channels = 4;
        for (int k = 0; k < 4; ++k)
            record.counts.set(k, 10 * k);
        record.chn_trailer.sample_desc.assign(U"S0123");
        open_window({});
        cwd_->write("S0123.chn", brandel::spectrum::chn_bytes(record));
        auto* file2 = find<FileList>(QStringLiteral("File2"));
        QTRY_COMPARE(entries(file2), Names{"S0123.chn"});
        set_current(file2, "S0123.chn");
        QCOMPARE(find<QLabel>(QStringLiteral("preview_fits"))->text(), QStringLiteral("CHN file"));
        QCOMPARE(find<QLabel>(QStringLiteral("preview_real"))->text(), QStringLiteral("1815.30 s"));
        QCOMPARE(find<QLabel>(QStringLiteral("preview_live"))->text(), QStringLiteral("1800.02 s"));
        QCOMPARE(find<QLabel>(QStringLiteral("preview_start"))->text(),
                 QStringLiteral("15 JUL 2003 09:41:20"));
    }

    void previewOfUnreadableAndLargeFiles() {
        open_window({});
        cwd_->write("junk.txt", std::string("\0\1\2 not a spectrum", 19));
        cwd_->write("big.txt", std::string(brandel::gui::preview_limit_bytes + 1, 'x'));
        auto* file1 = find<FileList>(QStringLiteral("File1"));
        file1->refresh();
        auto* pane = find<brandel::gui::PreviewPane>(QStringLiteral("preview"));
        set_current(file1, "junk.txt");
        QCOMPARE(find<QLabel>(QStringLiteral("preview_fits"))->text(),
                 QStringLiteral("Fits no layout."));
        QVERIFY(pane->warning().startsWith(QStringLiteral("Does not read")));
        QCOMPARE(pane->plot().channel_count(), 0);
        set_current(file1, "big.txt");
        QVERIFY(find<QLabel>(QStringLiteral("preview_fits"))->text().contains("too large"));
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
