#include "PurgeManager.h"
#include "MemoryTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
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

TEST_F(PurgeManagerTest, AsksForPhysicalMemoryInTenMebibyteBlocks)
{
    writeMeminfo(meminfo, 16 * kGiB, 8 * kGiB);
    PurgeManager manager(options);
    ASSERT_EQ(manager.updateSystemInfo(), 0);
    EXPECT_EQ(manager.getCountOfNeededAllocatedMemoryWithBlockSize(PurgeManager::kAllocationBlockSize), 1638u);
    EXPECT_EQ(manager.getFreeMemory(), 8 * kGiB);
    EXPECT_EQ(PurgeManager::defaultFloor(16 * kGiB), 16 * kGiB / 20);
    EXPECT_EQ(PurgeManager::defaultFloor(4 * kGiB), 512 * kMiB);
}

TEST_F(PurgeManagerTest, StaysWithinTheBudgetAndPollsTwentyTimes)
{
    options.floorBytes = kAvailable - 35 * kMiB; // room for three blocks
    PurgeManager manager(options);
    Recorder recorder;
    EXPECT_EQ(purge(manager, recorder), 1);
    const PurgeManager::Report report = manager.lastReport();
    EXPECT_EQ(report.blocksRequested, 51u);
    EXPECT_EQ(report.blocksAllocated, 3u);
    EXPECT_EQ(report.budgetBytes, 35 * kMiB);
    EXPECT_EQ(report.stop, PurgeManager::Report::Stop::Budget);
    std::vector<std::chrono::milliseconds> expectedPauses{1000ms};
    expectedPauses.insert(expectedPauses.end(), PurgeManager::kFreeMemoryPolls, 250ms);
    EXPECT_EQ(pauses, expectedPauses); // available never grows in the fake: every poll is used
    ASSERT_GE(recorder.progress.size(), 3u);
    EXPECT_EQ(recorder.progress.front(), 0.0f);
    EXPECT_EQ(recorder.progress.back(), 1.0f);
    EXPECT_EQ(recorder.events.front(), "start");
    EXPECT_EQ(std::count(recorder.events.begin(), recorder.events.end(), "end"), 1);
    EXPECT_EQ(recorder.events.back(), "end");
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
    EXPECT_EQ(manager.lastReport().blocksAllocated, 0u);
    EXPECT_EQ(recorder.progress, (std::vector<float>{0.0f, 0.5f, 1.0f}));

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
        EXPECT_EQ(manager.lastReport().budgetBytes, 25 * kMiB);
        EXPECT_EQ(manager.lastReport().blocksAllocated, 2u);
    }
}

} // namespace
