#include "PurgePlan.h"
#include "MemoryTestSupport.h"

#include <gtest/gtest.h>

using namespace lurkel;
using namespace lurkel::test;

namespace {

using Method = PurgePlan::Method;

// Figures as machines show them, in MiB.
struct Row {
    const char *machine;
    std::uint64_t total, free, cached, shmem, sReclaimable, swap;
    std::optional<std::uint64_t> inactiveFile; // a writable memory.reclaim above us
    std::optional<std::uint64_t> headroom;     // a limiting control group
    Method method;
    std::uint64_t expected; // MiB: the bound for Pressure, the request for Reclaim
};

TEST(PurgePlanTest, ReclaimOrPressureAndHowMuchFromTheFigures)
{
    const Row rows[] = {
        // 24 GiB, no swap, 600 MiB free: 600 + (2600 - 200 + 300) - 1228.8 (5 %), in whole blocks.
        {"no swap", 24576, 600, 2600, 200, 300, 0, {}, {}, Method::Pressure, 2070},
        // Swap never enlarges the bound: the pass takes free memory and caches only.
        {"swap", 24576, 600, 2600, 200, 300, 8192, {}, {}, Method::Pressure, 2070},
        // 4 GiB in a group with 1200 MiB of room: 1200 - 512 (the floor), in whole blocks.
        {"small cgroup", 4096, 300, 1500, 50, 100, 0, {}, 1200, Method::Pressure, 680},
        // 16 GiB, 90 % page cache: 400 + 14846 - 819.2, in whole blocks.
        {"90% page cache", 16384, 400, 14746, 100, 200, 0, {}, {}, Method::Pressure, 14420},
        // Free memory above the caches: pressure would take only free memory.
        {"almost no cache", 16384, 300, 150, 100, 40, 0, {}, {}, Method::Nothing, 0},
        // Free memory above a quarter of the memory, though below the caches.
        {"a quarter free", 8192, 2500, 4000, 0, 100, 0, {}, {}, Method::Nothing, 0},
        {"most memory free", 24105, 21858, 1236, 10, 770, 0, {}, {}, Method::Nothing, 0},
        // A group whose room is below the floor.
        {"full cgroup", 4096, 300, 1500, 50, 100, 0, {}, 500, Method::Nothing, 0},
        // memory.reclaim: ask for the group's inactive file cache, whatever else is free.
        {"reclaim, no swap", 24576, 600, 2600, 200, 300, 0, 1800, {}, Method::Reclaim, 1800},
        {"reclaim, most free", 24105, 21858, 1236, 10, 770, 8192, 400, 1000, Method::Reclaim, 400},
        {"reclaim, nothing inactive", 24576, 600, 2600, 200, 300, 0, 0, {}, Method::Nothing, 0},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.machine);
        PurgePlan::Figures figures;
        figures.meminfo.memTotal = row.total * kMiB;
        figures.meminfo.memFree = row.free * kMiB;
        figures.meminfo.cached = row.cached * kMiB;
        figures.meminfo.shmem = row.shmem * kMiB;
        figures.meminfo.sReclaimable = row.sReclaimable * kMiB;
        figures.meminfo.memAvailable = figures.meminfo.memFree + figures.meminfo.reclaimableCaches();
        figures.meminfo.swapTotal = figures.meminfo.swapFree = row.swap * kMiB;
        if (row.inactiveFile) figures.reclaimInactiveFile = *row.inactiveFile * kMiB;
        if (row.headroom) figures.cgroupHeadroom = *row.headroom * kMiB;

        const PurgePlan plan = PurgePlan::choose(figures, 10 * kMiB);
        EXPECT_EQ(plan.method, row.method);
        EXPECT_EQ(plan.reclaimableCaches, (row.cached - row.shmem + row.sReclaimable) * kMiB);
        EXPECT_EQ(plan.method == Method::Reclaim ? plan.reclaimBytes : plan.allocationBound, row.expected * kMiB);
        if (plan.method != Method::Pressure) {
            EXPECT_EQ(plan.allocationBound, 0u); // nothing allocated
        }
    }
}

TEST(PurgePlanTest, FloorIsFivePercentButAtLeast512MiB)
{
    EXPECT_EQ(PurgePlan::floorFor(16 * kGiB), 16 * kGiB / 20);
    EXPECT_EQ(PurgePlan::floorFor(4 * kGiB), 512 * kMiB);
}

} // namespace
