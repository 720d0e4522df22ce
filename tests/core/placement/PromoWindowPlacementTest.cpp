#include "PromoWindowPlacement.h"

#include <gtest/gtest.h>

using lurkel::PromoWindowPlacement;

namespace {
const QRect kScreen(0, 0, 1280, 800);
}

TEST(PromoWindowPlacement, NewsPopupHangsFromItsAnchorAndStaysOnTheScreen)
{
    // The open panel: the settings button is the anchor; the popup's top lines up with it.
    const QRect button(1000, 40, 20, 20);
    EXPECT_EQ(PromoWindowPlacement::newsAnchor(button, QRect(1100, 0, 24, 24), kScreen), button);
    // 1280 - 1000 = 280 < 400 + 28: the popup turns to the left of the anchor's right edge.
    EXPECT_EQ(PromoWindowPlacement::newsPosition(button, QSize(400, 376), kScreen), QPoint(1020 - 400 - 30, 40));
    // Room enough: it opens at the anchor's right edge.
    EXPECT_EQ(PromoWindowPlacement::newsPosition(QRect(200, 40, 20, 20), QSize(400, 376), kScreen), QPoint(220, 40));

    // The panel closed: 10 pixels below the tray icon.
    EXPECT_EQ(PromoWindowPlacement::newsAnchor(std::nullopt, QRect(1100, 0, 24, 24), kScreen), QRect(1100, 34, 24, 24));
    // No rectangle at all (a StatusNotifierItem host tells none): the screen's centre.
    EXPECT_EQ(PromoWindowPlacement::newsAnchor(std::nullopt, std::nullopt, kScreen),
              QRect(kScreen.center(), QSize(0, 0)));
    EXPECT_EQ(PromoWindowPlacement::newsAnchor(std::nullopt, QRect(), kScreen), QRect(kScreen.center(), QSize(0, 0)));
}

TEST(PromoWindowPlacement, PromotionWindowGoesJustUnderThePanelOrAboveWhenThereIsNoRoom)
{
    const QRect panel(900, 30, 250, 155);
    EXPECT_EQ(PromoWindowPlacement::adsFrame(panel, QSize(250, 200), kScreen), QRect(900, 185 + 6, 250, 200));
    // Too wide for the place: pulled back onto the screen.
    EXPECT_EQ(PromoWindowPlacement::adsFrame(panel, QSize(600, 200), kScreen).right(), kScreen.right());
    // A panel at the bottom of the screen (the tray is down there): the window goes above.
    const QRect low(900, 600, 250, 155);
    EXPECT_EQ(PromoWindowPlacement::adsFrame(low, QSize(250, 200), kScreen), QRect(900, 600 - 6 - 200, 250, 200));
}
