#include "PromoWindowPlacement.h"

#include <algorithm>

namespace lurkel {

QRect PromoWindowPlacement::newsAnchor(std::optional<QRect> settingsButton, std::optional<QRect> trayIcon,
                                       const QRect &screen)
{
    QRect anchor;
    if (settingsButton) {
        anchor = *settingsButton;
    } else if (trayIcon) {
        anchor = trayIcon->translated(0, trayIcon->height() + kIconGap);
    }
    if (anchor.width() <= 0 && anchor.height() <= 0) return QRect(screen.center(), QSize(0, 0));
    return anchor;
}

QPoint PromoWindowPlacement::newsPosition(const QRect &anchor, const QSize &content, const QRect &screen)
{
    // QRect's right() is the last pixel inside; the edge is one further.
    const int anchorRight = anchor.x() + anchor.width();
    const int screenRight = screen.x() + screen.width();
    int x = anchorRight;
    if (screenRight - anchor.x() < content.width() + 28) x = anchorRight - content.width() - 30;
    return QPoint(x, anchor.y());
}

QRect PromoWindowPlacement::adsFrame(const QRect &panel, const QSize &size, const QRect &screen)
{
    const int panelBottom = panel.y() + panel.height();
    int top = panelBottom + kAdsGap;
    const int screenBottom = screen.y() + screen.height();
    if (top + size.height() > screenBottom) {
        const int above = panel.y() - kAdsGap - size.height();
        top = above >= screen.y() ? above : std::max(screen.y(), screenBottom - size.height());
    }
    int left = panel.x();
    left = std::min(left, screen.x() + screen.width() - size.width());
    left = std::max(left, screen.x());
    return QRect(QPoint(left, top), size);
}

} // namespace lurkel
