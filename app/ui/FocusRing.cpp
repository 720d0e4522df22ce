#include "FocusRing.h"

#include <QPainter>
#include <QPen>
#include <QWidget>

namespace lurkel {

void paintFocusRing(QPainter &painter, const QWidget &widget, qreal radius)
{
    if (!widget.hasFocus()) return;
    constexpr qreal kWidth = 1.5;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(1.0);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(widget.palette().color(QPalette::Active, QPalette::Highlight), kWidth));
    const qreal inset = kWidth / 2.0;
    painter.drawRoundedRect(QRectF(widget.rect()).adjusted(inset, inset, -inset, -inset), radius, radius);
    painter.restore();
}

} // namespace lurkel
