// The main panel on the offscreen platform, with a manual clock and hidden-manager scripts of our own.
#include "PanelWindow.h"

#include "AdsDialogWC.h"
#include "CleanMemoryButton.h"
#include "ClickableLabel.h"
#include "DiskAccessRestoreManager.h"
#include "DiskUsageSection.h"
#include "EventWait.h"
#include "FakeScripts.h"
#include "Fixtures.h"
#include "HiddenManager.h"
#include "KeyboardReach.h"
#include "LevelIndicator.h"
#include "MacOSVersion.h"
#include "ManualClock.h"
#include "MemoryController.h"
#include "NamedColors.h"
#include "NewsManager.h"
#include "NotificationCenter.h"
#include "OnOffSwitch.h"
#include "PanelView.h"
#include "PanelWindowInfoLabel.h"
#include "PromoWindowPlacement.h"
#include "RecordingUrlOpener.h"
#include "ScriptsManager.h"
#include "SearchManager.h"
#include "SearchResultWindowInterface.h"
#include "SettingsKeys.h"
#include "TestEnvironment.h"
#include "UserDefaults.h"
#include "XdgDirs.h"

#include "QtPrinters.h"

#include <QAbstractButton>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <QTest>
#include <QVariantAnimation>

#include <gtest/gtest.h>

namespace lurkel::test {
namespace {

namespace Keys = SettingsKeys;

struct ResultsWindow final : SearchResultWindowInterface {
    bool isSearchResultWindowVisible() const override { return true; }
    void showNewSearchAlertDialogWithCompletion(std::function<void(bool)> done) override { asked.push_back(done); }
    std::vector<std::function<void(bool)>> asked;
};

class PanelWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        home = TestEnvironment::freshHome();
        defaults = std::make_unique<UserDefaults>(QStringLiteral("panel-window-test"));
        suite = std::make_unique<UserDefaults>(Settings::shfGroupName());
        access = std::make_unique<DiskAccessRestoreManager>(home, *defaults);
        scripts = std::make_unique<ScriptsManager>(*access, BytePath("/bin/false"));
        // The switch script of our own waits for a gate file, so the test sees the switch while it runs.
        installFakeScript(HiddenManager::kSwitchScriptName, home / "log",
                          "while [ ! -f '" + (home / "gate").bytes() + "' ]; do sleep 0.02; done\n");
        version = std::make_unique<MacOSVersion>(QStringLiteral("10.13"));
        hidden = std::make_unique<HiddenManager>(
            HiddenManagerServices{scripts.get(), defaults.get(), suite.get(), version.get(), &clock, &center});
        search = std::make_unique<SearchManager>();
    }
    void TearDown() override
    {
        panel.reset();
        if (search) waitUntil([this] { return !search->isSearchRunning(); });
    }
    void make(std::function<DiskUsageSection *(QWidget *)> diskUsage = {})
    {
        PanelWindowServices services;
        services.hiddenManager = hidden.get();
        services.searchManager = search.get();
        services.defaults = defaults.get();
        services.notificationCenter = &center;
        services.clock = &clock;
        services.isApplicationActive = [this] { return applicationActive; };
        services.diskUsageSection = std::move(diskUsage);
        services.newsManager = [this] { return news; };
        services.adsContent = [this] { return PromoContentSource{[this] { return ads; }, adsChanged}; };
        services.urlOpener = &opener;
        panel = std::make_unique<PanelWindow>(std::move(services));
        panel->setResizeAnimationDuration(0);
    }
    // A click on the tray icon, and the placement it asks for.
    void clickTray(bool canBeClosed = true)
    {
        panel->processActionOfStatusItem([this] { return StatusItemAnchor{icon, std::nullopt}; }, canBeClosed);
        clock.advance(0);
    }
    void openExpanded()
    {
        clickTray();
        panel->disclosureButton()->click();
        ASSERT_EQ(panel->disclosureState(), 1);
    }
    QVariantAnimation *resizeAnimation() const
    {
        return panel->findChild<QVariantAnimation *>(QString(), Qt::FindDirectChildrenOnly);
    }
    bool stored(QLatin1StringView key) const { return Settings(*defaults).defaults().contains(key); }

