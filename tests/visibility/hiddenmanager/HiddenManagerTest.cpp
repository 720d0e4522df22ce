// The hidden manager and the visibility restorer, with installed scripts of the test's own
// that log their names; the check script prints answer.txt.
#include "HiddenManager.h"

#include "AccessAlertsPresenter.h"
#include "DiskAccessRestoreManager.h"
#include "EventWait.h"
#include "FakeScripts.h"
#include "HiddenManagerListener.h"
#include "MacOSVersion.h"
#include "ManualClock.h"
#include "NotificationCenter.h"
#include "ScriptsManager.h"
#include "SettingsKeys.h"
#include "TestEnvironment.h"
#include "UserDefaults.h"
#include "VisibilityRestorerAtLaunch.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace lurkel::test {
namespace {

using Names = std::vector<std::string>;
const std::string kSwitch = HiddenManager::kSwitchScriptName;
const std::string kCheck = HiddenManager::kCheckScriptName;

class FakePresenter final : public AccessAlertsPresenter {
public:
    void displayInformationAboutAccessibilityAlerts(std::function<void(bool)> completion) override
    {
        sheets.push_back(std::move(completion));
    }
    void displayAccessError(AccessErrorCase accessCase) override { alerts.push_back(accessCase); }
    std::vector<std::function<void(bool)>> sheets;
    std::vector<AccessErrorCase> alerts;
};

struct Listener final : HiddenManagerListener {
    void hiddenManagerAttemptToChangeVisibilityCompleted(HiddenManager &manager) override
    {
        seen.push_back(manager.isHiddenShown());
    }
    std::vector<bool> seen;
};

class HiddenManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        home = TestEnvironment::freshHome();
        defaults = std::make_unique<UserDefaults>(QStringLiteral("hidden-manager-test"));
        suite = std::make_unique<UserDefaults>(Settings::shfGroupName());
        access = std::make_unique<DiskAccessRestoreManager>(home, *defaults);
        scripts = std::make_unique<ScriptsManager>(*access, BytePath("/bin/false"));
        center.addObserver({}, {}, [this](const Notification &note) { posted.push_back(note.name.toStdString()); });
        for (const char *name : {HiddenManager::kSwitchScriptName, HiddenManager::kShowAndRelaunchScriptName,
                                 HiddenManager::kHideAndRelaunchScriptName, HiddenManager::kWriteShownScriptName,
                                 HiddenManager::kWriteHiddenScriptName})
            install(name);
        install(kCheck, "cat '" + (home / "answer.txt").bytes() + "'\n");
        answer("");
    }
    void make(const char *systemVersion = "10.13")
    {
        version = std::make_unique<MacOSVersion>(QString::fromLatin1(systemVersion));
        manager = std::make_unique<HiddenManager>(
            HiddenManagerServices{scripts.get(), defaults.get(), suite.get(), version.get(), &clock, &center});
        manager->setAccessAlertsPresenter(&presenter);
        manager->setListener(&listener);
    }
    void install(const std::string &name, const std::string &rest = "") { installFakeScript(name, home / "log", rest); }
    void answer(const std::string &lines) { writeFile(home / "answer.txt", lines); }
    Names ran() const { return fileLines(home / "log"); }
    bool switchAndWait(HiddenManager::SwitchCompletion completion = [](const std::optional<Error> &) {})
    {
        manager->switchHiddenFilesVisibilityWithCompletion(std::move(completion));
        return waitUntil([this] { return !manager->isUpdating(); });
    }
    // One tick of the tracking timer, and the read it starts.
    bool tickAndWait()
    {
        clock.advance(1000);
        return waitUntil([this] { return !manager->isUpdating(); });
    }
    std::optional<bool> sharedValue() const
    {
        UserDefaults reader(Settings::shfGroupName());
        if (!reader.contains(SettingsKeys::kAreHiddenFilesVisible)) return std::nullopt;
        return reader.boolForKey(SettingsKeys::kAreHiddenFilesVisible);
    }

    BytePath home;
    std::unique_ptr<UserDefaults> defaults, suite;
    std::unique_ptr<DiskAccessRestoreManager> access;
    std::unique_ptr<ScriptsManager> scripts;
    ManualClock clock;
    NotificationCenter center;
    Names posted;
    FakePresenter presenter;
    Listener listener;
    std::unique_ptr<MacOSVersion> version;
    std::unique_ptr<HiddenManager> manager;
};

