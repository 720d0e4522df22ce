#include "MemoryTestSupport.h"
#include "PurgePlan.h"
#include "Spawn.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

using namespace lurkel;
using namespace lurkel::test;

namespace {

std::string besideThisTest(const char *name)
{
    char self[4096];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    std::string path(self, n > 0 ? static_cast<std::size_t>(n) : 0);
    return path.substr(0, path.rfind('/') + 1) + name;
}

std::map<std::string, double> runChild(const std::vector<std::string> &args)
{
    std::vector<std::string> argv{besideThisTest("lurkel_purge_child")};
    argv.insert(argv.end(), args.begin(), args.end());
    const SpawnResult result = Spawn::run({argv});
    EXPECT_TRUE(result.succeeded()) << result.standardError;
    std::map<std::string, double> values;
    std::istringstream lines(result.standardOutput);
    std::string key;
    double value = 0;
    while (lines >> key >> value)
        values[key] = value;
    EXPECT_EQ(values.size(), 12u) << result.standardOutput;
    // The pass ended by itself, once, with everything released.
    for (const char *once : {"starts", "ends", "completions", "progress_last"})
        EXPECT_EQ(values[once], 1) << once;
    return values;
}

// What this process may hold at its peak beyond what the pass is allowed to take: the
// program itself, its threads, Qt (AddressSanitizer keeps more books of its own).
#if defined(__SANITIZE_ADDRESS__)
constexpr double kMarginMiB = 96;
#else
constexpr double kMarginMiB = 48;
#endif

// The Cleanup a user gets, on this machine as it is: whatever it decides, its peak resident
// memory never passes MemFree plus the reclaimable caches at its start.
TEST(RealPurgeTest, TheCleanupNeverHoldsMoreThanFreeMemoryAndCaches)
{
    std::map<std::string, double> values = runChild({});
    EXPECT_LE(values["peak_after"],
              values["memfree_start"] + values["reclaimable_start"] + kMarginMiB * static_cast<double>(kMiB));
    if (values["method"] != static_cast<int>(PurgePlan::Method::Pressure)) {
        EXPECT_EQ(values["blocks"], 0);
    }
}

// The pressure pass for real, on figures that make it run with a bound of 180 MiB: every
// block is backed for real, and no more than the bound is held.
TEST(RealPurgeTest, ThePressurePassBacksItsBlocksAndKeepsToItsBound)
{
    MemoryStatistics::Record machine;
    MemoryStatistics real;
    ASSERT_EQ(real.read(machine), 0);
    if (machine.memAvailable < 2 * kGiB) GTEST_SKIP() << "less than 2 GiB available on this machine";

    const BytePath meminfo = TestEnvironment::freshHome() / "meminfo";
    // free + caches = 700 MiB, floor 512 MiB: a bound of 180 MiB in whole blocks.
    writeMeminfo(meminfo,
                 Meminfo{.total = 2 * kGiB, .free = 100 * kMiB, .available = 700 * kMiB, .cached = 600 * kMiB});
    std::map<std::string, double> values = runChild({meminfo.bytes()});
    EXPECT_EQ(values["method"], static_cast<int>(PurgePlan::Method::Pressure));
    EXPECT_EQ(values["bound"], static_cast<double>(180 * kMiB));
    EXPECT_EQ(values["blocks"], 18);
    // Pages of the program itself may have left between the two readings: most of the
    // bound, not all of it, shows as growth.
    const double growth = values["peak_after"] - values["peak_before"];
    EXPECT_GE(growth, values["bound"] * 0.9);
    EXPECT_LE(growth, values["bound"] + kMarginMiB * static_cast<double>(kMiB));
    EXPECT_LE(values["peak_after"],
              values["memfree_start"] + values["reclaimable_start"] + kMarginMiB * static_cast<double>(kMiB));
}

} // namespace
