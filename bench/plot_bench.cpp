// Drawing benchmark of the preview's spectrum plot: prints figures, never fails on a slow
// machine. Run it with `make bench`.
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "gui/spectrum_plot.hpp"

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    // A spectrum of 17001 channels: a falling continuum with peaks, as a germanium detector
    // gives.
    std::vector<std::int32_t> counts(17001);
    for (std::size_t k = 0; k < counts.size(); ++k) {
        double v = 20000.0 * std::exp(-static_cast<double>(k) / 3000.0);
        for (double peak : {1460.0, 2614.0, 6620.0, 11732.0, 13325.0})
            v += 50000.0 * std::exp(-std::pow((static_cast<double>(k) - peak) / 4.0, 2));
        counts[k] = static_cast<std::int32_t>(v) + static_cast<std::int32_t>(k % 7);
    }
    brandel::gui::SpectrumPlot plot;
    plot.set_spectrum(counts, {0.0, 0.2, 0.0});

    std::printf("Spectrum plot, 17001 channels (target: under 20 ms per drawing)\n");
    for (QSize size : {QSize(600, 300), QSize(1200, 500), QSize(2400, 1000)}) {
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        for (bool log : {true, false}) {
            plot.set_logarithmic(log);
            std::vector<double> ms;
            for (int run = 0; run < 30; ++run) {
                QElapsedTimer timer;
                timer.start();
                QPainter painter(&image);
                plot.render_plot(painter, image.rect());
                painter.end();
                ms.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
            }
            std::sort(ms.begin(), ms.end());
            std::printf("  %4d x %4d %-6s median %6.2f ms, slowest %6.2f ms\n", size.width(),
                        size.height(), log ? "log" : "linear", ms[ms.size() / 2], ms.back());
        }
    }
    return 0;
}
