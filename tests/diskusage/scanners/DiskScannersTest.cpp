#include "AppsSearcher.h"
#include "DiskScanTypes.h"
#include "DuplicatesSearcher.h"
#include "EventWait.h"
#include "Fixtures.h"
#include "IdlePriority.h"
#include "ManualClock.h"
#include "MetadataQuery.h"
#include "SearcherManager.h"
#include "SettingsKeys.h"
#include "TestEnvironment.h"
#include "UserDefaults.h"
#include "XdgDirs.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fcntl.h>
#include <map>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace lurkel;
using test::TestEnvironment;

namespace {

constexpr std::int64_t kDay = 86400;

void writeSized(const BytePath &path, std::size_t bytes, char fill = 'x')
{
    ASSERT_TRUE(XdgDirs::makePath(path.parent(), 0755)) << path.bytes();
    test::writeFile(path, std::string(bytes, fill));
}

// A file of the given size that takes almost no room (all zeros).
void writeSparse(const BytePath &path, off_t size)
{
    ASSERT_TRUE(XdgDirs::makePath(path.parent(), 0755)) << path.bytes();
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0) << path.bytes();
    ASSERT_EQ(::ftruncate(fd, size), 0);
    ::close(fd);
}

void setTimes(const BytePath &path, std::int64_t accessed, std::int64_t modified)
{
    const timespec times[2] = {{accessed, 0}, {modified, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path.bytes();
}

std::int64_t accessTime(const BytePath &path)
{
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0);
    return st.st_atim.tv_sec;
}

struct Reports final : SpotlightManagerDelegate {
    void onSpotlightManagerFoundJunkFilesInfo(const JunkFilesViewInfo &i) override
    {
        junk = i, ++calls[0], order.push_back(0);
    }
    void onSpotlightManagerFoundApplicationsInfo(const ApplicationsUnusedViewInfo &i) override
    {
        apps = i, ++calls[1], order.push_back(1);
    }
    void onSpotlightManagerFoundLargetAndOldFilesInfo(const LargeAndOldFilesViewInfo &i) override
    {
        large = i, ++calls[2], order.push_back(2);
    }
    void onSpotlightManagerFoundDuplicatesInfo(const DuplicateFilesViewInfo &i) override
    {
        dups = i, ++calls[3], order.push_back(3);
    }
    int total() const { return calls[0] + calls[1] + calls[2] + calls[3]; }
    JunkFilesViewInfo junk;
    ApplicationsUnusedViewInfo apps;
    LargeAndOldFilesViewInfo large;
    DuplicateFilesViewInfo dups;
    int calls[4] = {};
    std::vector<int> order; // scan types in the order reported
};

std::map<std::string, std::uint64_t> pathSizes(const QVariantList &entries)
{
    std::map<std::string, std::uint64_t> out;
    for (const QVariant &e : entries) {
        const QVariantMap m = e.toMap();
        out[m.value(QStringLiteral("Path")).toByteArray().toStdString()] =
            m.value(QStringLiteral("Size")).toULongLong();
    }
    return out;
}

class DiskScannersTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        home = TestEnvironment::freshHome();
        locations = DiskScanLocations::current();
        locations.volumes.clear();
        locations.applicationFolders.clear();
        locations.flatpakInstallations.clear();
        clock.advance(0);
    }
    std::shared_ptr<SearcherManager> manager(UserDefaults &defaults)
    {
        return SearcherManager::create(defaults, clock, [this]() { return locations; });
    }
    BytePath home;
    DiskScanLocations locations;
    ManualClock clock{QDateTime(QDate(2026, 6, 1), QTime(12, 0), Qt::UTC)};
};

