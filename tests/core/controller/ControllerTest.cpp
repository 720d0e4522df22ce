// The tray application's controller on a private bus: its start, the file-manager
// integration's requests from another process, the integration's election, the menu, the
// preferences window's controls and the check for updates.
#include "BXPurgeController.h"
#include "FakeNewsManager.h"
#include "Fixtures.h"

#include "BXAppDelegate.h"

#include "DistributedNotificationCenter.h"
#include "EventWait.h"
#include "FakeScripts.h"
#include "FakeStatusNotifierWatcher.h"
#include "FeedServer.h"
#include "HiddenManager.h"
#include "Identity.h"
#include "LurkelProjectRunAtLoginManager.h"
#include "ManualClock.h"
#include "MemoryController.h"
#include "OnOffSwitch.h"
#include "PanelWindow.h"
#include "PluginElection.h"
#include "PreferencesWindow.h"
#include "PrivateBus.h"
#include "PromoSettings.h"
#include "RunningApplications.h"
#include "SearchManager.h"
#include "Settings.h"
#include "SettingsKeys.h"
#include "Spawn.h"
#include "StatusItemPositionWait.h"
#include "StatusNotifierItem.h"
#include "TestEnvironment.h"
#include "UserDefaults.h"
#include "XdgDirs.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QIcon>
#include <QMessageBox>
#include <QScreen>
#include <QSlider>
#include <QStandardPaths>
#include <QStyleHints>
#include <QSystemTrayIcon>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>

using namespace lurkel;
using namespace lurkel::test;

namespace {

namespace Keys = SettingsKeys;

std::string hex(const std::string &bytes)
{
    return QByteArray::fromStdString(bytes).toHex().toStdString();
}

// Posts a distributed notification from a process of its own (with exact paths when given).
void postFromOtherProcess(const std::string &name, const std::string &object, const BytePathList &paths = {})
{
    SpawnRequest request;
    request.argv = {LURKEL_BUS_HELPER, "post", hex(name), hex(object)};
    for (const BytePath &path : paths)
        request.argv.push_back(hex(path.bytes()));
    const SpawnResult result = Spawn::run(request);
    ASSERT_TRUE(result.succeeded()) << result.standardError;
}

// A controller with the test's own clock (so the hidden manager's tracking never ticks on
// its own), defaults and tool, on the private bus.
struct Fixture {
    Fixture()
    {
        PrivateBus::shared();
        ::setenv("LURKEL_REFRESH_DELAY", "0", 1);
        PurgeControllerServices services;
        services.hiddenManager = &hidden;
        services.defaults = &defaults;
        services.clock = &clock;
        services.pluginKit = BytePath(LURKEL_PLUGINKIT);
        services.quitApplication = [this](const QString &name) {
            quitRequests << name;
            return true;
        };
        services.terminate = [this] { ++terminations; };
        services.trayAvailable = [this] { return trayAvailable; };
        services.noTrayAlert = [this](const QString &message) { noTrayMessages << message; };
        services.isApplicationActive = [this] { return applicationActive; };
        services.showToolsWindow = [this] { ++toolsShown; };
        services.isToolsWindowVisible = [this] { return toolsVisible; };
        services.showRateWindow = [this] { ++rateShown; };
        services.makeAboutWindow = [this] {
            ++aboutMade;
            return new QWidget;
        };
        services.newsManager = [this] { return &news; };
        controller = std::make_unique<BXPurgeController>(std::move(services));
    }

    ManualClock clock;
    UserDefaults defaults{QStringLiteral("com.brendix.Lurkel-SII")};
    HiddenManager hidden{HiddenManagerServices{nullptr, &defaults, nullptr, nullptr, &clock, nullptr}};
    std::unique_ptr<BXPurgeController> controller;
    QStringList quitRequests;
    int terminations = 0;
    bool trayAvailable = false;
    bool applicationActive = true;
    QStringList noTrayMessages;
    FakeNewsManager news;
    int toolsShown = 0, rateShown = 0, aboutMade = 0;
    bool toolsVisible = false;
};

// A click on a check box's indicator (its middle may lie beyond its text).
void click(QAbstractButton *button)
{
    const bool box = qobject_cast<QCheckBox *>(button) != nullptr;
    QTest::mouseClick(button, Qt::LeftButton, {}, box ? QPoint(6, button->height() / 2) : button->rect().center());
}

bool electionIs(PluginElection::Choice choice)
{
    return PluginElection::electionFor(QString::fromLatin1(Identity::kFinderSyncIdentifier)) == choice;
}

} // namespace

