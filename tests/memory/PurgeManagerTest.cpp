#include "PurgeManager.h"
#include "MemoryTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>
#include <vector>

using namespace lurkel;
using namespace lurkel::test;
using namespace std::chrono_literals;

namespace {

struct Recorder final : PurgeManagerDelegate {
    std::vector<std::string> events;
    std::vector<float> progress;
    void onPurgeManagerStartPurge() override { events.emplace_back("start"); }
    void onPurgeManagerPurgingProgress(float p) override
    {
        events.emplace_back("progress");
        progress.push_back(p);
    }
    void onPurgeManagerEndPurge() override { events.emplace_back("end"); }
};

class PurgeManagerTest : public ::testing::Test {
protected:
    static constexpr std::uint64_t kTotal = 512 * kMiB;
    static constexpr std::uint64_t kAvailable = 256 * kMiB;

    void SetUp() override
    {
        const BytePath home = TestEnvironment::freshHome();
        meminfo = home / "meminfo";
        // A small machine: whatever goes wrong, a pass cannot map more than 512 MiB.
        writeMeminfo(meminfo, kTotal, kAvailable);
        options.meminfoPath = meminfo;
        options.cgroupSources = {home / "no-cgroup", home / "no-mountinfo"};
        options.reclaimSources = {home / "no-cgroup", home / "no-cgroup-root"};
        options.pause = [this](std::chrono::milliseconds duration) {
            pauses.push_back(duration);
            if (onPause) onPause(duration);
        };
    }

    // Runs one purge to its end and answers how often the completion ran.
    int purge(PurgeManager &manager, Recorder &recorder)
    {
        manager.setDelegate(&recorder);
        int completions = 0;
        EXPECT_TRUE(manager.purgeWithCompletion([&completions] { ++completions; }));
        EXPECT_TRUE(waitUntil([&completions] { return completions > 0; }));
        drainMainQueue();
        EXPECT_FALSE(manager.isPurging());
        return completions;
    }

    BytePath meminfo;
    PurgeManager::Options options;
    std::vector<std::chrono::milliseconds> pauses;
    std::function<void(std::chrono::milliseconds)> onPause;
};

// A cgroup v2 tree as a desktop user's process sees it under systemd: the root and the
// user's slice offer nothing this process may write, the user's service manager and the
// slices and scope below it do.
struct FakeCgroupTree {
    BytePath root;
    BytePath manager; // user@1000.service
    BytePath scope;   // the process's own group
    BytePath procCgroup;

    FakeCgroupTree()
    {
        root = TestEnvironment::freshHome() / "cgroup";
        const std::string own = "/user.slice/user-1000.slice/user@1000.service/app.slice/app-lurkel.scope";
        BytePath folder = root;
        EXPECT_EQ(::mkdir(folder.c_str(), 0755), 0);
        for (const char *name :
             {"user.slice", "user-1000.slice", "user@1000.service", "app.slice", "app-lurkel.scope"}) {
            folder = folder / name;
            EXPECT_EQ(::mkdir(folder.c_str(), 0755), 0);
        }
        scope = folder;
        manager = root / "user.slice" / "user-1000.slice" / "user@1000.service";
        setInactiveFile(manager, 300 * kMiB);
        setInactiveFile(manager / "app.slice", 120 * kMiB);
        setInactiveFile(scope, 2 * kMiB);
        procCgroup = TestEnvironment::freshHome() / "self-cgroup";
        writeFile(procCgroup, "0::" + own + "\n");
    }

