#include "ChildProcesses.h"

#include "Autostart.h"
#include "AutostartMigration.h"
#include "Identity.h"
#include "LurkelProjectRunAtLoginManager.h"
#include "PrivateBus.h"
#include "SettingsKeys.h"
#include "TestEnvironment.h"
#include "UserDefaults.h"
#include "XdgDirs.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace lurkel::test {
namespace {

using Outcome = AutostartMigration::Outcome;

BytePath programs()
{
    static const BytePath folder = installPrograms(
        "migration", {{LURKEL_LAUNCHER_PROGRAM, "lurkel-launcher"}, {LURKEL_STANDIN_PROGRAM, "lurkel"}});
    return folder;
}

class AutostartMigrationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(PrivateBus::shared().isRunning());
        TestEnvironment::freshHome();
        ASSERT_TRUE(XdgDirs::makePath(Autostart::userFolder()));
        legacyEntry = Autostart::userEntryPath(Identity::kBundleIdentifier);
    }

    // The entry an older version wrote for the application itself.
    void writeLegacyEntry()
    {
        writeFile(legacyEntry, "[Desktop Entry]\nType=Application\nName=Lurkel\nExec=" +
                                   (programs() / "lurkel").bytes() + "\nX-GNOME-Autostart-enabled=true\n");
    }

    Outcome migrate(RunAtLoginManager &m)
    {
        UserDefaults defaults(QString::fromLatin1(Identity::kBundleIdentifier));
        return AutostartMigration::migrateAutostartIfNeeded(m, defaults, [this](const Error &) { ++failures; });
    }

    // What a later process reads from the store.
    bool storeHolds(const QString &key)
    {
        return UserDefaults(QString::fromLatin1(Identity::kBundleIdentifier)).contains(key);
    }

    LurkelProjectRunAtLoginManager manager{programs()};
    BytePath legacyEntry;
    int failures = 0;
};

TEST_F(AutostartMigrationTest, TheLegacyEntryMovesToTheLauncherExactlyOnce)
{
    EXPECT_EQ(migrate(manager), Outcome::NotNeeded) << "nothing to move";
    writeLegacyEntry();
    ASSERT_TRUE(manager.isLaunchAtStartup());

    EXPECT_EQ(migrate(manager), Outcome::Migrated);
    EXPECT_FALSE(manager.isLaunchAtStartup());
    EXPECT_NE(::access(legacyEntry.c_str(), F_OK), 0) << "the legacy entry is gone";
    EXPECT_TRUE(manager.isEnabledToAutoLaunchWithHelperApp());

    // The user turns it off later: the next start leaves that alone.
    manager.setIsEnabledForHelperAppFailedBlock(false, [this](const Error &) { ++failures; });
    EXPECT_EQ(migrate(manager), Outcome::NotNeeded);
    EXPECT_FALSE(manager.isEnabledToAutoLaunchWithHelperApp());
    EXPECT_EQ(failures, 0);
}

TEST_F(AutostartMigrationTest, AKeyOfTheUsersChoiceLeavesTheLegacyEntryAloneAndIsRemoved)
{
    for (const QString &key : {QString(SettingsKeys::kAutoStart), QString(SettingsKeys::kAutoStartToggledByUser)}) {
        writeLegacyEntry();
        {
            UserDefaults defaults(QString::fromLatin1(Identity::kBundleIdentifier));
            defaults.setBool(key, false); // only its presence counts
            ASSERT_TRUE(defaults.synchronize());
        }
        EXPECT_EQ(migrate(manager), Outcome::NotNeeded) << key.toStdString();
        EXPECT_TRUE(manager.isLaunchAtStartup());
        EXPECT_FALSE(manager.isEnabledToAutoLaunchWithHelperApp());
        EXPECT_FALSE(storeHolds(key)) << key.toStdString();
    }
    EXPECT_EQ(failures, 0);
}

TEST_F(AutostartMigrationTest, ALauncherEntryThatCannotBeWrittenKeepsTheLegacyEntry)
{
    writeLegacyEntry();
    LurkelProjectRunAtLoginManager withoutLauncher(
        installPrograms("no-launcher", {{LURKEL_STANDIN_PROGRAM, "lurkel"}}));
    EXPECT_EQ(migrate(withoutLauncher), Outcome::Failed);
    EXPECT_EQ(failures, 1);
    EXPECT_TRUE(manager.isLaunchAtStartup()) << "Lurkel still starts at login";
    EXPECT_FALSE(manager.isEnabledToAutoLaunchWithHelperApp());
}

} // namespace
} // namespace lurkel::test
