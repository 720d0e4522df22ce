#include "XdgDirs.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace lurkel;

TEST(XdgDirs, DefaultsRelativeValuesAndUserDirs)
{
    const BytePath home = test::TestEnvironment::freshHome();
    ::unsetenv("XDG_DATA_HOME");
    ::setenv("XDG_CACHE_HOME", "relative/cache", 1); // relative values are ignored
    ::setenv("XDG_CONFIG_DIRS", "/etc/one::relative:/etc/two", 1);
    EXPECT_EQ(XdgDirs::dataHome(), home / ".local/share");
    EXPECT_EQ(XdgDirs::cacheHome(), home / ".cache");
    EXPECT_EQ(XdgDirs::configDirs(), (BytePathList{BytePath("/etc/one"), BytePath("/etc/two")}));
    EXPECT_EQ(XdgDirs::appScriptsDir(), home / ".local/share/com.brendix.Lurkel-SII/Scripts");

    EXPECT_EQ(XdgDirs::userDir("DOWNLOAD", "Downloads"), home / "Downloads");
    ASSERT_TRUE(XdgDirs::makePath(XdgDirs::configHome()));
    test::writeFile(XdgDirs::configHome() / "user-dirs.dirs",
                    "# comment\nXDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n"
                    "XDG_DOWNLOAD_DIR=\"$HOME/My \\\"Down\\\" loads\"\nXDG_MUSIC_DIR=\"/srv/music\"\n");
    EXPECT_EQ(XdgDirs::userDir("DOWNLOAD", "Downloads"), home / "My \"Down\" loads");
    EXPECT_EQ(XdgDirs::userDir("MUSIC", "Music"), BytePath("/srv/music"));
    EXPECT_EQ(XdgDirs::userDir("VIDEOS", "Videos"), home / "Videos");
}
