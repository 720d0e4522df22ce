#include "ChildProcesses.h"

#include "Autostart.h"
#include "DesktopEntry.h"
#include "Identity.h"
#include "LurkelProjectRunAtLoginManager.h"
#include "PrivateBus.h"
#include "Spawn.h"
#include "TestEnvironment.h"
#include "XdgDirs.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>

namespace lurkel::test {
namespace {

const std::string kLauncherId = Identity::kLauncherIdentifier;

// Reserved characters in the folder name: the entry must quote and escape them.
BytePath programs()
{
    static const BytePath folder = installPrograms(
        "installed $HOME \"100%\"", {{LURKEL_LAUNCHER_PROGRAM, "lurkel-launcher"}, {LURKEL_STANDIN_PROGRAM, "lurkel"}});
    return folder;
}

std::vector<std::string> folderContents(const BytePath &folder)
{
    std::vector<std::string> names;
    if (DIR *dir = ::opendir(folder.c_str())) {
        while (const dirent *d = ::readdir(dir)) {
            if (std::string_view(d->d_name) != "." && std::string_view(d->d_name) != "..")
                names.emplace_back(d->d_name);
        }
        ::closedir(dir);
    }
    return names;
}

// desktop-file-validate's verdict: empty when it accepts the file.
std::string validationProblems(const BytePath &entry)
{
    const SpawnResult r = Spawn::run({{"desktop-file-validate", entry.bytes()}});
    if (!r.started) return "desktop-file-validate did not start: " + r.failureDescription().toStdString();
    return r.exitStatus == 0 ? std::string() : r.standardOutput + r.standardError;
}

std::string entryText(const std::string &body)
{
    return "[Desktop Entry]\nType=Application\nName=Test\n" + body;
}

class RunAtLoginManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(PrivateBus::shared().isRunning());
        TestEnvironment::freshHome();
        ASSERT_TRUE(XdgDirs::makePath(Autostart::systemFolders().front()));
    }

    BytePath userEntry() const { return Autostart::userEntryPath(kLauncherId); }
    BytePath systemEntry() const { return Autostart::systemFolders().front() / (kLauncherId + ".desktop"); }

    // Changes the launcher's entry; the error text of a failure, empty on success.
    std::string setEnabled(RunAtLoginManager &m, bool enabled)
    {
        std::string failure;
        int calls = 0;
        m.setIsEnabledForHelperAppFailedBlock(enabled, [&](const Error &error) {
            ++calls;
            failure = error.localizedDescription().toStdString();
        });
        EXPECT_LE(calls, 1);
        EXPECT_EQ(calls == 1, !failure.empty());
        return failure;
    }

    LurkelProjectRunAtLoginManager manager{programs()};
    const BytePath launcher = programs() / "lurkel-launcher";
};

TEST_F(RunAtLoginManagerTest, EnableStatusDisable)
{
    EXPECT_FALSE(manager.isEnabledToAutoLaunchWithHelperApp());
    ASSERT_EQ(setEnabled(manager, true), "");
    EXPECT_EQ(validationProblems(userEntry()), "");
    const auto entry = Autostart::entry(kLauncherId);
    ASSERT_TRUE(entry && entry->inUserFolder && entry->isEnabled());
    EXPECT_EQ(entry->entry.execArguments(), std::vector<std::string>{launcher.bytes()});
    EXPECT_EQ(folderContents(Autostart::userFolder()), std::vector<std::string>{kLauncherId + ".desktop"})
        << "no temporary file is left behind";
    EXPECT_TRUE(manager.isEnabledToAutoLaunchWithHelperApp());

    ASSERT_EQ(setEnabled(manager, false), "");
    EXPECT_FALSE(manager.isEnabledToAutoLaunchWithHelperApp());
    EXPECT_TRUE(folderContents(Autostart::userFolder()).empty());
    EXPECT_EQ(setEnabled(manager, false), "") << "disabling what is off is no error";

    // Entries the session would not start read as disabled.
    const std::string exec = "Exec=" + launcher.bytes() + "\n";
    for (const char *line : {"X-GNOME-Autostart-enabled=false\n", "Hidden=true\n"}) {
        const std::string text = entryText(exec + line);
        writeFile(userEntry(), text);
        EXPECT_FALSE(manager.isEnabledToAutoLaunchWithHelperApp()) << text;
    }
}

// From an AppImage the launcher beside the program lies in a mount that ends with the
// process: the entry starts the AppImage in launcher mode, and counts only while it exists.
TEST_F(RunAtLoginManagerTest, FromAnAppImageTheEntryStartsTheAppImageInLauncherMode)
{
    const BytePath folder = TestEnvironment::root() / "My Apps 100%";
    ASSERT_TRUE(XdgDirs::makePath(folder));
    const BytePath image = folder / "Lurkel \"1.0\".AppImage";
    writeFile(image, "#!/bin/sh\n");
    ASSERT_EQ(::chmod(image.c_str(), 0755), 0);
    manager.setAppImage(image);

    ASSERT_EQ(setEnabled(manager, true), "");
    EXPECT_EQ(validationProblems(userEntry()), "");
    const auto entry = Autostart::entry(kLauncherId);
    ASSERT_TRUE(entry && entry->isEnabled());
    EXPECT_EQ(entry->entry.execArguments(), (std::vector<std::string>{image.bytes(), "--launcher"}));
    EXPECT_TRUE(manager.isEnabledToAutoLaunchWithHelperApp());

    // The AppImage moved away: the entry starts nothing, and a new one is refused.
    ASSERT_EQ(::unlink(image.c_str()), 0);
    EXPECT_FALSE(manager.isEnabledToAutoLaunchWithHelperApp());
    EXPECT_NE(setEnabled(manager, true), "");
    EXPECT_EQ(setEnabled(manager, false), "");
    EXPECT_FALSE(Autostart::entry(kLauncherId).has_value());
    manager.setAppImage(BytePath());
}

