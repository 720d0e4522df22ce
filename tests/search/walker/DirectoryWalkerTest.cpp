#include "DirectoryWalker.h"
#include "Fixtures.h"
#include "FolderGate.h"
#include "MountTable.h"
#include "Spawn.h"
#include "TestEnvironment.h"
#include "XdgDirs.h"

#include <gtest/gtest.h>

#include <climits>
#include <condition_variable>
#include <cstdlib>
#include <fcntl.h>
#include <ftw.h>
#include <mutex>
#include <optional>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace lurkel;
using test::TestEnvironment;
using Paths = std::set<std::string>;

namespace {

struct Match {
    std::string folder, name;
    bool isDirectory, isSymlink;
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
    void directoryUnreadable(std::string_view folder, int error) override
    {
        std::lock_guard lock(mutex);
        unreadable.emplace_back(std::string(folder), error);
    }
    void searchInterrupted() override { interrupted = true; }
    Paths paths()
    {
        std::lock_guard lock(mutex);
        Paths out;
        for (const Match &m : found)
            out.insert(m.folder + (m.folder == "/" ? "" : "/") + m.name);
        return out;
    }
    std::mutex mutex;
    std::condition_variable seen;
    std::vector<Match> found;
    std::vector<std::pair<std::string, int>> unreadable;
    std::function<void()> onMatch;
    std::atomic<bool> interrupted{false};
};

void mkdirs(const BytePath &path)
{
    ASSERT_TRUE(XdgDirs::makePath(path, 0755)) << path.bytes();
}

void touch(const BytePath &path) // creates the missing folders too
{
    mkdirs(path.parent());
    test::writeFile(path, "x");
}

Paths scan(const BytePath &root, const std::string &text)
{
    Collect c;
    walker::runScan(root.bytes(), text, c);
    return c.paths();
}

Paths under(const BytePath &root, const std::vector<std::string> &names)
{
    Paths out;
    for (const std::string &n : names)
        out.insert((root / n).bytes());
    return out;
}

// The probe's records: its summary line first, then matches and "unreadable ERRNO FOLDER".
std::vector<std::string> probe(std::vector<std::string> args, bool unprivileged = false)
{
    std::vector<std::string> argv;
    if (unprivileged && test::runningAsRoot()) argv = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    argv.push_back(LURKEL_WALKER_PROBE);
    argv.insert(argv.end(), args.begin(), args.end());
    const SpawnResult r = Spawn::run({argv});
    EXPECT_EQ(r.exitStatus, 0) << r.standardError << r.failureDescription().toStdString();
    std::vector<std::string> records;
    std::size_t start = 0;
    for (std::size_t end; (end = r.standardOutput.find('\0', start)) != std::string::npos; start = end + 1)
        records.push_back(r.standardOutput.substr(start, end - start));
    if (records.empty()) records.emplace_back();
    return records;
}

class WalkerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
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
    for (const char *name : {"Foo.txt", "XFOOY", "foo/inner/deep-foo", "bar", "\xc3\x89t\xc3\xa9"}) // "Été"
        touch(root / name);
    EXPECT_EQ(scan(root, "foo"), under(root, {"Foo.txt", "XFOOY", "foo", "foo/inner/deep-foo"}));
    EXPECT_TRUE(scan(root, "\xc3\xa9t\xc3\xa9").empty()); // "été": É is not folded
    EXPECT_EQ(scan(root, "t\xc3\xa9").size(), 1u);
}

TEST_F(WalkerTest, LinksAreReportedNeverFollowedAndLoopsEnd)
{
    touch(root / "real" / "target-file");
    ASSERT_EQ(::symlink((root / "real").c_str(), (root / "link-to-real").c_str()), 0);
    ASSERT_EQ(::symlink(root.c_str(), (root / "real" / "loop-back").c_str()), 0);
    ASSERT_EQ(::symlink("loop-self", (root / "loop-self").c_str()), 0);
    Collect c;
    walker::runScan(root.bytes(), "-", c); // every name here holds a '-'
    EXPECT_EQ(c.paths(), under(root, {"real/target-file", "link-to-real", "real/loop-back", "loop-self"}));
    for (const Match &m : c.found) {
        EXPECT_EQ(m.isSymlink, m.name != "target-file") << m.name;
        EXPECT_FALSE(m.isDirectory) << m.name;
    }
}

TEST_F(WalkerTest, HostileNamesAreReportedByteExact)
{
    // Each name as a file that matches and as a folder above a match.
    std::vector<std::string> expected;
    for (const std::string &n : test::hostileNames()) {
        const std::string file = "files/" + (n.size() + 4 <= 255 ? n : n.substr(0, 251)) + "-hit";
        touch(root / file);
        touch(root / n / "inner-hit");
        expected.push_back(file);
        expected.push_back(n + "/inner-hit");
    }
    EXPECT_EQ(scan(root, "hit"), under(root, expected));
}

