#include "gui/spectrum_plot.hpp"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPaintEngine>
#include <QPainter>
#include <QRegularExpression>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "gui/preview_reading.hpp"

using brandel::gui::Calibration;
using brandel::gui::column_ranges;
using brandel::gui::count_position;
using brandel::gui::SpectrumPlot;

namespace {

// One text drawn, where it was drawn and the clip it was drawn under (empty for none).
struct DrawnText {
    QString text;
    QRectF box;
    QRectF clip;
};

// A paint device that keeps the texts drawn on it and draws nothing else.
class TextRecorder : public QPaintDevice {
  public:
    explicit TextRecorder(QSize size) : size_(size), engine_(std::make_unique<Engine>()) {}
    QPaintEngine* paintEngine() const override { return engine_.get(); }
    const std::vector<DrawnText>& texts() const { return engine_->texts; }

  protected:
    int metric(PaintDeviceMetric m) const override {
        switch (m) {
            case PdmWidth:
                return size_.width();
            case PdmHeight:
                return size_.height();
            case PdmWidthMM:
                return size_.width() * 254 / 960;
            case PdmHeightMM:
                return size_.height() * 254 / 960;
            case PdmDepth:
                return 32;
            case PdmNumColors:
                return 0x7fffffff;
            case PdmDpiX:
            case PdmDpiY:
            case PdmPhysicalDpiX:
            case PdmPhysicalDpiY:
                return 96;
            case PdmDevicePixelRatio:
                return 1;
            case PdmDevicePixelRatioScaled:
                return static_cast<int>(devicePixelRatioFScale());
            default:
                return 0;
        }
    }

  private:
    struct Engine : QPaintEngine {
        Engine() : QPaintEngine(QPaintEngine::AllFeatures) {}
        bool begin(QPaintDevice*) override { return true; }
        bool end() override { return true; }
        void updateState(const QPaintEngineState&) override {}
        void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
        void drawPath(const QPainterPath&) override {}
        void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
        void drawRects(const QRectF*, int) override {}
        void drawLines(const QLineF*, int) override {}
        void drawTextItem(const QPointF& at, const QTextItem& item) override {
            const QRectF box(at.x(), at.y() - item.ascent(), item.width(),
                             item.ascent() + item.descent());
            const QRectF clip = painter()->hasClipping() ? painter()->clipBoundingRect() : QRectF();
            texts.push_back({item.text(), painter()->transform().mapRect(box), clip});
        }
        Type type() const override { return QPaintEngine::User; }
        std::vector<DrawnText> texts;
    };
    QSize size_;
    std::unique_ptr<Engine> engine_;
};

}  // namespace

class SpectrumPlotTest : public QObject {
    Q_OBJECT

  private slots:
    void everyChannelLandsInAColumn() {
        // One peak among 17001 channels, drawn 300 pixels wide, is in its column.
        std::vector<std::int32_t> counts(17001, 0);
        counts[8500] = 123;
        const auto ranges = column_ranges(counts, 0, 17001, 300);
        QCOMPARE(ranges.size(), std::size_t{300});
        int peaks = 0;
        for (std::size_t c = 0; c < ranges.size(); ++c)
            if (ranges[c].high == 123)
                ++peaks;
        QVERIFY(peaks >= 1 && peaks <= 2);  // its column, and the next one joining it
        int column = 0;                     // the column whose channels hold 8500
        while (17001LL * (column + 1) / 300 <= 8500)
            ++column;
        QCOMPARE(ranges[static_cast<std::size_t>(column)].high, 123);
        QCOMPARE(ranges.front().low, 0);

        // Wider than the channels: each column shows the channel it lies in.
        const std::vector<std::int32_t> few = {5, -3, 9};
        const auto wide = column_ranges(few, 0, 3, 7);
        QCOMPARE(wide.size(), std::size_t{7});
        QCOMPARE(wide.front().high, 5);
        QCOMPARE(wide.back().high, 9);
        QCOMPARE(wide[3].low, -3);

        // A zoomed range covers only its own channels.
        const auto zoomed = column_ranges(counts, 8400, 8450, 10);
        for (const auto& r : zoomed)
            QCOMPARE(r.high, 0);
        QVERIFY(column_ranges(counts, 5, 5, 10).empty());
        QVERIFY(column_ranges({}, 0, 10, 10).empty());
    }