TEST(ControllerTest, StartsWithItsIconMenuAndObservers)
{
    Fixture f;
    f.controller->awakeFromNib();
    QSystemTrayIcon *tray = f.controller->statusItem();
    ASSERT_NE(tray, nullptr);
    EXPECT_FALSE(tray->icon().isNull());
    EXPECT_EQ(tray->contextMenu(), f.controller->theMenu());
    EXPECT_TRUE(f.hidden.isTrackingSystemValue());

    // The menu, as validated before it shows: the toggle says what it will do; the
    // promotion's items are there, the reset is not.
    f.controller->validateMenu();
    EXPECT_EQ(f.controller->togglePanelInfoItem()->text(), QStringLiteral("Show Information"));
    EXPECT_TRUE(f.controller->checkForUpdatesItem()->isVisible());
    EXPECT_EQ(f.controller->newsItem()->text(), QStringLiteral("News..."));
    EXPECT_EQ(f.controller->helpDeskItem()->text(), QStringLiteral("Help Desk..."));
    EXPECT_EQ(f.controller->aboutItem()->text(), QStringLiteral("About Lurkel"));
    for (QAction *item :
         {f.controller->aboutItem(), f.controller->newsItem(), f.controller->helpDeskItem(), f.controller->rateItem()})
        EXPECT_TRUE(item->isVisible() && item->isEnabled()) << item->text().toStdString();
    EXPECT_FALSE(f.controller->resetUserDefaultsItem()->isVisible());

    // The helper service's state note sets the icon.
    ASSERT_NO_FATAL_FAILURE(postFromOtherProcess("xpcNote", Identity::kBundleIdentifier));
    ASSERT_TRUE(waitUntil([&] { return f.hidden.needsLoadVisibilityState() && f.controller->statusIconState(); }));
    EXPECT_EQ(f.controller->statusIconState(), std::optional<bool>(false)); // no "KEY_showHiddenState": NO

    // A search opens the results window once; later ones bring it forward.
    NotificationCenter::defaultCenter().post(SearchManager::openSearchResultDialogNotification());
    ASSERT_NE(f.controller->searchResultDialog(), nullptr);
    SearchResultWC *results = f.controller->searchResultDialog();
    NotificationCenter::defaultCenter().post(SearchManager::openSearchResultDialogNotification());
    EXPECT_EQ(f.controller->searchResultDialog(), results);

    // The menu's Quit ends the integration and the helper by their bus names, writes what
    // was only in memory, then ends the application.
    f.defaults.setObject(QStringLiteral("NotYetWritten"), 7);
    f.controller->quitItem()->trigger();
    EXPECT_EQ(UserDefaults(QStringLiteral("com.brendix.Lurkel-SII")).integerForKey(QStringLiteral("NotYetWritten"), 0),
              7);
    EXPECT_EQ(f.quitRequests, (QStringList{QStringLiteral("com.brendix.Lurkel-SII.FinderSyncExt"),
                                           QStringLiteral("com.brendix.Lurkel-SII.hiderXPC")}));
    EXPECT_EQ(f.terminations, 1);
}

