#include "StatusItemAnchor.h"

#include "PanelPlacement.h"

#include <QCursor>
#include <QGuiApplication>
#include <QSystemTrayIcon>

namespace lurkel {

std::optional<QRect> StatusItemAnchor::usableIconGeometry(const QRect &geometry)
{
    if (!geometry.isValid() || geometry.isEmpty() || geometry.topLeft() == QPoint(0, 0)) return std::nullopt;
    return geometry;
}

StatusItemAnchor StatusItemAnchor::fromTrayIcon(const QSystemTrayIcon *icon, bool clicked)
{
    StatusItemAnchor anchor;
    if (icon != nullptr && icon->isVisible()) anchor.iconGeometry = usableIconGeometry(icon->geometry());
    if (clicked) anchor.clickPoint = pointerIfReliable();
    return anchor;
}

std::optional<QPoint> StatusItemAnchor::pointerIfReliable()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb") || PanelPlacement::isWaylandSession())
        return std::nullopt;
    return QCursor::pos();
}

} // namespace lurkel
