// The tray application as a real process on a private bus: a request that arrives as soon
// as it answers on the bus is acted on, and later copies hand over their searches and end.
#include "ChildProcesses.h"
#include "DistributedNotificationCenter.h"
#include "EventWait.h"
#include "Identity.h"
#include "PrivateBus.h"
#include "ProgramPaths.h"
#include "RunningApplications.h"
#include "Settings.h"
#include "Spawn.h"
#include "TestEnvironment.h"
#include "UserDefaults.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <sys/stat.h>
#include <sys/wait.h>

using namespace lurkel;
using namespace lurkel::test;

TEST(AppStartTest, SecondCopyHandsOverAndTheFirstHearsRequestsAtOnce)
{
    PrivateBus::shared();
    ::setenv("QT_LOGGING_RULES", "lurkel.core.info=true", 1);
    ::setenv("LURKEL_REFRESH_DELAY", "0", 1);
    const QString id = QString::fromLatin1(Identity::kBundleIdentifier);
    int copyNotes = 0;
    DistributedNotificationCenter::defaultCenter().addObserver(
        QStringLiteral("AppCopyHaveJustTriedToLaunchNotificatioName"), id, [&](const Notification &) { ++copyNotes; });

    // HOME is not the password database's home (sudo -E, containers): a search without a
    // folder runs in the latter, as everywhere else.
    const BytePath realHome = TestEnvironment::root() / "real-home";
    ASSERT_EQ(::mkdir(realHome.c_str(), 0755), 0);
    const ScopedEnv passwd("LURKEL_TEST_PASSWD_HOME", realHome.c_str());
    const BytePath firstLog = TestEnvironment::root() / "first.log";
    const pid_t first = startProgram(LURKEL_APP_PROGRAM, firstLog);
    ASSERT_GT(first, 0);
    // It answers on the bus only once its observers are in place: a hide request sent the
    // moment it answers is acted on.
    ASSERT_TRUE(pollUntil([&] { return RunningApplications::isRunning(id) && RunningApplications::activate(id); }))
        << readFile(firstLog);
    const BytePath dir = TestEnvironment::root() / "items";
    ASSERT_EQ(::mkdir(dir.c_str(), 0755), 0);
    writeFile(dir / "note, draft.txt", "x");
    const BytePathList paths{dir / "note, draft.txt"};
    DistributedNotificationCenter::defaultCenter().post(
        QStringLiteral("AppSyncExtensionWantsToHideSelectedFiles"),
        QString::fromUtf8((dir / "note, draft.txt").c_str()),
        {{QStringLiteral("paths"), DistributedNotificationCenter::pathsValue(paths)}});
    EXPECT_TRUE(pollUntil([&] { return readFile(dir / ".hidden") == "note, draft.txt\n"; })) << readFile(firstLog);

    // The second copy: hands its search to the first and ends without a tray icon.
    const BytePath folder = TestEnvironment::root() / "searched";
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    SpawnRequest second;
    second.argv = {LURKEL_APP_PROGRAM, "--search", "needle", folder.bytes()};
    const SpawnResult secondResult = Spawn::run(second);
    EXPECT_EQ(secondResult.exitStatus, 0) << secondResult.standardError;
    EXPECT_EQ(secondResult.standardError.find("tray icon created"), std::string::npos) << secondResult.standardError;
    EXPECT_TRUE(waitUntil([&] { return copyNotes == 1; }));
    EXPECT_TRUE(pollUntil([&] {
        return readFile(firstLog).find("search for \"needle\" in " + folder.bytes()) != std::string::npos;
    })) << readFile(firstLog);

    SpawnRequest third;
    third.argv = {LURKEL_APP_PROGRAM, "--search", "haystack"};
    EXPECT_EQ(Spawn::run(third).exitStatus, 0);
    EXPECT_TRUE(pollUntil([&] {
        return readFile(firstLog).find("search for \"haystack\" in " + realHome.bytes()) != std::string::npos;
    })) << readFile(firstLog);

    // Quit over the bus ends it normally.
    ASSERT_TRUE(RunningApplications::quit(id));
    const std::optional<int> status = waitForExit(first);
    ASSERT_TRUE(status.has_value());
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << readFile(firstLog);
    const std::string log = readFile(firstLog);
    EXPECT_EQ(log.find("tray icon created"), log.rfind("tray icon created")); // one copy made one icon
}

