#include "SvgTrackingButton.h"
#include "FocusRing.h"

#include "PanelImages.h"

#include <QPainter>

namespace lurkel {

SvgTrackingButton::SvgTrackingButton(QWidget *parent) : TrackingButton(parent)
{
    initPanelResources();
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void SvgTrackingButton::setSvgImages(const QString &main, const QString &hover, const QString &pressed)
{
    m_main = main;
    m_hover = hover;
    m_pressed = pressed;
    updateGeometry();
    update();
}

QString SvgTrackingButton::currentImage() const
{
    if (!m_tracking) return m_main;
    switch (trackingState()) {
    case State::Pressed:
        if (!m_pressed.isEmpty()) return m_pressed;
        if (!m_hover.isEmpty()) return m_hover;
        break;
    case State::Hover:
        if (!m_hover.isEmpty()) return m_hover;
        break;
    case State::Normal:
        break;
    }
    return m_main;
}

void SvgTrackingButton::setTrackingEnabled(bool tracking)
{
    m_tracking = tracking;
    update();
}

void SvgTrackingButton::setTitleColor(const QColor &color)
{
    m_titleColor = color;
    update();
}

void SvgTrackingButton::setTitleBaselineOffset(int offset)
{
    m_baselineOffset = offset;
    update();
}

QSize SvgTrackingButton::sizeHint() const
{
    const QSize natural = PanelImages::naturalSize(m_main);
    return natural.isEmpty() ? TrackingButton::sizeHint() : natural;
}

void SvgTrackingButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled()) painter.setOpacity(0.55);
    painter.drawPixmap(QPoint(0, 0), PanelImages::pixmap(currentImage(), size(), devicePixelRatioF()));
    paintOverImage(painter);
    drawTitle(painter);
    paintFocusRing(painter, *this, height() / 2.0);
}

void SvgTrackingButton::paintOverImage(QPainter &) {}

void SvgTrackingButton::drawTitle(QPainter &painter)
{
    if (text().isEmpty()) return;
    painter.setPen(m_titleColor.isValid() ? m_titleColor : palette().color(QPalette::ButtonText));
    painter.setFont(font());
    const QRect area = rect().translated(0, -m_baselineOffset);
    painter.drawText(area, Qt::AlignCenter | Qt::TextSingleLine,
                     fontMetrics().elidedText(text(), Qt::ElideRight, width() - 8));
}

} // namespace lurkel
