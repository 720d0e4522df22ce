#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

#include <optional>

namespace lurkel {

// Where the windows that open beside the panel go: the news popup and the promotion
// window. Screen coordinates of Qt (y grows downwards).
class PromoWindowPlacement {
public:
    PromoWindowPlacement() = delete;

    // How far below the tray icon the news popup's anchor lies when the panel is closed.
    static constexpr int kIconGap = 10;

    // The anchor of the news popup: the settings button's rectangle while the panel is
    // open, otherwise the tray icon's rectangle moved down by its own height + kIconGap;
    // without either, the empty rectangle at the centre of the screen.
    static QRect newsAnchor(std::optional<QRect> settingsButton, std::optional<QRect> trayIcon, const QRect &screen);
    // The news popup's top-left corner: its top edge on the anchor's top edge, its left edge
    // on the anchor's right edge, or, when the popup would not fit on the screen that way,
    // ending 30 pixels left of the anchor's right edge.
    static QPoint newsPosition(const QRect &anchor, const QSize &content, const QRect &screen);

    // The promotion window's frame for a panel frame: left-aligned with the panel, just
    // below it, or above it when the screen has no room below. Kept on the screen.
    static constexpr int kAdsGap = 6;
    static QRect adsFrame(const QRect &panel, const QSize &size, const QRect &screen);
};

} // namespace lurkel
