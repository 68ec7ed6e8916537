#include "gui/format_choice.hpp"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>

#include <algorithm>

namespace brandel::gui {

namespace {

QString upper(std::string_view name) {
    return QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())).toUpper();
}

const char* tip_of(std::string_view name) {
    if (name == "chn")
        return "CHN spectrum files, the format of the analysis software";
    if (name == "spe")
        return "IAEA SPE text files";
    if (name == "n42")
        return "ANSI N42.42 XML files";
    return "CSV files of channel, energy and counts, for spreadsheets and scripts";
}

}  // namespace

FormatChoice::FormatChoice(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("format_choice"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* label = new QLabel(QStringLiteral("Write as:"), this);
    layout->addWidget(label);
    const auto all = formats::output_formats();
    for (std::size_t i = 0; i < boxes_.size() && i < all.size(); ++i) {
        auto* box = new QCheckBox(upper(all[i].name), this);
        box->setObjectName(QStringLiteral("format_") + upper(all[i].name).toLower());
        box->setToolTip(
            QStringLiteral("Write each converted file as .%1: %2")
                .arg(upper(all[i].extension).toLower(), QString::fromLatin1(tip_of(all[i].name))));
        layout->addWidget(box);
        boxes_[i] = box;
        connect(box, &QCheckBox::toggled, this, [this, box](bool on) { toggled(box, on); });
    }
    layout->addStretch(1);
    label->setBuddy(boxes_[0]);
    set_chosen({});
}

void FormatChoice::toggled(QCheckBox* box, bool checked) {
    if (!checked &&
        std::none_of(boxes_.begin(), boxes_.end(), [](QCheckBox* b) { return b->isChecked(); })) {
        // Something must be written: the last checked format stays checked.
        const QSignalBlocker block(box);
        box->setChecked(true);
        return;
    }
    emit changed();
}

formats::FormatList FormatChoice::chosen() const {
    formats::FormatList list;
    const auto all = formats::output_formats();
    for (std::size_t i = 0; i < boxes_.size(); ++i)
        if (boxes_[i]->isChecked())
            list.push_back(&all[i]);
    return list;
}

void FormatChoice::set_chosen(const formats::FormatList& chosen) {
    const auto all = formats::output_formats();
    for (std::size_t i = 0; i < boxes_.size(); ++i) {
        const bool on = chosen.empty()
                            ? &all[i] == &formats::chn_format()
                            : std::find(chosen.begin(), chosen.end(), &all[i]) != chosen.end();
        const QSignalBlocker block(boxes_[i]);
        boxes_[i]->setChecked(on);
    }
}

std::vector<std::string> FormatChoice::patterns() const {
    std::vector<std::string> list;
    for (const formats::OutputFormat* f : chosen())
        list.push_back("*." + std::string(f->extension));
    return list;
}

QCheckBox* FormatChoice::box(const formats::OutputFormat& format) const {
    const auto all = formats::output_formats();
    for (std::size_t i = 0; i < boxes_.size(); ++i)
        if (&all[i] == &format)
            return boxes_[i];
    return nullptr;
}

}  // namespace brandel::gui
