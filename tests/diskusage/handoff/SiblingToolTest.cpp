// The disk-usage panel's tool button against stand-in tools on a private bus: a running tool
// is brought to the front, an installed one is launched from its desktop entry and asked to
// scan, a missing one is reported and its download page opened.
#include "BXGoogleAnalytics.h"
#include "SiblingToolHandOff.h"
#include "StartScanningInLaunchedAppManager.h"

#include "ChildProcesses.h"
#include "EventWait.h"
#include "FeedServer.h"
#include "PrivateBus.h"
#include "QtPrinters.h"
#include "RecordingUrlOpener.h"
#include "TestEnvironment.h"

#include "DistributedNotificationCenter.h"
#include "ManualClock.h"
#include "MessageNames.h"
#include "PromoSettings.h"
#include "RunningApplications.h"
#include "SettingsKeys.h"
#include "UserDefaults.h"
#include "XdgDirs.h"

#include <gtest/gtest.h>

#include <csignal>

namespace lurkel::test {
namespace {

const QString kPairly = QStringLiteral("com.brendix.Pairly-Desk-SII");
const QString kSorvel = QStringLiteral("com.brendix.Sorvel-PRO-SII");

// Returns once every notification posted on the bus so far, and every one posted while
// handling those, has been delivered: a bus delivers one sender's signals in order.
void roundTrip(DistributedNotificationCenter &center)
{
    for (const char *barrier : {"SiblingToolTestBarrier1", "SiblingToolTestBarrier2"}) {
        bool arrived = false;
        const auto token = center.addObserver(QString::fromLatin1(barrier), std::nullopt,
                                              [&arrived](const Notification &) { arrived = true; });
        center.post(QString::fromLatin1(barrier), QString());
        ASSERT_TRUE(waitUntil([&arrived] { return arrived; }));
        center.removeObserver(token);
    }
}

class SiblingToolTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(PrivateBus::shared().isRunning());
        UserDefaults &defaults = UserDefaults::standardUserDefaults();
        defaults.setString(SettingsKeys::kWebHost, server.host());
        PromoSettings::reloadFromDefaults(defaults);
    }
    void TearDown() override
    {
        for (pid_t pid : tools) {
            ::kill(pid, SIGTERM);
            waitForExit(pid);
        }
        XdgDirs::makePath(XdgDirs::dataHome());
        ::unlink((XdgDirs::dataHome() / "applications" / (kPairly.toStdString() + ".desktop")).c_str());
    }

    std::string marks() const { return readFile(marker); }

    FeedServer server;
    RecordingUrlOpener opener;
    BytePath marker = TestEnvironment::root() / ("marker-" + std::to_string(::getpid()));
    std::vector<pid_t> tools;
    std::vector<BytePath> launched;
};

TEST_F(SiblingToolTest, ARunningToolIsOnlyBroughtToTheFront)
{
    tools.push_back(
        startProgram(LURKEL_STANDIN_TOOL, marker.bytes() + ".log", {kSorvel.toStdString(), "1", marker.bytes()}));
    ASSERT_TRUE(pollUntil([] { return RunningApplications::isRunning(kSorvel); }));
    ASSERT_TRUE(pollUntil([this] { return marks().find("started") != std::string::npos; }));

    bool exists = false;
    EXPECT_EQ(SiblingToolHandOff::getWillOpenedAppNameIsExitedForType(&exists, 1), QStringLiteral("Sorvel Pro"));
    EXPECT_TRUE(exists);
    SiblingToolHandOff button(1, opener);
    button.setLaunch([this](const BytePath &entry) {
        launched.push_back(entry);
        return true;
    });
    button.getAppPressed();
    EXPECT_NE(marks().find("activated"), std::string::npos) << marks();
    EXPECT_TRUE(launched.empty());
    EXPECT_TRUE(opener.opened.isEmpty());
    drainMainQueue();
    EXPECT_EQ(server.requests, 0);
}

