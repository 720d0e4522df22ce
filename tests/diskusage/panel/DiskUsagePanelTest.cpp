// The disk-usage section offscreen, fed by a source of our own whose reports arrive in
// whatever order a test sends them.
#include "AdBasedOnSpotlightVC.h"

#include "AdBasedOnSpotlightVCStrings.h"
#include "ApplicationsUnusedView.h"
#include "ClickableLabel.h"
#include "DiskUsageSource.h"
#include "DuplicateFilesView.h"
#include "JunkFilesView.h"
#include "LargeAndOldFilesView.h"
#include "LevelIndicator.h"
#include "LinkButton.h"
#include "NotificationCenter.h"
#include "ProgressSpinner.h"
#include "SvgTrackingButton.h"
#include "TestEnvironment.h"
#include "UrlOpener.h"
#include "UserDefaults.h"
#include "VolumeName.h"

#include "QtPrinters.h"

#include <QLabel>
#include <QPropertyAnimation>
#include <QTest>

#include <gtest/gtest.h>

namespace lurkel::test {
namespace {

using Size = std::uint64_t;
constexpr Size kMiB = 1024 * 1024;

struct NoBrowser final : UrlOpener {
    bool openUrl(const QUrl &) override { return false; }
};

// The coordinator's side as the section sees it: what was asked, and the reports to send.
struct FeedSource final : DiskUsageSource {
    void startSearchWithDelegate(std::weak_ptr<SpotlightManagerDelegate> d, bool forced) override
    {
        delegate = std::move(d);
        starts.push_back(forced);
        if (!forced && cached) cached();
    }
    void startSearchForType(int scanType) override { types.push_back(scanType); }
    std::optional<QVariantMap> resultForType(int) const override { return std::nullopt; }

    SpotlightManagerDelegate &to() { return *delegate.lock(); }
    void junk(Size caches, Size downloads, Size bin)
    {
        to().onSpotlightManagerFoundJunkFilesInfo({caches, downloads, bin});
    }
    void duplicates(Size size, Size count) { to().onSpotlightManagerFoundDuplicatesInfo({size, count}); }
    void largeAndOld(Size size, Size count) { to().onSpotlightManagerFoundLargetAndOldFilesInfo({size, count}); }
    void applications(Size size, Size count) { to().onSpotlightManagerFoundApplicationsInfo({size, count}); }

    std::weak_ptr<SpotlightManagerDelegate> delegate;
    std::vector<bool> starts;
    std::vector<int> types;
    std::function<void()> cached; // results kept from before, reported again at an unforced start
};

QString sizeText(Size size)
{
    return VolumeName::stringFromSize(static_cast<std::int64_t>(size));
}

class DiskUsagePanelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestEnvironment::freshHome();
        defaults = std::make_unique<UserDefaults>(QStringLiteral("disk-usage-panel-test"));
        make();
    }
    void make(DiskFill::StatVfs statVfs = {})
    {
        AdBasedOnSpotlightVCServices services;
        services.source = &source;
        services.defaults = defaults.get();
        services.notificationCenter = &center;
        services.urlOpener = &opener;
        services.statVfs = statVfs ? std::move(statVfs) : [](const char *, struct statvfs *out) {
            *out = {};
            out->f_frsize = 4096;
            out->f_blocks = 1000;
            out->f_bavail = 255;
            return 0;
        };
        services.showFiles = [this](int viewType) { shownFiles.push_back(viewType); };
        vc = std::make_unique<AdBasedOnSpotlightVC>(services);
        vc->show();
    }
    // Runs the slide under way to its end (its clock is Qt's, which a test does not wait for).
    void endSlide()
    {
        QPropertyAnimation *slide = vc->slideAnimation();
        ASSERT_EQ(slide->state(), QAbstractAnimation::Running);
        slide->setCurrentTime(slide->duration());
    }
    bool overviewShown() const { return vc->overallView()->isVisible() && vc->integralStatisticView()->isVisible(); }

    std::unique_ptr<UserDefaults> defaults;
    NotificationCenter center;
    NoBrowser opener;
    FeedSource source;
    std::vector<int> shownFiles;
    std::unique_ptr<AdBasedOnSpotlightVC> vc;
};

