#include "Fixtures.h"
#include "MountTable.h"
#include "SizeCalculation.h"
#include "SizeCalculationTask.h"
#include "StackCollection.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <climits>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace lurkel;
using test::TestEnvironment;

namespace {

std::uint64_t allocated(const BytePath &path)
{
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path.bytes();
    return static_cast<std::uint64_t>(st.st_blocks) * 512;
}

void writeSized(const BytePath &path, std::size_t bytes)
{
    test::writeFile(path, std::string(bytes, 'x'));
}

std::uint64_t measure(const BytePath &path)
{
    return SizeCalculation::sharedInstance().fastSizeOfFolderAtPath(path.bytes());
}

class FolderSizeTest : public ::testing::Test {
protected:
    void SetUp() override { root = test::makeDir(TestEnvironment::freshHome() / "tree"); }
    BytePath root;
};

TEST(StackCollectionTest, PopsLastPushedFirstAndIgnoresNull)
{
    StackCollection stack;
    EXPECT_EQ(stack.popItem(), nullptr);
    EXPECT_EQ(stack.nDepth(), 0);
    stack.pushItem(nullptr);
    stack.pushItem(std::make_unique<StackItem>("a"));
    stack.pushItem(std::make_unique<StackItem>("b"));
    EXPECT_EQ(stack.nDepth(), 2);
    EXPECT_EQ(stack.topItem()->path(), "b");
    const auto b = stack.popItem();
    EXPECT_EQ(b->path(), "b");
    EXPECT_EQ(b->prevItem, nullptr);
    EXPECT_EQ(stack.popItem()->path(), "a");
    EXPECT_EQ(stack.popItem(), nullptr);
    EXPECT_EQ(stack.nDepth(), 0);
    for (int i = 0; i < 100000; ++i) // a long chain is freed without recursion
        stack.pushItem(std::make_unique<StackItem>("x"));
    stack.clearStack();
    EXPECT_EQ(stack.nDepth(), 0);
}

TEST_F(FolderSizeTest, CountsAllocationOfEveryNonFolderEntryOnce)
{
    writeSized(root / "one-byte", 1);
    writeSized(test::makeDir(root / "a") / "big", 300000);
    const BytePath deeper = test::makeDir(test::makeDir(root / "a" / "b") / "c");
    for (const std::string &name : test::hostileNames())
        writeSized(deeper / name, 5000);
    // three links to one file count once; a link to a big folder counts as the link
    ASSERT_EQ(::link((root / "a" / "big").c_str(), (root / "hard1").c_str()), 0);
    ASSERT_EQ(::link((root / "a" / "big").c_str(), (deeper / "hard2").c_str()), 0);
    ASSERT_EQ(::symlink((root / "a").c_str(), (root / "to-a").c_str()), 0);
    ASSERT_EQ(::mkfifo((root / "fifo").c_str(), 0600), 0);

    SizeCalculationTask task(root.bytes());
    EXPECT_EQ(task.calculate(), test::allocatedSizeByFind(root));
    EXPECT_TRUE(task.isComplete());
    EXPECT_GE(task.examinedEntries(), 10);

    // a one-byte file takes a whole allocation block, not one byte
    const BytePath single = test::makeDir(root.parent() / "single");
    writeSized(single / "f", 1);
    EXPECT_EQ(measure(single), allocated(single / "f"));
    EXPECT_GT(measure(single), 1U);
    // a file is no folder: nothing can be listed, and the measurement says so
    SizeCalculationTask file((root / "one-byte").bytes());
    EXPECT_EQ(file.calculate(), 0U);
    EXPECT_FALSE(file.isComplete());
}

TEST_F(FolderSizeTest, DSStoreVariantSubtractsOnlyAnExistingRootFile)
{
    writeSized(root / "small", 10);
    writeSized(root / ".DS_Store", 200000);
    const std::uint64_t all = measure(root);
    EXPECT_EQ(all, allocated(root / "small") + allocated(root / ".DS_Store"));
    EXPECT_EQ(SizeCalculation::sharedInstance().sizeIgnoreRootDSStoreForFolderAtPath(root.bytes()),
              allocated(root / "small"));
    // larger than the rest once the rest is gone: never below 0
    ASSERT_EQ(::unlink((root / "small").c_str()), 0);
    EXPECT_EQ(SizeCalculation::sharedInstance().fastFolderSizeOfItemWithPath(root.bytes(), true), 0U);
    // without such a file nothing is subtracted; one further down is ordinary content
    ASSERT_EQ(::rename((root / ".DS_Store").c_str(), (test::makeDir(root / "sub") / ".DS_Store").c_str()), 0);
    EXPECT_EQ(measure(root), allocated(root / "sub" / ".DS_Store"));
    EXPECT_EQ(SizeCalculation::sharedInstance().sizeIgnoreRootDSStoreForFolderAtPath(root.bytes()), measure(root));
}

TEST_F(FolderSizeTest, WalksBelowPathMaxAndPastFoldersThatVanish)
{
    // 60 levels of 100-byte names, created relative to each level: far past PATH_MAX
    const std::string component(100, 'd');
    int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY);
    for (int level = 0; level < 60; ++level) {
        ASSERT_EQ(::mkdirat(fd, component.c_str(), 0755), 0);
        const int next = ::openat(fd, component.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = next;
        ASSERT_GE(fd, 0);
    }
    const int file = ::openat(fd, "bottom", O_WRONLY | O_CREAT, 0644);
    ASSERT_EQ(::write(file, "x", 1), 1);
    struct stat st {};
    ASSERT_EQ(::fstat(file, &st), 0);
    ::close(file);
    ::close(fd);

    const BytePath gone = test::makeDir(root / "gone");
    writeSized(gone / "f", 100000);
    writeSized(root / "kept", 100000);
    SizeCalculationTask task(root.bytes());
    std::size_t longest = 0;
    task.setBeforeOpenHook([&](const std::string &folder) {
        longest = std::max(longest, folder.size());
        if (folder == gone.bytes()) test::removeTree(gone);
    });
    EXPECT_EQ(task.calculate(), static_cast<std::uint64_t>(st.st_blocks) * 512 + allocated(root / "kept"));
    EXPECT_GT(longest, static_cast<std::size_t>(PATH_MAX));
    EXPECT_TRUE(task.isComplete()); // a folder removed meanwhile is not a folder left unread
}

TEST_F(FolderSizeTest, NeverEntersMountPoints)
{
    writeSized(root / "own", 50000);
    const BytePath listed = test::makeDir(root / "listed");
    writeSized(listed / "inside", 50000);
    // a folder the mount table names as a mount point is not entered
    std::vector<Mount> mounts = MountTable::read().mounts();
    mounts.push_back(Mount{listed.bytes(), "ext4"});
    const MountTable table = MountTable::fromMounts(mounts);
    EXPECT_EQ(SizeCalculationTask(root.bytes(), &table).calculate(), allocated(root / "own"));

    if (!test::runningAsRoot()) GTEST_SKIP() << "mounting a bind mount and a ramfs needs root";
    // a real bind mount of a folder of the tree (same device) and a ramfs (another device)
    const BytePath bound = test::makeDir(root / "bound");
    ASSERT_EQ(::mount(listed.c_str(), bound.c_str(), nullptr, MS_BIND, nullptr), 0);
    const BytePath ram = test::makeDir(root / "ram");
    ASSERT_EQ(::mount("ramfs", ram.c_str(), "ramfs", 0, nullptr), 0);
    writeSized(ram / "on-ram", 50000);
    const std::uint64_t measured = SizeCalculationTask(root.bytes()).calculate();
    ::umount2(ram.c_str(), MNT_DETACH);
    ::umount2(bound.c_str(), MNT_DETACH);
    EXPECT_EQ(measured, allocated(root / "own") + allocated(listed / "inside"));
}

} // namespace