    static void setInactiveFile(const BytePath &group, std::uint64_t bytes)
    {
        writeFile(group / "memory.reclaim", "");
        writeFile(group / "memory.stat", "anon 1000\nfile 9999999\nactive_anon 1\ninactive_anon 2\n"
                                         "active_file 3\ninactive_file " +
                                             std::to_string(bytes) + "\nunevictable 0\n");
    }
};

// The memory.reclaim path: the widest writable group, at most its inactive_file, EAGAIN
// taken as "less was freed", and what was freed measured as MemFree's growth.
TEST_F(PurgeManagerTest, ReclaimAsksTheWidestWritableGroupForItsInactiveFileCache)
{
    const FakeCgroupTree tree;
    const std::optional<CgroupReclaim> found = CgroupReclaim::find({tree.procCgroup, tree.root});
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->folder(), tree.manager);
    EXPECT_EQ(found->readInactiveFile(), 300 * kMiB);
    EXPECT_FALSE(CgroupReclaim::find({tree.procCgroup, tree.root / "elsewhere"}).has_value());

    // Most memory free: the plan would say "nothing", yet the group is asked all the same.
    writeMeminfo(meminfo, Meminfo{.total = kTotal, .free = 200 * kMiB, .available = kAvailable, .cached = 50 * kMiB});
    struct Write {
        BytePath file;
        std::uint64_t bytes;
    };
    std::vector<Write> writes;
    int failWith = 0;
    std::size_t failAt = 0;
    options.reclaimSources = {tree.procCgroup, tree.root};
    options.reclaimWriter = [&](const BytePath &file, std::uint64_t bytes) {
        writes.push_back({file, bytes});
        if (failWith != 0 && writes.size() == failAt) return failWith;
        // The kernel frees what it was asked for.
        std::uint64_t freed = 0;
        for (const Write &write : writes)
            freed += write.bytes;
        writeMeminfo(
            meminfo,
            Meminfo{.total = kTotal, .free = 200 * kMiB + freed, .available = kAvailable, .cached = 50 * kMiB});
        return 0;
    };
    PurgeManager manager(options);
    Recorder recorder;
    EXPECT_EQ(purge(manager, recorder), 1);
    PurgeManager::Report report = manager.lastReport();
    EXPECT_EQ(report.plan.method, PurgePlan::Method::Reclaim);
    EXPECT_EQ(report.reclaimGroup, tree.manager);
    EXPECT_EQ(report.blocksAllocated, 0u);
    ASSERT_EQ(writes.size(), PurgeManager::kReclaimParts);
    for (const Write &write : writes) {
        EXPECT_EQ(write.file, tree.manager / "memory.reclaim");
        EXPECT_EQ(write.bytes, 30 * kMiB);
    }
    EXPECT_EQ(report.reclaimWritten, 300 * kMiB);
    EXPECT_EQ(report.freedBytes, 300 * kMiB);
    EXPECT_EQ(report.stop, PurgeManager::Report::Stop::Completed);
    EXPECT_TRUE(pauses.empty()); // the writes are synchronous: measured once, no polling
    EXPECT_EQ(recorder.progress.back(), 1.0f);

    // EAGAIN on the third part: the pass ends there, normally, with what it freed.
    writeMeminfo(meminfo, Meminfo{.total = kTotal, .free = 200 * kMiB, .available = kAvailable, .cached = 50 * kMiB});
    writes.clear();
    failWith = EAGAIN;
    failAt = 3;
    EXPECT_EQ(purge(manager, recorder), 1);
    report = manager.lastReport();
    EXPECT_EQ(writes.size(), 3u);
    EXPECT_EQ(report.stop, PurgeManager::Report::Stop::ReclaimShort);
    EXPECT_EQ(report.reclaimError, EAGAIN);
    EXPECT_EQ(report.reclaimWritten, 60 * kMiB);
    EXPECT_EQ(report.freedBytes, 60 * kMiB);

