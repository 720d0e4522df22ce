#include "FileAttributes.h"
#include "HiddenStateCache.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fcntl.h>
#include <latch>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace lurkel;
using test::writeFile;

namespace {

BytePath makeDir(const BytePath &path)
{
    EXPECT_EQ(::mkdir(path.c_str(), 0755), 0) << path.bytes();
    return path;
}

} // namespace

TEST(FileAttributes, HiddenByDotNameOrByTheParentsHiddenList)
{
    const BytePath dir = makeDir(test::TestEnvironment::freshHome() / "dir");
    const std::string invalidUtf8 = "bad\xff\xfe name";
    const std::string longName(255, 'n');
    writeFile(dir / ".hidden", "listed\n" + invalidUtf8 + "\n" + longName + "\ncrlf\r\n\n-dash \"q\"");

    EXPECT_TRUE(FileAttributes::isHidden(dir / ".dot"));
    EXPECT_TRUE(FileAttributes::isHidden(dir / "listed"));
    EXPECT_TRUE(FileAttributes::isHidden(dir / invalidUtf8));
    EXPECT_TRUE(FileAttributes::isHidden(dir / longName));
    EXPECT_TRUE(FileAttributes::isHidden(dir / "-dash \"q\"")) << "the last line needs no newline";
    EXPECT_FALSE(FileAttributes::isHidden(dir / "crlf")) << "a CRLF line does not match";
    EXPECT_FALSE(FileAttributes::isHidden(dir / "list")) << "no prefix match";
    EXPECT_FALSE(FileAttributes::isHidden(dir / " listed")) << "no trimming";
    EXPECT_FALSE(FileAttributes::isHidden(dir));
    EXPECT_FALSE(FileAttributes::isHidden(BytePath("/")));
    EXPECT_EQ(FileAttributes::readHiddenList(dir),
              (std::vector<std::string>{"listed", invalidUtf8, longName, "crlf\r", "-dash \"q\""}));
}

TEST(FileAttributes, HiddenFileThatIsNotARegularFileIsIgnored)
{
    const BytePath home = test::TestEnvironment::freshHome();
    writeFile(home / "real-list", "x\n");
    const BytePath viaLink = makeDir(home / "link");
    ASSERT_EQ(::symlink((home / "real-list").c_str(), (viaLink / ".hidden").c_str()), 0);
    const BytePath viaDir = makeDir(home / "dir");
    makeDir(viaDir / ".hidden");
    const BytePath viaFifo = makeDir(home / "fifo");
    ASSERT_EQ(::mkfifo((viaFifo / ".hidden").c_str(), 0644), 0); // must not block the open

    for (const BytePath &folder : {viaLink, viaDir, viaFifo}) {
        EXPECT_FALSE(FileAttributes::isHidden(folder / "x")) << folder.bytes();
        EXPECT_TRUE(FileAttributes::readHiddenList(folder).empty()) << folder.bytes();
    }
}

TEST(FileAttributes, OversizedHiddenFileKeepsOnlyWholeLines)
{
    const BytePath dir = makeDir(test::TestEnvironment::freshHome() / "big");
    const auto cap = static_cast<std::size_t>(FileAttributes::kMaxHiddenFileBytes);
    // The second name crosses the cap: its first nine bytes must not count as a name.
    writeFile(dir / ".hidden", "first\n" + std::string(cap - 16, 'a') + "\nvictimname-long\n");
    EXPECT_TRUE(FileAttributes::isHidden(dir / "first"));
    EXPECT_FALSE(FileAttributes::isHidden(dir / "victimnam"));
    EXPECT_FALSE(FileAttributes::isHidden(dir / "victimname-long"));
}

TEST(FileAttributes, PackagesAreRealDirectoriesWithAPackageExtension)
{
    const BytePath home = test::TestEnvironment::freshHome();
    const BytePath app = makeDir(home / "X.APP");
    writeFile(home / "x.app", "not a folder");
    makeDir(home / ".app");
    makeDir(home / "Notes.rtfd.bak");
    ASSERT_EQ(::symlink(app.c_str(), (home / "link.app").c_str()), 0);

    EXPECT_TRUE(FileAttributes::isPackage(app));
    EXPECT_TRUE(FileAttributes::isPackage(home / "X.APP/"));
    EXPECT_FALSE(FileAttributes::isPackage(home / "x.app"));
    EXPECT_FALSE(FileAttributes::isPackage(home / ".app")) << "a dot name has no extension";
    EXPECT_FALSE(FileAttributes::isPackage(home / "Notes.rtfd.bak"));
    EXPECT_FALSE(FileAttributes::isPackage(home / "link.app"));
    EXPECT_FALSE(FileAttributes::isPackage(home / "link.app/")) << "a trailing slash must not follow the link";
    EXPECT_TRUE(FileAttributes::hasPackageExtension("Library.PhotosLibrary"));
    EXPECT_FALSE(FileAttributes::hasPackageExtension("Library.PhotosLibraryX"));

    EXPECT_EQ(FileAttributes::typeIdentifier(app), "com.apple.package");
    EXPECT_EQ(FileAttributes::typeIdentifier(home), "public.folder");
    EXPECT_EQ(FileAttributes::typeIdentifier(home / "link.app/"), "public.symlink");
    EXPECT_EQ(FileAttributes::typeIdentifier(home / "x.app"), "public.data");
    EXPECT_EQ(FileAttributes::typeIdentifier(home / "missing"), std::nullopt);
}