TEST(ControllerTest, OneToggleADoubleClickAMenuThatSaysWhatItDoesAndTheNews)
{
    Fixture f;
    f.defaults.setBool(Keys::kWelcomeDialogDisplayed, true);
    f.controller->awakeFromNib();
    PanelWindow *panel = f.controller->window();
    QAction *toggle = f.controller->togglePanelInfoItem();
    const std::int64_t doubleClickMs = QGuiApplication::styleHints()->mouseDoubleClickInterval();

    f.controller->helpDeskItem()->trigger();
    f.controller->rateItem()->trigger();
    EXPECT_EQ(f.toolsShown, 1);
    EXPECT_EQ(f.rateShown, 1);
    // One about box, made on first use and brought forward again.
    f.controller->aboutItem()->trigger();
    f.controller->aboutItem()->trigger();
    EXPECT_EQ(f.aboutMade, 1);
    EXPECT_TRUE(f.controller->aboutWindow()->isVisible());

    f.controller->statusItemAction(false);
    f.clock.advance(StatusItemPositionWait::kLimitMs); // no tray here tells where the icon is
    ASSERT_TRUE(panel->isVisible());
    EXPECT_EQ(toggle->text(), QStringLiteral("Hide Information"));

    // Fresh news from a package: the badges, and the popup by itself 0.3 s later, hanging
    // from the settings button of the open panel.
    f.news.fresh = true;
    f.news.embedded = false;
    NotificationCenter::defaultCenter().post(NewsManager::NewsHtmlChangedNotificationName());
    EXPECT_TRUE(panel->hasFreshNews());
    f.clock.advance(BXPurgeController::kNewsAutoShowDelayMs - 1);
    EXPECT_TRUE(f.news.shownAt.isEmpty());
    f.clock.advance(1);
    ASSERT_EQ(f.news.shownAt.size(), 1);
    QAbstractButton *settings = panel->preferencesButton();
    EXPECT_EQ(f.news.shownAt.front().y(), settings->mapToGlobal(QPoint(0, 0)).y());
    EXPECT_FALSE(panel->hasFreshNews()); // read now

    // Not by itself while the tools page is up, nor for the built-in news; the badge stays.
    f.toolsVisible = true;
    f.news.fresh = true;
    NotificationCenter::defaultCenter().post(NewsManager::NewsHtmlChangedNotificationName());
    f.toolsVisible = false;
    f.news.embedded = true;
    NotificationCenter::defaultCenter().post(NewsManager::NewsHtmlChangedNotificationName());
    f.clock.advance(BXPurgeController::kNewsAutoShowDelayMs);
    EXPECT_EQ(f.news.shownAt.size(), 1);
    EXPECT_TRUE(panel->hasFreshNews());

    // The news button asks for them; a click on the tray icon hides them with the panel, and
    // a double click closes it once: the second click is part of the first.
    QTest::mouseClick(panel->newsButton(), Qt::LeftButton);
    EXPECT_EQ(f.news.shownAt.size(), 2);
    EXPECT_TRUE(f.news.visible);
    f.controller->statusItemClicked();
    EXPECT_FALSE(panel->isVisible());
    EXPECT_FALSE(f.news.visible);
    f.controller->statusItemClicked();
    f.clock.advance(0);
    EXPECT_FALSE(panel->isVisible());
    f.clock.advance(doubleClickMs);
    f.controller->statusItemClicked();
    f.clock.advance(0);
    EXPECT_TRUE(panel->isVisible());

    // The menu was opened with the panel up (its title set then); the host's menu takes
    // the focus and the panel closes on the focus loss: the title follows at once, and
    // choosing it opens the panel as it says.
    ASSERT_TRUE(QTest::qWaitForWindowActive(panel));
    f.controller->validateMenu();
    ASSERT_EQ(toggle->text(), QStringLiteral("Hide Information"));
    f.applicationActive = false;
    QWidget elsewhere;
    elsewhere.resize(100, 100);
    elsewhere.show();
    elsewhere.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&elsewhere));
    ASSERT_TRUE(waitUntil([&] { return !panel->isVisible(); }));
    EXPECT_EQ(toggle->text(), QStringLiteral("Show Information"));
    toggle->trigger();
    f.clock.advance(0);
    EXPECT_TRUE(panel->isVisible());
}

TEST(ControllerTest, WithoutATrayTheUserIsToldWhileTheWelcomeDialogIsUp)
{
    {
        Fixture f;
        f.controller->awakeFromNib();
        f.controller->waitForTray();
        f.controller->showMainWindowAndMakeActive();
        f.clock.advance(StatusItemPositionWait::kLimitMs);
        ASSERT_TRUE(f.controller->isWelcomeScreenVisible());
        EXPECT_FALSE(f.controller->statusItem()->isVisible());

        f.clock.advance(BXPurgeController::kTrayWaitLimitMs - StatusItemPositionWait::kLimitMs - 1);
        EXPECT_TRUE(f.noTrayMessages.isEmpty());
        f.clock.advance(BXPurgeController::kTrayWaitStepMs);
        ASSERT_EQ(f.noTrayMessages.size(), 1);
        EXPECT_TRUE(f.noTrayMessages.front().contains(QStringLiteral("start lurkel again")));
        EXPECT_TRUE(f.controller->isWelcomeScreenVisible());
        EXPECT_EQ(f.terminations, 0) << "kept running: a second lurkel opens the panel";
        f.clock.advance(BXPurgeController::kTrayWaitLimitMs);
        EXPECT_EQ(f.noTrayMessages.size(), 1) << "said once";
    }

    // A tray that comes up in time gets the icon, and nothing is said.
    Fixture g;
    g.controller->awakeFromNib();
    g.controller->waitForTray();
    g.clock.advance(BXPurgeController::kTrayWaitStepMs * 3);
    g.trayAvailable = true;
    g.clock.advance(BXPurgeController::kTrayWaitStepMs);
    EXPECT_TRUE(g.controller->statusItem()->isVisible());
    g.clock.advance(BXPurgeController::kTrayWaitLimitMs);
    EXPECT_TRUE(g.noTrayMessages.isEmpty());
}

