#include "MemoryTestSupport.h"
#include "Spawn.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <unistd.h>

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

// A real purge, in a process of its own so that its peak resident memory is its own.
TEST(RealPurgeTest, MapsAndTouchesBlocksWithoutPassingTheFloor)
{
    constexpr std::uint64_t kAllowanceMiB = 160;
    const SpawnResult result = Spawn::run({{besideThisTest("lurkel_purge_child"), std::to_string(kAllowanceMiB)}});
    ASSERT_TRUE(result.succeeded()) << result.standardError;

    std::map<std::string, double> values;
    std::istringstream lines(result.standardOutput);
    std::string key;
    double value = 0;
    while (lines >> key >> value)
        values[key] = value;
    ASSERT_EQ(values.size(), 10u) << result.standardOutput;

    EXPECT_GE(values["blocks"], 1);
    for (const char *once : {"starts", "ends", "completions", "progress_last", "progress_max"})
        EXPECT_EQ(values[once], 1) << once;
    EXPECT_LE(values["polls"], 20);

    // What the pass may map: the allowance, give or take what others freed meanwhile.
    const double budget = values["budget"];
    EXPECT_LE(budget, static_cast<double>((kAllowanceMiB + 64) * kMiB));
    const double mapped = values["blocks"] * 10 * static_cast<double>(kMiB);
    EXPECT_LE(mapped, budget);
    // The blocks were really touched: the child's peak grew by at least one block, and by no
    // more than what the pass itself mapped (plus a little for its threads). Measured against
    // its own blocks, not the budget, which moves with what other processes do meanwhile.
    // AddressSanitizer keeps books of its own (shadow, allocator caches, thread stacks).
#if defined(__SANITIZE_ADDRESS__)
    constexpr double kBookkeeping = 1.0 + 1.0 / 8, kSlackMiB = 32;
#else
    constexpr double kBookkeeping = 1.0, kSlackMiB = 16;
#endif
    const double growth = values["hwm_after"] - values["hwm_before"];
    EXPECT_GE(growth, static_cast<double>(10 * kMiB));
    EXPECT_LE(growth, mapped * kBookkeeping + kSlackMiB * static_cast<double>(kMiB));
}

} // namespace