    // Never more than the group holds: 25 MiB in parts of at least 4 MiB; nothing is asked
    // of a group with none.
    FakeCgroupTree::setInactiveFile(tree.manager, 25 * kMiB);
    writes.clear();
    failWith = 0;
    EXPECT_EQ(purge(manager, recorder), 1);
    std::uint64_t asked = 0;
    for (const Write &write : writes)
        asked += write.bytes;
    EXPECT_EQ(asked, 25 * kMiB);
    EXPECT_EQ(writes.front().bytes, PurgeManager::kReclaimMinimumPart);
    FakeCgroupTree::setInactiveFile(tree.manager, 0);
    writes.clear();
    EXPECT_EQ(purge(manager, recorder), 1);
    EXPECT_TRUE(writes.empty());
    EXPECT_EQ(manager.lastReport().stop, PurgeManager::Report::Stop::NothingToTake);
    EXPECT_EQ(manager.lastReport().freedBytes, 0u);
}

TEST(CgroupReclaimTest, TheWriterWritesTheDecimalCount)
{
    const BytePath file = TestEnvironment::freshHome() / "memory.reclaim";
    writeFile(file, "");
    EXPECT_EQ(CgroupReclaim::writeReclaim(file, 314572800), 0);
    EXPECT_EQ(readFile(file), "314572800");
    EXPECT_EQ(CgroupReclaim::writeReclaim(file / "missing", 1), ENOTDIR);
}

TEST_F(PurgeManagerTest, AsksForPhysicalMemoryInTenMebibyteBlocks)
{
    writeMeminfo(meminfo, 16 * kGiB, 8 * kGiB);
    PurgeManager manager(options);
    ASSERT_EQ(manager.updateSystemInfo(), 0);
    EXPECT_EQ(manager.getCountOfNeededAllocatedMemoryWithBlockSize(PurgeManager::kAllocationBlockSize), 1638u);
    EXPECT_EQ(manager.getFreeMemory(), 8 * kGiB);
}

TEST_F(PurgeManagerTest, PressureStaysWithinTheBoundAndPollsTwentyTimes)
{
    writeMeminfo(meminfo, Meminfo{.total = kTotal, .free = 100 * kMiB, .available = kAvailable, .cached = 156 * kMiB});
    options.floorBytes = kAvailable - 35 * kMiB; // a bound of three blocks
    PurgeManager manager(options);
    Recorder recorder;
    EXPECT_EQ(purge(manager, recorder), 1);
    const PurgeManager::Report report = manager.lastReport();
    EXPECT_EQ(report.plan.method, PurgePlan::Method::Pressure);
    EXPECT_EQ(report.plan.allocationBound, 30 * kMiB);
    EXPECT_EQ(report.blocksRequested, 3u);
    EXPECT_EQ(report.blocksAllocated, 3u);
    EXPECT_EQ(report.stop, PurgeManager::Report::Stop::Completed);
    EXPECT_EQ(report.freedBytes, 0u); // MemFree never grows in the fake
    std::vector<std::chrono::milliseconds> expectedPauses{1000ms};
    expectedPauses.insert(expectedPauses.end(), PurgeManager::kFreeMemoryPolls - 1, 250ms);
    EXPECT_EQ(pauses, expectedPauses);
    EXPECT_EQ(report.freeMemoryPolls, PurgeManager::kFreeMemoryPolls);
    ASSERT_GE(recorder.progress.size(), 3u);
    EXPECT_EQ(recorder.progress.front(), 0.0f);
    EXPECT_EQ(recorder.progress.back(), 1.0f);
    EXPECT_EQ(recorder.events.front(), "start");
    EXPECT_EQ(std::count(recorder.events.begin(), recorder.events.end(), "end"), 1);
    EXPECT_EQ(recorder.events.back(), "end");

    // MemAvailable (which the plan does not use) one block above the floor: the pass stops
    // before its first block and has nothing to wait for.
    writeMeminfo(meminfo, Meminfo{.total = kTotal, .free = 100 * kMiB, .available = 205 * kMiB, .cached = 156 * kMiB});
    options.floorBytes = 200 * kMiB;
    pauses.clear();
    PurgeManager atFloor(options);
    EXPECT_EQ(purge(atFloor, recorder), 1);
    EXPECT_EQ(atFloor.lastReport().plan.allocationBound, 50 * kMiB);
    EXPECT_EQ(atFloor.lastReport().stop, PurgeManager::Report::Stop::Floor);
    EXPECT_EQ(atFloor.lastReport().blocksAllocated, 0u);
    EXPECT_TRUE(pauses.empty());
}

