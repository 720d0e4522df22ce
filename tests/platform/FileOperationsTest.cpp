#include "FileOperations.h"
#include "Fixtures.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

using namespace lurkel;
using namespace lurkel::test;
using namespace std::string_literals;

namespace {

void setTimes(const BytePath &path, long sec, long nsec)
{
    const timespec times[2] = {{sec, nsec}, {sec + 7, nsec + 1}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path.bytes();
}

// A folder with a bit of everything: modes, exact times, links (one dangling), a pipe.
BytePath makeTree(const BytePath &at)
{
    const BytePath tree = makeDir(at);
    const BytePath sub = makeDir(tree / "sub", 0750);
    writeFile(sub / "data", "\0binary\xff"s + std::string(3 << 20, 'z')); // crosses the block size
    ::chmod((sub / "data").c_str(), 0640);
    writeFile(tree / "tool", "#!/bin/sh\n");
    ::chmod((tree / "tool").c_str(), 0755);
    EXPECT_EQ(::symlink("../nowhere", (tree / "dangling").c_str()), 0);
    EXPECT_EQ(::symlink("sub", (tree / "to-sub").c_str()), 0);
    EXPECT_EQ(::mkfifo((tree / "pipe").c_str(), 0620), 0);
    setTimes(sub / "data", 1000000000, 123456789);
    setTimes(tree / "dangling", 1100000000, 5);
    return tree;
}

// Moves tree into dest and checks it arrived as expected, intact, and left the source.
void expectMoved(const BytePath &tree, const BytePath &dest, const BytePath &expected,
                 FileOperationOptions options = {})
{
    const Snapshot before = snapshot(tree);
    const ItemOutcome outcome = FileOperations::moveItem(tree, dest, options);
    ASSERT_TRUE(outcome.done()) << outcome.error->localizedDescription().toStdString();
    EXPECT_EQ(outcome.destination, expected);
    EXPECT_FALSE(exists(tree));
    EXPECT_EQ(snapshot(expected), before);
}

} // namespace

TEST(FileOperations, NumberedNamesKeepTheExtension)
{
    using Case = std::tuple<const char *, bool, const char *>;
    for (const auto &[name, folder, expected] :
         {Case{"archive.tar.gz", false, "archive 2.tar.gz"}, Case{".bashrc", false, ".bashrc 2"},
          Case{"report 2.pdf", false, "report 3.pdf"}, Case{"photos.2020", true, "photos.2020 2"},
          Case{"Tool.app", true, "Tool 2.app"}, Case{"notes.final draft", false, "notes.final draft 2"}})
        EXPECT_EQ(FileOperations::numberedName(name, 2, folder), expected) << name;
    std::string longName;
    for (int i = 0; i < 125; ++i)
        longName += "\xc3\xa9";
    const std::string numbered = FileOperations::numberedName(longName + ".txt", 12, false, 245);
    EXPECT_LE(numbered.size(), 245u);
    EXPECT_TRUE(isValidUtf8(numbered)) << "never cut inside a character";
    EXPECT_EQ(numbered.substr(numbered.size() - 7), " 12.txt");
}

TEST(FileOperations, CopyAndMoveKeepEverythingNeverOverwriteAndLeaveNothingWhenCancelled)
{
    const BytePath home = TestEnvironment::freshHome();
    const BytePath src = makeDir(home / "src");
    const BytePath dest = makeDir(home / "dest");
    makeTree(src / "tree");
    writeFile(dest / "tree", "was here first");
    const Snapshot sourceBefore = snapshot(src);

    const ItemOutcome tree = FileOperations::copyItem(src / "tree/", dest);
    ASSERT_TRUE(tree.done()) << tree.error->localizedDescription().toStdString();
    EXPECT_EQ(tree.destination, dest / "tree 2");
    EXPECT_EQ(snapshot(dest / "tree 2"), snapshot(src / "tree")) << "kinds, bytes, modes, times, link targets";
    EXPECT_EQ(readFile(dest / "tree"), "was here first");
    removeTree(dest / "tree 2");
    EXPECT_FALSE(FileOperations::copyItem(src / "tree", src / "tree/sub").done()) << "not into itself";
    EXPECT_FALSE(FileOperations::moveItem(src / "tree", src / "tree/sub").done()) << "not into itself";
    EXPECT_EQ(FileOperations::moveItem(src / "tree", src).destination, src / "tree") << "a move to where it is";
    EXPECT_EQ(snapshot(src), sourceBefore);

    // Cancelled part-way: nothing in the destination, the source as it was.
    const Snapshot destBefore = snapshot(dest);
    int calls = 0;
    const auto cancelSoon = [&calls] { return ++calls > 4; };
    EXPECT_FALSE(FileOperations::copyItem(src / "tree", dest, {cancelSoon}).done());
    EXPECT_FALSE(FileOperations::moveItem(src / "tree", dest, {cancelSoon, true}).done());
    EXPECT_EQ(snapshot(dest), destBefore);
    EXPECT_EQ(snapshot(src), sourceBefore);

    // A move takes the next free number; what is there stays.
    for (const char *name : {"a.txt", "a 2.txt"})
        writeFile(src / name, name), writeFile(dest / name, "already there");
    const std::string before = describe(src / "a.txt");
    EXPECT_EQ(FileOperations::moveItem(src / "a.txt", dest).destination, dest / "a 3.txt");
    EXPECT_EQ(describe(dest / "a 3.txt"), before);
    EXPECT_EQ(FileOperations::moveItem(src / "a 2.txt", dest).destination, dest / "a 4.txt");
    for (const char *name : {"a.txt", "a 2.txt"})
        EXPECT_EQ(readFile(dest / name), "already there");
}

TEST(FileOperations, MoveAcrossFileSystemsCopiesVerifiesThenRemoves)
{
    const BytePath home = TestEnvironment::freshHome();
    const OtherFileSystem other; // without one (tmpfs /dev/shm), only the forced copy path below runs
    if (!other.path().empty()) expectMoved(makeTree(home / "tree \xff"), other.path(), other.path() / "tree \xff");
    const BytePath dest = makeDir(home / "dest");
    writeFile(dest / "forced", "taken");
    expectMoved(makeTree(home / "forced"), dest, dest / "forced 2", {{}, true});

    // Once "a" has been copied, someone writes to the source: the copy cannot be verified.
    const BytePath tree = makeDir(home / "tree");
    writeFile(tree / "a", "first version");
    writeFile(tree / "b", "b");
    FileOperationOptions options;
    options.forceCopyForMove = true;
    options.isCancelled = [&, done = false]() mutable {
        if (!done && readFile(dest / "tree/a") == "first version") {
            writeFile(tree / "a", "second version");
            done = true;
        }
        return false;
    };
    EXPECT_FALSE(FileOperations::moveItem(tree, dest, options).done());
    EXPECT_FALSE(exists(dest / "tree")) << "the unverifiable copy is removed";
    EXPECT_EQ(readFile(tree / "a"), "second version");
    EXPECT_EQ(readFile(tree / "b"), "b");
}
