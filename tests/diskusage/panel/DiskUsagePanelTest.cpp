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

constexpr std::uint64_t kMiB = 1024 * 1024;

struct NoBrowser final : UrlOpener {
    bool openUrl(const QUrl &) override { return false; }
};

// The coordinator's side as the section sees it: what was asked, and the reports to send.
struct FeedSource final : DiskUsageSource {
    void startSearchWithDelegate(std::weak_ptr<SpotlightManagerDelegate> d, bool forced) override
    {
        delegate = std::move(d);
        starts.push_back(forced);
        if (!forced && cached) cached(*delegate.lock());
    }
    void startSearchForType(int scanType) override { types.push_back(scanType); }
    std::optional<QVariantMap> resultForType(int) const override { return std::nullopt; }

    SpotlightManagerDelegate &to() { return *delegate.lock(); }
    void junk(std::uint64_t caches, std::uint64_t downloads, std::uint64_t trash)
    {
        to().onSpotlightManagerFoundJunkFilesInfo(JunkFilesViewInfo{caches, downloads, trash});
    }
    void duplicates(std::uint64_t size, std::uint64_t count)
    {
        to().onSpotlightManagerFoundDuplicatesInfo(DuplicateFilesViewInfo{size, count});
    }
    void largeAndOld(std::uint64_t size, std::uint64_t count)
    {
        to().onSpotlightManagerFoundLargetAndOldFilesInfo(LargeAndOldFilesViewInfo{size, count});
    }
    void applications(std::uint64_t size, std::uint64_t count)
    {
        to().onSpotlightManagerFoundApplicationsInfo(ApplicationsUnusedViewInfo{size, count});
    }

    std::weak_ptr<SpotlightManagerDelegate> delegate;
    std::vector<bool> starts;
    std::vector<int> types;
    // Results kept from before, reported again at an unforced start.
    std::function<void(SpotlightManagerDelegate &)> cached;
};

QString sizeText(std::uint64_t size)
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
    void reportAll()
    {
        source.junk(3 * kMiB, 2 * kMiB, kMiB);
        source.duplicates(40 * kMiB, 6);
        source.largeAndOld(500 * kMiB, 2);
        source.applications(900 * kMiB, 3);
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

TEST_F(DiskUsagePanelTest, TheTotalWaitsForTheFourthReportInWhateverOrderTheyCome)
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
}

TEST_F(DiskUsagePanelTest, OpeningAgainShowsKeptResultsAtOnceAndOnlyTheLabelsForceScans)
{
    source.cached = [](SpotlightManagerDelegate &d) {
        d.onSpotlightManagerFoundJunkFilesInfo(JunkFilesViewInfo{kMiB, 0, 0});
        d.onSpotlightManagerFoundDuplicatesInfo(DuplicateFilesViewInfo{2 * kMiB, 2});
        d.onSpotlightManagerFoundLargetAndOldFilesInfo(LargeAndOldFilesViewInfo{0, 0});
        d.onSpotlightManagerFoundApplicationsInfo(ApplicationsUnusedViewInfo{kMiB, 1});
    };
    vc->sectionDidAppear();
    EXPECT_FALSE(vc->isScanning());
    EXPECT_EQ(vc->totalSizeLabel()->text(), sizeText(4 * kMiB));

    // One category: its label waits, scanning is on, and the total comes back with its report.
    QTest::mouseClick(vc->sizeLabel(2), Qt::LeftButton);
    EXPECT_EQ(source.types, std::vector<int>{3}); // duplicates are scan type 3
    EXPECT_EQ(vc->sizeLabel(2)->text(), QStringLiteral("..."));
    EXPECT_FALSE(vc->sizeLabel(2)->isClickable());
    EXPECT_TRUE(vc->isScanning());
    EXPECT_FALSE(vc->totalSizeLabel()->isVisible());
    source.duplicates(0, 0);
    EXPECT_FALSE(vc->isScanning());
    EXPECT_EQ(vc->totalSizeLabel()->text(), sizeText(2 * kMiB));

    vc->junkFilesSizeLabelPressed();
    vc->largeAndOldSizeLabelPressed();
    vc->unusedApplicationsSizeLabelPressed();
    EXPECT_EQ(source.types, (std::vector<int>{3, 0, 2, 1}));

    source.cached = nullptr;
    source.junk(0, 0, 0), source.largeAndOld(0, 0), source.applications(0, 0);
    QTest::mouseClick(vc->totalSizeLabel(), Qt::LeftButton);
    EXPECT_EQ(source.starts, (std::vector<bool>{false, true}));
    EXPECT_FALSE(vc->junkFilesView()->isCanShow()); // a full rescan starts from nothing
    EXPECT_TRUE(vc->isScanning());
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

    // "Review & Clean Up" opens the view seen last.
    vc->detailsButtonPressed();
    endSlide();
    EXPECT_EQ(vc->state(), 3u);
}

