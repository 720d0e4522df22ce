#include "BytePath.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <unistd.h>

using lurkel::BytePath;
using namespace std::string_literals;

TEST(BytePath, JoinsAndSplitsUnusualPaths)
{
    EXPECT_EQ((BytePath("/") / "home").bytes(), "/home");
    EXPECT_EQ((BytePath("/a/") / "b").bytes(), "/a/b");
    EXPECT_EQ((BytePath("/a") / "/b").bytes(), "/a/b");
    EXPECT_EQ((BytePath("") / "b").bytes(), "b");
    EXPECT_EQ(BytePath("/a/b/").fileName(), "b");
    EXPECT_EQ(BytePath("/").fileName(), "/");
    EXPECT_EQ(BytePath("/a").parent().bytes(), "/");
    EXPECT_EQ(BytePath("/a/b//").parent().bytes(), "/a");
    EXPECT_EQ(BytePath("name").parent().bytes(), "");
    EXPECT_EQ(BytePath("/x/archive.tar.gz").extension(), "gz");
    EXPECT_EQ(BytePath("/x/.bashrc").extension(), "");
}

TEST(BytePath, Utf8ValidationAndInvalidBytesKept)
{
    const std::string raw = "/tmp/bad\xff\xfe name\n"s;
    const BytePath path(raw);
    EXPECT_FALSE(path.isValidUtf8());
    EXPECT_EQ(path.bytes(), raw);
    EXPECT_TRUE(path.displayString().contains(QChar(0xFFFD)));
    EXPECT_EQ(BytePath::fromBytes(path.toByteArray()), path);
    EXPECT_EQ(path.toFileUri(), QByteArray("file:///tmp/bad%FF%FE%20name%0A")); // every byte kept
    EXPECT_TRUE(lurkel::isValidUtf8("\xc3\xa9t\xc3\xa9 \xf0\x9f\x98\x80"));
    EXPECT_FALSE(lurkel::isValidUtf8("\xc0\xaf"));         // overlong "/"
    EXPECT_FALSE(lurkel::isValidUtf8("\xed\xa0\x80"));     // UTF-16 surrogate
    EXPECT_FALSE(lurkel::isValidUtf8("\xf4\x90\x80\x80")); // past U+10FFFF
    EXPECT_FALSE(lurkel::isValidUtf8("\xe2\x82"));         // cut short
    EXPECT_EQ(BytePath::fromText(QStringLiteral("été")).bytes(), "\xc3\xa9t\xc3\xa9");
}

TEST(BytePath, ANulByteNeverReachesASystemCallAsAShorterPath)
{
    const std::string dir = ::testing::TempDir();
    const BytePath cut(dir + "\0/../../etc"s); // would act on dir if passed on cut short
    EXPECT_TRUE(cut.containsNul());
    EXPECT_STREQ(cut.c_str(), "");
    EXPECT_EQ(::access(cut.c_str(), F_OK), -1);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(BytePath::fromBusBytes(QByteArray("/a\0", 3)), BytePath("/a")); // GLib's closing NUL
    EXPECT_TRUE(BytePath::fromBusBytes(QByteArray("/a\0\0", 4)).containsNul());
    EXPECT_EQ(BytePath::fromBusBytes(QByteArray("/a")), BytePath("/a"));
}