TEST_F(DiskScannersTest, JunkIsTheAllocationOfTheFoldersEachInodeOnce)
{
    const BytePath caches = home / ".cache";
    writeSized(caches / "app/blob", 123457);
    writeSized(caches / "app/deep/er/x", 10);
    ASSERT_EQ(::link((caches / "app/blob").c_str(), (caches / "blob-link").c_str()), 0);
    writeSized(home / "Downloads/film.mkv", 300000);
    writeSized(home / ".local/share/Trash/files/old.txt", 5000);
    writeSized(home / ".local/share/Trash/info/old.txt.trashinfo", 80);

    UserDefaults defaults(QStringLiteral("disk-junk"));
    Reports reports;
    const auto delegate = std::shared_ptr<Reports>(&reports, [](Reports *) {});
    auto coordinator = manager(defaults);
    coordinator->startSearchWithDelegate(delegate, false);
    ASSERT_TRUE(test::pollUntil([&]() {
        clock.advance(200); // the three measurements start 0.2, 0.4 and 0.6 s after the request
        return reports.calls[0] == 1;
    }));
    EXPECT_EQ(reports.junk.cachesSize, test::allocatedSizeByFind(caches));
    EXPECT_EQ(reports.junk.downloadsSize, test::allocatedSizeByFind(home / "Downloads"));
    EXPECT_EQ(reports.junk.trashSize, test::allocatedSizeByFind(home / ".local/share/Trash"));
    EXPECT_GT(reports.junk.trashSize, 5000U);
}

TEST_F(DiskScannersTest, LargeAndOldFindsExactlyTheFilesNotUsedFor90Days)
{
    const std::int64_t now = clock.currentDateTime().toSecsSinceEpoch();
    const off_t big = 20000001;
    writeSparse(home / "Videos/old.mkv", big);
    setTimes(home / "Videos/old.mkv", now - 100 * kDay, now - 200 * kDay);
    ASSERT_EQ(::link((home / "Videos/old.mkv").c_str(), (home / "old-link.mkv").c_str()), 0);
    writeSparse(home / "recently-read.iso", big);
    setTimes(home / "recently-read.iso", now - 10 * kDay, now - 200 * kDay);
    writeSparse(home / "never-read-but-written.iso", big); // its write stands for its use
    setTimes(home / "never-read-but-written.iso", now - 300 * kDay, now - 5 * kDay);
    writeSparse(home / "exactly-limit.bin", 20000000);
    setTimes(home / "exactly-limit.bin", now - 300 * kDay, now - 300 * kDay);
    writeSparse(home / ".hidden/old.bin", big);
    setTimes(home / ".hidden/old.bin", now - 300 * kDay, now - 300 * kDay);
    const BytePath volume = test::makeDir(TestEnvironment::root() / "volume-large");
    writeSparse(volume / "archive.tar", big);
    setTimes(volume / "archive.tar", now - 91 * kDay, now - 91 * kDay);
    locations.volumes = {volume};

    UserDefaults defaults(QStringLiteral("disk-large"));
    auto reports = std::make_shared<Reports>();
    auto coordinator = manager(defaults);
    coordinator->startSearchWithDelegate(reports, false);
    ASSERT_TRUE(test::pollUntil([&]() {
        clock.advance(200); // one scan at a time: the junk measurement, on the clock, comes first
        return reports->calls[2] == 1;
    }));
    const auto files =
        pathSizes(coordinator->resultForType(kScanTypeLargeAndOld)->value(QStringLiteral("Files")).toList());
    ASSERT_EQ(files.size(), 2U);
    EXPECT_TRUE(files.count((home / "Videos/old.mkv").bytes()) + files.count((home / "old-link.mkv").bytes()) == 1);
    EXPECT_EQ(files.count((volume / "archive.tar").bytes()), 1U);
    EXPECT_EQ(reports->large.count, 2U);
    EXPECT_EQ(reports->large.size, 2U * static_cast<std::uint64_t>(big));
}

struct DuplicatesDone final : DuplicatesSearcherDelegate {
    void onDuplicatesSearcherDoneWithDict(const QVariantMap &d) override { dict = d, ++calls; }
    QVariantMap dict;
    int calls = 0;
};

std::vector<std::vector<std::string>> groupsOf(const QVariantMap &dict)
{
    std::vector<std::vector<std::string>> out;
    for (const QVariant &group : dict.value(QStringLiteral("Groups")).toList()) {
        std::vector<std::string> paths;
        for (const QVariant &p : group.toMap().value(QStringLiteral("Paths")).toList())
            paths.push_back(p.toByteArray().toStdString());
        out.push_back(paths);
    }
    std::sort(out.begin(), out.end());
    return out;
}