    BytePath home;
    ManualClock clock;
    NotificationCenter center;
    RecordingUrlOpener opener;
    NewsManager *news = nullptr;
    HTMLContentData ads; // no advertisement page unless a test gives one
    QString adsChanged = QStringLiteral("test-ads-changed");
    std::unique_ptr<UserDefaults> defaults, suite;
    std::unique_ptr<DiskAccessRestoreManager> access;
    std::unique_ptr<ScriptsManager> scripts;
    std::unique_ptr<MacOSVersion> version;
    std::unique_ptr<HiddenManager> hidden;
    std::unique_ptr<SearchManager> search;
    std::unique_ptr<PanelWindow> panel;
    std::optional<QRect> icon = QRect(600, 0, 24, 24);
    bool applicationActive = true;
};

TEST_F(PanelWindowTest, ATrayClickTogglesALockedPanelAndADetachedOneKeepsItsPlace)
{
    make();
    EXPECT_TRUE(panel->isLocked());
    clickTray();
    ASSERT_TRUE(panel->isVisible());
    drainMainQueue();
    EXPECT_FALSE(panel->adsDialog()->isVisible()) << "no advertisement page, no promotion window";
    // Centred under the icon, 5 points lower, the triangle pointing at it.
    EXPECT_EQ(panel->pos(), QPoint(612 - 125, 24 + 5));
    EXPECT_TRUE(panel->panelView()->drawsTriangle());
    EXPECT_EQ(panel->panelView()->triangleX(), 125);
    clickTray();
    EXPECT_FALSE(panel->isVisible());
    clickTray(false); // opened from code: no toggle needed
    EXPECT_TRUE(panel->isVisible());
    clickTray(false);
    EXPECT_TRUE(panel->isVisible());

    // Dragged by its title band: detached at the first move past the drag distance, the
    // position stored once, when the drag ends.
    QWidget *view = panel->panelView();
    QTest::mousePress(view, Qt::LeftButton, {}, QPoint(125, 20));
    QTest::mouseMove(view, QPoint(127, 21));
    EXPECT_TRUE(panel->isLocked());
    QTest::mouseMove(view, QPoint(60, 120));
    EXPECT_FALSE(panel->isLocked());
    EXPECT_FALSE(panel->panelView()->isTriangleShown());
    EXPECT_FALSE(Settings(*defaults).isWindowLocked());
    QTest::mouseMove(view, QPoint(40, 140));
    EXPECT_FALSE(stored(Keys::kMainWindowX));
    QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(40, 140));
    EXPECT_EQ(panel->pos(), QPoint(337, 249)); // moved by the pointer's way from the press

    // At the next start it comes back detached at that place; a place off the screen is
    // brought back onto it.
    make();
    EXPECT_FALSE(panel->isLocked());
    EXPECT_FALSE(panel->panelView()->isTriangleShown());
    panel->showWindowIfNotLocked();
    ASSERT_TRUE(panel->isVisible());
    EXPECT_EQ(panel->pos(), QPoint(337, 249));
    panel->close();
    Settings(*defaults).saveWindowFramePosition(QRectF(5000, -4000, 250, 155));
    panel->showWindowIfNotLocked();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(panel->pos(), QPoint(screen.x() + screen.width() - 250, screen.top()));

    // The next click closes the detached panel and opens it attached under the icon.
    clickTray();
    EXPECT_TRUE(panel->isVisible());
    EXPECT_TRUE(panel->isLocked());
    EXPECT_TRUE(Settings(*defaults).isWindowLocked());
    EXPECT_EQ(panel->pos(), QPoint(487, 29));
    EXPECT_TRUE(panel->panelView()->drawsTriangle());

    // A press on a control is the control's, not a drag.
    QTest::mouseClick(panel->disclosureButton(), Qt::LeftButton);
    EXPECT_TRUE(panel->isLocked());

    // The close button closes and attaches it: it stays closed at the next start.
    panel->showTriangle(false);
    panel->closeButtonPressed();
    EXPECT_FALSE(panel->isVisible());
    EXPECT_TRUE(panel->isLocked());
    panel->showWindowIfNotLocked();
    EXPECT_FALSE(panel->isVisible());
}

