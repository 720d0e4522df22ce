#include "PanelPlacement.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace lurkel {
namespace {

using ScreenArea = PanelPlacement::ScreenArea;

const ScreenArea *screenFor(const std::vector<ScreenArea> &screens, const QPoint &point)
{
    for (const ScreenArea &screen : screens) {
        if (screen.geometry.contains(point)) return &screen;
    }
    // Off every screen (a tray reported at an odd place): the nearest one.
    const ScreenArea *nearest = nullptr;
    int best = 0;
    for (const ScreenArea &screen : screens) {
        const QPoint centre = screen.geometry.center();
        const int distance = std::abs(centre.x() - point.x()) + std::abs(centre.y() - point.y());
        if (nearest == nullptr || distance < best) {
            nearest = &screen;
            best = distance;
        }
    }
    return nearest;
}

// Centred on centreX, kGap under the anchor's bottom edge, or above its top edge when
// there is no room below.
PanelPlacement::Result around(double centreX, int anchorTop, int anchorBottom, const QSize &size, const QRect &area,
                              bool isIcon)
{
    PanelPlacement::Result result;
    const int x = static_cast<int>(std::lround(centreX - size.width() / 2.0));
    const int below = anchorBottom + PanelPlacement::kGap;
    const int above = anchorTop - PanelPlacement::kGap - size.height();
    if (below + size.height() <= area.y() + area.height() || above < area.y()) {
        result.topLeft = PanelPlacement::keepInside(QPoint(x, below), size, area);
        result.kind = isIcon ? PanelPlacement::Kind::UnderIcon : PanelPlacement::Kind::UnderPointer;
        const int tip = static_cast<int>(std::lround(centreX)) - result.topLeft.x();
        result.arrowX = std::clamp(tip, PanelPlacement::kArrowMargin,
                                   std::max(PanelPlacement::kArrowMargin, size.width() - PanelPlacement::kArrowMargin));
    } else {
        result.topLeft = PanelPlacement::keepInside(QPoint(x, above), size, area);
        result.kind = isIcon ? PanelPlacement::Kind::AboveIcon : PanelPlacement::Kind::AbovePointer;
        result.growsUpward = true;
    }
    return result;
}

} // namespace

QPoint PanelPlacement::keepInside(QPoint topLeft, const QSize &size, const QRect &area)
{
    const int right = area.x() + area.width() - size.width();
    const int bottom = area.y() + area.height() - size.height();
    return {std::max(area.x(), std::min(topLeft.x(), right)), std::max(area.y(), std::min(topLeft.y(), bottom))};
}

PanelPlacement::Result PanelPlacement::place(const Request &request)
{
    const QSize size = request.windowSize;
    if (request.screens.empty()) return {QPoint(0, 0), Kind::TopRightCorner, std::nullopt, false};

    if (request.anchor.iconGeometry) {
        const QRect icon = *request.anchor.iconGeometry;
        const ScreenArea *screen = screenFor(request.screens, icon.center());
        return around(icon.x() + icon.width() / 2.0, icon.y(), icon.y() + icon.height(), size, screen->available, true);
    }
    if (request.anchor.clickPoint && !request.wayland) {
        const QPoint click = *request.anchor.clickPoint;
        const ScreenArea *screen = screenFor(request.screens, click);
        return around(click.x(), click.y(), click.y(), size, screen->available, false);
    }
    const QRect area = request.screens.front().available;
    Result result;
    result.topLeft = keepInside(QPoint(area.x() + area.width() - size.width(), area.y()), size, area);
    result.kind = Kind::TopRightCorner;
    return result;
}

bool PanelPlacement::isWaylandSession()
{
    const char *display = std::getenv("WAYLAND_DISPLAY");
    return display != nullptr && *display != '\0';
}

} // namespace lurkel
