#pragma once

#include <QPoint>
#include <QRect>

#include <optional>

class QSystemTrayIcon;

namespace lurkel {

// Where the tray icon is, as far as the desktop tells: its rectangle (XEmbed trays report
// it; StatusNotifierItem hosts never do) and, for a click, where the pointer was (reliable
// only under X11 outside a Wayland session). Screen coordinates of Qt.
struct StatusItemAnchor {
    std::optional<QRect> iconGeometry;
    std::optional<QPoint> clickPoint;

    bool hasPosition() const { return iconGeometry.has_value(); }

    // The anchor of a tray icon now. A rectangle counts only when it is not empty and not
    // at the screen's origin, where an icon that no tray has taken in yet reports itself.
    // With clicked, the pointer position is added where it can be trusted.
    static StatusItemAnchor fromTrayIcon(const QSystemTrayIcon *icon, bool clicked);
    // A rectangle as fromTrayIcon() takes it.
    static std::optional<QRect> usableIconGeometry(const QRect &geometry);
    // QCursor::pos() under X11 outside a Wayland session; nullopt elsewhere (a Wayland
    // compositor keeps the pointer to itself, and XWayland's last position is stale once
    // the pointer left our windows).
    static std::optional<QPoint> pointerIfReliable();
};

} // namespace lurkel