TEST_F(PanelWindowTest, TheDisclosureExpandsCollapsesAndUndoesAClickDuringItsAnimation)
{
    make();
    EXPECT_EQ(panel->windowState(), PanelWindow::WindowStateCompact);
    EXPECT_FALSE(panel->isMemorySectionShown());
    EXPECT_EQ(panel->searchBar()->geometry().bottom() + 1, 155 - PanelWindow::kSearchFieldY);
    panel->setResizeAnimationDuration(400);
    clickTray();

    panel->disclosureButton()->click();
    EXPECT_EQ(panel->windowState(), PanelWindow::WindowStateDetailedOrCollapsed);
    ASSERT_TRUE(panel->isResizeAnimationRunning());
    EXPECT_FALSE(panel->isMemorySectionShown());
    // A second click while the panel grows changes nothing.
    panel->disclosureButton()->click();
    EXPECT_EQ(panel->disclosureState(), 1);
    resizeAnimation()->setCurrentTime(400);
    EXPECT_FALSE(panel->isResizeAnimationRunning());
    EXPECT_EQ(panel->height(), 155 + 134);
    EXPECT_TRUE(panel->isMemorySectionShown());
    EXPECT_TRUE(panel->shouldUpdateTrackedSystemInfo());
    EXPECT_TRUE(Settings(*defaults).getBoolValueForKeyWithDefaultValue(Keys::kPanelWindowStateIsDetailed, false));

    // Collapsing: the section goes first, then the panel shrinks.
    panel->disclosureButton()->click();
    EXPECT_FALSE(panel->isMemorySectionShown());
    resizeAnimation()->setCurrentTime(400);
    EXPECT_EQ(panel->height(), 155);
    EXPECT_FALSE(panel->shouldUpdateTrackedSystemInfo());
    EXPECT_FALSE(Settings(*defaults).getBoolValueForKeyWithDefaultValue(Keys::kPanelWindowStateIsDetailed, true));

    // Closing in the middle of a resize ends it where it was going.
    panel->disclosureButton()->click();
    panel->close();
    EXPECT_EQ(panel->height(), 155 + 134);
    EXPECT_TRUE(panel->isMemorySectionShown());

    // Without the promotion window the last detailed state is not restored at creation.
    make();
    EXPECT_EQ(panel->disclosureState(), 0);
    EXPECT_EQ(panel->height(), 155);
}

TEST_F(PanelWindowTest, TheDiskUsageSectionIsMadeAtTheFirstExpansionBelowTheMemorySection)
{
    struct Section final : DiskUsageSection {
        using DiskUsageSection::DiskUsageSection;
        void sectionDidAppear() override { ++appeared; }
        int appeared = 0;
    };
    int made = 0;
    Section *section = nullptr;
    make([&](QWidget *container) {
        ++made;
        return section = new Section(container);
    });
    EXPECT_TRUE(panel->shouldDiskUsageBeShown());
    clickTray();
    EXPECT_EQ(made, 0);

    panel->disclosureButton()->click();
    ASSERT_EQ(made, 1);
    EXPECT_EQ(panel->height(), 155 + 384);
    EXPECT_EQ(section->appeared, 1);
    EXPECT_TRUE(section->isVisible());
    // The memory section on top, the disk-usage section in the 250 points below it.
    EXPECT_EQ(section->mapTo(panel.get(), QPoint(0, 0)), QPoint(0, 155 + 134));
    EXPECT_EQ(section->size(), QSize(250, 250));

    panel->disclosureButton()->click();
    EXPECT_FALSE(section->isVisible());
    panel->disclosureButton()->click();
    EXPECT_EQ(made, 1);
    EXPECT_EQ(section->appeared, 2);

    // Closed and opened again, the panel shows the section again.
    panel->close();
    clickTray();
    EXPECT_EQ(section->appeared, 3);

    panel->setShouldDiskUsageBeShown(false);
    EXPECT_FALSE(section->isVisible());
    EXPECT_EQ(panel->height(), 155 + 134);
    panel->setShouldDiskUsageBeShown(true);
    EXPECT_TRUE(section->isVisible());
    EXPECT_EQ(section->appeared, 4);
}