TEST_F(DiskScannersTest, DuplicatesAreConfirmedByContentInTwoPasses)
{
    const std::size_t mib2 = std::size_t{2} << 20;
    std::string content(mib2, 'a');
    test::writeFile(test::makeDir(home / "Music") / "song.bin", content);
    test::writeFile(test::makeDir(home / "copy") / "song-copy.bin", content);
    ASSERT_EQ(::link((home / "Music/song.bin").c_str(), (home / "Music/song-link.bin").c_str()), 0);
    content[mib2 / 2] = 'b'; // same size, same edges, different middle
    test::writeFile(home / "copy/impostor.bin", content);
    writeSized(home / "Photos/IMG.JPG", 70000, 'p'); // same bytes, extensions differ in case
    writeSized(home / "Photos/img.jpg", 70000, 'p');
    writeSized(home / "notes/a.txt", 60000, 't');
    writeSized(home / "notes/b.txt", 60000, 't');
    writeSized(home / "notes/tiny1.txt", 50000, 's'); // not above 50,000 bytes
    writeSized(home / "notes/tiny2.txt", 50000, 's');
    writeSized(home / ".config/a.txt", 60000, 't'); // hidden
    setTimes(home / "Music/song.bin", 1000000, 2000000);
    setTimes(home / "notes/a.txt", 1000000, 2000000);

    DuplicatesDone done;
    const auto delegate = std::shared_ptr<DuplicatesDone>(&done, [](DuplicatesDone *) {});
    DuplicatesSearcher searcher(locations);
    searcher.findDuplicatesWithDelegate(delegate);
    ASSERT_TRUE(test::waitUntil([&]() { return done.calls == 1; }));
    EXPECT_EQ(searcher.passesStarted(), 2);
    const auto groups = groupsOf(done.dict);
    ASSERT_EQ(groups.size(), 2U);
    // the two links of one inode are one file: one of them stands for it
    ASSERT_EQ(groups[0].size(), 2U);
    const std::set<std::string> first(groups[0].begin(), groups[0].end());
    EXPECT_EQ(first.count((home / "copy/song-copy.bin").bytes()), 1U);
    EXPECT_EQ(first.count((home / "Music/song.bin").bytes()) + first.count((home / "Music/song-link.bin").bytes()), 1U);
    EXPECT_EQ(groups[1], (std::vector<std::string>{(home / "notes/a.txt").bytes(), (home / "notes/b.txt").bytes()}));
    EXPECT_EQ(done.dict.value(QStringLiteral("Count")).toULongLong(), 4U);
    EXPECT_EQ(done.dict.value(QStringLiteral("Size")).toULongLong(), 2 * mib2 + 2 * 60000U);
    // looking at the content did not make the files look used
    EXPECT_EQ(accessTime(home / "Music/song.bin"), 1000000);
    EXPECT_EQ(accessTime(home / "notes/a.txt"), 1000000);
}

TEST_F(DiskScannersTest, EnoughDuplicatesInTheFirstPassReportAtOnce)
{
    writeSparse(home / "a/disk.img", 60 << 20);
    writeSparse(home / "b/disk.img", 60 << 20);
    writeSized(home / "c/small.txt", 60000);
    writeSized(home / "d/small.txt", 60000);
    DuplicatesDone done;
    const auto delegate = std::shared_ptr<DuplicatesDone>(&done, [](DuplicatesDone *) {});
    DuplicatesSearcher searcher(locations);
    searcher.findDuplicatesWithDelegate(delegate);
    ASSERT_TRUE(test::waitUntil([&]() { return done.calls == 1; }));
    EXPECT_EQ(searcher.passesStarted(), 1);
    EXPECT_EQ(done.dict.value(QStringLiteral("Count")).toULongLong(), 2U);
    EXPECT_EQ(done.dict.value(QStringLiteral("Size")).toULongLong(), 120U << 20);
}

