#pragma once

#include "PanelPlacement.h"
#include "StatusItemAnchor.h"

#include <QPoint>
#include <QSize>

#include <optional>

class QSystemTrayIcon;

namespace lurkel {

// What the desktop tells about the tray icon, the pointer and the screens, read for the
// placement rules (which themselves need no display).
class DesktopAnchor {
public:
    // The anchor of a tray icon now; with clicked, the pointer position is added where it
    // can be trusted.
    static StatusItemAnchor fromTrayIcon(const QSystemTrayIcon *icon, bool clicked);
    // QCursor::pos() under X11 outside a Wayland session; nullopt elsewhere (a Wayland
    // compositor keeps the pointer to itself, and XWayland's last position is stale once
    // the pointer left our windows).
    static std::optional<QPoint> pointerIfReliable();
    // The placement request for this desktop: its screens (the primary first) and the
    // session kind.
    static PanelPlacement::Request requestFor(const QSize &windowSize, const StatusItemAnchor &anchor);
};

} // namespace lurkel