TEST_F(HiddenManagerTest, ASecondSwitchWhileTheFirstRunsIsDroppedAndTheTickConfirmsTheState)
{
    make();
    int first = 0, second = 0;
    std::optional<Error> firstError = Error::app(QStringLiteral("not called"));
    manager->switchHiddenFilesVisibilityWithCompletion([&](const std::optional<Error> &e) {
        ++first;
        firstError = e;
    });
    EXPECT_TRUE(manager->isHiddenShown()); // optimistic
    EXPECT_EQ(sharedValue(), true);
    manager->switchHiddenFilesVisibilityWithCompletion([&](const std::optional<Error> &) { ++second; });
    ASSERT_TRUE(waitUntil([&] { return first == 1 && !manager->isUpdating(); }));
    drainMainQueue();
    EXPECT_EQ(ran(), Names{kSwitch});
    EXPECT_EQ(second, 0);
    EXPECT_FALSE(firstError.has_value());
    EXPECT_EQ(listener.seen, std::vector<bool>{true});
    EXPECT_EQ(std::count(posted.begin(), posted.end(), "showHiddenStatusChangedNotification"), 1);

    // The switch marked the state for reading: the next tick reads it; an empty answer is hidden.
    manager->startTrackingSystemValue();
    ASSERT_TRUE(tickAndWait());
    EXPECT_EQ(ran(), (Names{kSwitch, kCheck}));
    EXPECT_FALSE(manager->isHiddenShown());
    EXPECT_EQ(sharedValue(), false);
}

TEST_F(HiddenManagerTest, ASwitchScriptThatNeverEndsIsStoppedAtItsLimitAndTheNextSwitchIsTaken)
{
    scripts->setClock(&clock);
    install(kSwitch, "exec sleep 100000\n");
    make();
    Names failures;
    center.addObserver(HiddenManager::switchFailedNotificationName(), {}, [&failures](const Notification &note) {
        failures.push_back(note.userInfo.value(QStringLiteral("description")).toString().toStdString());
    });
    std::optional<std::optional<Error>> ended;
    manager->switchHiddenFilesVisibilityWithCompletion([&](const std::optional<Error> &e) { ended = e; });
    ASSERT_TRUE(pollUntil([this] { return !ran().empty(); })); // it runs
    clock.advance(ScriptsManager::kScriptTimeLimitMs - 1);
    drainMainQueue();
    EXPECT_TRUE(manager->isUpdating());
    EXPECT_FALSE(ended.has_value());
    clock.advance(1);
    ASSERT_TRUE(waitUntil([this] { return !manager->isUpdating(); }));
    ASSERT_TRUE(ended.has_value() && ended->has_value());
    const QString expected = QStringLiteral("The script %1.scpt did not end within 15 s and was stopped.")
                                 .arg(QString::fromStdString(kSwitch));
    EXPECT_EQ((*ended)->localizedDescription(), expected);
    EXPECT_EQ(failures, Names{HiddenManager::switchFailureDescription(**ended).toStdString()});
    EXPECT_FALSE(manager->isHiddenShown()) << "the old state is back";

    install(kSwitch);
    ASSERT_TRUE(switchAndWait());
    EXPECT_EQ(ran(), (Names{kSwitch, kSwitch}));
    EXPECT_TRUE(manager->isHiddenShown());
}

TEST_F(HiddenManagerTest, TicksReadTheCheckListOnlyWhenMarked)
{
    make();
    manager->startTrackingSystemValue();
    answer("Documents\nMusic\n.hidden-files-shown\n"); // the dotted name comes last
    clock.advance(999);
    EXPECT_FALSE(manager->isUpdating());
    ASSERT_TRUE(tickAndWait()); // a new manager reads at its first tick
    EXPECT_TRUE(manager->isHiddenShown());
    clock.advance(5000); // nothing marked
    drainMainQueue();
    EXPECT_EQ(ran(), Names{kCheck});
}

