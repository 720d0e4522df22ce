#include "FileOperations.h"
#include "FileAttributes.h"
#include "FileOpsSupport.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <iostream>
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

bool exists(const BytePath &path)
{
    return FileAttributes::lstat(path).has_value();
}

void expectMovedTree(const Snapshot &before, const BytePath &source, const ItemOutcome &outcome,
                     const BytePath &expected)
{
    EXPECT_TRUE(outcome.done()) << outcome.error->localizedDescription().toStdString();
    EXPECT_EQ(outcome.destination, expected);
    EXPECT_FALSE(exists(source));
    EXPECT_EQ(snapshot(expected), before);
}

} // namespace

TEST(FileOperations, NumberedNamesKeepTheExtension)
{
    using Case = std::tuple<const char *, int, bool, const char *>;
    for (const auto &[name, n, folder, expected] :
         {Case{"report.pdf", 2, false, "report 2.pdf"}, Case{"archive.tar.gz", 3, false, "archive 3.tar.gz"},
          Case{".bashrc", 2, false, ".bashrc 2"}, Case{".config.json", 2, false, ".config 2.json"},
          Case{"report 2.pdf", 2, false, "report 3.pdf"}, Case{"Track 01.mp3", 2, false, "Track 01 2.mp3"},
          Case{"photos.2020", 2, true, "photos.2020 2"}, Case{"Tool.app", 2, true, "Tool 2.app"},
          Case{"notes.final draft", 2, false, "notes.final draft 2"}}) {
        EXPECT_EQ(FileOperations::numberedName(name, n, folder), expected) << name;
    }
    std::string longName;
    for (int i = 0; i < 125; ++i)
        longName += "\xc3\xa9"; // é
    const std::string numbered = FileOperations::numberedName(longName + ".txt", 12, false, 245);
    EXPECT_LE(numbered.size(), 245u);
    EXPECT_TRUE(isValidUtf8(numbered)) << "never cut inside a character";
    EXPECT_EQ(numbered.substr(numbered.size() - 7), " 12.txt");
}

TEST(FileOperations, CopyKeepsBytesModesTimesAndNeverOverwrites)
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
    EXPECT_EQ(FileOperations::copyItem(src / "tree", src).destination, src / "tree 2") << "a copy beside itself";
    removeTree(src / "tree 2");
    EXPECT_FALSE(FileOperations::copyItem(src / "tree", src / "tree/sub").done()) << "not into itself";
    EXPECT_EQ(snapshot(src), sourceBefore);
}

TEST(FileOperations, CancelledCopyOrMoveLeavesNothingBehind)
{
    const BytePath home = TestEnvironment::freshHome();
    const BytePath tree = makeTree(home / "tree");
    const BytePath dest = makeDir(home / "dest");
    writeFile(dest / "tree", "another file of that name");
    const Snapshot destBefore = snapshot(dest);
    const Snapshot treeBefore = snapshot(tree);
    int calls = 0;
    const auto cancelSoon = [&calls] { return ++calls > 4; };
    EXPECT_FALSE(FileOperations::copyItem(tree, dest, {cancelSoon}).done());
    EXPECT_FALSE(FileOperations::moveItem(tree, dest, {cancelSoon, true}).done());
    EXPECT_EQ(snapshot(dest), destBefore);
    EXPECT_EQ(snapshot(tree), treeBefore);
}

TEST(FileOperations, MoveRenamesWithoutReplacing)
{
    const BytePath home = TestEnvironment::freshHome();
    const BytePath src = makeDir(home / "src");
    const BytePath dest = makeDir(home / "dest");
    for (const char *name : {"a.txt", "a 2.txt"}) {
        writeFile(src / name, name);
        writeFile(dest / name, "already there");
    }
    const std::string before = describe(src / "a.txt");
    const ItemOutcome outcome = FileOperations::moveItem(src / "a.txt", dest);
    EXPECT_EQ(outcome.destination, dest / "a 3.txt");
    EXPECT_EQ(describe(dest / "a 3.txt"), before);
    EXPECT_EQ(FileOperations::moveItem(src / "a 2.txt", dest).destination, dest / "a 4.txt");
    for (const char *name : {"a.txt", "a 2.txt"})
        EXPECT_EQ(readFile(dest / name), "already there");

    const BytePath tree = makeTree(src / "tree");
    EXPECT_FALSE(FileOperations::moveItem(tree, tree / "sub").done()) << "not into itself";
    const Snapshot treeBefore = snapshot(tree);
    const ItemOutcome stay = FileOperations::moveItem(tree, src);
    EXPECT_TRUE(stay.done());
    EXPECT_EQ(stay.destination, tree);
    EXPECT_EQ(snapshot(tree), treeBefore);
}

TEST(FileOperations, MoveAcrossFileSystemsCopiesVerifiesThenRemoves)
{
    const BytePath home = TestEnvironment::freshHome();
    const OtherFileSystem other;
    if (other.path().empty()) {
        std::cout << "[ NOTE     ] no second file system (tmpfs /dev/shm): only the forced copy path runs\n";
    } else {
        const BytePath tree = makeTree(home / "tree \xff");
        writeFile(home / "file", "payload");
        const Snapshot treeBefore = snapshot(tree);
        expectMovedTree(treeBefore, tree, FileOperations::moveItem(tree, other.path()), other.path() / "tree \xff");
        const std::string fileBefore = describe(home / "file");
        const ItemOutcome file = FileOperations::moveItem(home / "file", other.path());
        ASSERT_TRUE(file.done());
        EXPECT_EQ(describe(other.path() / "file"), fileBefore);
        EXPECT_FALSE(exists(home / "file"));
    }
    // The same path on one file system, forced.
    const BytePath dest = makeDir(home / "dest");
    writeFile(dest / "forced", "taken");
    const BytePath tree = makeTree(home / "forced");
    const Snapshot before = snapshot(tree);
    expectMovedTree(before, tree, FileOperations::moveItem(tree, dest, {{}, true}), dest / "forced 2");
}

TEST(FileOperations, MoveByCopyStopsWhenTheSourceChanges)
{
    const BytePath home = TestEnvironment::freshHome();
    const BytePath tree = makeDir(home / "tree");
    writeFile(tree / "a", "first version");
    writeFile(tree / "b", "b");
    const BytePath dest = makeDir(home / "dest");
    // Once "a" has been copied, someone writes to the source.
    FileOperationOptions options;
    options.forceCopyForMove = true;
    options.isCancelled = [&, done = false]() mutable {
        if (!done && readFile(dest / "tree/a") == "first version") {
            writeFile(tree / "a", "second version");
            done = true;
        }
        return false;
    };
    const ItemOutcome outcome = FileOperations::moveItem(tree, dest, options);
    EXPECT_FALSE(outcome.done());
    EXPECT_FALSE(exists(dest / "tree")) << "the unverifiable copy is removed";
    EXPECT_EQ(readFile(tree / "a"), "second version");
    EXPECT_EQ(readFile(tree / "b"), "b");
}