TEST_F(RunAtLoginManagerTest, ASystemWideEntryIsMaskedWithHiddenAndEnablingWins)
{
    const std::string systemText =
        entryText("Exec=" + DesktopEntry::escapeValue(DesktopEntry::quoteExecArgument(launcher.bytes())) + "\n");
    writeFile(systemEntry(), systemText);
    EXPECT_TRUE(manager.isEnabledToAutoLaunchWithHelperApp()) << "a system-wide entry alone starts it";

    ASSERT_EQ(setEnabled(manager, false), "");
    EXPECT_FALSE(manager.isEnabledToAutoLaunchWithHelperApp());
    const auto mask = Autostart::entry(kLauncherId);
    ASSERT_TRUE(mask && mask->inUserFolder);
    EXPECT_EQ(mask->entry.value("Hidden"), "true");
    EXPECT_EQ(validationProblems(userEntry()), "");
    EXPECT_EQ(readFile(systemEntry()), systemText) << "the system's entry is never touched";

    ASSERT_EQ(setEnabled(manager, true), "");
    EXPECT_TRUE(manager.isEnabledToAutoLaunchWithHelperApp());
}

TEST_F(RunAtLoginManagerTest, AFileInTheWayOfTheAutostartFolderCallsTheFailedBlock)
{
    ASSERT_TRUE(XdgDirs::makePath(XdgDirs::configHome()));
    writeFile(Autostart::userFolder(), "in the way");
    EXPECT_NE(setEnabled(manager, true).find(std::strerror(ENOTDIR)), std::string::npos);
    EXPECT_FALSE(manager.isEnabledToAutoLaunchWithHelperApp());
    EXPECT_NE(setEnabled(manager, false), "") << "nor can an entry be removed from under it";
}

TEST_F(RunAtLoginManagerTest, LoginItemsLeaveOutTheSystemsOwnAndKnowMissingProgramsByIdOnly)
{
    const BytePath user = Autostart::userFolder();
    const BytePath system = Autostart::systemFolders().front();
    ASSERT_TRUE(XdgDirs::makePath(user));
    writeFile(user / "org.gnome.SettingsDaemon.Power.desktop", entryText("Exec=/bin/true\n"));
    writeFile(system / "org.kde.kdeconnect.daemon.desktop", entryText("Exec=/bin/true\n"));
    writeFile(system / "tool.desktop", "[Desktop Entry]\nType=Application\nName=Tool\nExec=sh -c \"exit 0\"\n");
    writeFile(system / "masked.desktop", entryText("Exec=/bin/true\n"));
    writeFile(user / "masked.desktop", entryText("Exec=/bin/true\nHidden=true\n"));
    writeFile(user / "gone.desktop", entryText("Exec=/nonexistent/gone --background\n"));
    writeFile(user / "quoted.desktop",
              entryText("Exec=\"" + programs().bytes().substr(0, programs().bytes().find('$')) +
                        "\\\\$HOME \\\\\"100%%\\\\\"/lurkel\" %U\n"));

    std::vector<std::string> ids;
    for (const LoginItem &item : manager.loadSandboxedLoginItems())
        ids.push_back(item.bundleIdentifier().toStdString());
    EXPECT_EQ(ids, (std::vector<std::string>{"gone", "quoted", "tool"}));

    const auto items = manager.loadSandboxedLoginItems();
    EXPECT_EQ(items[0].executablePath(), std::nullopt);
    EXPECT_EQ(items[0].applicationName(), QStringLiteral("gone"));
    EXPECT_EQ(items[1].executablePath(), programs() / "lurkel");
    ASSERT_TRUE(items[2].executablePath());
    EXPECT_TRUE(items[2].executablePath()->isAbsolute());
    EXPECT_EQ(items[2].executablePath()->fileName(), "sh");
    EXPECT_EQ(items[2].applicationName(), QStringLiteral("Tool"));
    EXPECT_FALSE(manager.isAppWithBundleIdentifierEnabledForAutolaunch(QStringLiteral("gone"))); // starts nothing
    EXPECT_TRUE(manager.isAppWithBundleIdentifierEnabledForAutolaunch(QStringLiteral("tool")));
    EXPECT_FALSE(manager.isAppWithBundleIdentifierEnabledForAutolaunch(QStringLiteral("org.kde.kdeconnect.daemon")));
}

} // namespace
} // namespace lurkel::test
