#include "PanelView.h"

#include "NamedColors.h"

#include <QPainter>

namespace lurkel {

PanelView::PanelView(QWidget *parent) : QWidget(parent) {}

void PanelView::showTriangle(bool show)
{
    if (m_showTriangle == show) return;
    m_showTriangle = show;
    update();
    Q_EMIT outlineChanged();
}

void PanelView::setTriangleX(std::optional<int> x)
{
    if (m_triangleX == x) return;
    m_triangleX = x;
    update();
    Q_EMIT outlineChanged();
}

void PanelView::setIsHiddenShown(bool shown)
{
    if (m_isHiddenShown == shown) return;
    m_isHiddenShown = shown;
    update();
}

void PanelView::setSeparators(std::vector<int> ys)
{
    m_separators = std::move(ys);
    update();
}

QPainterPath PanelView::outline() const
{
    QPainterPath body;
    body.addRoundedRect(QRectF(0, kTriangleHeight, width(), height() - kTriangleHeight), kCornerRadius, kCornerRadius);
    if (!drawsTriangle()) return body;
    const qreal tip = *m_triangleX;
    const qreal half = kTriangleWidth / 2.0;
    QPainterPath triangle;
    // A little into the body, so that the two join without a seam.
    triangle.moveTo(tip - half, kTriangleHeight + 1);
    triangle.lineTo(tip, 0);
    triangle.lineTo(tip + half, kTriangleHeight + 1);
    triangle.closeSubpath();
    return body.united(triangle).simplified();
}

void PanelView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette &pal = palette();
    const QPainterPath shape = outline();

    painter.save();
    painter.setClipPath(shape);
    painter.fillRect(rect(), NamedColors::color(NamedColor::PanelBackground, pal));
    painter.fillRect(QRect(0, 0, width(), kSeparatorTop), NamedColors::color(NamedColor::PanelTitleBand, pal));
    const QColor separator = NamedColors::color(NamedColor::PanelSeparator, pal);
    painter.fillRect(QRect(0, kSeparatorTop, width(), kSeparatorHeight), separator);
    painter.fillRect(QRect(0, kSwitchBandTop, width(), kSwitchBandHeight),
                     NamedColors::color(m_isHiddenShown ? NamedColor::PanelBandOn : NamedColor::PanelBandOff, pal));
    painter.fillRect(QRect(0, kSwitchBandBottom, width(), kSeparatorHeight), separator);
    for (const int y : m_separators)
        painter.fillRect(QRect(0, y, width(), kSeparatorHeight), separator);
    painter.restore();

    // The outline, half a pixel inside so that the whole line shows.
    QPainterPath edge;
    edge.addRoundedRect(QRectF(0.5, kTriangleHeight + 0.5, width() - 1.0, height() - kTriangleHeight - 1.0),
                        kCornerRadius - 0.5, kCornerRadius - 0.5);
    if (drawsTriangle()) {
        const qreal tip = *m_triangleX;
        const qreal half = kTriangleWidth / 2.0;
        QPainterPath triangle;
        triangle.moveTo(tip - half, kTriangleHeight + 1.5);
        triangle.lineTo(tip, 0.5);
        triangle.lineTo(tip + half, kTriangleHeight + 1.5);
        triangle.closeSubpath();
        edge = edge.united(triangle).simplified();
    }
    painter.setPen(QPen(NamedColors::color(NamedColor::PanelBorder, pal), 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(edge);
}

void PanelView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    Q_EMIT outlineChanged();
}

} // namespace lurkel
