#include "DirectoryWalker.h"
#include "Spawn.h"
#include "TestEnvironment.h"
#include "XdgDirs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <condition_variable>
#include <fcntl.h>
#include <ftw.h>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace lurkel;
using namespace std::string_literals;
using test::TestEnvironment;

namespace {

struct Match {
    std::string folder, name;
    bool isDirectory, isSymlink;
    bool operator<(const Match &o) const { return std::tie(folder, name) < std::tie(o.folder, o.name); }
};

class Collect : public walker::WalkerReceiver {
public:
    void fileFound(const walker::FoundEntry &e) override
    {
        std::lock_guard lock(mutex);
        found.push_back({std::string(e.folder), std::string(e.name), e.isDirectory, e.isSymlink});
        if (onMatch) onMatch();
        seen.notify_all();
    }
    void searchInterrupted() override { interrupted = true; }

    std::set<std::string> paths()
    {
        std::lock_guard lock(mutex);
        std::set<std::string> out;
        for (const Match &m : found)
            out.insert(m.folder + (m.folder == "/" ? "" : "/") + m.name);
        return out;
    }

    std::mutex mutex;
    std::condition_variable seen;
    std::vector<Match> found;
    std::function<void()> onMatch;
    std::atomic<bool> interrupted{false};
};

void mkdirs(const BytePath &path)
{
    ASSERT_TRUE(XdgDirs::makePath(path, 0755)) << path.bytes();
}

void touch(const BytePath &path)
{
    test::writeFile(path, "x");
}

int removeEntry(const char *path, const struct stat *, int, struct FTW *)
{
    return ::remove(path);
}

void removeTree(const BytePath &path)
{
    ::nftw(path.c_str(), removeEntry, 16, FTW_DEPTH | FTW_PHYS);
}

class WalkerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        walker::setDiagnosticsEnabled(false);
        walker::resumeScan();
        root = TestEnvironment::root() / ("tree-" + std::to_string(counter++));
        mkdirs(root);
    }
    BytePath root;
    static inline int counter = 0;
};

} // namespace

TEST_F(WalkerTest, FoldsAsciiOnlyAndEntersMatchingFolders)
{
    touch(root / "Foo.txt");
    touch(root / "XFOOY");
    mkdirs(root / "foo" / "inner");
    touch(root / "foo" / "inner" / "deep-foo");
    touch(root / "bar");
    touch(root / "\xc3\x89t\xc3\xa9"); // "Été": É is not folded
    Collect c;
    walker::runScan(root.bytes(), "foo", c);
    const std::string r = root.bytes();
    EXPECT_EQ(c.paths(), (std::set<std::string>{r + "/Foo.txt", r + "/XFOOY", r + "/foo", r + "/foo/inner/deep-foo"}));

    Collect accents;
    walker::runScan(root.bytes(), "\xc3\xa9t\xc3\xa9", accents); // "été"
    EXPECT_TRUE(accents.paths().empty());
    Collect tail;
    walker::runScan(root.bytes(), "t\xc3\xa9", tail);
    EXPECT_EQ(tail.paths().size(), 1u);
}

TEST_F(WalkerTest, LinksAreReportedNeverFollowedAndLoopsEnd)
{
    mkdirs(root / "real");
    touch(root / "real" / "target-file");
    ASSERT_EQ(::symlink((root / "real").c_str(), (root / "link-to-real").c_str()), 0);
    ASSERT_EQ(::symlink(root.c_str(), (root / "real" / "loop-back").c_str()), 0);
    ASSERT_EQ(::symlink("loop-self", (root / "loop-self").c_str()), 0);
    Collect c;
    walker::runScan(root.bytes(), "-", c); // every name here holds a '-'
    const std::string r = root.bytes();
    EXPECT_EQ(c.paths(), (std::set<std::string>{r + "/real/target-file", r + "/link-to-real", r + "/real/loop-back",
                                                r + "/loop-self"}));
    for (const Match &m : c.found) {
        EXPECT_EQ(m.isSymlink, m.name != "target-file") << m.name;
        EXPECT_FALSE(m.isDirectory) << m.name;
    }
}

TEST_F(WalkerTest, HostileNamesAreReportedByteExact)
{
    const std::vector<std::string> names = {
        "new\nline-hit",
        "quote's \"hit\"",
        "-leading-hit",
        "bad\xff\xfe-hit",
        "comma, space-hit",
        "$(hit)",
        std::string(251, 'a') + "-hit",
    };
    for (const std::string &n : names)
        touch(root / n);
    mkdirs(root / "dir\nwith newline");
    touch(root / "dir\nwith newline" / "inner-hit");
    Collect c;
    walker::runScan(root.bytes(), "hit", c);
    std::set<std::string> want;
    for (const std::string &n : names)
        want.insert(root.bytes() + "/" + n);
    want.insert(root.bytes() + "/dir\nwith newline/inner-hit");
    EXPECT_EQ(c.paths(), want);
}

TEST_F(WalkerTest, SkipListKeepsPersonalDataOutButOnlyThere)
{
    const BytePath evolution = XdgDirs::dataHome() / "evolution";
    mkdirs(evolution / "calendar");
    touch(evolution / "calendar" / "secret-calendar.ics");
    mkdirs(XdgDirs::home() / "elsewhere" / "calendar");
    Collect c;
    walker::runScan(XdgDirs::home().bytes(), "calendar", c);
    const std::string h = XdgDirs::home().bytes();
    EXPECT_EQ(c.paths(), (std::set<std::string>{h + "/elsewhere/calendar"}));
}

