#pragma once

#include "StatusItemAnchor.h"

#include <QPoint>
#include <QRect>
#include <QSize>

#include <optional>
#include <vector>

namespace lurkel {

// Where a window that belongs to the tray icon (the panel, the welcome dialog) goes.
//
// - Under the icon when its rectangle is known: centred under it, 5 points lower, moved
//   sideways to stay inside the available area of the icon's screen (the triangle then
//   still points at the icon); above the icon when there is no room below (a tray at the
//   bottom of the screen).
// - Otherwise, under X11 outside Wayland, the same around the pointer position of the
//   click, kept inside the available area, so never over the desktop's own panels.
// - Otherwise (Wayland, where a window cannot place itself and the pointer position is
//   stale, or no click at all) the top-right corner of the primary screen's available area.
class PanelPlacement {
public:
    static constexpr int kGap = 5;
    // The triangle's tip stays this far from the window's sides.
    static constexpr int kArrowMargin = 18;

    enum class Kind { UnderIcon, AboveIcon, UnderPointer, AbovePointer, TopRightCorner };

    struct ScreenArea {
        QRect geometry;
        QRect available; // without the desktop's panels
    };

    struct Request {
        QSize windowSize;
        StatusItemAnchor anchor;
        bool wayland = false;
        std::vector<ScreenArea> screens; // the primary screen first
    };

    struct Result {
        QPoint topLeft;
        Kind kind = Kind::TopRightCorner;
        // Where the triangle's tip goes, in window coordinates; nullopt: draw none (the
        // window is above its anchor, or has none).
        std::optional<int> arrowX;
        // The window sits above its anchor: it grows upwards, its bottom edge stays.
        bool growsUpward = false;
    };

    PanelPlacement() = delete;

    static Result place(const Request &request);
    // A Wayland session: WAYLAND_DISPLAY is set (also when Qt talks X11 through XWayland).
    static bool isWaylandSession();
    // Moves a window of size inside area as far as it fits (the left and top edges win).
    static QPoint keepInside(QPoint topLeft, const QSize &size, const QRect &area);
};

} // namespace lurkel
