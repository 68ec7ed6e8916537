// The main window's choices of what a conversion writes: the formats under the CHN file list,
// and what the preview shows of the files written in them.

#include "gui/main_window.hpp"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <algorithm>
#include <filesystem>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "formats/output_formats.hpp"
#include "gui/dir_list.hpp"
#include "gui/file_list.hpp"
#include "gui/preview_pane.hpp"
#include "gui/preview_reading.hpp"
#include "gui/spectrum_plot.hpp"
#include "temp_dir.hpp"
#include "window_test_files.hpp"

using brandel::gui::DirList;
using brandel::gui::FileList;
using brandel::gui::MainWindow;
using brandel::gui_test::entries;
using brandel::gui_test::files_in;
using brandel::gui_test::good_report;
using brandel::gui_test::Names;
using brandel::test_support::TempDir;

namespace {}  // namespace

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
    // Puts the cursor of the CHN file list on `name` and waits for the preview's reading.
    void preview(const std::string& name) const {
        const QList<QListWidgetItem*> found =
            file2()->findItems(QString::fromStdString(name), Qt::MatchExactly);
        QCOMPARE(found.size(), 1);
        file2()->setCurrentItem(nullptr);
        file2()->setCurrentItem(found.front(), QItemSelectionModel::NoUpdate);
        auto* pane = find<brandel::gui::PreviewPane>(QStringLiteral("preview"));
        QTRY_VERIFY(!pane->reading());
    }
    QString shown(const char* field) const {
        return find<QLabel>(QStringLiteral("preview_%1").arg(QLatin1String(field)))->text();
    }
    // The preview's fields of what the file holds, one line each.
    QStringList fields() const {
        QStringList texts;
        for (const char* field : {"sample", "start", "live", "real", "channels", "calibration"})
            texts << shown(field);
        return texts;
    }

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

    void previewShowsEachWrittenFormatAsTheChnFile() {
        open_window();
        for (const char* name : {"spe", "n42", "csv"})
            click(format_box(name));
        convert_a();
        QCOMPARE(entries(file2()), (Names{"a.chn", "a.csv", "a.n42", "a.spe"}));
        auto* plot = find<brandel::gui::SpectrumPlot>(QStringLiteral("preview_plot"));

        preview("a.chn");
        const QStringList chn = fields();
        QCOMPARE(chn.front().trimmed(), QStringLiteral("test"));
        QCOMPARE(chn.mid(1), (QStringList{"15 JUL 2003 09:41:00", "100.00 s", "101.00 s", "4",
                                          "none (channel numbers)"}));
        for (const char* name : {"a.spe", "a.n42"}) {
            preview(name);
            QCOMPARE(shown("fits"), QString::fromLatin1(name + 2).toUpper() + " file");
            QCOMPARE(fields(), chn);
            QCOMPARE(plot->channel_count(), 4);
        }
        // A CSV file holds the counts and energies alone.
        preview("a.csv");
        QCOMPARE(shown("fits"), QStringLiteral("CSV file"));
        QCOMPARE(fields(), (QStringList{"–", "–", "–", "–", "4", "none (channel numbers)"}));
        QCOMPARE(plot->channel_count(), 4);
    }

    void previewOfSpeFilesOfOtherSoftwareAndBrokenOnes() {
        open_window();
        click(format_box("spe"));
        destination_->write("ge.spe",
                            "$SPEC_ID:\r\nSoil 7\r\n$DATE_MEA:\r\n12/31/2019 23:59:58\r\n"
                            "$MEAS_TIM:\r\n3600 3612.5\r\n$DATA:\r\n0 2\r\n5\r\n7\r\n9\r\n"
                            "$MCA_CAL:\r\n3\r\n1.5 0.25 0.001 keV\r\n");
        destination_->write("bad.spe",
                            "$SPEC_ID:\r\nx\r\n$DATE_MEA:\r\n12/31/2019 23:59:58\r\n"
                            "$MEAS_TIM:\r\n3600 3612.5\r\n$DATA:\r\n0 2\r\n5\r\nseven\r\n9\r\n");
        file2()->refresh();
        preview("ge.spe");
        QCOMPARE(fields(), (QStringList{"Soil 7", "31 DEC 2019 23:59:58", "3600.00 s", "3612.50 s",
                                        "3", "E = 1.5 + 0.25·ch + 0.001·ch²"}));
        QVERIFY(find<QCheckBox>(QStringLiteral("preview_energy"))->isEnabled());

        preview("bad.spe");
        QVERIFY2(shown("fits").startsWith(QStringLiteral("SPE file that cannot be read: ")),
                 qPrintable(shown("fits")));
        QVERIFY2(shown("fits").contains(QStringLiteral("seven")), qPrintable(shown("fits")));
        QCOMPARE(shown("channels"), QString());
        QCOMPARE(find<brandel::gui::SpectrumPlot>(QStringLiteral("preview_plot"))->channel_count(),
                 0);
    }

    void verifyAndManifestAreRememberedAndReachTheBatch() {
        open_window();
        QStringList asked;  // what the chooser was given each time it was asked
        QString answer;
        window_->set_manifest_chooser([&](const QString& current) {
            asked << current;
            return answer;
        });
        auto* verify = find<QCheckBox>(QStringLiteral("verify"));
        auto* manifest = find<QCheckBox>(QStringLiteral("write_manifest"));
        QVERIFY(verify->isVisible() && manifest->isVisible());
        QVERIFY(!verify->isChecked() && !manifest->isChecked());
        QVERIFY(!window_->verify_outputs());
        QCOMPARE(window_->manifest_path(), std::string());

        // Choosing no file on the first check writes no manifest.
        click(manifest);
        QCOMPARE(asked, QStringList{QString()});
        QVERIFY(!manifest->isChecked());
        QCOMPARE(window_->manifest_path(), std::string());

        const QString first = QString::fromStdString(destination_->dir() + "lab.csv");
        answer = first;
        click(manifest);
        click(verify);
        QVERIFY(manifest->isChecked() && verify->isChecked());
        QVERIFY(window_->verify_outputs());
        QCOMPARE(window_->manifest_path(), first.toStdString());
        // Unchecked and checked again, the same file: no question.
        click(manifest);
        QCOMPARE(window_->manifest_path(), std::string());
        click(manifest);
        QCOMPARE(asked.size(), 2);
        QCOMPARE(window_->manifest_path(), first.toStdString());

        reopen_window();
        verify = find<QCheckBox>(QStringLiteral("verify"));
        manifest = find<QCheckBox>(QStringLiteral("write_manifest"));
        QVERIFY(verify->isChecked() && manifest->isChecked());
        QVERIFY(window_->verify_outputs());
        QCOMPARE(window_->manifest_path(), first.toStdString());

        // CHN_edit converts nothing: the row goes with the formats.
        find<QAction>(QStringLiteral("fcv1_200"))->trigger();
        QVERIFY(!verify->isVisible() && !manifest->isVisible());
    }

    void eachBatchAppendsToTheManifestAndAnotherCanBeChosen() {
        open_window();
        source_->write("b.txt", good_report);
        QString answer = QString::fromStdString(source_->dir() + "first.csv");
        window_->set_manifest_chooser([&](const QString&) { return answer; });
        click(find<QCheckBox>(QStringLiteral("verify")));
        click(find<QCheckBox>(QStringLiteral("write_manifest")));
        convert_a();
        convert_a();
        QVERIFY(messages_.empty());
        const std::string first = source_->read("first.csv");
        QVERIFY2(first.starts_with("\xEF\xBB\xBFtime,source,"), first.c_str());
        QCOMPARE(std::count(first.begin(), first.end(), '\n'), 3);  // the header and two lines
        QVERIFY2(first.find("a.txt") != std::string::npos, first.c_str());
        QVERIFY2(first.find("a.chn") != std::string::npos, first.c_str());

        // "..." chooses another file, which the next batch appends to.
        answer = QString::fromStdString(source_->dir() + "second.csv");
        click(find<QWidget>(QStringLiteral("choose_manifest")));
        QVERIFY(find<QCheckBox>(QStringLiteral("write_manifest"))->isChecked());
        convert_a();
        QCOMPARE(source_->read("first.csv"), first);
        const std::string second = source_->read("second.csv");
        QCOMPARE(std::count(second.begin(), second.end(), '\n'), 2);
    }

    void aManifestThatCannotBeWrittenIsTold() {
        open_window();
        const std::string gone = destination_->dir() + "no such folder/manifest.csv";
        window_->set_manifest_chooser([&](const QString&) { return QString::fromStdString(gone); });
        click(find<QCheckBox>(QStringLiteral("write_manifest")));
        convert_a();
        QCOMPARE(messages_.size(), std::size_t{1});
        QVERIFY2(messages_[0].find("manifest") != std::string::npos &&
                     messages_[0].find("no such folder") != std::string::npos,
                 messages_[0].c_str());
        QVERIFY2(
            window_->status_text().endsWith(QStringLiteral("the manifest could not be written")),
            qPrintable(window_->status_text()));
        // No file converts without its line in the manifest.
        QCOMPARE(files_in(destination_->path()), Names{});
    }

    void aManifestBesideTheFilesIsNoSpectrumInThePreview() {
        open_window();
        window_->set_manifest_chooser(
            [&](const QString&) { return QString::fromStdString(destination_->dir() + "m.csv"); });
        click(format_box("csv"));
        click(find<QCheckBox>(QStringLiteral("write_manifest")));
        convert_a();
        QCOMPARE(entries(file2()), (Names{"a.chn", "a.csv", "m.csv"}));
        preview("m.csv");
        QCOMPARE(shown("fits"), QStringLiteral("CSV file that cannot be read: it is a manifest of "
                                               "conversions, not a spectrum"));
        preview("a.csv");
        QCOMPARE(shown("channels"), QStringLiteral("4"));
    }

    void energyTermsComeBackFromTheEnergiesOfACsvFile() {
        using brandel::gui::terms_of_energies;
        brandel::formats::SpectrumValues v;
        terms_of_energies({1.0, 3.5, 7.0, 11.5}, v);  // 1 + 2 ch + 0.5 ch²
        QCOMPARE(v.energy_zero, 1.0);
        QCOMPARE(v.energy_slope, 2.0);
        QCOMPARE(v.energy_quad, 0.5);
        terms_of_energies({10.0, 12.0}, v);
        QCOMPARE(v.energy_zero, 10.0);
        QCOMPARE(v.energy_slope, 2.0);
        QCOMPARE(v.energy_quad, 0.0);
        const double none = std::numeric_limits<double>::quiet_NaN();
        for (const std::vector<double>& energies :
             {std::vector<double>{none, none, none}, std::vector<double>{5.0}, {}}) {
            terms_of_energies(energies, v);
            QCOMPARE(v.energy_zero, 0.0);
            QCOMPARE(v.energy_slope, 1.0);
            QCOMPARE(v.energy_quad, 0.0);
        }
    }
};

QTEST_MAIN(OutputChoiceTest)
#include "output_choice_test.moc"