TEST_F(PanelWindowTest, TheSwitchFollowsTheHiddenManagerWaitsForItsScriptAndSaysWhyItFailed)
{
    make();
    EXPECT_FALSE(panel->showHiddenControl()->isChecked());
    EXPECT_FALSE(panel->panelView()->isHiddenShown());
    hidden->setCachedIsHiddenShownValue(true); // the manager learnt the file manager's state
    EXPECT_TRUE(panel->showHiddenControl()->isChecked());
    EXPECT_FALSE(hidden->isUpdating()) << "following the manager is no click";
    EXPECT_TRUE(panel->panelView()->isHiddenShown());

    clickTray();
    QTest::mouseClick(panel->showHiddenControl(), Qt::LeftButton);
    // The script runs: the switch shows the new state and takes no clicks meanwhile.
    ASSERT_TRUE(hidden->isUpdating());
    EXPECT_FALSE(panel->showHiddenControl()->isEnabled());
    EXPECT_FALSE(panel->showHiddenControl()->isChecked());
    writeFile(home / "gate", "");
    ASSERT_TRUE(waitUntil([this] { return !hidden->isUpdating(); }));
    EXPECT_TRUE(panel->showHiddenControl()->isEnabled());
    EXPECT_FALSE(panel->showHiddenControl()->isChecked());
    EXPECT_FALSE(panel->panelView()->isHiddenShown());
    EXPECT_EQ(fileLines(home / "log"), std::vector<std::string>{"SwitchHiddenFilesVisibility2"});

    // No file manager: the script says so, the switch goes back and the panel tells why.
    installFakeScript(HiddenManager::kSwitchScriptName, home / "log",
                      "echo 'No file manager is installed.' >&2\nexit 3\n");
    QTest::mouseClick(panel->showHiddenControl(), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([this] { return !hidden->isUpdating(); }));
    EXPECT_FALSE(panel->showHiddenControl()->isChecked());
    EXPECT_TRUE(panel->showHiddenControl()->isEnabled());
    ASSERT_TRUE(panel->noticeLabel()->isVisible());
    EXPECT_EQ(panel->noticeLabel()->text(),
              QStringLiteral("The hidden files could not be switched: No file manager is installed. (exit 3)"));
    EXPECT_GT(panel->height(), panel->noticeLabel()->geometry().bottom()) << "the whole notice is on the panel";
    clock.advance(PanelWindow::kNoticeMs);
    EXPECT_FALSE(panel->noticeLabel()->isVisible());
    EXPECT_EQ(panel->height(), PanelWindow::kMainViewHeight);

    // A script that others could have changed is not run, and the panel says so.
    const BytePath script = XdgDirs::appScriptsDir() / (std::string(HiddenManager::kSwitchScriptName) + ".scpt");
    ASSERT_EQ(::chmod(script.c_str(), 0777), 0);
    QTest::mouseClick(panel->showHiddenControl(), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([this] { return !hidden->isUpdating(); }));
    EXPECT_FALSE(panel->showHiddenControl()->isChecked());
    EXPECT_TRUE(panel->noticeLabel()->text().endsWith(QStringLiteral("it is not run.")))
        << panel->noticeLabel()->text().toStdString();
    QTest::mouseClick(panel->noticeLabel(), Qt::LeftButton);
    EXPECT_FALSE(panel->noticeLabel()->isVisible());
}

