#include "TrackingButton.h"

#include "FocusRing.h"
#include "UiImages.h"

#include <QEnterEvent>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace lurkel {

TrackingButton::TrackingButton(QWidget *parent) : QAbstractButton(parent)
{
    initUiResources();
    setFocusPolicy(Qt::TabFocus);
    setAttribute(Qt::WA_Hover);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

TrackingButton::TrackingButton(const QString &normalImage, const QString &hoverImage, const QString &pressedImage,
                               QWidget *parent)
    : TrackingButton(parent)
{
    setImages(normalImage, hoverImage, pressedImage);
}

void TrackingButton::setImages(const QString &normalImage, const QString &hoverImage, const QString &pressedImage)
{
    m_normalImage = normalImage;
    m_hoverImage = hoverImage;
    m_pressedImage = pressedImage;
    updateGeometry();
    update();
}

QString TrackingButton::imageFor(State state) const
{
    switch (state) {
    case State::Pressed:
        if (!m_pressedImage.isEmpty()) return m_pressedImage;
        if (!m_hoverImage.isEmpty()) return m_hoverImage;
        break;
    case State::Hover:
        if (!m_hoverImage.isEmpty()) return m_hoverImage;
        break;
    case State::Normal:
        break;
    }
    return m_normalImage;
}

void TrackingButton::setImageSize(const QSize &size)
{
    m_imageSize = size;
    updateGeometry();
    update();
}

void TrackingButton::setTitleColor(std::optional<NamedColor> color)
{
    m_titleColor = color;
    update();
}

void TrackingButton::setDrawsBackground(bool draws)
{
    m_drawsBackground = draws;
    updateGeometry();
    update();
}

TrackingButton::State TrackingButton::trackingState() const
{
    if (isDown()) return State::Pressed;
    return m_hovered ? State::Hover : State::Normal;
}

int TrackingButton::spacing() const
{
    return (m_normalImage.isEmpty() || text().isEmpty()) ? 0 : 4;
}

QMargins TrackingButton::contentMargins() const
{
    return m_drawsBackground ? QMargins(5, 2, 5, 2) : QMargins();
}

QSize TrackingButton::sizeHint() const
{
    const QFontMetricsF metrics(font());
    const QSize image = m_normalImage.isEmpty() ? QSize(0, 0) : m_imageSize;
    // Rounded up: eliding compares the exact width, and a title must not shorten at its own size.
    const int textWidth = text().isEmpty() ? 0 : static_cast<int>(std::ceil(metrics.horizontalAdvance(text())));
    const int textHeight = text().isEmpty() ? 0 : static_cast<int>(std::ceil(metrics.height()));
    const QMargins margins = contentMargins();
    return {image.width() + spacing() + textWidth + margins.left() + margins.right(),
            std::max(image.height(), textHeight) + margins.top() + margins.bottom()};
}

QSize TrackingButton::minimumSizeHint() const
{
    // Room for the image and an ellipsis: the title gives way first.
    const QSize full = sizeHint();
    if (text().isEmpty()) return full;
    const QFontMetrics metrics(font());
    const QSize image = m_normalImage.isEmpty() ? QSize(0, 0) : m_imageSize;
    const QMargins margins = contentMargins();
    const int width =
        image.width() + spacing() + metrics.horizontalAdvance(QChar(0x2026)) + margins.left() + margins.right();
    return {std::min(width, full.width()), full.height()};
}

void TrackingButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const State state = trackingState();
    const QPalette &pal = palette();

    std::optional<NamedColor> fill;
    if (m_drawsBackground && state == State::Pressed)
        fill = NamedColor::ControlPressedFill;
    else if (m_drawsBackground && state == State::Hover)
        fill = NamedColor::ControlHoverFill;
    else if (isCheckable() && isChecked())
        fill = NamedColor::ControlCheckedFill;
    if (fill && isEnabled()) {
        QPainterPath path;
        path.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
        painter.fillPath(path, NamedColors::color(*fill, pal));
    }

    QRect content = rect().marginsRemoved(contentMargins());
    if (!m_normalImage.isEmpty()) {
        const QString name = imageFor(state);
        const QColor ink = isEnabled() ? NamedColors::color(UiImages::tint(name), pal)
                                       : NamedColors::color(NamedColor::IconInkDisabled, pal);
        const QPixmap image = UiImages::pixmap(name, m_imageSize, devicePixelRatioF(), ink);
        // Alone the image is centred; with a title it leads.
        const int x = text().isEmpty() ? content.left() + (content.width() - m_imageSize.width()) / 2 : content.left();
        const int y = content.top() + (content.height() - m_imageSize.height()) / 2;
        painter.drawPixmap(QPoint(x, y), image);
        content.setLeft(x + m_imageSize.width() + spacing());
    }

    if (!text().isEmpty() && content.width() > 0) {
        QColor color = m_titleColor ? NamedColors::color(*m_titleColor, pal) : pal.color(QPalette::WindowText);
        if (!isEnabled()) color = pal.color(QPalette::Disabled, QPalette::WindowText);
        painter.setPen(color);
        const QString shown = fontMetrics().elidedText(text(), Qt::ElideMiddle, content.width());
        painter.drawText(content, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
    }
    paintFocusRing(painter, *this);
}

void TrackingButton::enterEvent(QEnterEvent *event)
{
    setHovered(true);
    QAbstractButton::enterEvent(event);
}

void TrackingButton::leaveEvent(QEvent *event)
{
    setHovered(false);
    QAbstractButton::leaveEvent(event);
}

void TrackingButton::hideEvent(QHideEvent *event)
{
    // A hidden button gets no leave event; it must not come back looking hovered.
    setHovered(false);
    QAbstractButton::hideEvent(event);
}

void TrackingButton::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::EnabledChange) update();
    if (event->type() == QEvent::FontChange) updateGeometry();
    QAbstractButton::changeEvent(event);
}

void TrackingButton::setHovered(bool hovered)
{
    if (m_hovered == hovered) return;
    m_hovered = hovered;
    update();
    Q_EMIT hoveredChanged(hovered);
}

} // namespace lurkel
