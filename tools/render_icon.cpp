// Renders the window's SVG icon into a Windows icon file with the sizes Explorer and the taskbar
// ask for, each image stored as PNG (which Windows reads in icon files since Vista):
//   brandel-render-icon ICON.svg OUT.ico
// packaging/windows/brandel.ico is made with it; run it again when the SVG changes.

#include <QBuffer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>
#include <vector>

namespace {

void put16(QByteArray& out, unsigned value) {
    out.append(static_cast<char>(value & 0xFF));
    out.append(static_cast<char>((value >> 8) & 0xFF));
}

void put32(QByteArray& out, unsigned value) {
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: brandel-render-icon ICON.svg OUT.ico\n");
        return 2;
    }
    QGuiApplication app(argc, argv);
    QSvgRenderer svg(QString::fromLocal8Bit(argv[1]));
    if (!svg.isValid()) {
        std::fprintf(stderr, "brandel-render-icon: cannot read %s\n", argv[1]);
        return 1;
    }
    const std::vector<int> sizes = {16, 20, 24, 32, 40, 48, 64, 256};
    std::vector<QByteArray> images;
    for (const int size : sizes) {
        QImage image(size, size, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        svg.render(&painter);
        painter.end();
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        images.push_back(png);
    }
    // The icon file: a header, one directory entry per image, then the images.
    QByteArray ico;
    put16(ico, 0);
    put16(ico, 1);  // an icon
    put16(ico, static_cast<unsigned>(sizes.size()));
    unsigned offset = 6 + 16 * static_cast<unsigned>(sizes.size());
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        const unsigned side = sizes[i] >= 256 ? 0 : static_cast<unsigned>(sizes[i]);
        ico.append(static_cast<char>(side));
        ico.append(static_cast<char>(side));
        ico.append('\0');  // no palette
        ico.append('\0');
        put16(ico, 1);   // colour planes
        put16(ico, 32);  // bits per pixel
        put32(ico, static_cast<unsigned>(images[i].size()));
        put32(ico, offset);
        offset += static_cast<unsigned>(images[i].size());
    }
    for (const QByteArray& png : images)
        ico.append(png);
    QFile out(QString::fromLocal8Bit(argv[2]));
    if (!out.open(QIODevice::WriteOnly) || out.write(ico) != ico.size()) {
        std::fprintf(stderr, "brandel-render-icon: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