    void zeroCountsStayOnALogAxis() {
        QCOMPARE(count_position(0, 1000, true), 0.0);
        QCOMPARE(count_position(-5, 1000, true), 0.0);
        QCOMPARE(count_position(1000, 1000, true), 1.0);
        const double one = count_position(1, 1000, true);
        QVERIFY(one > 0.05 && one < 0.2);  // a single count stands clear of zero
        QVERIFY(std::isfinite(count_position(0, 0, true)));
        QCOMPARE(count_position(500, 1000, false), 0.5);
        QCOMPARE(count_position(-1, 1000, false), 0.0);
    }

    void calibrationIsPresentOnlyWhenItSaysMoreThanChannels() {
        QVERIFY(!Calibration{}.present());
        QVERIFY(!(Calibration{0, 1, 0}).present());
        QVERIFY(!(Calibration{5, 0, 0}).present());
        const Calibration c{1.5, 0.5, 0.001};
        QVERIFY(c.present());
        QCOMPARE(c.energy(100), 1.5 + 50 + 10);
    }

    void dragZoomsAndDoubleClickShowsAll() {
        SpectrumPlot plot;
        plot.resize(600, 300);
        std::vector<std::int32_t> counts(1024);
        for (int i = 0; i < 1024; ++i)
            counts[static_cast<std::size_t>(i)] = i % 37;
        plot.set_spectrum(counts, {});
        plot.show();
        QVERIFY(QTest::qWaitForWindowExposed(&plot));
        QCOMPARE(plot.first_channel(), 0);
        QCOMPARE(plot.last_channel(), 1024);

        const int y = plot.height() / 2;
        const int from = plot.width() / 4, to = plot.width() / 2;
        const int a = plot.channel_at(from), b = plot.channel_at(to);
        QTest::mousePress(&plot, Qt::LeftButton, {}, QPoint(from, y));
        QTest::mouseMove(&plot, QPoint(to, y));
        QTest::mouseRelease(&plot, Qt::LeftButton, {}, QPoint(to, y));
        QCOMPARE(plot.first_channel(), a);
        QCOMPARE(plot.last_channel(), b + 1);
        QVERIFY(a > 100 && b < 700 && b > a);

        // A click is no zoom.
        QTest::mouseClick(&plot, Qt::LeftButton, {}, QPoint(from, y));
        QCOMPARE(plot.first_channel(), a);

        QTest::mouseDClick(&plot, Qt::LeftButton, {}, QPoint(from, y));
        QCOMPARE(plot.first_channel(), 0);
        QCOMPARE(plot.last_channel(), 1024);
    }