TEST(FileAttributes, StatGivesAllocatedAndApparentSizeAndTime)
{
    const BytePath file = test::TestEnvironment::freshHome() / "sparse";
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    const std::string block(4096, 'z');
    ASSERT_EQ(::write(fd, block.data(), block.size()), 4096);
    ASSERT_EQ(::ftruncate(fd, 64 << 20), 0);
    ::close(fd);
    const struct timespec times[2] = {{1'600'000'000, 0}, {1'700'000'000, 250'000'000}};
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);

    const auto st = FileAttributes::lstat(file);
    ASSERT_TRUE(st);
    EXPECT_FALSE(st->isDirectory || st->isSymlink);
    EXPECT_EQ(st->apparentSize, 64 << 20);
    EXPECT_GE(st->allocatedSize, 4096);
    EXPECT_LT(st->allocatedSize, 1 << 20) << "the hole takes no blocks";
    EXPECT_EQ(st->modificationDate().toMSecsSinceEpoch(), 1'700'000'000'250LL);
    EXPECT_FALSE(FileAttributes::lstat(file / "below-a-file"));
}

class HiddenStateCacheTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = test::TestEnvironment::freshHome();
        if (HiddenStateCache().isInHiddenFolder(root.bytes())) GTEST_SKIP() << "the test folder is itself hidden";
    }
    BytePath root;
};

TEST_F(HiddenStateCacheTest, NestedHiddenAndPackageFolders)
{
    const BytePath top = makeDir(root / "top");
    makeDir(makeDir(makeDir(top / ".dot") / "inner") / "deep");
    makeDir(makeDir(top / "listed") / "inner");
    makeDir(makeDir(makeDir(top / "Thing.app") / "Contents") / "Resources");
    makeDir(makeDir(top / "plain") / "sub");
    ASSERT_EQ(::symlink((top / "Thing.app").c_str(), (top / "link.app").c_str()), 0);
    writeFile(top / ".hidden", "listed\n");

    HiddenStateCache cache;
    EXPECT_TRUE(cache.isInHiddenFolder((top / ".dot/inner/deep").bytes()));
    EXPECT_TRUE(cache.isInHiddenFolder((top / "listed/inner/").bytes()));
    EXPECT_TRUE(cache.isInHiddenFolder((top / "listed").bytes()));
    EXPECT_FALSE(cache.isInHiddenFolder((top / "plain/sub").bytes()));
    EXPECT_FALSE(cache.isInHiddenFolder(top.bytes()));
    EXPECT_TRUE(cache.isInPackage((top / "Thing.app/Contents/Resources").bytes()));
    EXPECT_TRUE(cache.isInPackage((top / "Thing.app").bytes()));
    EXPECT_FALSE(cache.isInPackage((top / "link.app/Contents").bytes())) << "a link is no package";
    EXPECT_FALSE(cache.isInPackage((top / "plain/sub").bytes()));
    EXPECT_TRUE(cache.isHidden(top.bytes(), ".profile"));
    EXPECT_FALSE(cache.isHidden(top.bytes(), "plain"));

    // One search sees the ".hidden" it first read; a new search reads it again.
    ASSERT_EQ(::unlink((top / ".hidden").c_str()), 0);
    EXPECT_TRUE(cache.isListedHidden(top.bytes(), "listed"));
    EXPECT_TRUE(cache.isInHiddenFolder((top / "listed/inner").bytes()));
    cache.clear();
    EXPECT_FALSE(cache.isListedHidden(top.bytes(), "listed"));
    EXPECT_FALSE(cache.isInHiddenFolder((top / "listed/inner").bytes()));
}

TEST_F(HiddenStateCacheTest, WalkerThreadsGetTheSameAnswers)
{
    // Folder i is a dot folder (i % 3 == 0), listed (i % 3 == 1) or visible, and a package
    // when i % 4 == 0; each has a subfolder s/x where the questions are asked.
    constexpr int kFolders = 36;
    const BytePath top = makeDir(root / "many");
    std::string listing;
    std::vector<BytePath> deep;
    for (int i = 0; i < kFolders; ++i) {
        std::string name = (i % 3 == 0 ? "." : "") + std::string(i % 3 == 1 ? "l" : "v") + std::to_string(i);
        if (i % 4 == 0) name += ".app";
        if (i % 3 == 1) listing += name + "\n";
        deep.push_back(makeDir(makeDir(makeDir(top / name) / "s") / "x"));
    }
    writeFile(top / ".hidden", listing);

    HiddenStateCache cache;
    std::atomic<int> wrong{0};
    std::latch start(6);
    std::vector<std::thread> threads;
    for (int t = 0; t < 6; ++t) {
        threads.emplace_back([&, t] {
            start.arrive_and_wait();
            for (int k = 0; k < kFolders; ++k) {
                const int i = (k * 7 + t * 5) % kFolders; // each thread in its own order
                if (cache.isInHiddenFolder(deep[i].bytes()) != (i % 3 != 2)) ++wrong;
                if (cache.isInPackage(deep[i].bytes()) != (i % 4 == 0)) ++wrong;
            }
        });
    }
    for (auto &thread : threads) thread.join();
    EXPECT_EQ(wrong.load(), 0);
}
