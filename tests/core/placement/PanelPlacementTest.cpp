// Where the panel goes, the bounded wait for the tray icon and the lock's decisions.
#include "PanelPlacement.h"
#include "ManualClock.h"
#include "PanelLockState.h"
#include "StatusItemPositionWait.h"

#include "QtPrinters.h"

#include <QPoint>
#include <QRect>

#include <gtest/gtest.h>

#include <ostream>

inline void PrintTo(const QPoint &p, std::ostream *out)
{
    *out << '(' << p.x() << ", " << p.y() << ')';
}
inline void PrintTo(const QRect &r, std::ostream *out)
{
    *out << '(' << r.x() << ", " << r.y() << ' ' << r.width() << 'x' << r.height() << ')';
}

namespace lurkel {
namespace {

using Kind = PanelPlacement::Kind;

const QSize kPanel(250, 155);
// One 1280 x 800 screen with a 28-point panel at the top and one at the bottom.
const PanelPlacement::ScreenArea kScreen{QRect(0, 0, 1280, 800), QRect(0, 28, 1280, 744)};
// A second screen to the right.
const PanelPlacement::ScreenArea kRightScreen{QRect(1280, 0, 1920, 1080), QRect(1280, 0, 1920, 1080)};

PanelPlacement::Request request(StatusItemAnchor anchor, bool wayland = false)
{
    return {kPanel, anchor, wayland, {kScreen, kRightScreen}};
}

TEST(PanelPlacement, UnderTheIconCentredAndKeptOnTheScreenWithTheTrianglePointingAtIt)
{
    auto result = PanelPlacement::place(request({QRect(600, 2, 24, 24), std::nullopt}));
    EXPECT_EQ(result.kind, Kind::UnderIcon);
    EXPECT_EQ(result.topLeft, QPoint(612 - 125, 26 + 5));
    EXPECT_EQ(result.arrowX, 125);
    EXPECT_FALSE(result.growsUpward);

    // At the screen's right edge the panel ends at the edge and the triangle moves over.
    result = PanelPlacement::place(request({QRect(1250, 2, 24, 24), std::nullopt}));
    EXPECT_EQ(result.topLeft, QPoint(1280 - 250, 31));
    EXPECT_EQ(result.arrowX, 1262 - 1030);
    // Never past the rounded corner.
    result = PanelPlacement::place(request({QRect(1275, 2, 5, 24), std::nullopt}));
    EXPECT_EQ(result.arrowX, 250 - PanelPlacement::kArrowMargin);

    // An icon on the second screen puts the panel there.
    result = PanelPlacement::place(request({QRect(3100, 4, 20, 20), std::nullopt}));
    EXPECT_EQ(result.topLeft, QPoint(3200 - 250, 29));

    // A tray at the bottom: above the icon, no triangle, growing upwards.
    result = PanelPlacement::place(request({QRect(700, 776, 24, 24), std::nullopt}));
    EXPECT_EQ(result.kind, Kind::AboveIcon);
    EXPECT_EQ(result.topLeft, QPoint(712 - 125, 776 - 5 - 155));
    EXPECT_EQ(result.arrowX, std::nullopt);
    EXPECT_TRUE(result.growsUpward);
}

TEST(PanelPlacement, WithoutTheIconsRectangleThePointerOnX11AndTheCornerOnWayland)
{
    // An X11 click without a rectangle: at the pointer, inside the available area (from y 28).
    auto result = PanelPlacement::place(request({std::nullopt, QPoint(1200, 10)}));
    EXPECT_EQ(result.kind, Kind::UnderPointer);
    EXPECT_EQ(result.topLeft, QPoint(1030, 28));
    EXPECT_EQ(result.arrowX, 1200 - 1030);
    // Clicked in a bottom panel: above the pointer, and above that panel.
    result = PanelPlacement::place(request({std::nullopt, QPoint(100, 790)}));
    EXPECT_EQ(result.kind, Kind::AbovePointer);
    EXPECT_EQ(result.topLeft, QPoint(0, 772 - 155));

    // Wayland: the pointer position is stale; the available area's top-right corner.
    result = PanelPlacement::place(request({std::nullopt, QPoint(1270, 10)}, true));
    EXPECT_EQ(result.kind, Kind::TopRightCorner);
    EXPECT_EQ(result.topLeft, QPoint(1030, 28));
    EXPECT_EQ(result.arrowX, std::nullopt);
    // A rectangle, where a host gives one, still counts there.
    EXPECT_EQ(PanelPlacement::place(request({QRect(600, 2, 24, 24), std::nullopt}, true)).kind, Kind::UnderIcon);
    // No click at all (opened from code).
    EXPECT_EQ(PanelPlacement::place(request({})).kind, Kind::TopRightCorner);

    // An icon that no tray has taken in yet reports itself at the origin.
    EXPECT_EQ(StatusItemAnchor::usableIconGeometry(QRect(0, 0, 22, 22)), std::nullopt);
    EXPECT_EQ(StatusItemAnchor::usableIconGeometry(QRect()), std::nullopt);
    EXPECT_EQ(StatusItemAnchor::usableIconGeometry(QRect(5, 0, 22, 22)), QRect(5, 0, 22, 22));
}

TEST(StatusItemPositionWait, WaitsForTheTrayABoundedTimeThenGoesOn)
{
    ManualClock clock;
    StatusItemPositionWait wait(clock);
    std::optional<QRect> icon;
    int asked = 0;
    const auto source = [&] {
        ++asked;
        return StatusItemAnchor{icon, std::nullopt};
    };
    std::vector<StatusItemAnchor> ready;
    const auto collect = [&](const StatusItemAnchor &anchor) { ready.push_back(anchor); };

    // The tray places the icon a moment after start.
    wait.request(source, collect);
    EXPECT_TRUE(ready.empty());
    clock.advance(StatusItemPositionWait::kStepMs * 3);
    icon = QRect(1250, 2, 24, 24);
    clock.advance(StatusItemPositionWait::kStepMs);
    ASSERT_EQ(ready.size(), 1u);
    EXPECT_EQ(ready.back().iconGeometry, icon);

    // A host that never tells: the wait ends at the limit, without a rectangle ...
    icon.reset();
    wait.request(source, collect);
    clock.advance(StatusItemPositionWait::kLimitMs - 1);
    EXPECT_EQ(ready.size(), 1u);
    clock.advance(StatusItemPositionWait::kStepMs);
    ASSERT_EQ(ready.size(), 2u);
    EXPECT_FALSE(ready.back().hasPosition());
    EXPECT_FALSE(wait.isWaiting());
    EXPECT_TRUE(wait.hostGivesNoPosition());
    // ... and later requests do not wait again; neither does a click.
    wait.request(source, collect);
    EXPECT_EQ(ready.size(), 3u);
    StatusItemPositionWait fresh(clock);
    fresh.request([] { return StatusItemAnchor{std::nullopt, QPoint(5, 5)}; }, collect);
    EXPECT_EQ(ready.size(), 4u);

    // A newer request replaces one that still waits.
    StatusItemPositionWait replaced(clock);
    int first = 0;
    replaced.request(source, [&](const StatusItemAnchor &) { ++first; });
    replaced.request(source, collect);
    clock.advance(StatusItemPositionWait::kLimitMs + StatusItemPositionWait::kStepMs);
    EXPECT_EQ(first, 0);
    EXPECT_EQ(ready.size(), 5u);
    EXPECT_EQ(clock.pendingCount(), 0u);
    EXPECT_GT(asked, 10);
}

TEST(PanelLockState, AClickRightAfterAFocusLossCloseMeantClose)
{
    PanelLockState lock(true);
    EXPECT_EQ(lock.statusItemClicked(true, true, true, 0), PanelLockState::ClickAction::Close);
    EXPECT_EQ(lock.statusItemClicked(true, false, true, 0), PanelLockState::ClickAction::Nothing);
    EXPECT_TRUE(lock.shouldCloseOnFocusLoss({}));
    EXPECT_FALSE(lock.shouldCloseOnFocusLoss({.applicationActive = true}));
    EXPECT_FALSE(lock.shouldCloseOnFocusLoss({.scriptMayTakeFocus = true}));
    EXPECT_FALSE(lock.shouldCloseOnFocusLoss({.hasSheet = true}));
    // The tray host took the focus with the very click that now arrives.
    lock.noteClosedOnFocusLoss(1000);
    EXPECT_EQ(lock.statusItemClicked(false, true, true, 1100), PanelLockState::ClickAction::Nothing);
    EXPECT_EQ(lock.statusItemClicked(false, true, true, 1000 + PanelLockState::kFocusLossClickMs),
              PanelLockState::ClickAction::Show);
    EXPECT_EQ(lock.statusItemClicked(false, false, true, 1100), PanelLockState::ClickAction::Show);
    // Asked for (Activate, a second start) rather than clicked: it opens at once.
    EXPECT_EQ(lock.statusItemClicked(false, true, false, 1100), PanelLockState::ClickAction::Show);

    lock.setLocked(false);
    EXPECT_EQ(lock.statusItemClicked(true, true, true, 5000), PanelLockState::ClickAction::CloseLockAndShow);
    EXPECT_FALSE(lock.shouldCloseOnFocusLoss({}));
}

} // namespace
} // namespace lurkel