// The folder a search ran in is on the disk whichever way the program ends: the tray
// menu's Quit (the same call as Quit on the bus) and the session's SIGTERM.
TEST(AppStartTest, TheChosenSearchFolderSurvivesEveryQuit)
{
    PrivateBus::shared();
    ::setenv("QT_LOGGING_RULES", "lurkel.core.info=true", 1);
    const QString id = QString::fromLatin1(Identity::kBundleIdentifier);
    for (const bool bySignal : {false, true}) {
        const BytePath folder = TestEnvironment::root() / (bySignal ? "by signal" : "by bus");
        ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
        const BytePath log = TestEnvironment::root() / (bySignal ? "signal.log" : "bus.log");
        const pid_t app = startProgram(LURKEL_APP_PROGRAM, log, {"--search", "needle", folder.bytes()});
        ASSERT_GT(app, 0);
        ASSERT_TRUE(pollUntil([&] {
            return readFile(log).find("search for \"needle\" in " + folder.bytes()) != std::string::npos;
        })) << readFile(log);
        if (bySignal)
            ASSERT_EQ(::kill(app, SIGTERM), 0);
        else
            ASSERT_TRUE(RunningApplications::quit(id));
        const std::optional<int> status = waitForExit(app);
        ASSERT_TRUE(status.has_value());
        EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << readFile(log);

        UserDefaults stored(id);
        EXPECT_EQ(Settings(stored).getCustomFolderButtonSearchLocation(), folder) << readFile(log);
    }
}

// From an AppImage the autostart entry runs "$APPIMAGE" --launcher: lurkel hands its process
// to the launcher beside it (inside the AppImage's mount), which starts the AppImage again,
// and that start knows it was made at login.
TEST(AppStartTest, TheAppImagesLauncherModeStartsTheAppImageAtLogin)
{
    PrivateBus::shared();
    const QString id = QString::fromLatin1(Identity::kBundleIdentifier);
    const BytePath mount = installPrograms(
        "appimage-mount", {{LURKEL_APP_PROGRAM, "lurkel"}, {LURKEL_LAUNCHER_PROGRAM, "lurkel-launcher"}});
    const BytePath image =
        installPrograms("appimage", {{LURKEL_STANDIN_PROGRAM, "Lurkel.AppImage"}}) / "Lurkel.AppImage";
    const ScopedEnv appImage("APPIMAGE", image.c_str());
    std::optional<bool> autolaunched;
    pid_t started = -1;
    DistributedNotificationCenter::defaultCenter().addObserver(
        QStringLiteral("LoginTestStandInStarted"), std::nullopt, [&](const Notification &note) {
            autolaunched = note.userInfo.value(QStringLiteral("autolaunched")).toBool();
            started = static_cast<pid_t>(note.userInfo.value(QStringLiteral("pid")).toLongLong());
        });

    const BytePath log = TestEnvironment::root() / "launcher-mode.log";
    const pid_t launcher = startProgram((mount / "lurkel").bytes(), log, {"--launcher"});
    ASSERT_GT(launcher, 0);
    ASSERT_TRUE(waitUntil([&] { return started > 0; })) << readFile(log);
    EXPECT_EQ(autolaunched, std::optional<bool>(true));
    EXPECT_EQ(ProgramPaths::executableOf(started), image);
    const std::optional<int> status = waitForExit(launcher); // told to go by the started copy
    EXPECT_TRUE(status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << readFile(log);
    ASSERT_TRUE(RunningApplications::quit(id));
    EXPECT_TRUE(pollUntil([&] { return !RunningApplications::isRunning(id); }));
}