TEST_F(DiskUsagePanelTest, TheTotalWaitsForAllFourReportsAndOnlyTheLabelsForceScans)
{
    int detailedPresses = 0;
    center.addObserver(AdBasedOnSpotlightVC::showDetailedDiskUsagePressedNotificationName(), {},
                       [&](const Notification &) { ++detailedPresses; });
    vc->sectionDidAppear();
    EXPECT_EQ(source.starts, std::vector<bool>{false}); // opening the section forces nothing
    EXPECT_EQ(detailedPresses, 1);
    EXPECT_TRUE(vc->isScanning());
    EXPECT_TRUE(vc->progressIndicator()->isVisible());
    EXPECT_TRUE(vc->progressIndicator()->isAnimating());
    EXPECT_FALSE(vc->totalSizeLabel()->isVisible());
    EXPECT_FALSE(vc->totalSizeSubLabel()->isVisible());
    EXPECT_EQ(vc->detailsButton()->text(), QStringLiteral("Scanning..."));
    EXPECT_FALSE(vc->detailsButton()->isEnabled());
    for (unsigned state = 1; state <= 4; ++state) {
        EXPECT_EQ(vc->sizeLabel(state)->text(), QStringLiteral("...")) << state;
        EXPECT_FALSE(vc->sizeLabel(state)->isClickable()) << state;
        EXPECT_FALSE(vc->categoryButton(state)->font().underline()) << state;
    }

    // In any order: each label as its report comes, the total with the last.
    source.applications(900 * kMiB, 3);
    source.duplicates(40 * kMiB, 6);
    EXPECT_EQ(vc->sizeLabel(4)->text(), sizeText(900 * kMiB));
    EXPECT_EQ(vc->sizeLabel(2)->text(), sizeText(40 * kMiB));
    EXPECT_TRUE(vc->sizeLabel(2)->isClickable());
    EXPECT_EQ(vc->sizeLabel(1)->text(), QStringLiteral("..."));
    source.junk(3 * kMiB, 2 * kMiB, kMiB);
    EXPECT_EQ(vc->sizeLabel(1)->text(), sizeText(6 * kMiB));
    EXPECT_TRUE(vc->isScanning());
    EXPECT_FALSE(vc->totalSizeLabel()->isVisible());
    source.largeAndOld(500 * kMiB, 2);
    EXPECT_FALSE(vc->isScanning());
    EXPECT_TRUE(vc->totalSizeLabel()->isVisible());
    EXPECT_EQ(vc->totalSizeLabel()->text(), sizeText((6 + 40 + 500 + 900) * kMiB));
    EXPECT_FALSE(vc->progressIndicator()->isVisible());
    EXPECT_EQ(vc->detailsButton()->text(), QStringLiteral("Review & Clean Up"));
    EXPECT_TRUE(vc->detailsButton()->isEnabled());
    EXPECT_TRUE(vc->categoryButton(3)->font().underline());

    // One category's label: it waits, scanning is on, and the total comes back with its report.
    QTest::mouseClick(vc->sizeLabel(2), Qt::LeftButton);
    EXPECT_EQ(source.types, std::vector<int>{3}); // duplicates are scan type 3
    EXPECT_EQ(vc->sizeLabel(2)->text(), QStringLiteral("..."));
    EXPECT_FALSE(vc->sizeLabel(2)->isClickable());
    EXPECT_TRUE(vc->isScanning());
    EXPECT_FALSE(vc->totalSizeLabel()->isVisible());
    source.duplicates(0, 0);
    EXPECT_FALSE(vc->isScanning());
    EXPECT_EQ(vc->totalSizeLabel()->text(), sizeText((6 + 500 + 900) * kMiB));
    vc->junkFilesSizeLabelPressed();
    vc->largeAndOldSizeLabelPressed();
    vc->unusedApplicationsSizeLabelPressed();
    EXPECT_EQ(source.types, (std::vector<int>{3, 0, 2, 1}));

    source.junk(0, 0, 0), source.largeAndOld(0, 0), source.applications(0, 0);
    QTest::mouseClick(vc->totalSizeLabel(), Qt::LeftButton);
    EXPECT_EQ(source.starts, (std::vector<bool>{false, true}));
    EXPECT_FALSE(vc->junkFilesView()->isCanShow()); // a full rescan starts from nothing
    EXPECT_TRUE(vc->isScanning());

    // Opened again, the section shows the kept results at once.
    source.cached = [this] {
        source.junk(kMiB, 0, 0), source.duplicates(2 * kMiB, 2);
        source.largeAndOld(0, 0), source.applications(kMiB, 1);
    };
    make();
    vc->sectionDidAppear();
    EXPECT_EQ(source.starts, (std::vector<bool>{false, true, false}));
    EXPECT_FALSE(vc->isScanning());
    EXPECT_EQ(vc->totalSizeLabel()->text(), sizeText(4 * kMiB));
}