// The build folder's icon theme, as main() adds it.
static void useBuildIcons()
{
    QStringList paths = QIcon::themeSearchPaths();
    if (!paths.contains(QStringLiteral(LURKEL_BUILD_ICONS))) paths << QStringLiteral(LURKEL_BUILD_ICONS);
    QIcon::setThemeSearchPaths(paths);
}

TEST(ControllerTest, UnderAStatusNotifierHostTheItemIsOursAndOpensThePanelWhereTheClickWas)
{
    useBuildIcons();
    FakeStatusNotifierWatcher host(PrivateBus::shared().address());
    Fixture f;
    f.defaults.setBool(Keys::kWelcomeDialogDisplayed, true);
    f.controller->awakeFromNib();
    StatusNotifierItem *item = f.controller->notifierItem();
    ASSERT_NE(item, nullptr);
    ASSERT_TRUE(waitUntil([&] { return item->isRegistered(); }));
    EXPECT_EQ(host.registeredItems(), QStringList{item->serviceName()});
    EXPECT_FALSE(f.controller->statusItem()->isVisible()) << "one icon, not Qt's as well";

    // Not installed: the icon goes by name, found in the build folder's theme, so that the
    // host draws it in the panel's colours.
    EXPECT_EQ(host.itemProperty(QStringLiteral("IconName")).toString(), QStringLiteral("offon_90-symbolic"));
    EXPECT_EQ(host.itemProperty(QStringLiteral("IconThemePath")).toString(),
              QDir(QStringLiteral(LURKEL_BUILD_ICONS)).canonicalPath());

    // A click near the screen's right edge: the panel hangs under it, kept on the screen.
    PanelWindow *panel = f.controller->window();
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const QPoint click(area.right() - 4, area.top() + 3);
    host.activate(click);
    f.clock.advance(0);
    ASSERT_TRUE(panel->isVisible());
    EXPECT_EQ(panel->pos(), QPoint(area.right() + 1 - panel->width(), click.y() + PanelPlacement::kGap));
    const QPoint opened = panel->pos();
    // Its second click as a double click: still open.
    host.activate(click);
    f.clock.advance(0);
    EXPECT_TRUE(panel->isVisible());

    // Closed, then opened from the exported menu: at the same place.
    f.clock.advance(QGuiApplication::styleHints()->mouseDoubleClickInterval());
    host.activate(click);
    EXPECT_FALSE(panel->isVisible());
    EXPECT_TRUE(host.menuTitles().contains(QStringLiteral("Show Information")));
    ASSERT_TRUE(host.chooseMenuEntry(QStringLiteral("Show Information")));
    ASSERT_TRUE(waitUntil([&] {
        f.clock.advance(0);
        return panel->isVisible();
    }));
    EXPECT_EQ(panel->pos(), opened);
    EXPECT_TRUE(host.menuTitles().contains(QStringLiteral("Hide Information")));
}

TEST(ControllerTest, AStatusNotifierWatcherThatComesLaterGetsTheItem)
{
    // Installed: the desktop finds the icons by name in its own themes.
    const QString status = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                           QStringLiteral("/icons/hicolor/scalable/status/");
    ASSERT_TRUE(QDir().mkpath(status));
    for (const char *name : {"offon_90-symbolic.svg", "offon_91-symbolic.svg"})
        ASSERT_TRUE(QFile::copy(QStringLiteral(LURKEL_BUILD_ICONS "/hicolor/scalable/status/") + QLatin1String(name),
                                status + QLatin1String(name)));
    Fixture f;
    f.controller->awakeFromNib();
    f.controller->waitForTray();
    StatusNotifierItem *item = f.controller->notifierItem();
    ASSERT_NE(item, nullptr);
    drainMainQueue();
    EXPECT_FALSE(item->isRegistered());

    f.clock.advance(BXPurgeController::kTrayWaitStepMs * 5);
    FakeStatusNotifierWatcher host(PrivateBus::shared().address());
    ASSERT_TRUE(waitUntil([&] { return item->isRegistered(); }));
    EXPECT_EQ(host.registeredItems(), QStringList{item->serviceName()});
    EXPECT_EQ(host.itemProperty(QStringLiteral("IconName")).toString(), QStringLiteral("offon_90-symbolic"));
    EXPECT_EQ(host.itemProperty(QStringLiteral("IconThemePath")).toString(), QString());
    f.clock.advance(BXPurgeController::kTrayWaitLimitMs);
    EXPECT_TRUE(f.noTrayMessages.isEmpty()) << "the tray came in time";
}