TEST_F(SiblingToolTest, AnInstalledToolIsLaunchedFromItsDesktopEntryAndAskedToScan)
{
    const BytePath applications = XdgDirs::dataHome() / "applications";
    ASSERT_TRUE(XdgDirs::makePath(applications));
    const BytePath entry = applications / (kPairly.toStdString() + ".desktop");
    writeFile(entry, "[Desktop Entry]\nType=Application\nName=Pairly\nExec=" + std::string(LURKEL_STANDIN_TOOL) + " " +
                         kPairly.toStdString() + " 4 " + marker.bytes() + "\n");

    bool exists = false;
    EXPECT_EQ(SiblingToolHandOff::getWillOpenedAppNameIsExitedForType(&exists, 4), QStringLiteral("Gemmet Pairs"));
    EXPECT_TRUE(exists);
    SiblingToolHandOff(4, opener).getAppPressed();
    // gio starts the tool; it announces itself and is asked to scan within the five seconds.
    ASSERT_TRUE(pollUntil([this] { return marks().find("scanning") != std::string::npos; })) << marks();
    EXPECT_EQ(marks(), "started\nscanning\n");
    const std::optional<pid_t> pid = RunningApplications::pidOf(kPairly);
    ASSERT_TRUE(pid.has_value());
    EXPECT_TRUE(RunningApplications::quit(kPairly));
    EXPECT_TRUE(opener.opened.isEmpty());
    EXPECT_EQ(server.requests, 0);
}

TEST_F(SiblingToolTest, AMissingToolIsReportedAndItsDownloadPageOpened)
{
    bool exists = true;
    EXPECT_EQ(SiblingToolHandOff::getWillOpenedAppNameIsExitedForType(&exists, 3), QStringLiteral("Vantor Scope"));
    EXPECT_FALSE(exists);
    SiblingToolHandOff(3, opener).getAppPressed();
    EXPECT_EQ(opener.openedAddresses(),
              QStringList{server.host() + QStringLiteral("/vantor-scope/download-trial?utm_source=Lurkel&utm_medium="
                                                         "from%20app&utm_campaign=site")});
    ASSERT_TRUE(
        waitUntil([this] { return server.requests == 1 && BXGoogleAnalytics::shared().requestsInFlight() == 0; }));
    const QByteArray hit = server.requestLines.value(0);
    EXPECT_TRUE(hit.startsWith("GET /collect?v=1&tid=UA-48291730-1&cid=")) << hit.toStdString();
    EXPECT_TRUE(hit.contains("&t=event&ec=Lurkel&ea=Vantor_Scope&z=")) << hit.toStdString();

    // No tool for another view type: nothing at all.
    SiblingToolHandOff(7, opener).getAppPressed();
    EXPECT_EQ(opener.opened.size(), 1);
}

TEST_F(SiblingToolTest, TheHandshakeAnswersOnlyItsToolAndOnlyForFiveSeconds)
{
    ManualClock clock;
    DistributedNotificationCenter &center = DistributedNotificationCenter::defaultCenter();
    StartScanningInLaunchedAppManager launcher(center, clock);
    const QString pairly = StartScanningInLaunchedAppManager::startScanningIdentifierWithType(4);
    QStringList asked;
    const auto token =
        center.addObserver(QString::fromLatin1(MessageNames::kLaunchedAppAskToStartScanning), std::nullopt,
                           [&](const Notification &note) { asked << note.object.toString(); });
    const QString didFinish = QString::fromLatin1(MessageNames::kLaunchedAppDidFinishLaunching);

    launcher.prepareToAppLaunchingWithType(4);
    center.post(didFinish, StartScanningInLaunchedAppManager::startScanningIdentifierWithType(1));
    clock.advance(6000);
    center.post(didFinish, pairly);
    roundTrip(center);
    EXPECT_TRUE(asked.isEmpty());
    EXPECT_EQ(launcher.observationCount(), 0u);

    launcher.prepareToAppLaunchingWithType(4);
    launcher.prepareToAppLaunchingWithType(4); // a second press: a second observation
    clock.advance(4000);
    center.post(didFinish, pairly);
    ASSERT_TRUE(waitUntil([&] { return !asked.isEmpty(); }));
    EXPECT_EQ(asked, QStringList{pairly});
    EXPECT_EQ(launcher.observationCount(), 0u); // both answered by the one announcement
    center.removeObserver(token);
}

} // namespace
} // namespace lurkel::test
