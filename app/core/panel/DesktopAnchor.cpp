#include "DesktopAnchor.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QSystemTrayIcon>

namespace lurkel {

StatusItemAnchor DesktopAnchor::fromTrayIcon(const QSystemTrayIcon *icon, bool clicked)
{
    StatusItemAnchor anchor;
    if (icon != nullptr && icon->isVisible())
        anchor.iconGeometry = StatusItemAnchor::usableIconGeometry(icon->geometry());
    if (clicked) anchor.clickPoint = pointerIfReliable();
    return anchor;
}

std::optional<QPoint> DesktopAnchor::pointerIfReliable()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb") || PanelPlacement::isWaylandSession())
        return std::nullopt;
    return QCursor::pos();
}

PanelPlacement::Request DesktopAnchor::requestFor(const QSize &windowSize, const StatusItemAnchor &anchor)
{
    PanelPlacement::Request request;
    request.windowSize = windowSize;
    request.anchor = anchor;
    request.wayland = PanelPlacement::isWaylandSession();
    QScreen *primary = QGuiApplication::primaryScreen();
    if (primary != nullptr) request.screens.push_back({primary->geometry(), primary->availableGeometry()});
    for (QScreen *screen : QGuiApplication::screens()) {
        if (screen != primary) request.screens.push_back({screen->geometry(), screen->availableGeometry()});
    }
    return request;
}

} // namespace lurkel