TEST_F(DiskScannersTest, ApplicationsTheUserInstalled)
{
    const BytePath system = test::makeDir(TestEnvironment::root() / "apps-system");
    const BytePath share = system / "share/applications";
    ASSERT_TRUE(XdgDirs::makePath(share, 0755));
    const BytePath dpkg = system / "dpkg/info";
    ASSERT_TRUE(XdgDirs::makePath(dpkg, 0755));
    const auto entry = [](const BytePath &path, const std::string &exec) {
        XdgDirs::makePath(path.parent(), 0755);
        test::writeFile(path, "[Desktop Entry]\nType=Application\nName=X\nExec=" + exec + "\n");
    };
    entry(share / "editor.desktop", "editor %F");
    entry(share / "small.desktop", "small");
    entry(share / "dependency.desktop", "dependency");
    entry(share / "org.gnome.Nautilus.desktop", "nautilus");
    entry(share / "tool.desktop", (system / "opt/tool/bin/tool").bytes() + " --go");
    entry(share / "script.desktop", "sh -c true");
    writeSized(system / "opt/tool/bin/tool", 40000);
    writeSized(system / "opt/tool/lib/data", 90000);
    writeSized(system / "usr/bin/small", 30000);
    test::writeFile(dpkg / "editor.list", "/.\n" + (share / "editor.desktop").bytes() + "\n");
    test::writeFile(dpkg / "small:amd64.list",
                    (share / "small.desktop").bytes() + "\n" + (system / "usr/bin/small").bytes() + "\n");
    test::writeFile(dpkg / "dependency.list", (share / "dependency.desktop").bytes() + "\n");
    test::writeFile(dpkg / "nautilus.list", (share / "org.gnome.Nautilus.desktop").bytes() + "\n");
    test::writeFile(system / "dpkg/status",
                    "Package: editor\nStatus: install ok installed\nArchitecture: all\nInstalled-Size: 2048\n\n"
                    "Package: small\nStatus: install ok installed\nArchitecture: amd64\nInstalled-Size: 1\n\n"
                    "Package: dependency\nStatus: install ok installed\nArchitecture: all\nInstalled-Size: 900\n\n"
                    "Package: nautilus\nStatus: install ok installed\nArchitecture: all\nInstalled-Size: 900\n\n"
                    "Package: removed\nStatus: deinstall ok config-files\nInstalled-Size: 900\n");
    test::writeFile(system / "extended_states", "Package: dependency\nArchitecture: all\nAuto-Installed: 1\n");
    const BytePath flatpak = system / "flatpak";
    XdgDirs::makePath(flatpak / "exports/share/applications", 0755);
    test::writeFile(
        flatpak / "exports/share/applications/org.example.Paint.desktop",
        "[Desktop Entry]\nType=Application\nExec=flatpak run org.example.Paint\nX-Flatpak=org.example.Paint\n");
    writeSized(flatpak / "app/org.example.Paint/current/files/paint", 70000);
    writeSized(home / "Applications/sub/Player.AppImage", 50000);
    writeSized(home / "Applications/.Hidden.AppImage", 50000);

    locations.applicationFolders = {share, flatpak / "exports/share/applications"};
    locations.flatpakInstallations = {flatpak};
    locations.optFolder = system / "opt";
    locations.dpkgAdminDir = system / "dpkg";
    locations.aptExtendedStates = system / "extended_states";
    std::int64_t unreadable = 0;
    MetadataQuery::Predicate desktop;
    desktop.nameEndsWith = ".desktop";
    const auto entries = MetadataQuery::runNow({share.bytes(), (flatpak / "exports/share/applications").bytes()},
                                               desktop, true, &unreadable);
    const auto apps = pathSizes(AppsSearcher::applicationsFor(entries, locations));
    const std::map<std::string, std::uint64_t> expected{
        {(share / "editor.desktop").bytes(), 2048 * 1024},
        // 1 KiB recorded: its files are measured instead
        {(share / "small.desktop").bytes(),
         test::allocatedSizeByFind(system / "usr/bin/small") + test::allocatedSizeByFind(share / "small.desktop")},
        {(system / "opt/tool").bytes(), test::allocatedSizeByFind(system / "opt/tool")},
        {(flatpak / "app/org.example.Paint").bytes(), test::allocatedSizeByFind(flatpak / "app/org.example.Paint")},
        {(home / "Applications/sub/Player.AppImage").bytes(),
         test::allocatedSizeByFind(home / "Applications/sub/Player.AppImage")},
    };
    EXPECT_EQ(apps, expected);
}

