#include "gui/fitted_label.hpp"

#include <QHelpEvent>
#include <QPainter>
#include <QTextLayout>
#include <QToolTip>

#include <algorithm>
#include <cmath>

namespace brandel::gui {

FittedLabel::FittedLabel(Fit fit, QWidget* parent) : QLabel(parent), fit_(fit) {
    QSizePolicy policy(QSizePolicy::Preferred,
                       fit == Fit::wrap ? QSizePolicy::Minimum : QSizePolicy::Fixed);
    policy.setHeightForWidth(fit == Fit::wrap);
    setSizePolicy(policy);
}

int FittedLabel::lay_out(QTextLayout& layout, int width) const {
    QString text = this->text();
    text.replace(QLatin1Char('\n'), QChar::LineSeparator);
    QTextOption option(Qt::AlignLeft);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setText(text);
    layout.setFont(font());
    layout.setTextOption(option);
    layout.beginLayout();
    qreal y = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(std::max(width, 1));
        line.setPosition(QPointF(0, y));
        y += line.height();
    }
    layout.endLayout();
    return std::max(static_cast<int>(std::ceil(y)), fontMetrics().height());
}

int FittedLabel::heightForWidth(int width) const {
    if (fit_ != Fit::wrap)
        return QLabel::heightForWidth(width);
    const QMargins margins = contentsMargins();
    QTextLayout layout;
    return lay_out(layout, width - margins.left() - margins.right()) + margins.top() +
           margins.bottom();
}

QSize FittedLabel::sizeHint() const {
    const QMargins margins = contentsMargins();
    const int whole = fontMetrics().horizontalAdvance(text()) + margins.left() + margins.right();
    if (fit_ != Fit::wrap)
        return {whole, fontMetrics().height() + margins.top() + margins.bottom()};
    const int width = std::min(whole, fontMetrics().averageCharWidth() * 32);
    return {width, heightForWidth(width)};
}

QSize FittedLabel::minimumSizeHint() const {
    // A few characters, or the ellipsis alone, are the least a label needs.
    const QMargins margins = contentsMargins();
    const int least = fontMetrics().horizontalAdvance(QStringLiteral("MMM…"));
    return {std::min(sizeHint().width(), least + margins.left() + margins.right()),
            fontMetrics().height() + margins.top() + margins.bottom()};
}

QString FittedLabel::shown_line(int width) const {
    return fontMetrics().elidedText(
        text(), fit_ == Fit::elide_middle ? Qt::ElideMiddle : Qt::ElideRight, width);
}

bool FittedLabel::elided() const {
    return fit_ != Fit::wrap && shown_line(contentsRect().width()) != text();
}

bool FittedLabel::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip && toolTip().isEmpty()) {
        // A cut text shows whole under the mouse.
        if (elided())
            QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), text(), this);
        else
            QToolTip::hideText();
        return true;
    }
    return QLabel::event(event);
}

void FittedLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    const QRect area = contentsRect();
    if (fit_ != Fit::wrap) {
        painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter, shown_line(area.width()));
        return;
    }
    QTextLayout layout;
    lay_out(layout, area.width());
    layout.draw(&painter, area.topLeft());
}

}  // namespace brandel::gui