    void readoutNamesChannelCountAndEnergy() {
        SpectrumPlot plot;
        plot.resize(400, 200);
        std::vector<std::int32_t> counts(100);
        for (int i = 0; i < 100; ++i)
            counts[static_cast<std::size_t>(i)] = 1000 + i;
        plot.set_spectrum(counts, {});
        plot.show();
        QVERIFY(QTest::qWaitForWindowExposed(&plot));
        QString seen;
        connect(&plot, &SpectrumPlot::hovered, this, [&seen](const QString& text) { seen = text; });
        const int x = plot.width() / 2;
        const QPointF at(x, plot.height() / 2);
        QMouseEvent move(QEvent::MouseMove, at, plot.mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(&plot, &move);
        const int channel = plot.channel_at(x);
        QCOMPARE(seen, QStringLiteral("Channel %1: %2 counts").arg(channel).arg(1000 + channel));
        QVERIFY(!plot.energy_axis());  // no calibration: channels

        plot.set_spectrum(counts, {10.0, 0.5, 0.0});
        QVERIFY(plot.energy_axis());
        QCOMPARE(plot.readout(x), QStringLiteral("Channel %1: %2 counts at %3 keV")
                                      .arg(channel)
                                      .arg(1000 + channel)
                                      .arg(10.0 + 0.5 * channel, 0, 'f', 2));
        plot.set_energy_axis(false);
        QVERIFY(!plot.readout(x).contains(QStringLiteral("keV")));
    }

    // The energies along the bottom axis of a real file's plot, at a wide, a middle and a narrow
    // width: each is the energy of the channels it stands under, drawn whole, none over
    // another; where they cannot all fit, fewer are drawn.
    void energyLabelsAreWholeAndTrueAtEveryWidth() {
        const brandel::gui::PreviewReading reading =
            brandel::gui::read_source_preview(BRANDEL_SOURCE_DIR "/examples/labo_new.spc", 1);
        QVERIFY(reading.complete && reading.state);
        const auto& s = *reading.state;
        const int n = s.chn_header.num_channels;
        QVERIFY(n > 100);
        const Calibration calibration{s.chn_trailer.energy_zero, s.chn_trailer.energy_slope,
                                      s.chn_trailer.energy_quad};
        QVERIFY(calibration.present());
        SpectrumPlot plot;
        plot.set_spectrum(std::vector<std::int32_t>(s.counts.data(), s.counts.data() + n),
                          calibration);
        auto energy = [&](int channel) {
            return QStringLiteral("%1 keV").arg(calibration.energy(channel), 0, 'f', 1);
        };
        QCOMPARE(energy(n - 1), QStringLiteral("1498.4 keV"));

        const QRegularExpression keV(QStringLiteral("^-?[0-9]+\\.[0-9] keV$"));
        std::vector<std::size_t> shown;
        for (int width : {900, 330, 150}) {
            plot.resize(width, 200);
            TextRecorder device(plot.size());
            QPainter painter(&device);
            plot.render_plot(painter, plot.rect());
            painter.end();
            std::vector<DrawnText> labels;
            for (const DrawnText& drawn : device.texts()) {
                // Nothing is cut, at the widget's edges or by a clip.
                QVERIFY2(QRectF(plot.rect()).adjusted(-0.5, -0.5, 0.5, 0.5).contains(drawn.box),
                         qPrintable(drawn.text));
                QVERIFY2(drawn.clip.isEmpty() || drawn.clip.contains(drawn.box),
                         qPrintable(drawn.text));
                if (keV.match(drawn.text).hasMatch())
                    labels.push_back(drawn);
            }
            std::sort(labels.begin(), labels.end(), [](const DrawnText& a, const DrawnText& b) {
                return a.box.left() < b.box.left();
            });
            const QString at = QStringLiteral("%1 px: ").arg(width);
            QVERIFY2(!labels.empty(), qPrintable(at));
            QCOMPARE(labels.front().text, energy(0));
            if (labels.size() > 1)
                QCOMPARE(labels.back().text, energy(n - 1));
            for (std::size_t i = 0; i < labels.size(); ++i) {
                const DrawnText& label = labels[i];
                if (i > 0)
                    QVERIFY2(labels[i - 1].box.right() < label.box.left(),
                             qPrintable(at + label.text));
                // The energy lies among those of the channels under the label.
                const double value = label.text.section(QLatin1Char(' '), 0, 0).toDouble();
                const double low = calibration.energy(plot.channel_at(int(label.box.left())));
                const double high = calibration.energy(plot.channel_at(int(label.box.right()) + 1));
                QVERIFY2(value >= low - 0.05 && value <= high + 0.05, qPrintable(at + label.text));
            }
            shown.push_back(labels.size());
        }
        QVERIFY2(shown[0] >= 3 && shown[2] < shown[0],
                 qPrintable(QStringLiteral("%1 %2 %3").arg(shown[0]).arg(shown[1]).arg(shown[2])));
    }

    void drawsTheCountsInTheirColumns() {
        SpectrumPlot plot;
        std::vector<std::int32_t> counts(17001, 0);
        counts[0] = 1000;  // a tall peak at the left edge, nothing elsewhere
        plot.set_spectrum(counts, {});
        plot.set_logarithmic(false);
        QImage image(500, 250, QImage::Format_ARGB32);
        QPainter painter(&image);
        plot.render_plot(painter, image.rect());
        painter.end();
        const QColor trace = plot.palette().color(QPalette::Highlight);
        int left = 0, right = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (image.pixelColor(x, y) != trace)
                    continue;
                (x < image.width() / 2 ? left : right) += 1;
            }
        }
        QVERIFY2(left > 100, qPrintable(QString::number(left)));    // the peak's stroke
        QVERIFY2(right < 500, qPrintable(QString::number(right)));  // a flat line at zero
    }
};

QTEST_MAIN(SpectrumPlotTest)
#include "spectrum_plot_test.moc"