TEST_F(HiddenManagerTest, AReadThatIsOffOrFailsKeepsTheStateAndStillRunsTheWaitingBlocks)
{
    defaults->setBool(SettingsKeys::kCheckHiddenFilesVisibility, false);
    make();
    manager->setCachedIsHiddenShownValue(true);
    std::vector<int> order;
    manager->loadVisibilityWithCompletion([&] { order.push_back(1); });
    manager->loadVisibilityWithCompletion([&] { order.push_back(2); });
    ASSERT_TRUE(waitUntil([&] { return order.size() == 2 && !manager->isUpdating(); }));
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    EXPECT_TRUE(manager->isHiddenShown());
    EXPECT_TRUE(ran().empty());

    defaults->setBool(SettingsKeys::kCheckHiddenFilesVisibility, true);
    install(kCheck, "echo 'cannot read the setting' >&2\nexit 4\n");
    manager->loadVisibilityWithCompletion([&] { order.push_back(3); });
    ASSERT_TRUE(waitUntil([&] { return order.size() == 3 && !manager->isUpdating(); }));
    EXPECT_TRUE(manager->isHiddenShown());
    ASSERT_TRUE(manager->lastVisibilityLoad().error.has_value());
    EXPECT_EQ(manager->lastVisibilityLoad().error->localizedDescription(),
              QStringLiteral("cannot read the setting (exit 4)"));
}

TEST_F(HiddenManagerTest, TheSameValueWritesAndPostsNothing)
{
    make();
    int updates = 0;
    center.addObserver(HiddenManager::stateUpdateNotificationName(), manager->notificationObject(),
                       [&](const Notification &) { ++updates; });
    manager->setCachedIsHiddenShownValue(false);
    EXPECT_EQ(updates, 0);
    EXPECT_FALSE(sharedValue().has_value());
    manager->setCachedIsHiddenShownValue(true);
    EXPECT_EQ(updates, 1);
    EXPECT_EQ(sharedValue(), true);
}

TEST_F(HiddenManagerTest, Under1012TheStoredSingleSwitchIsRefusedAndTheRelaunchScriptsGoByTheOldState)
{
    defaults->setInteger(SettingsKeys::kSwitchHiddenFilesVisibilityOption, 1);
    make("10.12");
    EXPECT_EQ(manager->scriptType(), HiddenManagerScriptTypeRelaunchFinder);
    EXPECT_FALSE(manager->forceSwitchHiddenFilesVisibilityEnableSwitcher());
    manager->applyStoredValue();
    EXPECT_EQ(manager->scriptType(), HiddenManagerScriptTypeRelaunchFinder);

    // The relaunch scripts go by the old state; the restorer has nothing to add to them.
    VisibilityRestorerAtLaunch restorer(*manager);
    ASSERT_TRUE(switchAndWait());
    ASSERT_TRUE(switchAndWait());
    scripts->waitForRunningScripts();
    EXPECT_EQ(ran(), (Names{"ShowHiddensAndRelaunchFinder", "HideHiddensAndRelaunchFinder"}));
}

TEST_F(HiddenManagerTest, TheRestorerWritesWhatASingleSwitchEndedWith)
{
    make();
    VisibilityRestorerAtLaunch restorer(*manager);
    ASSERT_TRUE(switchAndWait());
    scripts->waitForRunningScripts(); // each write ends before the next switch starts
    manager->switchHiddenFilesVisibility();
    ASSERT_TRUE(waitUntil([&] { return !manager->isUpdating(); }));
    scripts->waitForRunningScripts();
    ASSERT_TRUE(switchAndWait(HiddenManager::SwitchCompletion())); // nobody waits: nobody is told
    scripts->waitForRunningScripts();
    EXPECT_EQ(ran(), (Names{kSwitch, "WriteIntoSystemPreferencesShowHiddens", kSwitch,
                            "WriteIntoSystemPreferencesHideHiddens", kSwitch}));
}

