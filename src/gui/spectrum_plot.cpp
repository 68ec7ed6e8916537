#include "gui/spectrum_plot.hpp"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace brandel::gui {

std::vector<ColumnRange> column_ranges(const std::vector<std::int32_t>& counts, int first, int last,
                                       int columns) {
    std::vector<ColumnRange> ranges;
    first = std::clamp(first, 0, static_cast<int>(counts.size()));
    last = std::clamp(last, first, static_cast<int>(counts.size()));
    const int span = last - first;
    if (span == 0 || columns <= 0)
        return ranges;
    ranges.resize(static_cast<std::size_t>(columns));
    for (int c = 0; c < columns; ++c) {
        // Column c covers the channels from begin to end; a column narrower than a channel
        // shows the channel it lies in.
        int begin = first + static_cast<int>(static_cast<long long>(span) * c / columns);
        int end = first + static_cast<int>(static_cast<long long>(span) * (c + 1) / columns);
        end = std::max(end, begin + 1);
        const int from = begin > first ? begin - 1 : begin;  // joins the column before
        const auto [low, high] =
            std::minmax_element(counts.begin() + from, counts.begin() + std::min(end, last));
        ranges[static_cast<std::size_t>(c)] = {*low, *high};
    }
    return ranges;
}

double count_position(double count, double top, bool logarithmic) {
    if (top <= 0)
        return 0;
    if (logarithmic)
        return count <= 0 ? 0 : std::log10(1 + count) / std::log10(1 + top);
    return std::max(count, 0.0) / top;
}

SpectrumPlot::SpectrumPlot(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setToolTip(
        QStringLiteral("Drag across the plot to zoom in; double-click to show all "
                       "channels"));
}

void SpectrumPlot::set_spectrum(std::vector<std::int32_t> counts, Calibration calibration) {
    counts_ = std::move(counts);
    calibration_ = calibration;
    first_ = 0;
    last_ = static_cast<int>(counts_.size());
    update();
}

void SpectrumPlot::clear() {
    set_spectrum({}, {});
}

void SpectrumPlot::set_logarithmic(bool on) {
    logarithmic_ = on;
    update();
}

void SpectrumPlot::set_energy_axis(bool on) {
    energy_axis_ = on;
    update();
}

QRect SpectrumPlot::data_area(const QRect& area) const {
    const QFontMetrics metrics = fontMetrics();
    const int left = metrics.horizontalAdvance(QStringLiteral("1e+06")) + 8;
    const int bottom = metrics.height() + 6;
    return area.adjusted(left, 4, -8, -bottom);
}

int SpectrumPlot::channel_at(int x) const {
    const QRect plot = data_area(rect());
    if (plot.width() <= 0 || last_ <= first_)
        return first_;
    const double t = std::clamp(static_cast<double>(x - plot.left()) / plot.width(), 0.0, 1.0);
    return std::min(last_ - 1, first_ + static_cast<int>(t * (last_ - first_)));
}