TEST_F(DiskUsagePanelTest, ViewsOpenOnlyOutsideScansAndSlidesAndSwitchWithoutASlide)
{
    vc->sectionDidAppear();
    source.junk(kMiB, 0, 0);
    source.duplicates(kMiB, 2);
    source.largeAndOld(kMiB, 1);
    vc->showDuplicatesPressed(); // still scanning
    vc->detailsButtonPressed();
    EXPECT_EQ(vc->state(), 0u);
    EXPECT_FALSE(vc->isAnimating());
    EXPECT_FALSE(vc->duplicatesView()->isVisible());

    source.applications(kMiB, 1);
    vc->showDuplicatesPressed();
    EXPECT_TRUE(vc->isAnimating());
    EXPECT_EQ(vc->slideAnimation()->duration(), AdBasedOnSpotlightVC::kSlideMs);
    EXPECT_EQ(vc->duplicatesView()->pos(), QPoint(vc->width(), 0)); // starts one width to the right
    vc->showJunkFilesPressed();                                     // during the slide
    vc->backButtonPressed();
    endSlide();
    EXPECT_EQ(vc->state(), 2u);
    EXPECT_FALSE(vc->isAnimating());
    EXPECT_EQ(vc->duplicatesView()->pos(), QPoint(0, 0));
    EXPECT_FALSE(vc->junkFilesView()->isVisible());
    EXPECT_FALSE(overviewShown());
    EXPECT_EQ(defaults->integerForKey(AdBasedOnSpotlightVC::lastViewedSearchResultsKey()), 2);

    // From one detail view to another: at once.
    QTest::mouseClick(vc->duplicatesView()->tabButton(3), Qt::LeftButton);
    EXPECT_EQ(vc->state(), 3u);
    EXPECT_FALSE(vc->isAnimating());
    EXPECT_NE(vc->slideAnimation()->state(), QAbstractAnimation::Running);
    EXPECT_EQ(vc->largeAndOldView()->pos(), QPoint(0, 0));
    EXPECT_TRUE(vc->largeAndOldView()->isVisible());
    EXPECT_FALSE(vc->duplicatesView()->isVisible());

    QTest::mouseClick(vc->largeAndOldView()->backButton(), Qt::LeftButton);
    EXPECT_TRUE(vc->isAnimating());
    EXPECT_TRUE(overviewShown());
    endSlide();
    EXPECT_EQ(vc->state(), 0u);
    EXPECT_FALSE(vc->largeAndOldView()->isVisible());

    // "Review & Clean Up" opens the view seen last; without one, the first category with a result.
    vc->detailsButtonPressed();
    endSlide();
    EXPECT_EQ(vc->state(), 3u);
    vc->backButtonPressed();
    endSlide();
    defaults->setObject(AdBasedOnSpotlightVC::lastViewedSearchResultsKey(), {});
    vc->detailsButtonPressed();
    endSlide();
    EXPECT_EQ(vc->state(), 1u);
}