// The rules themselves (a taken name, a request that is refused whole) are the updater's
// and the request reader's; here, requests from another process reach them in order.
TEST(ControllerTest, HidesAndUnhidesExactlyTheRequestedItems)
{
    Fixture f;
    f.controller->awakeFromNib();
    const BytePath dir = makeDir(TestEnvironment::root() / "items");
    for (const char *name : {".x", "y", "a, b", "p", "r"})
        writeFile(dir / name, name);

    // Exact paths: a name with ", " in it is one item.
    ASSERT_NO_FATAL_FAILURE(
        postFromOtherProcess("AppSyncExtensionWantsToHideSelectedFiles", "ignored", {dir / "y", dir / "a, b"}));
    ASSERT_TRUE(pollUntil([&] { return fileLines(dir / ".hidden").size() == 2; }));
    EXPECT_EQ(fileLines(dir / ".hidden"), (std::vector<std::string>{"y", "a, b"}));

    // Unhide: ".x" becomes "x"; "y" only loses its flag. Then, without exact paths, the
    // object split on ", ".
    ASSERT_NO_FATAL_FAILURE(
        postFromOtherProcess("AppSyncExtensionWantsToUnhideSelectedFiles", "ignored", {dir / ".x", dir / "y"}));
    ASSERT_NO_FATAL_FAILURE(postFromOtherProcess("AppSyncExtensionWantsToHideSelectedFiles",
                                                 (dir / "p").bytes() + ", " + (dir / "r").bytes()));
    ASSERT_TRUE(pollUntil([&] { return fileLines(dir / ".hidden").size() == 3; }));
    EXPECT_EQ(fileLines(dir / ".hidden"), (std::vector<std::string>{"a, b", "p", "r"}));
    EXPECT_FALSE(exists(dir / ".x"));
    EXPECT_EQ(readFile(dir / "x"), ".x");
}

TEST(ControllerTest, SwitchesOnlyForTheObjectN)
{
    Fixture f;
    const BytePath scriptLog = TestEnvironment::root() / "scripts.log";
    installFakeScript(HiddenManager::kSwitchScriptName, scriptLog);
    installFakeScript(HiddenManager::kWriteShownScriptName, scriptLog);
    installFakeScript(HiddenManager::kWriteHiddenScriptName, scriptLog);
    f.controller->awakeFromNib();
    const auto switches = [&] {
        const std::vector<std::string> lines = fileLines(scriptLog);
        return std::count(lines.begin(), lines.end(), HiddenManager::kSwitchScriptName);
    };
    // Posts a switch request, then a state note from another process: once the note is heard
    // (it sets the icon), the request before it has been heard too; and whatever script it
    // started has ended.
    const auto request = [&](const std::string &object) {
        f.controller->callbackWithNotification(
            Notification{QStringLiteral("xpcNote"), {}, {{QStringLiteral("KEY_showHiddenState"), true}}});
        ASSERT_NO_FATAL_FAILURE(postFromOtherProcess("AppSyncExtensionWantsToSwitchVisibility", object));
        ASSERT_NO_FATAL_FAILURE(postFromOtherProcess("xpcNote", Identity::kBundleIdentifier));
        ASSERT_TRUE(waitUntil([&] { return f.controller->statusIconState() == std::optional<bool>(false); }));
        ASSERT_TRUE(pollUntil([&] { return !f.hidden.isUpdating(); }));
    };

    ASSERT_NO_FATAL_FAILURE(request("m"));
    ASSERT_NO_FATAL_FAILURE(request(""));
    ASSERT_NO_FATAL_FAILURE(request("n "));
    EXPECT_EQ(switches(), 0);
    ASSERT_NO_FATAL_FAILURE(request("n"));
    EXPECT_EQ(switches(), 1);
}