TEST_F(WalkerTest, SkipListKeepsPersonalDataOutButOnlyThere)
{
    touch(XdgDirs::dataHome() / "evolution/calendar/secret-calendar.ics");
    mkdirs(XdgDirs::home() / "elsewhere/calendar");
    EXPECT_EQ(scan(XdgDirs::home(), "calendar"), under(XdgDirs::home(), {"elsewhere/calendar"}));
}

TEST_F(WalkerTest, DeeperThanPathMaxIsWalkedAlsoThroughALinkWithNoDescriptorsToKeep)
{
    // 60 levels of 100-byte names: far past PATH_MAX, created relative to each level
    const std::string level(100, 'd');
    int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY);
    for (int i = 0; i < 60; ++i) {
        ASSERT_EQ(::mkdirat(fd, level.c_str(), 0755), 0);
        const int next = ::openat(fd, level.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        ASSERT_GE(fd = next, 0);
    }
    const int file = ::openat(fd, "bottom-needle", O_WRONLY | O_CREAT, 0644);
    ::close(fd);
    ASSERT_GE(file, 0);
    ::close(file);
    Collect c;
    walker::runScan(root.bytes(), "needle", c);
    ASSERT_EQ(c.found.size(), 1u);
    EXPECT_GT(c.found[0].folder.size(), static_cast<std::size_t>(PATH_MAX));
    EXPECT_EQ(c.found[0].name, "bottom-needle");

    // With no descriptor to keep, every level is reopened by its path, which names the link.
    const BytePath link = root.parent() / (std::string(root.fileName()) + "-link");
    ASSERT_EQ(::symlink(root.c_str(), link.c_str()), 0);
    const std::vector<std::string> records = probe({"--nofile", "70", link.bytes(), "needle"});
    EXPECT_EQ(records.front(), "matches=1 examined=61 unreadable=0");
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1].substr(0, link.bytes().size() + 1), link.bytes() + "/");
}

TEST_F(WalkerTest, MountRulesJudgeTheRootWhereItReallyIs)
{
    for (const char *name : {"plain/a-needle", "pseudo/b-needle", "network/c-needle"})
        touch(root / name);
    char *resolved = ::realpath(root.c_str(), nullptr);
    ASSERT_NE(resolved, nullptr);
    const std::string physical = resolved;
    std::free(resolved);
    const MountTable table =
        MountTable::fromMounts({{"/", "ext4"}, {physical + "/pseudo", "proc"}, {physical + "/network", "nfs"}});
    const BytePath link = root.parent() / (std::string(root.fileName()) + "-link");
    ASSERT_EQ(::symlink(root.c_str(), link.c_str()), 0);
    const BytePath dotted = root / ".." / std::string(root.fileName());
    walker::ScanOptions options;
    options.mounts = &table;
    const auto scanWith = [&](const BytePath &from) {
        Collect c;
        walker::runScan(from.bytes(), "needle", c, options);
        return c.paths();
    };
    for (const BytePath &from : {root, dotted, link})
        EXPECT_EQ(scanWith(from), under(from, {"plain/a-needle"})) << from.bytes();
    // a pseudo file system as the root is walked
    EXPECT_EQ(scanWith(dotted / "pseudo"), under(dotted / "pseudo", {"b-needle"}));
}

TEST_F(WalkerTest, ManyFoldersWithFewDescriptors)
{
    for (int i = 0; i < 5000; ++i) {
        const BytePath dir = root / ("d" + std::to_string(i));
        ASSERT_EQ(::mkdir(dir.c_str(), 0755), 0);
        test::writeFile(dir / ("f" + std::to_string(i) + ".needle"), "");
    }
    EXPECT_EQ(probe({"--nofile", "256", root.bytes(), ".needle"}).front(), "matches=5000 examined=10000 unreadable=0");
}

TEST_F(WalkerTest, UnreadableFoldersAreReportedOnceAndTheRestFound)
{
    // CI runs as root, which reads everything: walk as an unprivileged user instead.
    touch(root / "open" / "a-needle");
    touch(root / "closed" / "b-needle");
    touch(root / "list-only" / "c-needle");         // its names can be listed...
    touch(root / "list-only" / "sub" / "d-needle"); // ...but nothing in it opened
    ASSERT_EQ(::chmod((root / "closed").c_str(), 0), 0);
    ASSERT_EQ(::chmod((root / "list-only").c_str(), 0444), 0);
    const std::vector<std::string> records = probe({root.bytes(), "needle"}, true);
    ::chmod((root / "list-only").c_str(), 0755);
    ::chmod((root / "closed").c_str(), 0755);
    const std::string eacces = "unreadable " + std::to_string(EACCES) + " ";
    EXPECT_EQ(records.front(), "matches=2 examined=6 unreadable=2");
    EXPECT_EQ(Paths(records.begin() + 1, records.end()),
              Paths({(root / "open/a-needle").bytes(), (root / "list-only/c-needle").bytes(),
                     eacces + (root / "closed").bytes(), eacces + (root / "list-only/sub").bytes()}));
    EXPECT_EQ(records.size(), 5u) << "each folder once";
}