TEST_F(PanelWindowTest, ReturnSearchesTheStoredFolderAfterTheDelayUnlessTheTextIsRefusedOrTheResultsWindowSaysNo)
{
    const BytePath docs = home / "docs";
    ASSERT_TRUE(XdgDirs::makePath(docs, 0700));
    Settings(*defaults).saveSearchLocation(docs);
    make();
    clickTray();
    QTest::keyClick(panel->searchBar(), Qt::Key_Return); // nothing typed: nothing happens
    EXPECT_TRUE(panel->isVisible());
    // A text the walker would refuse is refused where it was typed; the panel stays.
    panel->searchBar()->setText(QString(1100, QLatin1Char('a')));
    QTest::keyClick(panel->searchBar(), Qt::Key_Return);
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(panel->noticeLabel()->text(), SearchManager::textTooLongMessage(1100));
    clock.advance(PanelWindow::kSearchStartDelayMs);
    EXPECT_TRUE(search->searchTemplate().isEmpty());
    EXPECT_FALSE(search->isSearchRunning());

    panel->searchBar()->setText(QStringLiteral("needle"));
    QTest::keyClick(panel->searchBar(), Qt::Key_Return);
    EXPECT_FALSE(panel->isVisible()); // a locked panel makes way for the results
    EXPECT_EQ(search->searchTemplate(), QStringLiteral("needle"));
    clock.advance(PanelWindow::kSearchStartDelayMs - 1);
    EXPECT_TRUE(search->searchLocation().empty());
    clock.advance(1);
    EXPECT_EQ(search->searchLocation(), docs);
    ASSERT_TRUE(waitUntil([this] { return !search->isSearchRunning(); }));

    ResultsWindow results; // on screen: it is asked first, and "Cancel" starts nothing
    panel->setSearchResultWindow(&results);
    search->setSearchLocation(BytePath());
    clickTray();
    QTest::keyClick(panel->searchBar(), Qt::Key_Return);
    ASSERT_EQ(results.asked.size(), 1u);
    results.asked[0](false);
    clock.advance(PanelWindow::kSearchStartDelayMs);
    EXPECT_TRUE(search->searchLocation().empty());
}

TEST_F(PanelWindowTest, TheMemorySectionShowsTheControllersFiguresAndTheCleanedSizeFor30Seconds)
{
    const BytePath meminfo = home / "meminfo";
    writeFile(meminfo, "MemTotal:       16777216 kB\nMemFree:         1000000 kB\nMemAvailable:   12582912 kB\n");
    make();
    MemoryController memory(Settings(*defaults), PurgeManager::GetInstance(), clock, meminfo);
    memory.setInfoPanel(panel.get());
    memory.setCleanButton(panel->cleanMemoryButton());
    memory.initValues();
    memory.checkMemory(false);
    EXPECT_EQ(panel->memoryLevelIndicator()->doubleValue(), 0.25);
    EXPECT_TRUE(panel->subtitleText().contains(QStringLiteral(" used of "))) << panel->subtitleText().toStdString();
    const QString used = panel->subtitleText();

    // Until a purge has freed something the line is drawn disabled and takes no clicks.
    PanelWindowInfoLabel *subtitle = panel->subtitleLabel();
    EXPECT_TRUE(subtitle->drawsDisabled());
    EXPECT_FALSE(subtitle->isClickable());
    QTest::mouseClick(subtitle, Qt::LeftButton);
    EXPECT_EQ(panel->subtitleText(), used);
    openExpanded();
    const QString cleaned = QStringLiteral("1.20 GB cleaned 3:07PM");
    panel->fillLastCleanedLabelWithSize({1288490188, QStringLiteral("3:07PM"), cleaned});
    panel->onPurgedMemory();
    EXPECT_EQ(panel->subtitleTag(), PanelWindow::SubtitleCleanedSize);
    EXPECT_EQ(panel->subtitleText(), cleaned);
    EXPECT_EQ(subtitle->textColor(), NamedColors::color(NamedColor::PanelCleanedText, panel->palette()));
    EXPECT_TRUE(subtitle->isClickable());
    clock.advance(PanelWindow::kCleanedSubtitleMs - 1);
    EXPECT_EQ(panel->subtitleText(), cleaned);
    clock.advance(1);
    EXPECT_EQ(panel->subtitleTag(), PanelWindow::SubtitleUsedSize);
    EXPECT_EQ(panel->subtitleText(), used);
    EXPECT_EQ(subtitle->textColor(), NamedColors::color(NamedColor::PanelSubtitleText, panel->palette()));

    // A click toggles; the second click also ends the 30-second return.
    QTest::mouseClick(subtitle, Qt::LeftButton);
    EXPECT_EQ(panel->subtitleText(), cleaned);
    QTest::mouseClick(subtitle, Qt::LeftButton);
    EXPECT_EQ(panel->subtitleText(), used);
    clock.advance(PanelWindow::kCleanedSubtitleMs);
    EXPECT_EQ(panel->subtitleText(), used);
}

