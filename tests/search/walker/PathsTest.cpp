#include "BundleExcludeList.h"
#include "PathsGenerator.h"
#include "TestEnvironment.h"
#include "TWalkerSkipList.h"
#include "UserInfo.h"
#include "XdgDirs.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <unistd.h>

using namespace lurkel;

using lurkel::test::ScopedEnv;

TEST(UserInfo, HomeFromThePasswordDatabaseElseFromTheLoginName)
{
    {
        const ScopedEnv passwd("LURKEL_TEST_PASSWD_HOME", "/srv/homes/ann");
        const UserInfo info;
        EXPECT_EQ(info.userID(), std::to_string(::getuid()));
        EXPECT_EQ(info.homePath(), BytePath("/srv/homes/ann"));
    }
    const ScopedEnv noEntry("LURKEL_TEST_PASSWD_HOME", "");
    const ScopedEnv logname("LOGNAME", "ann");
    EXPECT_EQ(UserInfo().userID(), std::nullopt);
    EXPECT_EQ(UserInfo().homePath(), BytePath("/home/ann"));
    const ScopedEnv noLogname("LOGNAME", nullptr);
    const ScopedEnv user("USER", "bob");
    EXPECT_EQ(UserInfo().homePath(), BytePath("/home/bob"));
}

TEST(PathsGenerator, StandardFoldersComeFromTheXdgFolders)
{
    const BytePath home = test::TestEnvironment::freshHome();
    const ScopedEnv passwd("LURKEL_TEST_PASSWD_HOME", "/srv/homes/ann");
    const PathsGenerator paths;
    EXPECT_EQ(paths.getHomeDirectory(), BytePath("/srv/homes/ann")) << "the database, not $HOME";
    EXPECT_EQ(paths.buildTrashDirectory(), home / ".local/share/Trash");
    EXPECT_EQ(paths.buildUserApplicationsDirectory(), home / ".local/share/applications");
    EXPECT_EQ(paths.buildDownloadsDirectory(), home / "Downloads");

    test::writeFile(home / ".config/user-dirs.dirs", "XDG_DOWNLOAD_DIR=\"$HOME/T\xc3\xa9l\xc3\xa9\x63harg\"\n");
    EXPECT_EQ(paths.buildDownloadsDirectory(), home / "T\xc3\xa9l\xc3\xa9\x63harg");
    const std::string odd = home.bytes() + "/data \xff\n-x/";
    const ScopedEnv data("XDG_DATA_HOME", odd.c_str());
    EXPECT_EQ(paths.buildTrashDirectory(), BytePath(odd + "Trash"));
}

TEST(TWalkerSkipList, OnlyTheExactNameInTheExactFolderIsSkipped)
{
    const BytePath home = test::TestEnvironment::freshHome();
    const TWalkerSkipList list = TWalkerSkipList::fromEnvironment();
    const std::string data = (XdgDirs::dataHome() / "evolution").bytes();
    const std::string config = (XdgDirs::configHome() / "evolution").bytes();

    EXPECT_TRUE(list.isInExcludeListNameInPath("calendar", data));
    EXPECT_TRUE(list.isInExcludeListNameInPath("addressbook", data));
    EXPECT_TRUE(list.isInExcludeListNameInPath("sources", config));

    EXPECT_FALSE(list.isInExcludeListNameInPath("sources", data));
    EXPECT_FALSE(list.isInExcludeListNameInPath("calendar", config));
    EXPECT_FALSE(list.isInExcludeListNameInPath("calendar", data + "/")) << "trailing slash";
    EXPECT_FALSE(list.isInExcludeListNameInPath("calendar", home.bytes() + "/.local/share/Evolution"));
    EXPECT_FALSE(list.isInExcludeListNameInPath("Calendar", data));
    EXPECT_FALSE(list.isInExcludeListNameInPath("calendars", data));
    EXPECT_FALSE(list.isInExcludeListNameInPath("calendar", home.bytes()));
    EXPECT_FALSE(list.isInExcludeListNameInPath("", data));

    // Base folders are taken as the walker spells paths: single separators, no "." parts.
    const TWalkerSkipList odd(BytePath("/home/\xff ann//.local/./share/"), BytePath("/cfg"));
    EXPECT_TRUE(odd.isInExcludeListNameInPath("addressbook", "/home/\xff ann/.local/share/evolution"));
    EXPECT_TRUE(odd.isInExcludeListNameInPath("sources", "/cfg/evolution"));
    EXPECT_FALSE(odd.isInExcludeListNameInPath("addressbook", "/home/\xff ann//.local/./share/evolution"));
}

TEST(BundleExcludeList, SystemApplicationsIgnoringCase)
{
    const BundleExcludeList &list = BundleExcludeList::GetInstance();
    EXPECT_TRUE(list.isSystemBundleID(std::nullopt));
    for (const char *id : {"COM.APPLE.SAFARI", "com.apple.Image_Capture", "com.apple.ScriptEditor2", "org.kde.dolphin",
                           "ORG.GNOME.NAUTILUS.desktop", "systemsettings.desktop"}) {
        EXPECT_TRUE(list.isSystemBundleID(QString::fromLatin1(id))) << id;
    }
    for (const char *id : {"com.apple.Xcode", "com.apple.ScriptEditor", "org.mozilla.firefox", ".desktop", ""}) {
        EXPECT_FALSE(list.isSystemBundleID(QString::fromLatin1(id))) << id;
    }
}
