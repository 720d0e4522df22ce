#include "ClickableLabel.h"

#include <QEnterEvent>
#include <QMouseEvent>

namespace lurkel {

ClickableLabel::ClickableLabel(QWidget *parent) : QLabel(parent), m_normalFont(font()), m_hoveredFont(font())
{
    applyLook();
}

void ClickableLabel::setFonts(const QFont &normal, const QFont &hovered)
{
    m_normalFont = normal;
    m_hoveredFont = hovered;
    applyLook();
}

void ClickableLabel::setTrackingEnabled(bool tracking)
{
    m_tracking = tracking;
    if (!tracking)
        setHovered(false);
    else
        setHovered(underMouse());
    applyLook();
}

void ClickableLabel::setDrawsDisabled(bool disabled)
{
    m_drawsDisabled = disabled;
    applyLook();
}

void ClickableLabel::setTextColor(std::optional<QColor> color)
{
    m_textColor = color;
    applyLook();
}

void ClickableLabel::enterEvent(QEnterEvent *event)
{
    if (m_tracking) setHovered(true);
    QLabel::enterEvent(event);
}

void ClickableLabel::leaveEvent(QEvent *event)
{
    setHovered(false);
    QLabel::leaveEvent(event);
}

void ClickableLabel::hideEvent(QHideEvent *event)
{
    setHovered(false);
    m_pressed = false;
    QLabel::hideEvent(event);
}

void ClickableLabel::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && isClickable()) {
        m_pressed = true;
        event->accept();
        return;
    }
    QLabel::mousePressEvent(event);
}

void ClickableLabel::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && m_pressed) {
        m_pressed = false;
        event->accept();
        if (isClickable() && rect().contains(event->position().toPoint())) Q_EMIT clicked();
        return;
    }
    QLabel::mouseReleaseEvent(event);
}

void ClickableLabel::setHovered(bool hovered)
{
    if (m_hovered == hovered) return;
    m_hovered = hovered;
    applyLook();
}

void ClickableLabel::applyLook()
{
    setFont(m_hovered ? m_hoveredFont : m_normalFont);
    setCursor(isClickable() ? Qt::PointingHandCursor : Qt::ArrowCursor);
    QPalette pal = palette();
    const QColor normal = m_textColor ? *m_textColor : QPalette().color(QPalette::Active, QPalette::WindowText);
    const QColor disabled = QPalette().color(QPalette::Disabled, QPalette::WindowText);
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        pal.setColor(group, QPalette::WindowText, m_drawsDisabled ? disabled : normal);
    setPalette(pal);
}

} // namespace lurkel
