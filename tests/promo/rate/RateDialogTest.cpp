// The rate dialog: showing it, the stars under the mouse, what a rating opens.
#include "RateDialgoWC.h"

#include "ManualClock.h"
#include "PromoManager.h"
#include "PromoSettings.h"
#include "RateStarButton.h"
#include "RecordingUrlOpener.h"
#include "SettingsKeys.h"
#include "TestEnvironment.h"
#include "TrackingButton.h"
#include "UserDefaults.h"
#include "VolumeName.h"

#include "QtPrinters.h"

#include <QCoreApplication>
#include <QEnterEvent>
#include <QLabel>
#include <QUrlQuery>

#include <gtest/gtest.h>

#include <memory>

namespace lurkel::test {
namespace {

namespace Keys = SettingsKeys;

class RateDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const BytePath home = TestEnvironment::freshHome();
        osRelease = (home / "os-release").displayString();
        writeFile(home / "os-release", "NAME=Test\nPRETTY_NAME=\"Testix 7 (Quiet)\"\n");
        defaults = std::make_unique<UserDefaults>(QStringLiteral("rate-dialog-test"));
    }
    void TearDown() override
    {
        RateDialgoWC::closeRateWindow(RateDialgoWC::current());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    RateDialogServices services() { return {*defaults, opener, clock, osRelease}; }
    RateDialgoWC *show() { return RateDialgoWC::pleaseShowWindowSafe(services()); }

    // How many stars are filled, -1 when the filled ones are not the first ones.
    static int filledStars(const RateDialogView *view)
    {
        int filled = 0;
        for (int star = 1; star <= 5; ++star) {
            if (!view->starButton(star)->isFilled()) continue;
            if (filled != star - 1) return -1;
            filled = star;
        }
        return filled;
    }
    static void enter(RateStarButton *star)
    {
        const QPointF inside(star->width() / 2.0, star->height() / 2.0);
        QEnterEvent event(inside, inside, star->mapToGlobal(inside));
        QCoreApplication::sendEvent(star, &event);
    }
    static void leave(RateStarButton *star)
    {
        QEvent event(QEvent::Leave);
        QCoreApplication::sendEvent(star, &event);
    }

    QString osRelease;
    std::unique_ptr<UserDefaults> defaults;
    ManualClock clock;
    RecordingUrlOpener opener;
};

TEST_F(RateDialogTest, ShownByTheUserOnTheNextTurnOneAtATime)
{
    defaults->setInteger(Keys::kRateDialogCountOfAutoShow, 2);
    RateDialgoWC::showWindowByUser(services());
    EXPECT_EQ(defaults->objectForKey(Keys::kRateDialogNextShowDate).toDateTime(), clock.currentDateTime().addDays(30));
    EXPECT_EQ(defaults->integerForKey(Keys::kRateDialogCountOfAutoShow), 2);
    EXPECT_EQ(RateDialgoWC::current(), nullptr);

    QCoreApplication::processEvents();
    QPointer<RateDialgoWC> first = RateDialgoWC::current();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->windowModality(), Qt::ApplicationModal);
    EXPECT_EQ(first->view()->titleLabel()->text(), QStringLiteral("Rate Lurkel ") + PromoManager::getAppVersion());

    // A second showing replaces the first dialog; the close button closes without a rating.
    RateDialgoWC *second = show();
    EXPECT_NE(second, first.data());
    EXPECT_TRUE(first.isNull() || !first->isVisible());
    EXPECT_EQ(RateDialgoWC::current(), second);
    second->quitButton()->click();
    EXPECT_EQ(RateDialgoWC::current(), nullptr);
    EXPECT_TRUE(opener.opened.isEmpty());
    EXPECT_FALSE(defaults->boolForKey(Keys::kRateDialogIsUserSelectStar));
}

TEST_F(RateDialogTest, ThreeStarsWriteToSupportFourOpenTheReviewPage)
{
    show()->view()->starButton(3)->click();
    EXPECT_EQ(RateDialgoWC::current(), nullptr);
    EXPECT_TRUE(defaults->boolForKey(Keys::kRateDialogIsUserSelectStar));
    ASSERT_EQ(opener.opened.size(), 1);
    const QUrl mail = opener.opened.front();
    EXPECT_EQ(mail.scheme(), QStringLiteral("mailto"));
    EXPECT_EQ(mail.path(), QStringLiteral("support@brendix.example"));
    const QUrlQuery query(mail);
    EXPECT_EQ(query.queryItemValue(QStringLiteral("Subject"), QUrl::FullyDecoded),
              QStringLiteral("Lurkel Concern Report"));
    EXPECT_EQ(query.queryItemValue(QStringLiteral("body"), QUrl::FullyDecoded),
              QStringLiteral("\n\nSent from:\nLurkel v%1\nTestix 7 (Quiet)\n").arg(PromoManager::getAppVersion()));

    defaults->setBool(Keys::kRateDialogIsUserSelectStar, false);
    show()->view()->starButton(4)->click();
    EXPECT_EQ(RateDialgoWC::current(), nullptr);
    EXPECT_TRUE(defaults->boolForKey(Keys::kRateDialogIsUserSelectStar));
    ASSERT_EQ(opener.opened.size(), 2);
    EXPECT_EQ(opener.opened.back(), QUrl(PromoSettings::getRateTheAppLink()));
}

TEST_F(RateDialogTest, StarsFollowTheMouseAndEmptyAShortWhileAfterLeaving)
{
    RateDialogView *view = show()->view();
    RateStarButton *third = view->starButton(3);
    RateStarButton *fourth = view->starButton(4);

    enter(third);
    EXPECT_EQ(filledStars(view), 3);
    EXPECT_EQ(third->imageName(), QStringLiteral("rate_dialog_star_gold"));
    EXPECT_EQ(fourth->imageName(), QStringLiteral("rate_dialog_star_empty"));
    // From the third star to the fourth: the reset of the first leave does not run.
    leave(third);
    clock.advance(50);
    enter(fourth);
    clock.advance(200);
    EXPECT_EQ(filledStars(view), 4);
    // The same within one clock tick.
    leave(fourth);
    enter(third);
    clock.advance(200);
    EXPECT_EQ(filledStars(view), 3);

    // A plain leave empties the stars 0.1 s later.
    leave(third);
    clock.advance(RateDialogView::kResetDelayMs - 1);
    EXPECT_EQ(filledStars(view), 3);
    clock.advance(1);
    EXPECT_EQ(filledStars(view), 0);
}

TEST_F(RateDialogTest, CleanedSizeLineOnlyOnceSomethingWasCleaned)
{
    EXPECT_TRUE(show()->view()->cleanInformationLabel()->isHidden());

    defaults->setObject(Keys::kCleanedSize, QVariant(qulonglong{1536} * 1024 * 1024));
    const QLabel *line = show()->view()->cleanInformationLabel();
    EXPECT_FALSE(line->isHidden());
    EXPECT_EQ(line->text(), QStringLiteral("You have cleaned <b>%1</b> in total.")
                                .arg(VolumeName::stringFromSize(qint64{1536} * 1024 * 1024)));
}

} // namespace
} // namespace lurkel::test
