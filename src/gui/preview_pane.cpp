#include "gui/preview_pane.hpp"

#include <QCheckBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>

#include "app/org_types.hpp"
#include "gui/fitted_label.hpp"
#include "gui/preview_reading.hpp"
#include "gui/spectrum_plot.hpp"
#include "spectrum/months.hpp"
#include "spectrum/text.hpp"

namespace brandel::gui {

namespace {

QString caption_of(int type) {
    const app::OrgType* t = app::find_org_type(type);
    return t ? QString::fromUtf8(t->caption.data(), static_cast<qsizetype>(t->caption.size()))
             : QString();
}

QString captions(const std::vector<int>& types) {
    QStringList names;
    for (int type : types)
        names << caption_of(type);
    return names.join(QStringLiteral(", "));
}

QString text_of(std::u32string_view text) {
    // Fields are padded with blanks or NULs; neither is shown.
    std::u32string s(text);
    while (!s.empty() && (s.back() == U' ' || s.back() == U'\0'))
        s.pop_back();
    return QString::fromStdString(spectrum::to_utf8(s));
}

// "05JUL031" and "142300" read as "05 JUL 2003 14:23:00"; the last character of the date is
// the century mark, "1" for 2000-2099.
QString start_of(const spectrum::ChnHeader& header) {
    const QString date = QString::fromStdString(spectrum::to_utf8(header.start_date.view()));
    const QString time = QString::fromStdString(spectrum::to_utf8(header.start_time.view()));
    if (date.size() < 8 || time.size() < 6 || date.at(0) == QChar(0))
        return QStringLiteral("–");
    const int century = date.at(7) == QLatin1Char('1') ? 20 : 19;
    return QStringLiteral("%1 %2 %3%4 %5:%6:%7")
        .arg(date.mid(0, 2), date.mid(2, 3).toUpper())
        .arg(century)
        .arg(date.mid(5, 2), time.mid(0, 2), time.mid(2, 2), time.mid(4, 2));
}

// The start as start_of writes it: "15 JUL 2003 09:41:20".
QString start_text(const formats::StartDateTime& s) {
    const std::string_view month = spectrum::num2month(static_cast<std::int16_t>(s.month));
    return QStringLiteral("%1 %2 %3 %4:%5:%6")
        .arg(s.day, 2, 10, QLatin1Char('0'))
        .arg(QString::fromLatin1(month.data(), static_cast<qsizetype>(month.size())).toUpper())
        .arg(s.year)
        .arg(s.hour, 2, 10, QLatin1Char('0'))
        .arg(s.minute, 2, 10, QLatin1Char('0'))
        .arg(s.second, 2, 10, QLatin1Char('0'));
}

QString calibration_text(const Calibration& calibration) {
    return calibration.present() ? QStringLiteral("E = %1 + %2·ch + %3·ch²")
                                       .arg(calibration.zero, 0, 'g', 6)
                                       .arg(calibration.slope, 0, 'g', 6)
                                       .arg(calibration.quad, 0, 'g', 6)
                                 : QStringLiteral("none (channel numbers)");
}

// A value of the preview: it never widens the pane, which shrinks with the window.
QLabel* value_label(QWidget* parent, const char* name,
                    FittedLabel::Fit fit = FittedLabel::Fit::elide_right) {
    auto* label = new FittedLabel(fit, parent);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

}  // namespace

PreviewPane::PreviewPane(QWidget* parent) : QWidget(parent) {
    name_ = value_label(this, "preview_name", FittedLabel::Fit::elide_middle);
    QFont bold = name_->font();
    bold.setBold(true);
    name_->setFont(bold);
    fits_ = value_label(this, "preview_fits", FittedLabel::Fit::wrap);
    warning_ = value_label(this, "preview_warning", FittedLabel::Fit::wrap);
    warning_->setFont(bold);
    QPalette red = warning_->palette();
    red.setColor(QPalette::WindowText, QColor(0xC0, 0x00, 0x00));
    warning_->setPalette(red);
    warning_->hide();

    sample_ = value_label(this, "preview_sample", FittedLabel::Fit::wrap);
    start_ = value_label(this, "preview_start");
    live_ = value_label(this, "preview_live");
    real_ = value_label(this, "preview_real");
    channels_ = value_label(this, "preview_channels");
    calibration_ = value_label(this, "preview_calibration", FittedLabel::Fit::wrap);
    auto* fields = new QFormLayout;
    fields->addRow(QStringLiteral("Sample:"), sample_);
    fields->addRow(QStringLiteral("Start:"), start_);
    fields->addRow(QStringLiteral("Live time:"), live_);
    fields->addRow(QStringLiteral("Real time:"), real_);
    fields->addRow(QStringLiteral("Channels:"), channels_);
    fields->addRow(QStringLiteral("Calibration:"), calibration_);
    // A line of its own under the fields, shown when there is something to say.
    notes_ = value_label(this, "preview_notes", FittedLabel::Fit::wrap);
    notes_->hide();

    plot_ = new SpectrumPlot(this);
    plot_->setObjectName(QStringLiteral("preview_plot"));
    log_ = new QCheckBox(QStringLiteral("Logarithmic counts"), this);
    log_->setObjectName(QStringLiteral("preview_log"));
    log_->setChecked(plot_->logarithmic());
    energy_ = new QCheckBox(QStringLiteral("Energy axis"), this);
    energy_->setObjectName(QStringLiteral("preview_energy"));
    energy_->setChecked(true);
    energy_->setToolTip(
        QStringLiteral("Energy along the bottom axis when the spectrum has a "
                       "calibration"));
    connect(log_, &QCheckBox::toggled, plot_, &SpectrumPlot::set_logarithmic);
    connect(energy_, &QCheckBox::toggled, plot_, &SpectrumPlot::set_energy_axis);
    cursor_ = value_label(this, "preview_cursor");
    connect(plot_, &SpectrumPlot::hovered, cursor_, &QLabel::setText);
    auto* switches = new QHBoxLayout;
    switches->addWidget(log_);
    switches->addWidget(energy_);
    switches->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(name_);
    layout->addWidget(fits_);
    layout->addWidget(warning_);
    layout->addLayout(fields);
    layout->addWidget(notes_);
    layout->addWidget(plot_, 1);
    layout->addWidget(cursor_);
    layout->addLayout(switches);
    clear_fields();

    worker_ = new QObject;
    worker_->moveToThread(&thread_);
    thread_.setObjectName(QStringLiteral("preview reader"));
    thread_.start();
}

QString PreviewPane::warning() const {
    return warning_->isHidden() ? QString() : warning_->text();
}

void PreviewPane::clear() {
    ++generation_;  // a reading under way is no longer wanted
    pending_ = false;
    clear_fields();
}

void PreviewPane::clear_fields() {
    name_->setText(QStringLiteral("No file under the cursor"));
    fits_->clear();
    warning_->clear();
    warning_->hide();
    for (QLabel* label : {sample_, start_, live_, real_, channels_, calibration_, notes_, cursor_})
        label->clear();
    notes_->hide();
    plot_->clear();
    energy_->setEnabled(false);
}

PreviewPane::~PreviewPane() {
    // A reading under way ends first; what it would show is dropped with the pane.
    ++generation_;
    thread_.quit();
    thread_.wait();
    delete worker_;
}

void PreviewPane::show_source(const std::string& path, int chosen_type) {
    request(path, chosen_type, false);
}

void PreviewPane::show_output(const std::string& path) {
    request(path, -1, true);
}

void PreviewPane::request(const std::string& path, int chosen_type, bool chn) {
    const int generation = ++generation_;
    pending_ = true;
    QMetaObject::invokeMethod(
        worker_,
        [this, path, chosen_type, chn, generation] {
            if (generation != generation_)
                return;  // a newer request came while this one waited
            auto reading = std::make_shared<PreviewReading>(
                chn ? read_output_preview(path) : read_source_preview(path, chosen_type));
            QMetaObject::invokeMethod(
                this,
                [this, reading, chosen_type, chn, generation] {
                    if (generation != generation_)
                        return;
                    pending_ = false;
                    show_reading(*reading, chosen_type, chn);
                },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

void PreviewPane::show_reading(const PreviewReading& reading, int chosen_type, bool chn) {
    clear_fields();
    name_->setText(QFileInfo(QString::fromStdString(reading.path)).fileName());
    if (reading.too_large) {
        fits_->setText(QStringLiteral("%1 MB: too large to preview; it is read only when "
                                      "converted.")
                           .arg(static_cast<double>(reading.size) / (1 << 20), 0, 'f', 1));
        return;
    }
    if (!reading.notes.empty()) {
        notes_->setText(QString::fromStdString(reading.notes));
        notes_->show();
    }
    if (chn) {
        const QString kind = QString::fromStdString(reading.kind);
        fits_->setText(reading.complete ? QStringLiteral("%1 file").arg(kind)
                                        : QStringLiteral("%1 file that cannot be read: %2")
                                              .arg(kind, QString::fromStdString(reading.reason)));
    } else if (reading.fits.empty()) {
        fits_->setText(QStringLiteral("Fits no layout."));
    } else {
        fits_->setText(QStringLiteral("Fits: %1").arg(captions(reading.fits)));
    }

    if (!chn) {
        QString warning;
        const bool fits_chosen =
            std::find(reading.fits.begin(), reading.fits.end(), chosen_type) != reading.fits.end();
        if (chosen_type >= 0 && !fits_chosen) {
            warning = QStringLiteral("Does not read as %1: %2")
                          .arg(caption_of(chosen_type), QString::fromStdString(reading.reason));
            if (!reading.fits.empty())
                warning += QStringLiteral("\nIt reads as %1.").arg(captions(reading.fits));
        } else if (chosen_type < 0 && reading.fits.size() > 1) {
            warning = QStringLiteral("Choose its type: it fits %1.").arg(captions(reading.fits));
        } else if (!reading.complete && !reading.reason.empty() && reading.fits.empty()) {
            warning =
                QStringLiteral("Does not read: %1").arg(QString::fromStdString(reading.reason));
        }
        if (!warning.isEmpty()) {
            warning_->setText(warning);
            warning_->show();
        }
    }
    if (reading.values && reading.complete) {
        show_values(reading);
        return;
    }
    if (!reading.state || !reading.complete)
        return;

    const spectrum::State& s = *reading.state;
    sample_->setText(text_of(s.chn_trailer.sample_desc.view().substr(
        0, std::min<std::size_t>(s.chn_trailer.sample_desc_len, 63))));
    if (sample_->text().isEmpty())
        sample_->setText(text_of(s.text_buf.view()));
    start_->setText(start_of(s.chn_header));
    live_->setText(QStringLiteral("%1 s").arg(reading.live_seconds, 0, 'f', 2));
    real_->setText(QStringLiteral("%1 s").arg(reading.real_seconds, 0, 'f', 2));
    channels_->setText(QString::number(s.chn_header.num_channels));
    const Calibration calibration{s.chn_trailer.energy_zero, s.chn_trailer.energy_slope,
                                  s.chn_trailer.energy_quad};
    calibration_->setText(calibration_text(calibration));
    const int n = std::clamp<int>(s.chn_header.num_channels, 0, spectrum::Counts::capacity);
    plot_->set_spectrum(std::vector<std::int32_t>(s.counts.data(), s.counts.data() + n),
                        calibration);
    energy_->setEnabled(calibration.present());
}

// What a file of another output format holds; a CSV file holds no measurement, only counts.
void PreviewPane::show_values(const PreviewReading& reading) {
    const formats::SpectrumValues& v = *reading.values;
    if (reading.values_complete) {
        sample_->setText(QString::fromStdString(v.description));
        start_->setText(start_text(v.start));
        live_->setText(QStringLiteral("%1 s").arg(v.live_seconds, 0, 'f', 2));
        real_->setText(QStringLiteral("%1 s").arg(v.real_seconds, 0, 'f', 2));
    } else {
        for (QLabel* label : {sample_, start_, live_, real_})
            label->setText(QStringLiteral("–"));
    }
    channels_->setText(QString::number(v.counts.size()));
    const Calibration calibration{v.energy_zero, v.energy_slope, v.energy_quad};
    calibration_->setText(calibration_text(calibration));
    plot_->set_spectrum(v.counts, calibration);
    energy_->setEnabled(calibration.present());
}

}  // namespace brandel::gui