TEST(ControllerTest, FileManagerIntegrationFollowsTheFirstLaunchRule)
{
    // A launch at which the tool reports the integration off.
    const auto launch = [](Fixture &f) {
        ASSERT_FALSE(PluginElection::setElection(QString::fromLatin1(Identity::kFinderSyncIdentifier),
                                                 PluginElection::Choice::Ignore));
        f.controller->finderIntegration();
    };
    // First launch: switched on, whatever the tool reported.
    {
        Fixture f;
        ASSERT_NO_FATAL_FAILURE(launch(f));
        EXPECT_TRUE(electionIs(PluginElection::Choice::Use));
        const Settings settings(f.defaults);
        EXPECT_TRUE(settings.getBoolValueForKeyWithDefaultValue(Keys::kIsNotFirstLaunch, false));
        EXPECT_TRUE(settings.getBoolValueForKeyWithDefaultValue(Keys::kFinderIntegration, false));
        EXPECT_TRUE(f.controller->preferencesWindow()->enableFinderIntegrationButton()->isChecked());
    }
    // Later launches keep what the tool reports (the user switched it off elsewhere), and
    // the stored wish follows it; the check box switches it again.
    Fixture f;
    ASSERT_NO_FATAL_FAILURE(launch(f));
    EXPECT_TRUE(electionIs(PluginElection::Choice::Ignore));
    EXPECT_FALSE(Settings(f.defaults).getBoolValueForKeyWithDefaultValue(Keys::kFinderIntegration, true));
    EXPECT_FALSE(f.controller->preferencesWindow()->enableFinderIntegrationButton()->isChecked());
    f.controller->onPreferences();
    click(f.controller->preferencesWindow()->enableFinderIntegrationButton());
    EXPECT_TRUE(electionIs(PluginElection::Choice::Use));
    EXPECT_TRUE(Settings(f.defaults).getBoolValueForKeyWithDefaultValue(Keys::kFinderIntegration, false));
}

TEST(ControllerTest, PreferencesControlsWriteTheirKeys)
{
    Fixture f;
    f.controller->awakeFromNib();
    f.controller->onPreferences();
    PreferencesWindow *w = f.controller->preferencesWindow();
    ASSERT_TRUE(w->isVisible());
    // Defaults as stored at the first start.
    EXPECT_TRUE(w->btnPrefPurgeAfterHugeAppQuit()->isChecked());
    EXPECT_FALSE(w->btnPrefAutoFree()->isChecked());
    EXPECT_FALSE(w->sldPrefMemUsage()->isEnabled());

    int launchToggles = -1;
    f.controller->setLaunchAtStartupToggle([&](int value) { launchToggles = value; });
    click(w->btnPrefAutoStart());
    EXPECT_EQ(launchToggles, 1);

    click(w->btnPrefPurgeAfterHugeAppQuit());
    click(w->btnPrefAutoFree());
    EXPECT_TRUE(w->sldPrefMemUsage()->isEnabled());
    EXPECT_TRUE(w->pupPrefFreq()->isEnabled());
    w->sldPrefMemUsage()->setFocus();
    QTest::keyClick(w->sldPrefMemUsage(), Qt::Key_Up);
    w->pupPrefFreq()->setFocus();
    QTest::keyClick(w->pupPrefFreq(), Qt::Key_Down);
    w->m_visionComboBox()->setFocus();
    QTest::keyClick(w->m_visionComboBox(), Qt::Key_Down);
    click(w->enableForceSwitchHiddenVisibilityButton());
    click(w->btnPrefShowInfo());

    f.defaults.synchronize();
    UserDefaults onDisk(QStringLiteral("com.brendix.Lurkel-SII"));
    const Settings stored(onDisk);
    EXPECT_FALSE(stored.getBoolValueForKeyWithDefaultValue(QStringLiteral("PurgeAfterHugeAppQuit"), true));
    EXPECT_TRUE(stored.getBoolValueForKeyWithDefaultValue(QStringLiteral("AutoFree"), false));
    EXPECT_NEAR(stored.getDoubleValueForKeyWithDefaultValue(QStringLiteral("UsageLimit"), 0), 0.81, 1e-9);
    EXPECT_EQ(stored.getIntegerValueForKeyWithDefaultValue(QStringLiteral("Frequency"), -1), 2);
    EXPECT_EQ(stored.getIntegerValueForKeyWithDefaultValue(Keys::kVisionPrefIndex, -1), 2);
    EXPECT_FALSE(stored.getBoolValueForKeyWithDefaultValue(Keys::kShowInfo, true));
    EXPECT_TRUE(f.hidden.forceSwitchHiddenFilesVisibilitySwitcherState());
    EXPECT_EQ(f.hidden.scriptType(), HiddenManagerScriptTypeRelaunchFinder);

    // Opening it again while it is open makes it blink.
    w->setBlinkDurationMs(50);
    f.controller->onPreferences();
    EXPECT_TRUE(w->isBlinking());
}

