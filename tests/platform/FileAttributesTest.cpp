#include "FileAttributes.h"
#include "Fixtures.h"
#include "HiddenStateCache.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fcntl.h>
#include <latch>
#include <sys/stat.h>
#include <thread>
#include <tuple>
#include <unistd.h>

using namespace lurkel;
using lurkel::test::makeDir;
using test::writeFile;
using namespace std::string_literals;

namespace {} // namespace

TEST(FileAttributes, HiddenByDotNameOrByTheParentsHiddenList)
{
    const BytePath home = test::TestEnvironment::freshHome();
    const BytePath dir = makeDir(home / "dir");
    const std::string invalidUtf8 = "bad\xff\xfe name";
    const std::string longName(255, 'n');
    writeFile(dir / ".hidden", "listed\n" + invalidUtf8 + "\n" + longName + "\ncrlf\r\n\n-dash \"q\"");
    for (const std::string &name : {".dot"s, "listed"s, invalidUtf8, longName, "-dash \"q\""s}) // no final newline
        EXPECT_TRUE(FileAttributes::isHidden(dir / name)) << name;
    for (const std::string &name : {"crlf"s, "list"s, " listed"s}) // no CR stripping, prefix match or trimming
        EXPECT_FALSE(FileAttributes::isHidden(dir / name)) << name;
    EXPECT_FALSE(FileAttributes::isHidden(dir));
    EXPECT_FALSE(FileAttributes::isHidden(BytePath("/")));
    EXPECT_EQ(FileAttributes::readHiddenList(dir),
              (std::vector<std::string>{"listed", invalidUtf8, longName, "crlf\r", "-dash \"q\""}));

    // Past the size cap only whole lines count: the name crossing it is not cut to "victimnam".
    const BytePath big = makeDir(home / "big");
    const auto cap = static_cast<std::size_t>(FileAttributes::kMaxHiddenFileBytes);
    writeFile(big / ".hidden", "first\n" + std::string(cap - 16, 'a') + "\nvictimname-long\n");
    EXPECT_TRUE(FileAttributes::isHidden(big / "first"));
    EXPECT_FALSE(FileAttributes::isHidden(big / "victimnam"));
    EXPECT_FALSE(FileAttributes::isHidden(big / "victimname-long"));

    // A ".hidden" that is a link, a folder or a FIFO (which must not block the open) is ignored.
    writeFile(home / "real-list", "x\n");
    const BytePath viaLink = makeDir(home / "link"), viaDir = makeDir(home / "d"), viaFifo = makeDir(home / "fifo");
    ASSERT_EQ(::symlink((home / "real-list").c_str(), (viaLink / ".hidden").c_str()), 0);
    makeDir(viaDir / ".hidden");
    ASSERT_EQ(::mkfifo((viaFifo / ".hidden").c_str(), 0644), 0);
    for (const BytePath &folder : {viaLink, viaDir, viaFifo}) {
        EXPECT_FALSE(FileAttributes::isHidden(folder / "x")) << folder.bytes();
        EXPECT_TRUE(FileAttributes::readHiddenList(folder).empty()) << folder.bytes();
        const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        EXPECT_FALSE(FileAttributes::readHiddenFileAt(fd).has_value()) << folder.bytes();
        ::close(fd);
    }
    // read through the open folder, as the walker does: the same content
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    EXPECT_EQ(FileAttributes::readHiddenFileAt(fd), FileAttributes::readHiddenFile(dir));
    ::close(fd);
}

TEST(FileAttributes, PackagesAreRealDirectoriesWithAPackageExtension)
{
    const BytePath home = test::TestEnvironment::freshHome();
    const BytePath app = makeDir(home / "X.APP");
    writeFile(home / "x.app", "not a folder");
    makeDir(home / ".app");
    makeDir(home / "Notes.rtfd.bak");
    ASSERT_EQ(::symlink(app.c_str(), (home / "link.app").c_str()), 0);

    // name, isPackage, type ("" if absent); ".app" has no extension; "/" must not follow the link
    const std::tuple<std::string, bool, std::string> cases[] = {
        {"X.APP", true, "com.apple.package"},
        {"X.APP/", true, "com.apple.package"},
        {"x.app", false, "public.data"},
        {".app", false, "public.folder"},
        {"Notes.rtfd.bak", false, "public.folder"},
        {"link.app", false, "public.symlink"},
        {"link.app/", false, "public.symlink"},
        {"missing", false, ""},
    };
    for (const auto &[name, package, type] : cases) {
        EXPECT_EQ(FileAttributes::isPackage(home / name), package) << name;
        EXPECT_EQ(FileAttributes::typeIdentifier(home / name).value_or(""), type) << name;
    }
    EXPECT_TRUE(FileAttributes::hasPackageExtension("Library.PhotosLibrary"));
    EXPECT_FALSE(FileAttributes::hasPackageExtension("Library.PhotosLibraryX"));
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

struct HiddenStateCacheTest : ::testing::Test {
    void SetUp() override
    {
        if (HiddenStateCache().isInHiddenFolder(root.bytes())) GTEST_SKIP() << "root is hidden";
    }
    BytePath root = test::TestEnvironment::freshHome();
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
    EXPECT_FALSE(cache.isInHiddenFolder((top / "plain/sub").bytes()));
    EXPECT_TRUE(cache.isInPackage((top / "Thing.app/Contents/Resources").bytes()));
    EXPECT_FALSE(cache.isInPackage((top / "link.app/Contents").bytes())) << "a link is no package";
    EXPECT_TRUE(cache.isHidden(top.bytes(), ".profile"));

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
    // Folder i is a dot folder, listed or visible by i % 3, and a package when i is even.
    const BytePath top = makeDir(root / "many");
    std::string listing;
    std::vector<BytePath> deep;
    for (int i = 0; i < 12; ++i) {
        const std::string name = (i % 3 == 0 ? "." : "") + std::to_string(i) + (i % 2 == 0 ? ".app" : "");
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
            for (int k = 0; k < 12; ++k) {
                const int i = (k * 5 + t) % 12; // each thread in its own order
                wrong += cache.isInHiddenFolder(deep[i].bytes()) != (i % 3 != 2);
                wrong += cache.isInPackage(deep[i].bytes()) != (i % 2 == 0);
            }
        });
    }
    for (auto &thread : threads)
        thread.join();
    EXPECT_EQ(wrong.load(), 0);
}
