// The welcome step: shown once, under the tray icon, with the continuation rules of openWelcomeDialog.
#include "WelcomeDialogOpener.h"

#include "ManualClock.h"
#include "PanelPlacement.h"
#include "SettingsKeys.h"
#include "SvgTrackingButton.h"
#include "TestEnvironment.h"
#include "UserDefaults.h"
#include "WelcomeDialogView.h"
#include "WelcomeDialogWC.h"
#include "WelcomeDialogWindow.h"

#include "QtPrinters.h"

#include <QPainterPath>
#include <QTest>
#include <QVariantAnimation>

#include <gtest/gtest.h>

namespace lurkel::test {
namespace {

class WelcomeDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestEnvironment::freshHome();
        defaults = std::make_unique<UserDefaults>(QStringLiteral("welcome-dialog-test"));
        opener = std::make_unique<WelcomeDialogOpener>(defaults.get(), &clock);
        opener->setStatusItemAnchor([this] { return StatusItemAnchor{icon, click}; });
        opener->setShowMainWindowAndMakeActive([this] { ++showMainWindow; });
    }
    WelcomeDialogWindow *window() const
    {
        return opener->welcomeDialog() != nullptr ? opener->welcomeDialog()->window() : nullptr;
    }
    bool displayedStored() const
    {
        return Settings(*defaults).getBoolValueForKeyWithDefaultValue(SettingsKeys::kWelcomeDialogDisplayed, false);
    }

    ManualClock clock;
    std::unique_ptr<UserDefaults> defaults;
    std::unique_ptr<WelcomeDialogOpener> opener;
    std::optional<QRect> icon = QRect(600, 0, 24, 24);
    std::optional<QPoint> click;
    int showMainWindow = 0;
};

TEST_F(WelcomeDialogTest, ShownOnceAndItsContinuationRunsWhenItsSessionEnds)
{
    int first = 0, second = 0, later = 0;
    opener->openWelcomeDialog([&] { ++first; });
    ASSERT_TRUE(opener->isWelcomeScreenVisible());
    ASSERT_TRUE(window()->isVisible());
    EXPECT_EQ(window()->pos(), QPoint(612 - WelcomeDialogView::kWidth / 2, 24 + 5));
    EXPECT_EQ(window()->view()->arrowX(), WelcomeDialogView::kWidth / 2);
    EXPECT_FALSE(displayedStored());

    // A second request while the dialog is up is dropped for good.
    opener->openWelcomeDialog([&] { ++second; });
    EXPECT_EQ(first + second, 0);

    // The close button ends the session: the first continuation runs, the flag is stored,
    // and the controller is asked for the panel.
    QTest::mouseClick(opener->welcomeDialog()->closeButton(), Qt::LeftButton);
    EXPECT_FALSE(window()->isVisible());
    EXPECT_FALSE(opener->isWelcomeScreenVisible());
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 0);
    EXPECT_EQ(showMainWindow, 1);
    EXPECT_TRUE(displayedStored());

    // From now on every request completes at once, in this run and the next.
    opener->openWelcomeDialog([&] { ++later; });
    EXPECT_EQ(later, 1);
    WelcomeDialogOpener nextRun(defaults.get(), &clock);
    nextRun.openWelcomeDialog([&] { ++later; });
    EXPECT_EQ(later, 2);
    EXPECT_EQ(nextRun.welcomeDialog(), nullptr);
    EXPECT_EQ(first, 1);
}

