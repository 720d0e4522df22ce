// The file managers' settings followed where they change: a write through the real dconf
// service by another program, and a settings file replaced by rename, mark the state for
// reading; the next tick reads it with the real check script. While nothing changes,
// nothing is started.
#include "FileManagerSettingsWatcher.h"

#include "EventWait.h"
#include "HiddenManager.h"
#include "MacOSVersion.h"
#include "ManualClock.h"
#include "NotificationCenter.h"
#include "PrivateBus.h"
#include "ScriptTestSupport.h"
#include "Spawn.h"
#include "TestEnvironment.h"
#include "UserDefaults.h"
#include "XdgDirs.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace lurkel::test {
namespace {

TEST(FileManagerSettingsWatcherTest, ChangesByOtherProgramsAreReadOnceAndIdleStartsNothing)
{
    // HOME and the XDG folders first: dconf-service takes them from the bus that starts it.
    FakeDesktop desktop(FakeDesktop::Gtk4 | FakeDesktop::Gtk3);
    desktop.addFileManager("nautilus");
    ::setenv("GSETTINGS_BACKEND", "dconf", 1);
    PrivateBus bus(BytePathList{BytePath("/usr/share/dbus-1/services")});
    ASSERT_TRUE(bus.isRunning());

    ManualClock clock;
    NotificationCenter center;
    UserDefaults suite(QStringLiteral("watcher-test-suite"));
    const MacOSVersion version(QStringLiteral("10.13"));
    HiddenManager hidden(HiddenManagerServices{desktop.scripts.runner.get(), desktop.scripts.defaults.get(), &suite,
                                               &version, &clock, &center});
    int stateNotes = 0;
    center.addObserver(HiddenManager::stateUpdateNotificationName(), {}, [&](const Notification &) { ++stateNotes; });
    hidden.startTrackingSystemValue();
    FileManagerSettingsWatcher watcher(hidden);
    watcher.start();
    const auto readDone = [&] { return hidden.lastVisibilityLoad().read && !hidden.isUpdating(); };

    clock.advance(1000); // the first read
    ASSERT_TRUE(waitUntil(readDone));
    ASSERT_FALSE(hidden.lastVisibilityLoad().error)
        << hidden.lastVisibilityLoad().error->localizedDescription().toStdString();
    EXPECT_FALSE(hidden.isHiddenShown());

    // A minute of ticks with nothing changed starts nothing.
    const std::uint64_t idleStarts = Spawn::startCount();
    for (int tick = 0; tick < 60; ++tick)
        clock.advance(1000);
    drainMainQueue();
    EXPECT_EQ(Spawn::startCount(), idleStarts);
    EXPECT_FALSE(hidden.needsLoadVisibilityState());

    // Ctrl+H in Nautilus: another program writes the GTK 4 key through dconf.
    desktop.gsettingsSet("org.gtk.gtk4.Settings.FileChooser", "show-hidden", "true");
    ASSERT_TRUE(waitUntil([&] { return hidden.needsLoadVisibilityState(); }));
    ASSERT_EQ(::access((XdgDirs::configHome() / "dconf" / "user").c_str(), F_OK), 0) << "not written by dconf";
    clock.advance(1000);
    ASSERT_TRUE(waitUntil([&] { return hidden.isHiddenShown(); }));
    EXPECT_GE(stateNotes, 1);
    const int dconfChanges = watcher.changesSeen();
    EXPECT_GE(dconfChanges, 1);
    // A key the check script does not read changes nothing.
    desktop.gsettingsSet("org.gtk.gtk4.Settings.FileChooser", "sort-column", "'size'");

    // PCManFM-Qt, in the profile LXQt runs it with, writes its file by rename into folders
    // that did not exist; another file of the configuration folder is written first and
    // does not count.
    writeFile(XdgDirs::configHome() / "unrelated.conf", "x");
    const BytePath folder = XdgDirs::configHome() / "pcmanfm-qt" / "lxqt";
    ASSERT_TRUE(XdgDirs::makePath(folder));
    writeFile(folder / ".settings.conf.new", "[FolderView]\nShowHidden=true\n");
    ASSERT_EQ(std::rename((folder / ".settings.conf.new").c_str(), (folder / "settings.conf").c_str()), 0);
    ASSERT_TRUE(waitUntil([&] { return watcher.changesSeen() > dconfChanges; }));
    drainMainQueue();
    EXPECT_EQ(watcher.changesSeen(), dconfChanges + 1);
    EXPECT_TRUE(hidden.needsLoadVisibilityState());
}

TEST(FileManagerSettingsWatcherTest, ChangeNoticesCountOnlyForTheKeysTheCheckReads)
{
    using W = FileManagerSettingsWatcher;
    EXPECT_TRUE(W::isRelevantDconfChange(QStringLiteral("/org/gtk/gtk4/settings/file-chooser/show-hidden"), {}));
    EXPECT_TRUE(
        W::isRelevantDconfChange(QStringLiteral("/org/nemo/"), {QStringLiteral("preferences/show-hidden-files")}));
    EXPECT_TRUE(W::isRelevantDconfChange(QStringLiteral("/org/mate/caja/"), {QStringLiteral("")}));
    EXPECT_TRUE(W::isRelevantDconfChange(QStringLiteral("/"), {})); // everything reset
    EXPECT_FALSE(W::isRelevantDconfChange(QStringLiteral("/org/gtk/gtk4/settings/file-chooser/"),
                                          {QStringLiteral("sort-column"), QStringLiteral("show-hidden-x")}));
    EXPECT_FALSE(W::isRelevantDconfChange(QStringLiteral("/org/nemo/preferences/show-hidden"), {}));
    EXPECT_TRUE(W::isRelevantXfconfChange(QStringLiteral("thunar"), QStringLiteral("/last-show-hidden")));
    EXPECT_FALSE(W::isRelevantXfconfChange(QStringLiteral("thunar"), QStringLiteral("/last-view")));
    EXPECT_FALSE(W::isRelevantXfconfChange(QStringLiteral("xfwm4"), QStringLiteral("/last-show-hidden")));
}

} // namespace
} // namespace lurkel::test