TEST_F(HiddenManagerTest, Under1014AFailedSwitchRestoresTheStateAndAlertsForPermissionErrorsOnly)
{
    defaults->setBool(SettingsKeys::kShowInformationAboutAccessibilityAlerts, false);
    make("10.14");
    VisibilityRestorerAtLaunch restorer(*manager);
    install(kSwitch, "echo 'Not authorised to send Apple events to Finder. (-1743)' >&2\nexit 1\n");
    std::optional<Error> error;
    ASSERT_TRUE(switchAndWait([&](const std::optional<Error> &e) { error = e; }));
    ASSERT_TRUE(error.has_value());
    EXPECT_FALSE(manager->isHiddenShown());
    EXPECT_EQ(presenter.alerts, std::vector<AccessErrorCase>{AccessErrorCase::FinderAutomation});
    scripts->waitForRunningScripts(); // the restorer's write ends before the next switch starts
    install(kSwitch, "echo 'gsettings failed' >&2\nexit 1\n");
    ASSERT_TRUE(switchAndWait());
    EXPECT_EQ(presenter.alerts.size(), 1u);
    scripts->waitForRunningScripts();
    EXPECT_EQ(ran(), (Names{kSwitch, "WriteIntoSystemPreferencesHideHiddens", kSwitch,
                            "WriteIntoSystemPreferencesHideHiddens"}));

    EXPECT_FALSE(manager->settings().shouldCheckHiddenFilesVisibility());
    install(kSwitch);
    ASSERT_TRUE(switchAndWait());
    EXPECT_TRUE(manager->isHiddenShown());
    EXPECT_TRUE(manager->settings().shouldCheckHiddenFilesVisibility());
    EXPECT_TRUE(manager->needsLoadVisibilityState());
}

TEST_F(HiddenManagerTest, Under1014TheSheetComesFirstAndGrantingSwitchesOnceIfStillNeeded)
{
    make("10.14");
    int completions = 0;
    auto counted = [&](const std::optional<Error> &e) { completions += e ? 100 : 1; };
    manager->switchHiddenFilesVisibilityWithCompletion(counted);
    ASSERT_EQ(presenter.sheets.size(), 1u);
    EXPECT_TRUE(manager->isHiddenShown());
    presenter.sheets[0](false); // cancelled: back to the old state, nothing runs
    EXPECT_FALSE(manager->isHiddenShown());
    EXPECT_EQ(completions, 1);
    EXPECT_TRUE(manager->settings().shouldShowInformationAboutAccessibilityAlerts());

    manager->switchHiddenFilesVisibilityWithCompletion(counted);
    ASSERT_EQ(presenter.sheets.size(), 2u);
    EXPECT_TRUE(ran().empty());
    presenter.sheets[1](true); // granted: the state is read (hidden), so the switch is made
    ASSERT_TRUE(waitUntil([&] { return ran().size() == 2 && !manager->isUpdating(); }));
    drainMainQueue();
    EXPECT_EQ(ran(), (Names{kCheck, kSwitch}));
    EXPECT_EQ(completions, 2);
    EXPECT_EQ(listener.seen, (std::vector<bool>{false, false}));
    EXPECT_EQ(presenter.sheets.size(), 2u);
    EXPECT_FALSE(manager->settings().shouldShowInformationAboutAccessibilityAlerts());
    EXPECT_TRUE(manager->settings().shouldCheckHiddenFilesVisibility());

    // Granted when the state read is already the wanted one (hidden): no further switch.
    defaults->setBool(SettingsKeys::kShowInformationAboutAccessibilityAlerts, true);
    manager->switchHiddenFilesVisibility();
    ASSERT_EQ(presenter.sheets.size(), 3u);
    presenter.sheets[2](true);
    ASSERT_TRUE(waitUntil([&] { return ran().size() == 3 && !manager->isUpdating(); }));
    drainMainQueue();
    EXPECT_EQ(ran(), (Names{kCheck, kSwitch, kCheck}));
    EXPECT_FALSE(manager->isHiddenShown());

    // Without a window nothing is shown and nobody is called back.
    manager->setAccessAlertsPresenter(nullptr);
    defaults->setBool(SettingsKeys::kShowInformationAboutAccessibilityAlerts, true);
    manager->switchHiddenFilesVisibilityWithCompletion(counted);
    drainMainQueue();
    EXPECT_EQ(completions, 2);
    EXPECT_EQ(ran().size(), 3u);
}

} // namespace
} // namespace lurkel::test
