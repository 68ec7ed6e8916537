// The main window's choices of what a conversion writes: the formats under the CHN file list,
// and what the preview shows of the files written in them.

#include "gui/main_window.hpp"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "formats/output_formats.hpp"
#include "gui/dir_list.hpp"
#include "gui/file_list.hpp"
#include "gui/preview_pane.hpp"
#include "temp_dir.hpp"

using brandel::gui::DirList;
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

}  // namespace

class OutputChoiceTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<TempDir> source_;
    std::unique_ptr<TempDir> destination_;
    std::unique_ptr<TempDir> settings_dir_;
    std::unique_ptr<MainWindow> window_;
    std::vector<std::string> messages_;

    // A fresh window with nothing remembered: the source pane in a folder holding a.txt, the
    // destination pane in an empty folder.
    void open_window() {
        window_.reset();
        source_ = std::make_unique<TempDir>();
        destination_ = std::make_unique<TempDir>();
        settings_dir_ = std::make_unique<TempDir>();
        source_->write("a.txt", good_report);
        QVERIFY(QDir::setCurrent(QString::fromStdString(source_->path().string())));
        reopen_window();
        QVERIFY(find<DirList>(QStringLiteral("Dir2"))->open(destination_->path().string()));
    }
    // Closes the window and opens it again with the same settings, as a restart does.
    void reopen_window() {
        if (window_)
            window_->close();
        window_.reset();
        const QString settings =
            QString::fromStdString((settings_dir_->path() / "brandel.ini").string());
        window_ = std::make_unique<MainWindow>(nullptr, settings);
        messages_.clear();
        window_->set_message_sink([this](const std::string& text) { messages_.push_back(text); });
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    }
    void convert_a() const {
        click(find<QRadioButton>(QStringLiteral("Option1_0")));
        auto* file1 = find<FileList>(QStringLiteral("File1"));
        file1->clearSelection();
        file1->item(0)->setSelected(true);
        QTest::mouseClick(find<QPushButton>(QStringLiteral("Command1")), Qt::LeftButton);
    }

    template <typename T>
    T* find(const QString& name) const {
        T* widget = window_->findChild<T*>(name);
        if (widget == nullptr)
            qFatal("no control named %s", qPrintable(name));
        return widget;
    }
    QCheckBox* format_box(const char* name) const {
        return find<QCheckBox>(QStringLiteral("format_%1").arg(QLatin1String(name)));
    }
    // Which of CHN, SPE, N42 and CSV are checked: "chn,n42".
    QString checked_formats() const {
        QStringList names;
        for (const char* name : {"chn", "spe", "n42", "csv"})
            if (format_box(name)->isChecked())
                names << QLatin1String(name);
        return names.join(QLatin1Char(','));
    }
    void click(QWidget* widget) const {
        QTest::mouseClick(widget, Qt::LeftButton, {}, QPoint(8, widget->height() / 2));
    }
    FileList* file2() const { return find<FileList>(QStringLiteral("File2")); }

  private slots:
    void cleanup() {
        window_.reset();
        QDir::setCurrent(QDir::tempPath());
    }

    void formatBoxesKeepOneCheckedAndSetTheDestinationList() {
        open_window();
        for (const char* name : {"a.chn", "a.spe", "b.N42", "a.csv", "a.txt"})
            destination_->write(name, "x");
        file2()->refresh();
        QVERIFY(find<QWidget>(QStringLiteral("format_choice"))->isVisible());
        QCOMPARE(checked_formats(), QStringLiteral("chn"));
        QCOMPARE(file2()->pattern(), std::string("*.chn"));
        QCOMPARE(entries(file2()), Names{"a.chn"});

        click(format_box("spe"));
        click(format_box("n42"));
        QCOMPARE(checked_formats(), QStringLiteral("chn,spe,n42"));
        QCOMPARE(file2()->pattern(), std::string("*.chn;*.spe;*.n42"));
        QCOMPARE(entries(file2()), (Names{"a.chn", "a.spe", "b.N42"}));

        // Unchecking every box leaves the last one checked.
        click(format_box("chn"));
        click(format_box("spe"));
        click(format_box("n42"));
        QCOMPARE(checked_formats(), QStringLiteral("n42"));
        QCOMPARE(entries(file2()), Names{"b.N42"});
        click(format_box("csv"));
        click(format_box("n42"));
        QCOMPARE(checked_formats(), QStringLiteral("csv"));
        QCOMPARE(entries(file2()), Names{"a.csv"});
    }

    void chnEditListsChnFilesAloneAndHidesTheFormats() {
        open_window();
        destination_->write("a.spe", "x");
        click(format_box("spe"));
        click(format_box("chn"));
        QCOMPARE(entries(file2()), Names{"a.spe"});
        // The listing reads every file of the list as a CHN file.
        find<QAction>(QStringLiteral("fcv1_200"))->trigger();
        QVERIFY(!find<QWidget>(QStringLiteral("format_choice"))->isVisible());
        QCOMPARE(file2()->pattern(), std::string("*.chn"));
        QCOMPARE(entries(file2()), Names{});
        find<QAction>(QStringLiteral("fcv1_100"))->trigger();
        QVERIFY(find<QWidget>(QStringLiteral("format_choice"))->isVisible());
        QCOMPARE(entries(file2()), Names{"a.spe"});
    }

    void conversionWritesTheCheckedFormats() {
        open_window();
        click(format_box("n42"));
        click(format_box("csv"));
        convert_a();
        QVERIFY(messages_.empty());
        QCOMPARE(files_in(destination_->path()), (Names{"a.chn", "a.csv", "a.n42"}));
        QCOMPARE(entries(file2()), (Names{"a.chn", "a.csv", "a.n42"}));
        const brandel::formats::FormatReading n42 =
            brandel::formats::read_output_file(destination_->dir() + "a.n42");
        QVERIFY2(n42.complete, n42.reason.c_str());
        QCOMPARE(n42.values.counts, (std::vector<std::int32_t>{10, 20, 30, 40}));

        click(format_box("chn"));
        click(format_box("n42"));
        std::filesystem::remove_all(destination_->path() / "a.chn");
        convert_a();
        QCOMPARE(files_in(destination_->path()), (Names{"a.csv", "a.n42"}));  // the old a.n42
    }

    void formatsAreRememberedAcrossARestart() {
        open_window();
        click(format_box("spe"));
        click(format_box("chn"));
        click(format_box("csv"));
        reopen_window();
        QCOMPARE(checked_formats(), QStringLiteral("spe,csv"));
        QCOMPARE(file2()->pattern(), std::string("*.spe;*.csv"));
        convert_a();
        QCOMPARE(files_in(destination_->path()), (Names{"a.csv", "a.spe"}));
    }
};

QTEST_MAIN(OutputChoiceTest)
#include "output_choice_test.moc"
