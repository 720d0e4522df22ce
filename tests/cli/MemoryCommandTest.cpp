#include "MemoryCommand.h"
#include "CommandLine.h"
#include "Interrupt.h"
#include "MemoryStatistics.h"
#include "MemoryTestSupport.h"
#include "PurgeManager.h"

#include <gtest/gtest.h>

#include <sstream>
#include <sys/stat.h>

using namespace lurkel;
using namespace lurkel::cli;
using namespace lurkel::test;

namespace {

class MemoryCommandTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const BytePath home = TestEnvironment::freshHome();
        meminfo = home / "meminfo";
        const std::uint64_t page = MemoryStatistics::pageSize();
        writeMeminfo(meminfo, 4194304 * page, 3145728 * page);
        options.meminfoPath = meminfo;
        options.cgroupSources = {home / "none", home / "none"};
        options.reclaimSources = {home / "none", home / "none"};
        options.floorBytes = 3145728 * page + 1; // nothing can be mapped
        options.pause = [this](std::chrono::milliseconds duration) {
            if (onPause) onPause(duration);
        };
    }

    int run(PurgeManager &manager, std::vector<std::string> args, bool terminal = false)
    {
        CommandLine commandLine;
        MemoryCommand::registerIn(commandLine, {meminfo, &manager});
        out.str({});
        err.str({});
        CommandIO io{out, err, terminal, terminal};
        args.insert(args.begin(), "memory");
        return commandLine.run(args, io);
    }

    BytePath meminfo;
    PurgeManager::Options options;
    std::function<void(std::chrono::milliseconds)> onPause;
    std::ostringstream out;
    std::ostringstream err;
};

TEST_F(MemoryCommandTest, FiguresAndPurge)
{
    PurgeManager manager(options);
    EXPECT_EQ(run(manager, {}), kExitSuccess);
    EXPECT_NE(out.str().find("Used percentage: 25%\n"), std::string::npos) << out.str();
    if (MemoryStatistics::pageSize() == 4096) {
        EXPECT_NE(out.str().find("Used:  4.00 GB (4294967296 bytes)\n"), std::string::npos) << out.str();
    }
    EXPECT_EQ(run(manager, {"extra"}), kExitUsage);

    // Nothing to take: said as the panel says it, and progress drawn only on a terminal.
    EXPECT_EQ(run(manager, {"--purge"}), kExitSuccess);
    EXPECT_EQ(out.str().substr(0, out.str().find('\n')),
              "Nothing to free: the memory in use belongs to running applications")
        << out.str();
    EXPECT_EQ(err.str().find('\r'), std::string::npos);
    EXPECT_EQ(run(manager, {"--purge"}, true), kExitSuccess);
    EXPECT_NE(err.str().find("] 100%\n"), std::string::npos) << err.str();

    ASSERT_EQ(std::remove(meminfo.c_str()), 0);
    EXPECT_EQ(run(manager, {}), kExitFailure);
    EXPECT_NE(err.str().find("cannot read"), std::string::npos);
}

TEST_F(MemoryCommandTest, APurgeThatCouldMakeNoPressureFailsWithItsReason)
{
    // A control group whose usage cannot be read: the purge cannot know its room, maps nothing.
    const BytePath root = TestEnvironment::freshHome() / "cg";
    for (const BytePath &folder : {root, root / "box"})
        ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    writeFile(root / "box" / "memory.max", std::to_string(600 * kMiB) + "\n"); // no memory.current
    writeFile(root / "self-cgroup", "0::/box\n");
    writeFile(root / "mountinfo", "22 1 0:20 / / rw - ext4 /dev/sda1 rw\n30 22 0:26 / " + root.bytes() +
                                      " rw,nosuid - cgroup2 cgroup2 rw\n");
    options.cgroupSources = {root / "self-cgroup", root / "mountinfo"};
    options.floorBytes = 1;
    PurgeManager manager(options);
    EXPECT_EQ(run(manager, {"--purge"}), kExitFailure);
    EXPECT_NE(err.str().find("nothing was done: the memory figures could not be read"), std::string::npos) << err.str();
    EXPECT_EQ(manager.lastReport().blocksAllocated, 0u);
}

TEST_F(MemoryCommandTest, InterruptStopsThePurgeCleanly)
{
    writeMeminfo(meminfo, 512 * kMiB, 256 * kMiB);
    options.floorBytes = 256 * kMiB - 15 * kMiB; // one block
    onPause = [](std::chrono::milliseconds duration) {
        if (duration == PurgeManager::kReleaseDelay) Interrupt::raiseForTesting();
    };
    PurgeManager manager(options);
    const int status = run(manager, {"--purge"});
    Interrupt::resetForTesting();
    EXPECT_EQ(status, kExitInterrupted);
    EXPECT_EQ(manager.lastReport().blocksAllocated, 1u);
    EXPECT_EQ(manager.lastReport().freeMemoryPolls, 1); // what was freed is still measured, once
    EXPECT_NE(out.str().find("Made memory pressure with 1 of 1 blocks of 10 MiB"), std::string::npos) << out.str();
    EXPECT_FALSE(manager.isPurging());
}

} // namespace