TEST(ControllerTest, ChecksForUpdatesOnTheMakersHost)
{
    Fixture f;
    FeedServer server;
    f.defaults.setObject(QStringLiteral("ATEST:WEB_HOST"), server.host());
    PromoSettings::reloadFromDefaults(f.defaults);
    // The answer of one check, as the alert shows it.
    const auto answer = [&](const QByteArray &body) {
        server.body = body;
        bool done = false;
        const QMetaObject::Connection c =
            QObject::connect(f.controller.get(), &BXPurgeController::updateCheckFinished, [&done] { done = true; });
        f.controller->checkForUpdates();
        if (!server.answer) {
            EXPECT_TRUE(waitUntil([&] { return server.requests > 0; }));
            f.clock.advance(Updater::kDefaultTimeoutMs);
        }
        EXPECT_TRUE(waitUntil([&] { return done; }));
        QObject::disconnect(c);
        return f.controller->updateAlert() ? f.controller->updateAlert()->text() : QString();
    };

    const QString newer = answer(feed(item(QStringLiteral("999"), QStringLiteral("9.0"))));
    EXPECT_EQ(server.requests, 1);
    EXPECT_TRUE(newer.contains(QStringLiteral("A new version of Lurkel is available: 9.0"))) << newer.toStdString();
    EXPECT_TRUE(newer.contains(QStringLiteral("href=\"https://brendix.example/download/Lurkel-9.0.AppImage\"")));
    EXPECT_TRUE(newer.contains(QStringLiteral("href=\"https://brendix.example/notes/9.0.html\"")));
    EXPECT_TRUE(
        answer(feed(item(QString::fromLatin1(Identity::kBuildVersion), QString::fromLatin1(Identity::kShortVersion))))
            .startsWith(QStringLiteral("You're up to date!")));
    server.answer = false;
    EXPECT_TRUE(answer(QByteArray()).contains(QStringLiteral("did not answer")));
}

