#include "gui/window_look.hpp"

#include <QApplication>
#include <QFontDatabase>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

namespace brandel::gui {

QFont window_font() {
    QFont font = QApplication::font();
    for (const QString& name : {QStringLiteral("Yu Gothic UI"), QStringLiteral("Meiryo UI"),
                                QStringLiteral("MS UI Gothic"), QStringLiteral("IPAPGothic"),
                                QStringLiteral("IPAGothic"), QStringLiteral("Noto Sans CJK JP"),
                                QStringLiteral("VL PGothic"), QStringLiteral("TakaoPGothic"),
                                QStringLiteral("ＭＳ ゴシック"), QStringLiteral("MS Gothic")}) {
        if (QFontDatabase::hasFamily(name)) {
            font.setFamilies({name});
            return font;
        }
    }
    const QStringList japanese = QFontDatabase::families(QFontDatabase::Japanese);
    if (!japanese.isEmpty())
        font.setFamilies({japanese.front()});
    return font;
}

QIcon window_icon() {
    QSvgRenderer renderer(QStringLiteral(":/brandel.svg"));
    QIcon icon;
    if (!renderer.isValid())
        return icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        renderer.render(&painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace brandel::gui