// At the floor nothing is mapped; a second request while one runs is ignored.
TEST_F(PurgeManagerTest, OnePurgeAtATime)
{
    options.floorBytes = kAvailable + 1;
    PurgeManager manager(options);
    Recorder recorder;
    manager.setDelegate(&recorder);
    int first = 0;
    int second = 0;
    ASSERT_TRUE(manager.purgeWithCompletion([&first] { ++first; }));
    EXPECT_FALSE(manager.purgeWithCompletion([&second] { ++second; }));
    ASSERT_TRUE(waitUntil([&first] { return first > 0; }));
    drainMainQueue();
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 0);
    EXPECT_EQ(std::count(recorder.events.begin(), recorder.events.end(), "start"), 1);
    EXPECT_EQ(manager.lastReport().stop, PurgeManager::Report::Stop::NothingToTake);
    EXPECT_EQ(manager.lastReport().blocksAllocated, 0u);
    EXPECT_EQ(recorder.progress, (std::vector<float>{0.0f, 1.0f}));

    EXPECT_EQ(purge(manager, recorder), 1); // idle again: the next request runs
    EXPECT_EQ(second, 0);
}

// Cgroup v2 and v1 layouts, as a container shows them.
TEST_F(PurgeManagerTest, ControlGroupHeadroomLimitsTheBudget)
{
    struct Layout {
        const char *cgroupLine;
        const char *mountFields; // fs type, source, super options
        const char *limitFile;
        const char *usageFile;
        const char *noLimit;
    };
    const Layout layouts[] = {
        {"0::/box/app\n", "cgroup2 cgroup2 rw", "memory.max", "memory.current", "max\n"},
        {"4:memory:/box/app\n0::/\n", "cgroup cgroup rw,memory", "memory.limit_in_bytes", "memory.usage_in_bytes",
         "9223372036854771712\n"},
    };
    for (const Layout &layout : layouts) {
        SCOPED_TRACE(layout.limitFile);
        const BytePath root = TestEnvironment::freshHome() / "cg";
        for (const BytePath &folder : {root, root / "box", root / "box" / "app"})
            ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
        // the parent's limit is the tighter one
        writeFile(root / "box" / layout.limitFile, std::to_string(600 * kMiB) + "\n");
        writeFile(root / "box" / layout.usageFile, std::to_string(475 * kMiB) + "\n");
        writeFile(root / "box" / "app" / layout.limitFile, layout.noLimit);
        writeFile(root / "box" / "app" / layout.usageFile, "1000\n");
        const BytePath cgroupFile = root / "self-cgroup";
        const BytePath mountInfo = root / "mountinfo";
        writeFile(cgroupFile, layout.cgroupLine);
        writeFile(mountInfo, "22 1 0:20 / / rw - ext4 /dev/sda1 rw\n30 22 0:26 / " + root.bytes() + " rw,nosuid - " +
                                 layout.mountFields + "\n");

        const CgroupMemoryLimit limit = CgroupMemoryLimit::discover({cgroupFile, mountInfo});
        ASSERT_TRUE(limit.isLimited());
        EXPECT_EQ(limit.headroom(), 125 * kMiB);

        options.cgroupSources = {cgroupFile, mountInfo};
        options.floorBytes = 100 * kMiB;
        PurgeManager manager(options);
        Recorder recorder;
        EXPECT_EQ(purge(manager, recorder), 1);
        EXPECT_EQ(manager.lastReport().plan.allocationBound, 20 * kMiB);
        EXPECT_EQ(manager.lastReport().blocksAllocated, 2u);
    }
}

} // namespace