TEST_F(WelcomeDialogTest, WaitsForTheTrayIconAndATrayClickEndsIt)
{
    // Started before the tray has placed the icon: shown as soon as it has.
    icon.reset();
    int done = 0;
    opener->openWelcomeDialog([&] { ++done; });
    EXPECT_FALSE(opener->isWelcomeScreenVisible());
    clock.advance(StatusItemPositionWait::kStepMs * 4);
    EXPECT_EQ(window(), nullptr);
    icon = QRect(700, 0, 24, 24);
    clock.advance(StatusItemPositionWait::kStepMs);
    ASSERT_TRUE(opener->isWelcomeScreenVisible());
    // Kept on the 800-point screen, the arrow still over the icon.
    EXPECT_EQ(window()->pos().x(), 800 - WelcomeDialogView::kWidth);
    EXPECT_EQ(window()->view()->arrowX(), 712 - (800 - WelcomeDialogView::kWidth));

    // The controller's tray click closes the dialog and ends its session once.
    opener->closeWelcomeDialogAndStopModal();
    opener->closeWelcomeDialogAndStopModal();
    EXPECT_FALSE(window()->isVisible());
    EXPECT_EQ(done, 1);
    EXPECT_EQ(showMainWindow, 0);
    EXPECT_TRUE(displayedStored());
}

TEST_F(WelcomeDialogTest, PointsOnlyAtAKnownPlace)
{
    // A tray host that never tells where the icon is: after the wait the dialog shows in
    // the corner without an arrow, and nothing animates.
    icon.reset();
    opener->openWelcomeDialog({});
    clock.advance(StatusItemPositionWait::kLimitMs);
    ASSERT_TRUE(opener->isWelcomeScreenVisible());
    WelcomeDialogView *view = window()->view();
    EXPECT_FALSE(view->isArrowShown());
    EXPECT_FALSE(view->arrowImageView()->isVisible());
    EXPECT_FALSE(view->outline().contains(view->arrowCenter()));
    EXPECT_EQ(view->arrowAnimation()->state(), QAbstractAnimation::Stopped);
    EXPECT_EQ(window()->pos().y() + WelcomeDialogView::kCardRect.top(), PanelPlacement::kGap)
        << "the card in the corner, not the arrow's empty room";
    opener->closeWelcomeDialogAndStopModal();

    // Where a click on the icon is known, the arrow points at it again.
    defaults->removeObject(SettingsKeys::kWelcomeDialogDisplayed);
    click = QPoint(500, 12);
    opener->openWelcomeDialog({});
    ASSERT_TRUE(opener->isWelcomeScreenVisible());
    EXPECT_TRUE(view->isArrowShown());
    EXPECT_EQ(window()->pos().x() + view->arrowX(), 500);
    EXPECT_EQ(view->arrowAnimation()->state(), QAbstractAnimation::Running);
}

TEST_F(WelcomeDialogTest, TheArrowRestsAfterAFewRoundsAndWhenHidden)
{
    opener->openWelcomeDialog({});
    WelcomeDialogView *view = window()->view();
    QVariantAnimation *animation = view->arrowAnimation();
    animation->setCurrentTime(animation->totalDuration()); // the first appearance ends
    ASSERT_EQ(animation->state(), QAbstractAnimation::Running) << "the bounces follow";
    ASSERT_GT(animation->totalDuration(), 0) << "a loop that never ends costs CPU for as long as the dialog is up";
    animation->setCurrentTime(animation->totalDuration());
    EXPECT_EQ(animation->state(), QAbstractAnimation::Stopped);
    EXPECT_DOUBLE_EQ(view->arrowCenter().y(), WelcomeDialogView::kHeight - WelcomeDialogView::kEndY);

    view->arrowContinuousAnimation();
    window()->hide(); // covered, minimised or closed by the window manager
    EXPECT_EQ(animation->state(), QAbstractAnimation::Stopped);
}

TEST_F(WelcomeDialogTest, EscapeClosesItAndStopsTheArrow)
{
    opener->openWelcomeDialog({});
    QVariantAnimation *animation = window()->view()->arrowAnimation();
    EXPECT_EQ(animation->state(), QAbstractAnimation::Running);
    QTest::keyClick(window(), Qt::Key_Escape);
    EXPECT_FALSE(opener->isWelcomeScreenVisible());
    EXPECT_EQ(animation->state(), QAbstractAnimation::Stopped);
    EXPECT_EQ(showMainWindow, 1);
}

} // namespace
} // namespace lurkel::test
