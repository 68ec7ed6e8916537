#include "gui/grid_editor_window.hpp"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <QtTest>

#include <string>

#include "listing/listing.hpp"
#include "spectrum/state.hpp"
#include "spectrum/text.hpp"

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

}  // namespace

class GridEditorWindowTest : public QObject {
    Q_OBJECT

  private slots:
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
    void cleanup() { delete form; }

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

    Form2* form = nullptr;
    ListingState listing;
    QTableWidget* grid = nullptr;
    QLabel* label = nullptr;
    QLineEdit* text = nullptr;
};

}  // namespace brandel::gui

QTEST_MAIN(brandel::gui::GridEditorWindowTest)
#include "grid_editor_window_test.moc"
