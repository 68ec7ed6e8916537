#include "gui/type_box.hpp"

#include <QGridLayout>
#include <QRadioButton>

#include <algorithm>

#include "app/driver.hpp"
#include "app/org_types.hpp"
#include "gui/qt_text.hpp"

namespace brandel::gui {

namespace {

// Where each option sits in the rows and columns of the box.
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

// In CHN_edit the options 1, 5 and 6 choose the actions of the comment listing.
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

QString fileconv_caption(int index) {
    return qt_text(app::find_org_type(index)->caption);
}

}  // namespace

TypeBox::TypeBox(QWidget* parent) : QGroupBox(QStringLiteral("ORG file type"), parent) {
    setObjectName(QStringLiteral("Frame3"));
    auto* grid = new QGridLayout(this);
    for (int i = 0; i < static_cast<int>(options_.size()); ++i) {
        auto* option = new QRadioButton(fileconv_caption(i), this);
        option->setObjectName(QStringLiteral("Option1_%1").arg(i));
        option->setProperty("index", i);
        option->setToolTip(QString::fromLatin1(fileconv_tips[static_cast<std::size_t>(i)]));
        const Cell cell = option_cells[static_cast<std::size_t>(i)];
        grid->addWidget(option, cell.row, cell.column);
        options_[static_cast<std::size_t>(i)] = option;
        connect(option, &QRadioButton::clicked, this, [this, i] { emit clicked(i); });
    }
    for (int c = 0; c < 4; ++c)
        grid->setColumnStretch(c, 1);
    options_[naig]->setEnabled(false);
}

QRadioButton* TypeBox::option(int index) const {
    return options_.at(static_cast<std::size_t>(index));
}

bool TypeBox::chn_edit_type(int index) {
    return std::any_of(chn_edit_options.begin(), chn_edit_options.end(),
                       [index](const ChnEditOption& o) { return o.index == index; });
}

void TypeBox::show_mode(int mode) {
    if (mode == app::mode_fileconv) {
        setTitle(QStringLiteral("ORG file type"));
        for (int i = 0; i <= 7; ++i) {
            option(i)->setText(fileconv_caption(i));
            option(i)->setToolTip(QString::fromLatin1(fileconv_tips[static_cast<std::size_t>(i)]));
        }
        for (QRadioButton* o : options_)
            o->show();
        options_[naig]->setEnabled(false);
    } else if (mode == app::mode_chn_edit) {
        setTitle(QStringLiteral("Proc type"));
        for (const ChnEditOption& o : chn_edit_options) {
            option(o.index)->setText(QString::fromLatin1(o.caption));
            option(o.index)->setToolTip(QString::fromLatin1(o.tip));
        }
        for (QRadioButton* o : options_)
            o->hide();
        for (const ChnEditOption& o : chn_edit_options)
            option(o.index)->show();
    }
}

void TypeBox::check(int index) {
    if (index >= 0) {
        option(index)->setChecked(true);
        return;
    }
    for (QRadioButton* o : options_) {
        o->setAutoExclusive(false);
        o->setChecked(false);
        o->setAutoExclusive(true);
    }
}

}  // namespace brandel::gui
