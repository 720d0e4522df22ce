#include "LevelIndicator.h"

#include "NamedColors.h"

#include <QPainter>

#include <algorithm>

namespace lurkel {

LevelIndicator::LevelIndicator(QWidget *parent) : QWidget(parent), m_fillColor(Qt::darkGray) {}

void LevelIndicator::setFillColor(const QColor &color)
{
    m_fillColor = color;
    update();
}

void LevelIndicator::setDoubleValue(double value)
{
    m_doubleValue = value >= 0.99 ? 1.0 : std::max(0.0, value);
    update();
}

void LevelIndicator::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QPalette &pal = palette();
    const QRectF outer = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setPen(QPen(NamedColors::color(NamedColor::LevelBorder, pal), 1.0));
    painter.setBrush(NamedColors::color(NamedColor::LevelTrack, pal));
    painter.drawRect(outer);
    // Inside the border, from the left to the fraction.
    const QRectF inner = QRectF(rect()).adjusted(1, 1, -1, -1);
    const QRectF filled(inner.topLeft(), QSizeF(inner.width() * m_doubleValue, inner.height()));
    painter.fillRect(filled, m_fillColor);
}

} // namespace lurkel