TEST_F(WalkerTest, FoldersDeletedDuringTheWalk)
{
    for (int i = 0; i < 200; ++i)
        touch(root / ("d" + std::to_string(i)) / "sub" / "needle");
    Collect c;
    std::once_flag once;
    c.onMatch = [&]() {
        std::call_once(once, [&]() {
            for (int i = 0; i < 200; i += 2)
                test::removeTree(root / ("d" + std::to_string(i)));
        });
    };
    const walker::ScanSummary summary = walker::runScan(root.bytes(), "needle", c);
    EXPECT_FALSE(summary.cancelled);
    EXPECT_GE(c.found.size(), 100u); // the odd folders at least
    EXPECT_LE(c.found.size(), 200u);
    // a folder listed but gone before it was opened is reported as such, nothing else is
    EXPECT_EQ(summary.unreadable, static_cast<std::int64_t>(c.unreadable.size()));
    for (const auto &[folder, error] : c.unreadable) {
        EXPECT_EQ(error, ENOENT) << folder;
        const int number = std::stoi(folder.substr(root.bytes().size() + 2));
        EXPECT_EQ(number % 2, 0) << folder;
    }
}

TEST_F(WalkerTest, CancelStopsTheScanAndTheNextOneIsClean)
{
    for (int i = 0; i < 300; ++i)
        for (int k = 0; k < 20; ++k)
            touch(root / ("d" + std::to_string(i)) / ("old-" + std::to_string(k)));
    Collect first;
    // One folder is held until the cancel, so the scan cannot have finished before it.
    std::optional<test::FolderGate> gate(std::in_place, (root / "d150").bytes());
    std::thread scanner([&]() { walker::runScan(root.bytes(), "old", first); });
    std::unique_lock lock(first.mutex);
    first.seen.wait(lock, [&]() { return !first.found.empty(); });
    lock.unlock();
    walker::cancelScan();
    lock.lock();
    const std::size_t atCancel = first.found.size();
    lock.unlock();
    gate.reset();
    scanner.join();
    EXPECT_EQ(first.found.size(), atCancel); // nothing after cancelScan returned
    EXPECT_LT(atCancel, 6000u);
    EXPECT_TRUE(first.interrupted);
    EXPECT_TRUE(scan(root, "old").empty()); // a scan started while cancelled reports nothing

    walker::resumeScan();
    Collect second;
    EXPECT_EQ(walker::runScan(root.bytes(), "old", second).examined, 300 + 6000);
    EXPECT_EQ(second.found.size(), 6000u);
    EXPECT_FALSE(second.interrupted);
}

TEST_F(WalkerTest, ScansHeldInAFolderHoldUpNoOtherAndReportNothingOnceCancelled)
{
    touch(root / "first" / "held" / "late-needle");
    touch(root / "second" / "other-needle");
    test::FolderGate gate((root / "first" / "held").bytes());
    walker::ScanOptions kept, cancelled;
    kept.control = std::make_shared<walker::ScanControl>();
    cancelled.control = std::make_shared<walker::ScanControl>();
    Collect keptFound, cancelledFound;
    std::thread keptScan([&]() { walker::runScan((root / "first").bytes(), "needle", keptFound, kept); });
    std::thread cancelledScan(
        [&]() { walker::runScan((root / "first").bytes(), "needle", cancelledFound, cancelled); });
    EXPECT_TRUE(gate.waitUntilHeld(2));
    EXPECT_EQ(scan(root / "second", "needle"), under(root / "second", {"other-needle"}));
    cancelled.control->cancel();
    gate.open();
    keptScan.join();
    cancelledScan.join();
    EXPECT_EQ(keptFound.paths(), under(root, {"first/held/late-needle"}));
    EXPECT_FALSE(keptFound.interrupted);
    EXPECT_TRUE(cancelledFound.found.empty());
    EXPECT_TRUE(cancelledFound.interrupted);
}

TEST_F(WalkerTest, RefusesEmptyAndOverlongTextsAndJoinsRootWithSingleSlashes)
{
    Collect c;
    EXPECT_TRUE(walker::runScan(root.bytes(), "", c).refused);
    EXPECT_TRUE(walker::runScan(root.bytes(), std::string(walker::kMaxPatternBytes + 1, 'a'), c).refused);
    EXPECT_FALSE(walker::runScan(root.bytes(), std::string(walker::kMaxPatternBytes, 'a'), c).refused);

    touch(root / "inner" / "single-slash");
    walker::runScan(root.bytes() + "///", "single-slash", c);
    ASSERT_EQ(c.found.size(), 1u);
    EXPECT_EQ(c.found[0].folder, (root / "inner").bytes()); // no "//" anywhere

    const walker::ScanSummary missing = walker::runScan((root / "missing").bytes(), "x", c);
    EXPECT_EQ(missing.unreadable, 1);
    EXPECT_EQ(c.unreadable, (std::vector<std::pair<std::string, int>>{{(root / "missing").bytes(), ENOENT}}));
}
