#include "gui/spectrum_plot.hpp"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QTest>

#include <cmath>
#include <vector>

using brandel::gui::Calibration;
using brandel::gui::column_ranges;
using brandel::gui::count_position;
using brandel::gui::SpectrumPlot;

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
