#include "LinkButton.h"
#include "FocusRing.h"

#include <QEnterEvent>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace lurkel {

LinkButton::LinkButton(QWidget *parent) : QAbstractButton(parent)
{
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

LinkButton::LinkButton(const QString &title, QWidget *parent) : LinkButton(parent)
{
    setText(title);
}

void LinkButton::setTitleColor(NamedColor color)
{
    m_titleColor = color;
    update();
}

void LinkButton::setAlignment(Qt::Alignment alignment)
{
    m_alignment = alignment;
    update();
}

QSize LinkButton::sizeHint() const
{
    const QFontMetricsF metrics(font());
    return {static_cast<int>(std::ceil(metrics.horizontalAdvance(text()))) + 2,
            static_cast<int>(std::ceil(metrics.height())) + 2};
}

QSize LinkButton::minimumSizeHint() const
{
    const QFontMetrics metrics(font());
    return {std::min(sizeHint().width(), metrics.horizontalAdvance(QChar(0x2026)) + 2), sizeHint().height()};
}

void LinkButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QPalette &pal = palette();
    QColor color = NamedColors::color(m_titleColor, pal);
    if (!isEnabled())
        color = pal.color(QPalette::Disabled, QPalette::WindowText);
    else if (isDown())
        color = NamedColors::color(NamedColor::IconInkPressed, pal);
    QFont titleFont = font();
    titleFont.setUnderline(m_hovered && isEnabled());
    painter.setFont(titleFont);
    painter.setPen(color);
    const QRect area = rect().adjusted(1, 1, -1, -1);
    const QString shown = QFontMetrics(titleFont).elidedText(text(), Qt::ElideRight, area.width());
    painter.drawText(area, static_cast<int>(m_alignment) | Qt::TextSingleLine, shown);
    paintFocusRing(painter, *this, 3.0);
}

void LinkButton::enterEvent(QEnterEvent *event)
{
    setHovered(true);
    QAbstractButton::enterEvent(event);
}

void LinkButton::leaveEvent(QEvent *event)
{
    setHovered(false);
    QAbstractButton::leaveEvent(event);
}

void LinkButton::hideEvent(QHideEvent *event)
{
    setHovered(false);
    QAbstractButton::hideEvent(event);
}

void LinkButton::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange) updateGeometry();
    if (event->type() == QEvent::EnabledChange || event->type() == QEvent::PaletteChange) update();
    QAbstractButton::changeEvent(event);
}

void LinkButton::setHovered(bool hovered)
{
    if (m_hovered == hovered) return;
    m_hovered = hovered;
    update();
}

} // namespace lurkel
