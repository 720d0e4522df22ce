#include "HiddenFlag.h"
#include "FileAttributes.h"
#include "Fixtures.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace lurkel;
using namespace lurkel::test;
using namespace std::string_literals;

namespace {

mode_t modeOf(const BytePath &path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

} // namespace

TEST(HiddenFlag, EditsKeepEveryOtherLineByteForByte)
{
    const BytePath dir = makeDir(TestEnvironment::freshHome() / "d");
    for (const char *name : {"new", "x", "x\r"})
        writeFile(dir / name, "");
    const std::string others = "keep\r\n\n"s + "bad\xff name" + "\nkeep\nlast-without-newline";
    writeFile(dir / ".hidden", others);
    ::chmod((dir / ".hidden").c_str(), 0600);

    bool changed = false;
    EXPECT_FALSE(HiddenFlag::setHidden(dir / "new", true, &changed));
    EXPECT_TRUE(changed);
    EXPECT_EQ(readFile(dir / ".hidden"), others + "\nnew\n");
    EXPECT_EQ(modeOf(dir / ".hidden"), 0600u);
    EXPECT_FALSE(HiddenFlag::setHidden(dir / "new/", true, &changed));
    EXPECT_FALSE(changed) << "already listed: no second line";
    EXPECT_EQ(readFile(dir / ".hidden"), others + "\nnew\n");

    // Clearing drops every line of the name and its CRLF form (KIO reads it as the name),
    // but not the CRLF form when an entry of that very name exists.
    writeFile(dir / ".hidden", "new\nkeep\nnew\r\nnew\nx\r\n\n\xfe\nnew");
    EXPECT_FALSE(HiddenFlag::setHidden(dir / "new", false, &changed));
    EXPECT_TRUE(changed);
    EXPECT_EQ(readFile(dir / ".hidden"), "keep\nx\r\n\n\xfe\n");
    EXPECT_FALSE(HiddenFlag::setHidden(dir / "x", false, &changed));
    EXPECT_FALSE(changed);
    EXPECT_EQ(readFile(dir / ".hidden"), "keep\nx\r\n\n\xfe\n");

    // A list left without names goes; a new one is 0644 whatever the umask.
    writeFile(dir / ".hidden", "new\n\n");
    EXPECT_FALSE(HiddenFlag::setHidden(dir / "new", false));
    EXPECT_FALSE(exists(dir / ".hidden"));
    const mode_t oldMask = ::umask(077);
    EXPECT_FALSE(HiddenFlag::setHidden(dir / "new", true));
    ::umask(oldMask);
    EXPECT_EQ(readFile(dir / ".hidden"), "new\n");
    EXPECT_EQ(modeOf(dir / ".hidden"), 0644u);

    // No temporary file is left behind, and no lock file stays.
    EXPECT_EQ(snapshot(dir).size(), 5u) << "the folder, new, x, x\\r and .hidden";
    EXPECT_EQ(snapshot(HiddenFlag::lockFolder()).size(), 1u);
}

TEST(HiddenFlag, RefusesWhatItCannotWriteSafely)
{
    const BytePath home = TestEnvironment::freshHome();
    const BytePath viaLink = makeDir(home / "link"), viaDir = makeDir(home / "dir"), viaFifo = makeDir(home / "fifo");
    writeFile(home / "target", "precious\n");
    ASSERT_EQ(::symlink((home / "target").c_str(), (viaLink / ".hidden").c_str()), 0);
    makeDir(viaDir / ".hidden");
    ASSERT_EQ(::mkfifo((viaFifo / ".hidden").c_str(), 0644), 0);
    for (const BytePath &folder : {viaLink, viaDir, viaFifo}) {
        writeFile(folder / "item", "");
        const Snapshot before = snapshot(folder);
        EXPECT_TRUE(HiddenFlag::setHidden(folder / "item", true)) << folder.bytes();
        EXPECT_TRUE(HiddenFlag::setHidden(folder / "item", false)) << folder.bytes();
        EXPECT_EQ(snapshot(folder), before);
    }
    EXPECT_EQ(readFile(home / "target"), "precious\n");

    const BytePath plain = makeDir(home / "plain");
    writeFile(plain / "line\nfeed", "");
    writeFile(plain / "carriage\r", "");
    EXPECT_TRUE(HiddenFlag::setHidden(plain / "line\nfeed", true));
    EXPECT_FALSE(HiddenFlag::setHidden(plain / "line\nfeed", false)) << "no line can hold it: nothing to clear";
    for (const BytePath &refused :
         {plain / "carriage\r", plain / "missing", BytePath("relative"), BytePath("/"), plain / ".."})
        EXPECT_TRUE(HiddenFlag::setHidden(refused, true)) << refused.bytes();
    EXPECT_FALSE(exists(plain / ".hidden"));
}

TEST(HiddenFlag, TwoProcessesHidingAtOnceLoseNoName)
{
    const BytePath dir = makeDir(TestEnvironment::freshHome() / "shared");
    std::vector<std::string> args[2] = {{"hide"}, {"hide"}}, expected;
    for (int i = 0; i < 300; ++i) {
        expected.push_back((i % 2 == 0 ? "a-" : "b-") + std::to_string(i));
        writeFile(dir / expected.back(), "");
        args[i % 2].push_back((dir / expected.back()).bytes());
    }
    CtlResult results[2];
    std::thread second([&] { results[1] = runLurkelctl(args[1]); });
    results[0] = runLurkelctl(args[0]);
    second.join();
    for (const CtlResult &r : results)
        EXPECT_EQ(r.exitStatus, 0) << r.err;
    std::vector<std::string> lines = FileAttributes::splitHiddenList(readFile(dir / ".hidden"));
    std::sort(lines.begin(), lines.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(lines, expected) << "each name exactly once";
}