void SpectrumPlot::render_plot(QPainter& painter, const QRect& area) const {
    painter.fillRect(area, palette().base());
    const QRect plot = data_area(area);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(plot.adjusted(0, 0, -1, -1));
    if (counts_.empty() || plot.width() <= 2 || plot.height() <= 2) {
        painter.setPen(palette().color(QPalette::PlaceholderText));
        painter.drawText(area, Qt::AlignCenter, QStringLiteral("No spectrum"));
        return;
    }

    const std::vector<ColumnRange> ranges = column_ranges(counts_, first_, last_, plot.width());
    std::int32_t top = 1;
    for (const ColumnRange& r : ranges)
        top = std::max(top, r.high);
    const double height = plot.height() - 1;
    auto y_of = [&](double count) {
        return plot.bottom() - count_position(count, top, logarithmic_) * height;
    };
    QList<QLineF> strokes;
    strokes.reserve(static_cast<qsizetype>(ranges.size()));
    for (std::size_t c = 0; c < ranges.size(); ++c) {
        const double x = plot.left() + static_cast<double>(c) + 0.5;
        strokes.append(QLineF(x, y_of(ranges[c].low), x, y_of(ranges[c].high)));
    }
    painter.setPen(QPen(palette().color(QPalette::Highlight), 1));
    painter.drawLines(strokes);

    // Axis labels: the count at the top, the channels or energies at both ends and the middle.
    painter.setPen(palette().color(QPalette::Text));
    const QFontMetrics metrics = painter.fontMetrics();
    painter.drawText(
        QRect(area.left(), plot.top(), plot.left() - area.left() - 4, metrics.height()),
        Qt::AlignRight | Qt::AlignTop, QString::number(top));
    painter.drawText(QRect(area.left(), plot.bottom() - metrics.height(),
                           plot.left() - area.left() - 4, metrics.height()),
                     Qt::AlignRight | Qt::AlignBottom, QStringLiteral("0"));
    const bool energy = energy_axis();
    auto label = [&](int channel) {
        // Channel numbers count from 0, as the calibration does.
        return energy ? QStringLiteral("%1 keV").arg(calibration_.energy(channel), 0, 'f', 1)
                      : QString::number(channel);
    };
    const int label_y = plot.bottom() + 3;
    const int h = metrics.height();
    painter.drawText(QRect(plot.left(), label_y, plot.width() / 3, h), Qt::AlignLeft,
                     label(first_));
    painter.drawText(QRect(plot.left() + plot.width() / 3, label_y, plot.width() / 3, h),
                     Qt::AlignHCenter, label((first_ + last_ - 1) / 2));
    painter.drawText(QRect(plot.right() - plot.width() / 3, label_y, plot.width() / 3, h),
                     Qt::AlignRight, label(last_ - 1));

    if (drag_from_ >= 0 && drag_to_ >= 0) {
        QColor band = palette().color(QPalette::Highlight);
        band.setAlpha(60);
        painter.fillRect(QRect(QPoint(std::min(drag_from_, drag_to_), plot.top()),
                               QPoint(std::max(drag_from_, drag_to_), plot.bottom())),
                         band);
    }
}

void SpectrumPlot::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    render_plot(painter, rect());
}

void SpectrumPlot::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && !counts_.empty()) {
        drag_from_ = drag_to_ = event->position().toPoint().x();
        update();
    }
}

QString SpectrumPlot::readout(int x) const {
    if (counts_.empty())
        return {};
    const int channel = channel_at(x);
    QString text = QStringLiteral("Channel %1: %2 counts")
                       .arg(channel)
                       .arg(counts_[static_cast<std::size_t>(channel)]);
    if (energy_axis())
        text += QStringLiteral(" at %1 keV").arg(calibration_.energy(channel), 0, 'f', 2);
    return text;
}

void SpectrumPlot::leaveEvent(QEvent*) {
    emit hovered({});
}

void SpectrumPlot::mouseMoveEvent(QMouseEvent* event) {
    emit hovered(readout(event->position().toPoint().x()));
    if (drag_from_ >= 0) {
        drag_to_ = event->position().toPoint().x();
        update();
    }
}

void SpectrumPlot::mouseReleaseEvent(QMouseEvent* event) {
    if (drag_from_ < 0)
        return;
    drag_to_ = event->position().toPoint().x();
    const int a = channel_at(std::min(drag_from_, drag_to_));
    const int b = channel_at(std::max(drag_from_, drag_to_));
    // A click, or a drag of a few pixels, is no zoom.
    if (std::abs(drag_to_ - drag_from_) > 3 && b > a) {
        first_ = a;
        last_ = b + 1;
    }
    drag_from_ = drag_to_ = -1;
    update();
}

void SpectrumPlot::mouseDoubleClickEvent(QMouseEvent*) {
    first_ = 0;
    last_ = static_cast<int>(counts_.size());
    drag_from_ = drag_to_ = -1;
    update();
}

}  // namespace brandel::gui
