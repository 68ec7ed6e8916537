#include "gui/grid_editor_window.hpp"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <string>
#include <vector>

#include "listing/listing.hpp"
#include "listing/listing_text.hpp"
#include "settings_sandbox.hpp"
#include "spectrum/chn_file.hpp"
#include "spectrum/state.hpp"
#include "spectrum/text.hpp"
#include "temp_dir.hpp"

namespace brandel::gui {

namespace {

using listing::add_listing_row;
using listing::ListingState;

const QColor light_green(0xC0, 0xFF, 0xC0);

// Lists `count` files into the window's grid the way Make does.
void list_files(Form2& form, ListingState& listing, int count) {
    spectrum::State state;
    state.chn_header.live_time = 120;
    state.chn_header.start_date.assign(U"05Jul031");
    state.chn_header.start_time.assign(U"142300");
    for (int i = 0; i < count; ++i) {
        const std::string n = std::to_string(i + 1);
        state.text_buf.assign(spectrum::widen("comment of file " + n));
        add_listing_row(form.grid(), listing, state, i, spectrum::widen("S" + n), i == count - 1);
    }
}

// A CHN file as the converter writes it, with a start time and a comment.
std::string chn_file(const char32_t* time, const char32_t* comment) {
    spectrum::State s;
    s.chn_header.start_sec_tens = static_cast<std::uint8_t>(time[4]);
    s.chn_header.start_sec_units = static_cast<std::uint8_t>(time[5]);
    s.chn_header.live_time = 6000;
    s.chn_header.real_time = 6000;
    s.chn_header.start_date.assign(U"05Jul031");
    s.chn_header.start_time.assign(time);
    s.chn_header.num_channels = 2;
    s.chn_trailer.sample_desc_len = 63;
    s.chn_trailer.sample_desc.assign(comment);
    return spectrum::chn_bytes(s);
}

// Answers the modal dialogs the next action opens, in turn: each function gets the dialog.
void answer_dialogs(std::vector<std::function<void(QWidget&)>> answers) {
    auto* timer = new QTimer;
    auto pending = std::make_shared<std::vector<std::function<void(QWidget&)>>>(std::move(answers));
    auto seen = std::make_shared<QWidget*>(nullptr);
    QObject::connect(timer, &QTimer::timeout, [timer, pending, seen] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || modal == *seen || !modal->isVisible())
            return;
        *seen = modal;
        auto answer = pending->front();
        pending->erase(pending->begin());
        if (pending->empty())
            timer->deleteLater();
        answer(*modal);
    });
    timer->start(10);
}

// Presses a button of a message box, noting its text first.
std::function<void(QWidget&)> press(QMessageBox::StandardButton button, QString* text) {
    return [button, text](QWidget& dialog) {
        auto* box = qobject_cast<QMessageBox*>(&dialog);
        QVERIFY(box != nullptr);
        *text = box->text();
        QTest::mouseClick(box->button(button), Qt::LeftButton);
    };
}

// Counts the modal dialogs that open while it lives, and closes each at once, so that a dialog
// that should not have opened cannot hang the test.
class ModalWatch {
  public:
    ModalWatch() {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (QWidget* modal = QApplication::activeModalWidget(); modal && modal->isVisible()) {
                ++seen_;
                if (auto* dialog = qobject_cast<QDialog*>(modal))
                    dialog->reject();
            }
        });
        timer_.start(10);
    }
    int seen() const { return seen_; }

  private:
    QTimer timer_;
    int seen_ = 0;
};

}  // namespace

class GridEditorWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { settings = std::make_unique<test_support::SettingsSandbox>(); }
    void init() {
        form = new Form2;
        listing = ListingState{};
        list_files(*form, listing, 12);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form));
        grid = form->findChild<QTableWidget*>("MSFlexGrid1");
        label = form->findChild<QLabel*>("Label1");
        text = form->findChild<QLineEdit*>("Text1");
        QVERIFY(grid && label && text && form->findChild<QGroupBox*>("Frame1"));
    }
    void cleanup() {
        delete form;
        folder.reset();
    }

    void opensWithTheListingAndNothingBeingEdited() {
        QCOMPARE(form->windowTitle(), QString("DATA.cmt"));
        QCOMPARE(grid->rowCount(), 12);  // data rows 1..12 below the header
        QCOMPARE(grid->horizontalHeaderItem(7)->text().trimmed(), QString("comment"));
        QCOMPARE(grid->item(2, 0)->text(), QString("3"));
        QVERIFY(grid->item(2, 0)->textAlignment() & Qt::AlignRight);
        QCOMPARE(grid->currentRow(), 0);
        QCOMPARE(grid->currentColumn(), 1);
        QVERIFY(label->text().isEmpty());
        QVERIFY(text->text().isEmpty());
        QVERIFY(!text->isEnabled());
    }

    void clickingAnEditableCellLoadsItIntoTheBox() {
        click(3, 5);
        QCOMPARE(label->text(), QString("No.3:Time"));
        QVERIFY(text->isEnabled());
        QCOMPARE(text->text(), grid->item(2, 5)->text());
        QCOMPARE(background(3, 5), light_green);

        click(12, 7);
        QCOMPARE(label->text(), QString("No.12:Comnt"));
        QCOMPARE(text->text(), QString("comment of file 12").leftJustified(64, ' '));
        QCOMPARE(background(3, 5), base());
        QCOMPARE(background(12, 7), light_green);
    }

    void typingChangesTheCellWithEachKeystroke() {
        click(2, 4);
        QCOMPARE(label->text(), QString("No.2:Date"));
        text->selectAll();
        QTest::keyClicks(text, "0");
        QCOMPARE(cell(2, 4), QString("0"));
        QTest::keyClicks(text, "1");
        QCOMPARE(cell(2, 4), QString("01"));
        QTest::keyClick(text, Qt::Key_Backspace);
        QCOMPARE(cell(2, 4), QString("0"));
        QCOMPARE(cell(2, 5), QString("142300"));
    }

    void clickingAReadOnlyCellEndsTheEdit() {
        click(3, 5);
        QTest::keyClicks(text, "9");
        click(4, 1);
        QVERIFY(label->text().isEmpty());
        QVERIFY(!text->isEnabled());
        QCOMPARE(text->text(), QString("1423009"));  // the box still shows its text
        QCOMPARE(background(3, 5), base());
        QCOMPARE(green_cells(), 0);
        QCOMPARE(cell(3, 5), QString("1423009"));
        QCOMPARE(cell(4, 1), QString("S4      "));
        QCOMPARE(form->last_cell_col(), 1);
        QCOMPARE(form->last_cell_row(), 4);
    }

    void theLastCellIsKeptAcrossListings() {
        click(12, 7);
        list_files(*form, listing, 3);
        QCOMPARE(grid->rowCount(), 3);
        click(2, 7);  // the old last cell is gone with its row
        QCOMPARE(label->text(), QString("No.2:Comnt"));
        QCOMPARE(background(2, 7), light_green);
        click(1, 0);
        QCOMPARE(background(2, 7), base());
    }

    void arrowKeysTabAndHomeEndMoveTheBoxAsAClickDoes() {
        click(1, 3);
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_Right);
        QCOMPARE(label->text(), QString("No.1:Date"));
        QVERIFY(text->isEnabled());
        QCOMPARE(text->text(), QString("05Jul031"));
        QCOMPARE(background(1, 4), light_green);
        QVERIFY(grid->hasFocus());  // the keyboard stays in the grid

        QTest::keyClick(grid, Qt::Key_Down);
        QCOMPARE(label->text(), QString("No.2:Date"));
        QCOMPARE(background(1, 4), base());
        QCOMPARE(background(2, 4), light_green);
        QTest::keyClick(grid, Qt::Key_Tab);
        QCOMPARE(label->text(), QString("No.2:Time"));
        QCOMPARE(text->text(), QString("142300"));

        QTest::keyClick(grid, Qt::Key_Home);
        QVERIFY(label->text().isEmpty());
        QVERIFY(!text->isEnabled());
        QCOMPARE(green_cells(), 0);
        QTest::keyClick(grid, Qt::Key_End);
        QCOMPARE(label->text(), QString("No.2:Comnt"));
        QCOMPARE(form->last_cell_col(), 7);
        QCOMPARE(form->last_cell_row(), 2);
    }

    void f2TypingEnterAndEscapeEditFromTheKeyboard() {
        click(1, 3);
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_Right);
        QTest::keyClick(grid, Qt::Key_F2);
        QVERIFY(text->hasFocus());
        QTest::keyClicks(text, "x");
        QCOMPARE(cell(1, 4), QString("05Jul031x"));
        QTest::keyClick(text, Qt::Key_Escape);  // back to the grid, the cell as it was
        QVERIFY(grid->hasFocus());
        QVERIFY(form->isVisible());
        QCOMPARE(cell(1, 4), QString("05Jul031"));

        // Typing on an editable cell starts its text afresh; Enter goes one row down.
        QTest::keyClick(grid, Qt::Key_Right);
        QTest::keyClicks(grid, "0");
        QVERIFY(text->hasFocus());
        QTest::keyClicks(text, "91502");
        QCOMPARE(cell(1, 5), QString("091502"));
        QTest::keyClick(text, Qt::Key_Return);
        QVERIFY(grid->hasFocus());
        QCOMPARE(grid->currentRow(), 1);
        QCOMPARE(grid->currentColumn(), 5);
        QCOMPARE(label->text(), QString("No.2:Time"));
        QCOMPARE(text->text(), QString("142300"));

        // Typing on a read-only cell edits nothing.
        QTest::keyClick(grid, Qt::Key_Home);
        QTest::keyClicks(grid, "7");
        QVERIFY(grid->hasFocus());
        QCOMPARE(cell(2, 0), QString("2"));
    }

    void aNewListingEmptiesTheBoxAndNamesItsFolder() {
        click(3, 7);
        QTest::keyClicks(text, "edited");
        list_folder({"a.chn"});
        QVERIFY(text->text().isEmpty());
        QVERIFY(label->text().isEmpty());
        QVERIFY(!text->isEnabled());
        QCOMPARE(form->findChild<QLabel*>("FolderLine")->text(),
                 QDir::toNativeSeparators(QString::fromStdString(folder->path().string())));
        QCOMPARE(form->findChild<QLabel*>("StatusLine")->text(), QString("1 CHN file"));
        QVERIFY(!save_button()->isEnabled());
    }

    void badDatesAndTimesShowAWarningAndAreNotSaved() {
        list_folder({"a.chn", "b.chn"});
        click(1, 4);
        text->selectAll();
        QTest::keyClicks(text, "31Feb241");
        QVERIFY(background(1, 4) != light_green && background(1, 4) != base());
        const QColor warning = background(1, 4);
        QVERIFY(grid->item(0, 4)->toolTip().contains("is not a date"));
        click(2, 5);
        text->selectAll();
        QTest::keyClicks(text, "99");
        QCOMPARE(background(2, 5), warning);
        click(2, 1);
        QCOMPARE(background(1, 4), warning);  // it stays marked once left
        QCOMPARE(background(2, 5), warning);
        QVERIFY(grid->item(1, 5)->toolTip().contains("is not a time"));

        // Put right, the cell is plain again.
        click(1, 4);
        text->selectAll();
        QTest::keyClicks(text, "28Feb241");
        QCOMPARE(background(1, 4), light_green);
        QVERIFY(grid->item(0, 4)->toolTip().isEmpty());

        QString shown;
        answer_dialogs({press(QMessageBox::Cancel, &shown)});
        QTest::mouseClick(save_button(), Qt::LeftButton);
        QVERIFY(shown.contains("a.chn\n    Date: 05Jul031 \u2192 28Feb241"));
        QVERIFY(shown.contains("b.chn: start time '99' is not a time"));
        QVERIFY(folder->read("a.chn") == original);  // cancelled
        QVERIFY(folder->read("b.chn") == original);
    }

    void savingWritesTheEditsAndListsTheFilesAgain() {
        list_folder({"a.chn", "b.chn", "c.chn"});
        QVERIFY(!save_button()->isEnabled());
        QVERIFY(!save_action()->isEnabled());
        click(1, 7);
        text->selectAll();
        QTest::keyClicks(text, "Co-60, shelf 2");
        QVERIFY(save_button()->isEnabled());
        QVERIFY(save_action()->isEnabled());
        click(3, 5);
        text->selectAll();
        QTest::keyClicks(text, "235959");

        QString confirmation, report;
        answer_dialogs({press(QMessageBox::Save, &confirmation), press(QMessageBox::Ok, &report)});
        save_action()->trigger();
        QCOMPARE(confirmation, QString("Save these edits into 2 CHN files?\n\n"
                                       "a.chn\n    comment: \"Co-60\" \u2192 \"Co-60, shelf 2\"\n\n"
                                       "c.chn\n    Time: 142337 \u2192 235959"));
        QCOMPARE(report, QString("Saved the edits into 2 CHN files:\na.chn\nc.chn"));
        QCOMPARE(remakes, 1);

        spectrum::State s;
        s.org_path = folder->dir() + "a.chn";
        spectrum::read_chn(s);
        QCOMPARE(spectrum::to_utf8(spectrum::trim_blanks(s.text_buf.view())),
                 std::string("Co-60, shelf 2"));
        s.org_path = folder->dir() + "c.chn";
        spectrum::read_chn(s);
        QCOMPARE(spectrum::to_utf8(s.chn_header.start_time.view()), std::string("235959"));
        QVERIFY(folder->read("b.chn") == original);
        // The grid was made again from the files.
        QCOMPARE(cell(3, 5), QString("235959"));
        QVERIFY(!save_button()->isEnabled());
    }

    void aFileChangedSinceTheListingIsNotSaved() {
        list_folder({"a.chn", "b.chn"});
        click(1, 4);
        text->selectAll();
        QTest::keyClicks(text, "06Jul031");
        click(2, 4);
        text->selectAll();
        QTest::keyClicks(text, "07Jul031");
        const std::string changed = chn_file(U"142337", U"changed elsewhere");
        folder->write("b.chn", changed);

        QString confirmation, report;
        answer_dialogs({press(QMessageBox::Save, &confirmation), press(QMessageBox::Ok, &report)});
        QTest::mouseClick(save_button(), Qt::LeftButton);
        QVERIFY(
            report.startsWith("Saved the edits into 1 of 2 CHN files:\na.chn\n\nNot saved:\n"
                              "b.chn: it changed on disk since the listing"));
        QVERIFY(folder->read("b.chn") == changed);
        QCOMPARE(cell(2, 7).trimmed(), QString("changed elsewhere"));
    }

    void columnsFitWholeNamesWithTheFullNameAsTooltip() {
        list_folder({"soil_sample_0001_dried.chn", "a.chn"});
        const QFontMetrics metrics(grid->font());
        QVERIFY(grid->columnWidth(1) >= metrics.horizontalAdvance("soil_sample_0001_dried"));
        QCOMPARE(grid->item(0, 1)->toolTip(), QString("soil_sample_0001_dried.chn"));
        QVERIFY(grid->columnWidth(7) >= metrics.horizontalAdvance(cell(1, 7)));
    }

    void exportWritesTheListingAsCsv() {
        list_folder({"a.chn", "b.chn"});
        click(2, 7);
        text->selectAll();
        QTest::keyClicks(text, "say \"hi\", then");
        const QString target = QString::fromStdString(folder->dir() + "out.csv");
        answer_dialogs({[&](QWidget& dialog) {
            auto* files = qobject_cast<QFileDialog*>(&dialog);
            QVERIFY(files != nullptr);
            // The dialog reads its folder in the background and may then put its first name
            // back: the name is written into its name field until the dialog holds it.
            auto* name = files->findChild<QLineEdit*>("fileNameEdit");
            QVERIFY(name != nullptr);
            int steady = 0;
            for (int i = 0; i < 150 && steady < 5; ++i) {
                steady = files->selectedFiles().value(0) == target ? steady + 1 : 0;
                if (steady == 0)
                    name->setText(target);
                QTest::qWait(20);
            }
            if (steady < 5) {
                files->reject();  // fails below, without hanging
                return;
            }
            QMetaObject::invokeMethod(files, "accept");
        }});
        QTest::mouseClick(form->findChild<QPushButton*>("Export"), Qt::LeftButton);
        const std::string csv = folder->read("out.csv");
        QCOMPARE(csv, listing::listing_text(form->grid(), listing::TableText::csv));
        QVERIFY(csv.find("\"say \"\"hi\"\", then\"\r\n") != std::string::npos);
        QVERIFY(form->findChild<QLabel*>("StatusLine")->text().startsWith("Exported 2 rows to "));
    }

    void opensCentredShowingAllColumnsAndKeepsItsSize() {
        settings->clear();
        QWidget owner;
        owner.setGeometry(40, 40, 700, 700);
        owner.show();
        auto* first = new Form2(&owner);
        ListingState state;
        list_files(*first, state, 3);
        first->listing_made("/data", "3 CHN files");
        first->show();
        QVERIFY(QTest::qWaitForWindowExposed(first));
        auto* table = first->findChild<QTableWidget*>("MSFlexGrid1");
        int columns = 0;
        for (int c = 0; c < 8; ++c)
            columns += table->columnWidth(c);
        // All of them, unless the screen is narrower: then as wide as the screen allows.
        const int screen_width = first->screen()->availableGeometry().width();
        QVERIFY(table->viewport()->width() >= columns || first->width() >= screen_width * 9 / 10);
        QVERIFY(first->width() <= screen_width);
        QVERIFY(qAbs(first->frameGeometry().center().x() - owner.frameGeometry().center().x()) <=
                2);
        QVERIFY(qAbs(first->frameGeometry().center().y() - owner.frameGeometry().center().y()) <=
                2);
        first->resize(700, 450);
        first->hide();
        delete first;

        Form2 second(&owner);
        second.show();
        QVERIFY(QTest::qWaitForWindowExposed(&second));
        QCOMPARE(second.size(), QSize(700, 450));
    }

    void escapeNeverClosesWhileACellIsEditedOrEditsArePending() {
        list_folder({"a.chn", "b.chn"});
        const ModalWatch watch;
        // Escape in the box undoes the cell; once more, in the grid, it leaves the window open.
        click(1, 7);
        QTest::keyClicks(text, "x");
        QTest::keyClick(text, Qt::Key_Escape);
        QVERIFY(grid->hasFocus());
        QTest::keyClick(grid, Qt::Key_Escape);
        QVERIFY(form->isVisible());

        // An edit is pending, even on a read-only cell.
        click(2, 4);
        text->selectAll();
        QTest::keyClicks(text, "06Jul031");
        QTest::keyClick(text, Qt::Key_Return);
        QTest::keyClick(grid, Qt::Key_Home);
        QVERIFY(!text->isEnabled());
        QTest::keyClick(grid, Qt::Key_Escape);
        QTest::keyClick(grid, Qt::Key_Escape);
        QTest::qWait(30);
        QVERIFY(form->isVisible());
        QCOMPARE(watch.seen(), 0);
        QCOMPARE(cell(2, 4), QString("06Jul031"));

        // With nothing edited and no cell in the box, Escape closes the window as before.
        list_folder({"a.chn"});
        click(1, 1);
        QTest::keyClick(grid, Qt::Key_Escape);
        QVERIFY(!form->isVisible());
        QCOMPARE(watch.seen(), 0);
    }

    void closingWithUnsavedEditsAsksSaveDiscardOrCancel() {
        list_folder({"a.chn", "b.chn"});
        click(2, 7);
        text->selectAll();
        QTest::keyClicks(text, "Cs-137");

        // The title bar's close button: Cancel is the default and keeps window and edits.
        QString asked, details;
        QMessageBox::StandardButtons buttons;
        QString default_button;
        answer_dialogs({[&](QWidget& dialog) {
            auto* box = qobject_cast<QMessageBox*>(&dialog);
            QVERIFY(box != nullptr);
            asked = box->text();
            details = box->informativeText();
            buttons = box->standardButtons();
            default_button = box->defaultButton() ? box->defaultButton()->text() : QString();
            QTest::keyClick(box, Qt::Key_Return);
        }});
        QVERIFY(!form->close());
        QCOMPARE(asked, QString("Save edits to the CHN files?"));
        QCOMPARE(details, QString("b.chn\n    comment: \"Co-60\" \u2192 \"Cs-137\""));
        QCOMPARE(buttons, QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
        QCOMPARE(default_button, QString("Cancel"));
        QVERIFY(form->isVisible());
        QCOMPARE(cell(2, 7).trimmed(), QString("Cs-137"));

        // Discard closes without writing.
        answer_dialogs({press(QMessageBox::Discard, &asked)});
        QVERIFY(form->close());
        QVERIFY(!form->isVisible());
        QVERIFY(folder->read("b.chn") == original);
    }

    void closingCanSaveTheEditsFirst() {
        list_folder({"a.chn", "b.chn"});
        click(1, 7);
        text->selectAll();
        QTest::keyClicks(text, "Cs-137");
        click(2, 4);
        text->selectAll();
        QTest::keyClicks(text, "31Feb241");  // no date: cannot be saved

        // File > Close, Save: the one savable edit is written, then the window closes.
        QString asked, report;
        answer_dialogs({press(QMessageBox::Save, &asked), press(QMessageBox::Ok, &report)});
        QAction* close_action = nullptr;
        for (QAction* a : form->findChildren<QAction*>())
            if (a->text() == "Close")
                close_action = a;
        QVERIFY(close_action != nullptr);
        close_action->trigger();
        QCOMPARE(asked, QString("Save edits to the CHN files?"));
        QVERIFY(report.startsWith("Saved the edits into 1 of 2 CHN files:\na.chn\n"));
        QVERIFY(!form->isVisible());
        spectrum::State s;
        s.org_path = folder->dir() + "a.chn";
        spectrum::read_chn(s);
        QCOMPARE(spectrum::to_utf8(spectrum::trim_blanks(s.text_buf.view())),
                 std::string("Cs-137"));
        QVERIFY(folder->read("b.chn") == original);

        // When none of the edits can be saved, Save says why and the window stays open.
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form));
        click(1, 5);
        text->selectAll();
        QTest::keyClicks(text, "99");
        QString why;
        answer_dialogs({press(QMessageBox::Save, &asked), press(QMessageBox::Ok, &why)});
        QVERIFY(!form->close());
        QVERIFY(why.startsWith("None of the edits can be saved:\na.chn: start time '99'"));
        QVERIFY(form->isVisible());
    }

    void aNewListingStartsFromCleanCells() {
        list_folder({"a.chn", "b.chn", "c.chn"});
        click(1, 4);
        text->selectAll();
        QTest::keyClicks(text, "31Feb241");  // marked as no date, with the reason
        click(3, 7);                         // green
        QString asked;
        answer_dialogs({press(QMessageBox::Discard, &asked)});
        QVERIFY(form->close());

        // Make on another folder: same rows, other files, nothing of the old marks.
        list_folder({"d.chn", "e.chn"});
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form));
        for (int r = 1; r <= 2; ++r)
            for (int c = 0; c < 8; ++c) {
                const QTableWidgetItem* item = grid->item(r - 1, c);
                QVERIFY(item != nullptr);
                const QBrush brush = item->background();
                QVERIFY2(brush.style() == Qt::NoBrush || brush.color() == base(),
                         qPrintable(QString("row %1, column %2").arg(r).arg(c)));
                if (c != 1)
                    QVERIFY(item->toolTip().isEmpty());
            }
        QCOMPARE(grid->item(0, 1)->toolTip(), QString("d.chn"));
        QCOMPARE(green_cells(), 0);
    }

    void opensAtItsFirstColumnWithoutAScrollBarForAFewPixels() {
        settings->clear();
        Form2 window;
        folder = std::make_unique<test_support::TempDir>();
        const std::string name(52, 'n');
        folder->write(name + ".chn", chn_file(U"142337", U"Co-60"));
        ListingState state;
        window.set_listing(&state, {});
        spectrum::State s;
        s.org_path = folder->dir() + name + ".chn";
        spectrum::read_chn(s);
        add_listing_row(window.grid(), state, s, 0, spectrum::widen(name), true);
        window.listing_made(QString::fromStdString(folder->path().string()), "1 CHN file");
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto* table = window.findChild<QTableWidget*>("MSFlexGrid1");
        QScrollBar* bar = table->horizontalScrollBar();
        // Too narrow for all columns: the view starts at "No", the current cell beside it.
        QVERIFY(bar->maximum() > 0);
        QCOMPARE(bar->value(), 0);
        QCOMPARE(table->visualRect(table->model()->index(0, 0)).left(), 0);
        QCOMPARE(table->currentColumn(), 1);

        auto columns = [table] {
            int sum = 0;
            for (int c = 0; c < 8; ++c)
                sum += table->columnWidth(c);
            return sum;
        };
        const QFontMetrics metrics(table->font());
        const int comment_text = metrics.horizontalAdvance(table->item(0, 7)->text());
        // Wide enough: every column at its fitted width, no scroll bar.
        window.resize(window.width() + columns() - table->viewport()->width() + 50,
                      window.height());
        QTRY_COMPARE(bar->maximum(), 0);
        const int all = columns();
        QVERIFY(table->viewport()->width() >= all);
        // A few pixels short: the comment column gives them up from its header's blanks.
        window.resize(window.width() - (table->viewport()->width() - all) - 6, window.height());
        QTRY_COMPARE(table->viewport()->width(), all - 6);
        QTRY_COMPARE(bar->maximum(), 0);
        QVERIFY(table->columnWidth(7) >= comment_text);
        // Far too narrow: the texts are not cut, the view scrolls.
        window.resize(window.width() - 200, window.height());
        QTRY_VERIFY(bar->maximum() > 0);
        QVERIFY(table->columnWidth(7) >= comment_text);
        // Wide again: the column is back at its fitted width.
        window.resize(window.width() + 400, window.height());
        QTRY_COMPARE(columns(), all);
    }

    void aClickIntoACommentSelectsItsTextWithoutThePadding() {
        list_folder({"a.chn", "b.chn"});
        click(1, 7);
        QVERIFY(text->hasFocus());
        QCOMPARE(text->selectedText(), QString("Co-60"));
        QTest::keyClicks(text, "Cs-137");
        QCOMPARE(cell(1, 7).trimmed(), QString("Cs-137"));
        QCOMPARE(background(1, 7), light_green);  // it fits its file
        QVERIFY(grid->item(0, 7)->toolTip().isEmpty());

        // The keyboard gives the same cell.
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_Down);
        QTest::keyClicks(grid, "C");
        QVERIFY(text->hasFocus());
        QTest::keyClicks(text, "s-137");
        QCOMPARE(cell(2, 7), QString("Cs-137"));

        // An empty comment: nothing to select, the cursor at its start.
        click(2, 7);
        text->selectAll();
        QTest::keyClicks(text, "   ");
        click(2, 1);
        click(2, 7);
        QVERIFY(!text->hasSelectedText());
        QCOMPARE(text->cursorPosition(), 0);
    }

    void aRefusedSaveSaysTheListingWasMadeAgain() {
        list_folder({"a.chn", "b.chn"});
        click(1, 4);
        text->selectAll();
        QTest::keyClicks(text, "06Jul031");
        folder->write("a.chn", chn_file(U"142337", U"changed elsewhere"));
        QString confirmation, report;
        answer_dialogs({press(QMessageBox::Save, &confirmation), press(QMessageBox::Ok, &report)});
        QTest::mouseClick(save_button(), Qt::LeftButton);
        QCOMPARE(remakes, 1);
        QCOMPARE(report, QString("Saved the edits into 0 of 1 CHN files.\n\nNot saved:\n"
                                 "a.chn: it changed on disk since the listing was made\n\n"
                                 "The listing was made again from the files: it shows what they "
                                 "hold now, without the edits that were not saved."));
        QCOMPARE(cell(1, 7).trimmed(), QString("changed elsewhere"));
        QCOMPARE(cell(1, 4), QString("05Jul031"));
    }

  private:
    void click(int row, int col) {
        const QModelIndex index = grid->model()->index(row - 1, col);
        grid->scrollTo(index);
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(index).center());
    }
    QString cell(int row, int col) const { return grid->item(row - 1, col)->text(); }
    QColor background(int row, int col) const {
        return grid->item(row - 1, col)->background().color();
    }
    int green_cells() const {
        int n = 0;
        for (int r = 0; r < grid->rowCount(); ++r)
            for (int c = 0; c < grid->columnCount(); ++c)
                if (grid->item(r, c) && grid->item(r, c)->background().color() == light_green)
                    ++n;
        return n;
    }
    QColor base() const { return grid->palette().color(QPalette::Base); }
    QPushButton* save_button() const { return form->findChild<QPushButton*>("SaveEdits"); }
    QAction* save_action() const { return form->findChild<QAction*>("SaveEditsAction"); }

    // Writes the named CHN files into a fresh folder and lists them in the window as Make does;
    // making the listing again reads the same names.
    void list_folder(const std::vector<std::string>& names) {
        folder = std::make_unique<test_support::TempDir>();
        original = chn_file(U"142337", U"Co-60");
        for (const std::string& name : names)
            folder->write(name, original);
        remakes = 0;
        auto make = [this, names] {
            spectrum::State state;
            for (std::size_t i = 0; i < names.size(); ++i) {
                state.org_path = folder->dir() + names[i];
                spectrum::read_chn(state);
                add_listing_row(form->grid(), listing, state, static_cast<int>(i),
                                spectrum::widen(names[i].substr(0, names[i].find('.'))),
                                i + 1 == names.size());
            }
            form->listing_made(
                QString::fromStdString(folder->path().string()),
                QString("%1 CHN file%2").arg(names.size()).arg(names.size() == 1 ? "" : "s"));
        };
        form->set_listing(&listing, [this, make] {
            ++remakes;
            make();
        });
        make();
    }

    std::unique_ptr<test_support::SettingsSandbox> settings;
    std::unique_ptr<test_support::TempDir> folder;
    std::string original;
    int remakes = 0;
    Form2* form = nullptr;
    ListingState listing;
    QTableWidget* grid = nullptr;
    QLabel* label = nullptr;
    QLineEdit* text = nullptr;
};

}  // namespace brandel::gui

QTEST_MAIN(brandel::gui::GridEditorWindowTest)
#include "grid_editor_window_test.moc"