TEST_F(DiskUsagePanelTest, ReviewAndCleanUpWithoutALastViewOpensTheFirstCategoryWithAResult)
{
    defaults->setInteger(AdBasedOnSpotlightVC::lastViewedSearchResultsKey(), 4);
    vc->sectionDidAppear();
    reportAll();
    vc->detailsButtonPressed();
    endSlide();
    EXPECT_EQ(vc->state(), 4u);
    vc->backButtonPressed();
    endSlide();

    defaults->setObject(AdBasedOnSpotlightVC::lastViewedSearchResultsKey(), {});
    vc->detailsButtonPressed();
    endSlide();
    EXPECT_EQ(vc->state(), 1u);
}

TEST_F(DiskUsagePanelTest, TextsOfTheOverviewAndTheDetailViews)
{
    EXPECT_EQ(vc->volumeLabel()->text(), QStringLiteral("Disk Usage"));
    EXPECT_EQ(vc->totalSizeSubLabel()->text(), QStringLiteral("Removable Files:"));
    EXPECT_EQ(vc->categoryButton(1)->text(), QStringLiteral("Junk Files:"));
    EXPECT_EQ(vc->categoryButton(2)->text(), QStringLiteral("Duplicates:"));
    EXPECT_EQ(vc->categoryButton(3)->text(), QStringLiteral("Large & Old Files:"));
    EXPECT_EQ(vc->categoryButton(4)->text(), QStringLiteral("Applications:"));
    EXPECT_EQ(AdBasedOnSpotlightVCStrings::openAppLabelWithAppName(QStringLiteral("Pairly")),
              QStringLiteral("Open Pairly"));

    vc->sectionDidAppear();
    reportAll();
    vc->showJunkFilesPressed();
    endSlide();
    const JunkFilesView *junk = vc->junkFilesView();
    EXPECT_EQ(junk->titleLabel()->text(), QStringLiteral("Junk Files"));
    EXPECT_EQ(junk->subtitleLabel()->text(), QStringLiteral("removable files"));
    EXPECT_EQ(junk->totalLabel()->text(), sizeText(6 * kMiB));
    const QStringList captions{QStringLiteral("Caches:"), QStringLiteral("Downloads:"),
                               QStringLiteral("Uncleaned Trash:")};
    const QStringList values{sizeText(3 * kMiB), sizeText(2 * kMiB), sizeText(kMiB)};
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(junk->rowCaption(row)->text(), captions[row]);
        EXPECT_EQ(junk->rowValue(row)->text(), values[row]);
    }
    // No sibling tool runs or is installed here.
    EXPECT_EQ(junk->getAppButton()->text(), QStringLiteral("Get Sorvel"));

    const std::array<std::tuple<unsigned, QString, QString, QString, QString>, 3> views{{
        {2, QStringLiteral("Duplicate Files and Folders"), QStringLiteral("Potential duplicates:"), QStringLiteral("6"),
         QStringLiteral("Get Pairly")},
        {3, QStringLiteral("Large and Old Files"), QStringLiteral("Files:"), QStringLiteral("2"),
         QStringLiteral("Get Hollin")},
        {4, QStringLiteral("Applications"), QStringLiteral("Applications:"), QStringLiteral("3"),
         QStringLiteral("Get Quenby Lab")},
    }};
    for (const auto &[state, title, caption, count, button] : views) {
        QTest::mouseClick(vc->viewForState(vc->state())->tabButton(int(state)), Qt::LeftButton);
        const AdBasedOnSpotlightView *view = vc->viewForState(state);
        ASSERT_EQ(vc->state(), state);
        EXPECT_EQ(view->titleLabel()->text(), title);
        EXPECT_EQ(view->rowCaption(0)->text(), caption);
        EXPECT_EQ(view->rowValue(0)->text(), count);
        EXPECT_EQ(view->rowCaption(1)->text(), QStringLiteral("Used space:"));
        EXPECT_EQ(view->rowValue(1)->text(), view->totalLabel()->text());
        EXPECT_FALSE(view->rowCaption(2)->isVisibleTo(vc.get()));
        EXPECT_EQ(view->getAppButton()->text(), button);
    }
    QTest::mouseClick(vc->applicationsView()->showFilesButton(), Qt::LeftButton);
    EXPECT_EQ(shownFiles, std::vector<int>{2});
}

TEST_F(DiskUsagePanelTest, DiskFillOfTheRootFileSystemAndWhenItCannotBeRead)
{
    // 255 of 1000 blocks free: 74.5 % used, shown cut to 74 %.
    ASSERT_TRUE(vc->diskFill().has_value());
    EXPECT_FLOAT_EQ(*vc->diskFill(), 0.745F);
    EXPECT_EQ(vc->hddUsedPercentageLabel()->text(), QStringLiteral("74%"));
    EXPECT_DOUBLE_EQ(vc->hddLevelIndicator()->doubleValue(), double(0.745F));

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
