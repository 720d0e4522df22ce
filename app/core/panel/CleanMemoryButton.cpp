#include "CleanMemoryButton.h"

#include "PanelImages.h"

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace lurkel {

CleanMemoryButton::CleanMemoryButton(QWidget *parent) : SvgTrackingButton(parent)
{
    setSvgImages(QLatin1String(kMainImage), QLatin1String(kHoverImage), QLatin1String(kClickImage));
    setTitleColor(QColor::fromRgbF(0.07058824f, 0.3529412f, 0.54509807f, 1.0f));
    setTitleBaselineOffset(2);
    QFont titleFont = font();
    titleFont.setPixelSize(13);
    setFont(titleFont);
}

QColor CleanMemoryButton::progressColor()
{
    return {100, 170, 228, 150};
}

void CleanMemoryButton::beginProgressUpdate()
{
    setTrackingEnabled(false);
    m_showingProgress = true;
    m_progress = 0.0f;
    QAbstractButton::setEnabled(false);
    update();
}

void CleanMemoryButton::endProgressUpdate()
{
    setTrackingEnabled(true);
    m_showingProgress = false;
    m_progress = 0.0f;
    QAbstractButton::setEnabled(true);
    setSvgImages(QLatin1String(kMainImage), QLatin1String(kHoverImage), QLatin1String(kClickImage));
}

void CleanMemoryButton::setProgess(float progress)
{
    m_progress = std::clamp(progress, 0.0f, 1.0f);
    update();
}

void CleanMemoryButton::setTitle(const QString &title)
{
    setText(title);
}

void CleanMemoryButton::setEnabled(bool enabled)
{
    QAbstractButton::setEnabled(enabled);
}

void CleanMemoryButton::paintOverImage(QPainter &painter)
{
    if (!m_showingProgress || m_progress <= 0.0f) return;
    const qreal ratio = devicePixelRatioF();
    const QPixmap mask = PanelImages::pixmap(QLatin1String(kMaskImage), size(), ratio);
    if (mask.isNull()) return;
    // The fill up to the fraction, kept only where the mask is drawn.
    QImage fill(mask.size(), QImage::Format_ARGB32_Premultiplied);
    fill.fill(Qt::transparent);
    {
        QPainter fillPainter(&fill);
        const int filled = static_cast<int>(std::lround(fill.width() * static_cast<double>(m_progress)));
        fillPainter.fillRect(QRect(0, 0, filled, fill.height()), progressColor());
        fillPainter.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        fillPainter.drawPixmap(0, 0, mask);
    }
    fill.setDevicePixelRatio(ratio);
    // Drawn at full strength even while the button is drawn disabled.
    const qreal opacity = painter.opacity();
    painter.setOpacity(1.0);
    painter.drawImage(QPoint(0, 0), fill);
    painter.setOpacity(opacity);
}

} // namespace lurkel