TEST_F(WalkerTest, DeeperThanPathMaxIsWalked)
{
    // 60 levels of 100-byte names: far past PATH_MAX, created relative to each level
    const std::string level(100, 'd');
    int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    for (int i = 0; i < 60; ++i) {
        ASSERT_EQ(::mkdirat(fd, level.c_str(), 0755), 0);
        const int next = ::openat(fd, level.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        ASSERT_GE(next, 0);
        fd = next;
    }
    const int file = ::openat(fd, "bottom-needle", O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(file, 0);
    ::close(file);
    ::close(fd);
    Collect c;
    walker::runScan(root.bytes(), "needle", c);
    ASSERT_EQ(c.found.size(), 1u);
    EXPECT_GT(c.found[0].folder.size(), static_cast<std::size_t>(PATH_MAX));
    EXPECT_EQ(c.found[0].name, "bottom-needle");
}

TEST_F(WalkerTest, ManyFoldersWithFewDescriptors)
{
    for (int i = 0; i < 5000; ++i) {
        const BytePath dir = root / ("d" + std::to_string(i));
        ASSERT_EQ(::mkdir(dir.c_str(), 0755), 0);
        touch(dir / ("f" + std::to_string(i) + ".needle"));
    }
    const std::string probe = (TestEnvironment::buildDir() / "tests/search/lurkel_walker_probe").bytes();
    const SpawnResult r = Spawn::run({{probe, "--nofile", "256", root.bytes(), ".needle"}});
    ASSERT_EQ(r.exitStatus, 0) << r.standardError;
    EXPECT_EQ(r.standardOutput.substr(0, r.standardOutput.find('\0')), "matches=5000 examined=10000");
}

TEST_F(WalkerTest, UnreadableFolderIsSkippedAndTheRestFound)
{
    // CI runs as root, which reads everything: walk as an unprivileged user instead.
    const BytePath base = TestEnvironment::root() / ("perm-" + std::to_string(counter));
    mkdirs(base / "open");
    mkdirs(base / "closed");
    touch(base / "open" / "a-needle");
    touch(base / "closed" / "b-needle");
    ASSERT_EQ(::chmod((base / "closed").c_str(), 0700), 0);
    const std::string probe = (TestEnvironment::buildDir() / "tests/search/lurkel_walker_probe").bytes();
    const SpawnResult r =
        Spawn::run({{"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", probe, base.bytes(), "needle"}});
    ASSERT_EQ(r.exitStatus, 0) << r.standardError << r.failureDescription().toStdString();
    EXPECT_NE(r.standardOutput.find("matches=1 "), std::string::npos);
    EXPECT_NE(r.standardOutput.find(base.bytes() + "/open/a-needle"s), std::string::npos);
    EXPECT_EQ(r.standardOutput.find("b-needle"), std::string::npos);
}

TEST_F(WalkerTest, FoldersDeletedDuringTheWalk)
{
    for (int i = 0; i < 200; ++i) {
        mkdirs(root / ("d" + std::to_string(i)) / "sub");
        touch(root / ("d" + std::to_string(i)) / "sub" / "needle");
    }
    Collect c;
    std::once_flag once;
    c.onMatch = [&]() {
        std::call_once(once, [&]() {
            for (int i = 0; i < 200; i += 2)
                removeTree(root / ("d" + std::to_string(i)));
        });
    };
    const auto summary = walker::runScan(root.bytes(), "needle", c);
    EXPECT_FALSE(summary.cancelled);
    EXPECT_GE(c.found.size(), 100u); // the odd folders at least
    EXPECT_LE(c.found.size(), 200u);
}

TEST_F(WalkerTest, CancelStopsTheScanAndTheNextOneIsClean)
{
    for (int i = 0; i < 300; ++i) {
        mkdirs(root / ("d" + std::to_string(i)));
        for (int k = 0; k < 20; ++k)
            touch(root / ("d" + std::to_string(i)) / ("old-" + std::to_string(k)));
    }
    Collect first;
    std::thread scan([&]() { walker::runScan(root.bytes(), "old", first); });
    {
        std::unique_lock lock(first.mutex);
        first.seen.wait(lock, [&]() { return !first.found.empty(); });
    }
    walker::cancelScan();
    std::size_t atCancel = 0;
    {
        std::lock_guard lock(first.mutex);
        atCancel = first.found.size();
    }
    scan.join();
    EXPECT_EQ(first.found.size(), atCancel); // nothing after cancelScan returned
    EXPECT_LT(atCancel, 6000u);
    EXPECT_TRUE(first.interrupted);

    // a scan started while cancelled reports nothing
    Collect idle;
    walker::runScan(root.bytes(), "old", idle);
    EXPECT_TRUE(idle.found.empty());

    walker::resumeScan();
    Collect second;
    const auto summary = walker::runScan(root.bytes(), "old", second);
    EXPECT_EQ(second.found.size(), 6000u);
    EXPECT_EQ(summary.examined, 300 + 6000);
    EXPECT_FALSE(second.interrupted);
}

TEST_F(WalkerTest, RefusesEmptyAndOverlongTexts)
{
    Collect c;
    EXPECT_TRUE(walker::runScan(root.bytes(), "", c).refused);
    EXPECT_TRUE(walker::runScan(root.bytes(), std::string(walker::kMaxPatternBytes + 1, 'a'), c).refused);
    EXPECT_FALSE(walker::runScan(root.bytes(), std::string(walker::kMaxPatternBytes, 'a'), c).refused);
}

TEST_F(WalkerTest, SearchOfRootJoinsWithSingleSlashes)
{
    const std::string unique = "lurkel-root-probe-" + std::to_string(::getpid());
    touch(root / unique);
    Collect c;
    walker::runScan("/", unique, c);
    ASSERT_EQ(c.found.size(), 1u);
    EXPECT_EQ(c.found[0].folder, root.bytes());
    for (const Match &m : c.found)
        EXPECT_EQ(m.folder.find("//"), std::string::npos);
}
