#pragma once

#include <QWidget>

#include <cstdint>
#include <vector>

namespace brandel::gui {

/// The lowest and highest count of the channels that fall into one pixel column.
struct ColumnRange {
    std::int32_t low = 0;
    std::int32_t high = 0;
};

/// Splits the channels first..last-1 of `counts` over `columns` pixel columns and gives each
/// column the lowest and highest count it covers, together with the last channel of the column
/// before, so the drawn trace has no gaps. Every channel lands in a column, so a single peak
/// among 17001 channels stays visible at any width.
std::vector<ColumnRange> column_ranges(const std::vector<std::int32_t>& counts, int first, int last,
                                       int columns);

/// Where a count lies on the count axis, from 0 at the bottom to 1 at `top`. On a logarithmic
/// axis the scale is log10(1 + count), so zero stays on the axis at the bottom instead of
/// being dropped; negative counts lie at the bottom too.
double count_position(double count, double top, bool logarithmic);

/// Energy calibration of a spectrum: energy = zero + slope * channel + quad * channel^2.
struct Calibration {
    double zero = 0.0;
    double slope = 1.0;
    double quad = 0.0;
    /// A calibration other than the plain channel numbers that readers set by default.
    bool present() const { return slope != 0.0 && !(zero == 0.0 && slope == 1.0 && quad == 0.0); }
    double energy(double channel) const {
        return zero + slope * channel + quad * channel * channel;
    }
};

/// One label along the bottom axis of the plot: its text and the box it is drawn in.
struct AxisLabel {
    QString text;
    QRect box;
};

/// The spectrum plot of the preview: counts over channels or energy, on a linear or
/// logarithmic count axis. Dragging across the plot zooms into the channels dragged over; a
/// double-click shows all channels again. It draws one vertical stroke per pixel column, from
/// the column's lowest to highest count, so its cost follows the width, not the channels.
class SpectrumPlot : public QWidget {
    Q_OBJECT
  public:
    explicit SpectrumPlot(QWidget* parent = nullptr);

    void set_spectrum(std::vector<std::int32_t> counts, Calibration calibration);
    void clear();

    void set_logarithmic(bool on);
    bool logarithmic() const { return logarithmic_; }
    /// Energy along the bottom axis; only takes effect when a calibration is present.
    void set_energy_axis(bool on);
    bool energy_axis() const { return energy_axis_ && calibration_.present(); }

    int channel_count() const { return static_cast<int>(counts_.size()); }
    /// The channels shown, as first (from 0) and one past the last.
    int first_channel() const { return first_; }
    int last_channel() const { return last_; }
    /// The channel under a point of the widget.
    int channel_at(int x) const;

    /// Draws the plot into `area` of any paint device; the widget paints itself with it.
    void render_plot(QPainter& painter, const QRect& area) const;

    /// The labels of the bottom axis under the data area `plot`, as many as fit whole: the first
    /// and the last channel shown at the ends, then the middle, then the quarters between. Each
    /// label is as wide as its text measures in `metrics`, no two come closer than two blanks,
    /// and none reaches past the ends of the plot; where not even the first fits, there is none.
    std::vector<AxisLabel> bottom_labels(const QRect& plot, const QFontMetrics& metrics) const;

    /// What lies under the mouse: "Channel 1460: 523 counts" (with its energy when the axis
    /// shows energy).
    QString readout(int x) const;

    QSize sizeHint() const override { return {320, 200}; }
    QSize minimumSizeHint() const override { return {160, 100}; }

  signals:
    /// The readout under the mouse as it moves; empty when it leaves the plot.
    void hovered(const QString& readout);

  protected:
    void leaveEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

  private:
    QRect data_area(const QRect& area) const;
    void draw(QPainter& painter, const QRect& area) const;
    QString channel_label(int channel) const;
    void show_channels(int first, int last);

    std::vector<std::int32_t> counts_;
    Calibration calibration_;
    int first_ = 0;
    int last_ = 0;
    std::int32_t top_ = 1;  // the highest count of the channels shown, at least 1
    bool logarithmic_ = true;
    bool energy_axis_ = true;
    int drag_from_ = -1;  // x where a zoom drag started, -1 while none
    int drag_to_ = -1;
};

}  // namespace brandel::gui