TEST_F(PanelWindowTest, EveryControlIsNamedAndWithinTabEscapeClosesAndSoDoesTheFocusLoss)
{
    make();
    openExpanded();
    ASSERT_TRUE(QTest::qWaitForWindowActive(panel.get()));
    EXPECT_EQ(unnamedControls(panel.get()), std::vector<std::string>{});
    EXPECT_EQ(unreachableByTab(panel.get()), std::vector<std::string>{});
    // Escape closes it from whichever control has the focus, the search field included.
    panel->findChild<QLineEdit *>(QStringLiteral("searchBar"))->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_FALSE(panel->isVisible());

    QWidget elsewhere;
    elsewhere.resize(100, 100);
    const auto focusGoesElsewhere = [&] {
        elsewhere.show();
        elsewhere.activateWindow();
        return QTest::qWaitForWindowActive(&elsewhere);
    };
    clickTray();
    ASSERT_TRUE(QTest::qWaitForWindowActive(panel.get()));
    ASSERT_TRUE(focusGoesElsewhere()); // another window of the application: the panel stays
    drainMainQueue();
    EXPECT_TRUE(panel->isVisible());

    // Another application's window: a locked panel closes.
    applicationActive = false;
    panel->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(panel.get()));
    ASSERT_TRUE(focusGoesElsewhere());
    ASSERT_TRUE(waitUntil([this] { return !panel->isVisible(); }));
    clickTray(); // the click that took the focus away meant "close"
    EXPECT_FALSE(panel->isVisible());
    // Asked for at the same moment (Activate, a second start): it opens.
    panel->processActionOfStatusItem([this] { return StatusItemAnchor{icon, std::nullopt}; }, true, false);
    clock.advance(0);
    EXPECT_TRUE(waitUntil([this] { return panel->isVisible(); }));
}

TEST_F(PanelWindowTest, ThePromotionWindowFloatsUnderTheCollapsedPanelUntilTheUserClosesIt)
{
    writeFile(home / "ad.html", "<p>A tool of ours</p>");
    ads.htmlURL = QUrl::fromLocalFile((home / "ad.html").displayString());
    ads.isEmbedded = false;
    ads.size = QSize(250, 120);
    defaults->setBool(Keys::kPanelWindowStateIsDetailed, false);
    make();
    clickTray();
    drainMainQueue();
    AdsDialogWC *window = panel->adsDialog();
    ASSERT_TRUE(window->isVisible());
    const QRect screen = panel->screen()->availableGeometry();
    EXPECT_EQ(window->window()->frameGeometry().topLeft(),
              PromoWindowPlacement::adsFrame(panel->frameGeometry(), window->window()->size(), screen).topLeft());
    EXPECT_GT(window->window()->y(), panel->frameGeometry().bottom());

    // Not beside the expanded panel; back when it collapses; gone with the panel.
    panel->disclosureButton()->click();
    EXPECT_FALSE(window->isVisible());
    panel->disclosureButton()->click();
    EXPECT_TRUE(window->isVisible());
    clickTray();
    EXPECT_FALSE(window->isVisible());

    // Closed by the user: not again, until a new advertisement page arrives.
    clickTray();
    drainMainQueue();
    ASSERT_TRUE(window->isVisible());
    window->closeButtonPressed();
    clickTray();
    clickTray();
    drainMainQueue();
    EXPECT_FALSE(window->isVisible());
    center.post(adsChanged);
    drainMainQueue();
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(defaults->boolForKey(Keys::kAdsDialogBeenClosed));
}

} // namespace
} // namespace lurkel::test