TEST_F(DiskScannersTest, TheScansRunOneAtATimeInTheOrderAskedOnIdleThreads)
{
    writeSized(home / ".cache/blob", 5000);
    UserDefaults defaults(QStringLiteral("disk-one-at-a-time"));
    auto reports = std::make_shared<Reports>();
    auto coordinator = manager(defaults);
    coordinator->startSearchWithDelegate(reports, true);
    EXPECT_EQ(coordinator->runningScanType(), std::optional<int>(kScanTypeJunk));
    EXPECT_EQ(coordinator->waitingScanTypes(),
              (std::vector<int>{kScanTypeApplications, kScanTypeLargeAndOld, kScanTypeDuplicates}));
    // Asked again, a waiting category keeps its place and the running one goes on.
    coordinator->startSearchForType(kScanTypeDuplicates);
    coordinator->startSearchForced(false);
    EXPECT_EQ(coordinator->waitingScanTypes().size(), 3u);
    ASSERT_TRUE(test::pollUntil([&]() {
        clock.advance(200);
        return reports->total() == 4;
    }));
    // The junk measurements wait for the clock, the others do not: together they would not
    // come in this order.
    EXPECT_EQ(reports->order, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_FALSE(coordinator->runningScanType().has_value());

    // Their threads: the disk's idle class (the processor's share is kept in tests); a
    // thread lowered without that exception is idle for both.
    std::atomic<int> diskIdle{-1};
    IdlePriority::start([&diskIdle]() { diskIdle = IdlePriority::isCurrentThreadDiskIdle() ? 1 : 0; });
    ASSERT_TRUE(test::waitUntil([&]() { return diskIdle.load() >= 0; }));
    EXPECT_EQ(diskIdle.load(), 1);
    bool idle = false;
    {
        test::ScopedEnv cpu("LURKEL_TEST_IDLE_CPU", nullptr);
        std::thread([&idle]() {
            idle = IdlePriority::lowerCurrentThread() && IdlePriority::isCurrentThreadIdle();
        }).join();
    }
    EXPECT_TRUE(idle);
    EXPECT_FALSE(IdlePriority::isCurrentThreadIdle()); // the thread that asked stays as it was
}

TEST_F(DiskScannersTest, CachedResultsWithinTheRescanInterval)
{
    UserDefaults defaults(QStringLiteral("disk-rescan"));
    defaults.setInteger(SettingsKeys::kRescanDiskJunkTime, 60);
    auto reports = std::make_shared<Reports>();
    auto coordinator = manager(defaults);
    EXPECT_EQ(coordinator->rescanTime(), 60.0F);
    coordinator->startSearchWithDelegate(reports, false);
    // a second start while the scans run neither restarts nor reports them
    coordinator->startSearchForced(false);
    EXPECT_EQ(reports->total(), 0);
    ASSERT_TRUE(test::pollUntil([&]() {
        clock.advance(200);
        return reports->total() == 4;
    }));
    EXPECT_EQ(coordinator->getTotalCalculatedSize(),
              reports->junk.getTotalSize() + reports->apps.size + reports->large.size + reports->dups.size);

    clock.advance(30000); // within the interval: the stored results, at once
    coordinator->startSearchForced(false);
    EXPECT_EQ(reports->total(), 8);

    clock.advance(31000); // past it: scanned again, nothing reported until the scans end
    coordinator->startSearchForced(false);
    EXPECT_EQ(reports->total(), 8);
    ASSERT_TRUE(test::pollUntil([&]() {
        clock.advance(200);
        return reports->total() == 12;
    }));
    // the interval's timer forces every scan again
    clock.advance(60000);
    ASSERT_TRUE(test::pollUntil([&]() {
        clock.advance(200);
        return reports->total() == 16;
    }));
}

} // namespace