TEST_F(DiskUsagePanelTest, TextsOfTheOverviewAndTheDetailViewsAndTheDiskFill)
{
    // 255 of 1000 blocks free: 74.5 % used, shown cut to 74 %.
    ASSERT_TRUE(vc->diskFill().has_value());
    EXPECT_FLOAT_EQ(*vc->diskFill(), 0.745F);
    EXPECT_EQ(vc->hddUsedPercentageLabel()->text(), QStringLiteral("74%"));
    EXPECT_DOUBLE_EQ(vc->hddLevelIndicator()->doubleValue(), double(0.745F));
    EXPECT_EQ(vc->volumeLabel()->text(), QStringLiteral("Disk Usage"));
    EXPECT_EQ(vc->totalSizeSubLabel()->text(), QStringLiteral("Removable Files:"));
    const char *const categories[] = {"Junk Files:", "Duplicates:", "Large & Old Files:", "Applications:"};
    for (unsigned state = 1; state <= 4; ++state)
        EXPECT_EQ(vc->categoryButton(state)->text(), QLatin1String(categories[state - 1]));
    EXPECT_EQ(AdBasedOnSpotlightVCStrings::openAppLabelWithAppName(QStringLiteral("Pairly")),
              QStringLiteral("Open Pairly"));

    vc->sectionDidAppear();
    source.junk(3 * kMiB, 2 * kMiB, kMiB), source.duplicates(40 * kMiB, 6);
    source.largeAndOld(500 * kMiB, 2), source.applications(900 * kMiB, 3);
    vc->showJunkFilesPressed();
    endSlide();
    const JunkFilesView *junk = vc->junkFilesView();
    EXPECT_EQ(junk->titleLabel()->text(), QStringLiteral("Junk Files"));
    EXPECT_EQ(junk->subtitleLabel()->text(), QStringLiteral("removable files"));
    EXPECT_EQ(junk->totalLabel()->text(), sizeText(6 * kMiB));
    const char *const captions[] = {"Caches:", "Downloads:", "Uncleaned Trash:"};
    const Size values[] = {3 * kMiB, 2 * kMiB, kMiB};
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(junk->rowCaption(row)->text(), QLatin1String(captions[row]));
        EXPECT_EQ(junk->rowValue(row)->text(), sizeText(values[row]));
    }
    // No sibling tool runs or is installed here.
    EXPECT_EQ(junk->getAppButton()->text(), QStringLiteral("Get Sorvel"));

    struct Texts {
        unsigned state;
        const char *title, *caption, *count, *button;
    };
    for (const Texts &t : {Texts{2, "Duplicate Files and Folders", "Potential duplicates:", "6", "Get Pairly"},
                           Texts{3, "Large and Old Files", "Files:", "2", "Get Hollin"},
                           Texts{4, "Applications", "Applications:", "3", "Get Quenby Lab"}}) {
        QTest::mouseClick(vc->viewForState(vc->state())->tabButton(int(t.state)), Qt::LeftButton);
        const AdBasedOnSpotlightView *view = vc->viewForState(t.state);
        ASSERT_EQ(vc->state(), t.state);
        EXPECT_EQ(view->titleLabel()->text(), QLatin1String(t.title));
        EXPECT_EQ(view->rowCaption(0)->text(), QLatin1String(t.caption));
        EXPECT_EQ(view->rowValue(0)->text(), QLatin1String(t.count));
        EXPECT_EQ(view->rowCaption(1)->text(), QStringLiteral("Used space:"));
        EXPECT_EQ(view->rowValue(1)->text(), view->totalLabel()->text());
        EXPECT_FALSE(view->rowCaption(2)->isVisibleTo(vc.get()));
        EXPECT_EQ(view->getAppButton()->text(), QLatin1String(t.button));
    }
    QTest::mouseClick(vc->applicationsView()->showFilesButton(), Qt::LeftButton);
    EXPECT_EQ(shownFiles, std::vector<int>{2});

    // The root file system that cannot be read: no figure, and the tip says why.
    std::string asked;
    make([&](const char *path, struct statvfs *) {
        asked = path;
        errno = EACCES;
        return -1;
    });
    EXPECT_EQ(asked, "/");
    EXPECT_FALSE(vc->diskFill().has_value());
    EXPECT_EQ(vc->hddUsedPercentageLabel()->text(), QStringLiteral("\u2013"));
    EXPECT_DOUBLE_EQ(vc->hddLevelIndicator()->doubleValue(), 0.0);
    EXPECT_FALSE(vc->hddUsedPercentageLabel()->toolTip().isEmpty());
}

} // namespace
} // namespace lurkel::test