// The start opens the panel unless the login launcher started the process or the user
// turned "Show panel at start" off; an AppImage outside the Applications folder offers once
// to move there.
TEST(AppDelegateTest, StartOpensThePanelWhenWantedAndOffersToMoveAnAppImageOnce)
{
    Fixture f;
    f.controller->awakeFromNib();
    int panelRequests = 0, afterStartRequests = 0, helperTold = 0;
    NotificationCenter &center = NotificationCenter::defaultCenter();
    center.addObserver(BXPurgeController::ShowMainWindowAndMakeActiveNotificationName(), {},
                       [&](const Notification &) { ++panelRequests; });
    center.addObserver(QStringLiteral("ShowWindowAfterStart"), {}, [&](const Notification &) { ++afterStartRequests; });
    DistributedNotificationCenter::defaultCenter().addObserver(QStringLiteral("TERMINATEHELPER"),
                                                               QString::fromLatin1(Identity::kBundleIdentifier),
                                                               [&](const Notification &) { ++helperTold; });
    LurkelProjectRunAtLoginManager runAtLogin(TestEnvironment::root());

    const BytePath home = makeDir(TestEnvironment::root() / "apphome");
    const BytePath downloads = makeDir(TestEnvironment::root() / "dl");
    writeFile(downloads / "Lurkel.AppImage", "new build");
    writeFile(makeDir(home / "Applications") / "Lurkel.AppImage", "older build");
    f.defaults.setObject(QStringLiteral("AutoStart"), true); // left by an older version
    f.defaults.synchronize();

    int alerts = 0;
    MoveToApplicationsAnswer reply{false, true};
    std::vector<BytePath> launched;
    int terminations = 0;
    const auto delegateFor = [&](const BytePath &appImage) {
        AppDelegateServices services;
        services.defaults = &f.defaults;
        services.runAtLogin = &runAtLogin;
        services.appImage = appImage;
        services.home = home;
        services.moveAlert = [&](const QString &message, const QString &) {
            ++alerts;
            EXPECT_EQ(message, QStringLiteral("Move Lurkel to Applications folder?"));
            return reply;
        };
        services.errorAlert = [](const QString &title, const QString &text) {
            ADD_FAILURE() << title.toStdString() << ": " << text.toStdString();
        };
        services.launchApplication = [&](const BytePath &program) {
            launched.push_back(program);
            return true;
        };
        services.terminate = [&] { ++terminations; };
        return std::make_unique<BXAppDelegate>(*f.controller, std::move(services));
    };

    // "Do Not Move" with the box on: asked once, the panel opens, the old key goes.
    delegateFor(downloads / "Lurkel.AppImage")->applicationDidFinishLaunching({QStringLiteral("ShowWindowAfterStart")});
    EXPECT_EQ(alerts, 1);
    EXPECT_EQ(panelRequests, 1);
    EXPECT_EQ(afterStartRequests, 1);
    EXPECT_FALSE(f.defaults.contains(QStringLiteral("AutoStart")));
    EXPECT_TRUE(Settings(f.defaults).getBoolValueForKeyWithDefaultValue(Keys::kSuppressAlertMoveToApplications, false));
    delegateFor(downloads / "Lurkel.AppImage")->applicationDidFinishLaunching({});
    EXPECT_EQ(alerts, 1);
    EXPECT_EQ(panelRequests, 2);
    EXPECT_EQ(afterStartRequests, 1);

    // Moving: the older copy goes to the Trash (never deleted), the new one is copied and
    // started, and this process ends; the downloaded file stays where it was.
    f.defaults.removeObject(QString(Keys::kSuppressAlertMoveToApplications));
    reply = {true, false};
    auto mover = delegateFor(downloads / "Lurkel.AppImage");
    mover->applicationDidFinishLaunching({});
    EXPECT_EQ(alerts, 2);
    ASSERT_EQ(launched.size(), 1u);
    EXPECT_EQ(launched[0], home / "Applications" / "Lurkel.AppImage");
    EXPECT_EQ(readFile(launched[0]), "new build");
    EXPECT_EQ(readFile(downloads / "Lurkel.AppImage"), "new build");
    EXPECT_EQ(readFile(XdgDirs::dataHome() / "Trash" / "files" / "Lurkel.AppImage"), "older build");
    EXPECT_TRUE(mover->didHandOverToCopy());
    EXPECT_EQ(terminations, 1);
    EXPECT_EQ(panelRequests, 2);

    // Already installed (also in a subfolder): no offer; a look-alike folder is not one.
    BytePath destination;
    EXPECT_FALSE(
        delegateFor(makeDir(home / "Applications" / "tools") / "Lurkel.AppImage")->copyAppToApplications(destination));
    EXPECT_EQ(alerts, 2);
    reply = {false, false};
    EXPECT_FALSE(delegateFor(home / "ApplicationsOld" / "Lurkel.AppImage")->copyAppToApplications(destination));
    EXPECT_EQ(alerts, 3);

    // Started by the login launcher: the launcher is told to go, the panel stays closed.
    const QString launcher = QString::fromLatin1(Identity::kLauncherIdentifier);
    ASSERT_TRUE(RunningApplications::claim(launcher));
    delegateFor(BytePath())->applicationDidFinishLaunching({});
    EXPECT_TRUE(runAtLogin.wasAutolaunchedWithHelperApp());
    EXPECT_TRUE(waitUntil([&] { return helperTold == 1; }));
    EXPECT_EQ(panelRequests, 2);
    RunningApplications::release(launcher);
    delegateFor(BytePath())->applicationDidFinishLaunching({});
    EXPECT_FALSE(runAtLogin.wasAutolaunchedWithHelperApp());
    EXPECT_EQ(panelRequests, 3);
    f.controller->memory().setShowInfo(false);
    delegateFor(BytePath())->applicationDidFinishLaunching({});
    EXPECT_EQ(panelRequests, 3);
    EXPECT_EQ(alerts, 3);
}

TEST(AppDelegateTest, RecommendationMailEscapesItsParts)
{
    const QUrl url = BXAppDelegate::mailtoUrl(QString(), QStringLiteral("Try this & that"),
                                              QStringLiteral("Tom & Jerry\nhttps://x.example/?a=1&b=2"));
    const QByteArray encoded = url.toEncoded();
    EXPECT_TRUE(encoded.startsWith("mailto:?SUBJECT=Try%20this%20%26%20that&BODY=")) << encoded.toStdString();
    const QByteArray body = encoded.mid(encoded.indexOf("&BODY=") + 6);
    EXPECT_FALSE(body.contains('&'));
    EXPECT_EQ(QByteArray::fromPercentEncoding(body), "Tom & Jerry\nhttps://x.example/?a=1&b=2");
}
