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
    show_channels(0, static_cast<int>(counts_.size()));
}

void SpectrumPlot::show_channels(int first, int last) {
    first_ = first;
    last_ = last;
    top_ = 1;
    for (int c = first_; c < last_; ++c)
        top_ = std::max(top_, counts_[static_cast<std::size_t>(c)]);
    drag_from_ = drag_to_ = -1;
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
    // Room at the left for the highest count, as wide as it measures.
    const QFontMetrics metrics = fontMetrics();
    const int left = metrics.horizontalAdvance(QString::number(top_)) + 8;
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
    // The plot's own font, which its margins are measured in, on any device.
    painter.save();
    painter.setFont(font());
    draw(painter, area);
    painter.restore();
}

void SpectrumPlot::draw(QPainter& painter, const QRect& area) const {
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
    const double height = plot.height() - 1;
    auto y_of = [&](double count) {
        return plot.bottom() - count_position(count, top_, logarithmic_) * height;
    };
    QList<QLineF> strokes;
    strokes.reserve(static_cast<qsizetype>(ranges.size()));
    for (std::size_t c = 0; c < ranges.size(); ++c) {
        const double x = plot.left() + static_cast<double>(c) + 0.5;
        strokes.append(QLineF(x, y_of(ranges[c].low), x, y_of(ranges[c].high)));
    }
    painter.setPen(QPen(palette().color(QPalette::Highlight), 1));
    painter.drawLines(strokes);

    // Axis labels, each drawn whole at its baseline: the highest count at the top, 0 at the
    // bottom where there is room for both, the channels or energies below.
    painter.setPen(palette().color(QPalette::Text));
    const QFontMetrics metrics = painter.fontMetrics();
    const int right_of_counts = plot.left() - 4;
    const QString top = QString::number(top_);
    painter.drawText(right_of_counts - metrics.horizontalAdvance(top),
                     plot.top() + metrics.ascent(), top);
    if (plot.height() >= 2 * metrics.height())
        painter.drawText(right_of_counts - metrics.horizontalAdvance(QStringLiteral("0")),
                         plot.bottom() - metrics.descent(), QStringLiteral("0"));
    for (const AxisLabel& label : bottom_labels(plot, metrics))
        painter.drawText(label.box.left(), label.box.top() + metrics.ascent(), label.text);

    if (drag_from_ >= 0 && drag_to_ >= 0) {
        QColor band = palette().color(QPalette::Highlight);
        band.setAlpha(60);
        painter.fillRect(QRect(QPoint(std::min(drag_from_, drag_to_), plot.top()),
                               QPoint(std::max(drag_from_, drag_to_), plot.bottom())),
                         band);
    }
}

QString SpectrumPlot::channel_label(int channel) const {
    // Channel numbers count from 0, as the calibration does.
    return energy_axis() ? QStringLiteral("%1 keV").arg(calibration_.energy(channel), 0, 'f', 1)
                         : QString::number(channel);
}

std::vector<AxisLabel> SpectrumPlot::bottom_labels(const QRect& plot,
                                                   const QFontMetrics& metrics) const {
    const int span = last_ - first_;
    if (span <= 0 || plot.width() <= 0)
        return {};
    const int top = plot.bottom() + 3;
    const int end = plot.left() + plot.width();
    const int gap = metrics.horizontalAdvance(QStringLiteral("  "));
    // Five labels at the ends and quarters, else three, two, one: the most that fit.
    for (int n : {5, 3, 2, 1}) {
        if (n > span)
            continue;
        std::vector<AxisLabel> labels;
        int free_from = plot.left();  // where the next label may start
        for (int k = 0; k < n; ++k) {
            const int channel =
                n == 1 ? first_
                       : first_ + static_cast<int>(static_cast<long long>(span - 1) * k / (n - 1));
            QString text = channel_label(channel);
            const int width = metrics.horizontalAdvance(text);
            // The ends are flush with the plot's ends; a label between is centred under its
            // channel, moved inwards where it would pass an end.
            int left = plot.left();
            if (k == n - 1 && n > 1) {
                left = end - width;
            } else if (k > 0) {
                const double x = plot.left() + (channel - first_ + 0.5) * plot.width() / span;
                left =
                    std::min(std::max(static_cast<int>(x - width / 2.0), plot.left()), end - width);
            }
            if (left < free_from || left + width > end)
                break;
            labels.push_back({std::move(text), QRect(left, top, width, metrics.height())});
            free_from = left + width + gap;
        }
        if (static_cast<int>(labels.size()) == n)
            return labels;
    }
    return {};
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
    const bool zoom = std::abs(drag_to_ - drag_from_) > 3 && b > a;
    drag_from_ = drag_to_ = -1;
    if (zoom)
        show_channels(a, b + 1);
    update();
}

void SpectrumPlot::mouseDoubleClickEvent(QMouseEvent*) {
    show_channels(0, static_cast<int>(counts_.size()));
}

}  // namespace brandel::gui
