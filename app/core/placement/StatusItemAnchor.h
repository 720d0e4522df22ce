#pragma once

#include <QPoint>
#include <QRect>

#include <optional>

namespace lurkel {

// Where the tray icon is, as far as the desktop tells: its rectangle (XEmbed trays report
// it; StatusNotifierItem hosts never do) and, for a click, where the pointer was (reliable
// only under X11 outside a Wayland session). Screen coordinates of Qt.
struct StatusItemAnchor {
    std::optional<QRect> iconGeometry;
    std::optional<QPoint> clickPoint;

    bool hasPosition() const { return iconGeometry.has_value(); }

    // A tray icon's rectangle as it counts: not empty and not at the screen's origin, where
    // an icon that no tray has taken in yet reports itself.
    static std::optional<QRect> usableIconGeometry(const QRect &geometry);
};

} // namespace lurkel
