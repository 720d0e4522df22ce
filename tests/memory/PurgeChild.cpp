// lurkel_purge_child [MEMINFO]: one real Cleanup, to its end, in a process of its own; prints
// "key value" lines: what the pass did, the figures it started from, and this process's peak
// resident memory (getrusage) before and after.
//
// Without an argument it is exactly the Cleanup a user gets (the real /proc/meminfo, control
// groups and memory.reclaim). With MEMINFO the figures come from that file and no
// memory.reclaim is used, so that a test can make the pressure pass run with a small bound.
#include "MemoryStatistics.h"
#include "PurgeManager.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>
#include <sys/resource.h>

using namespace lurkel;

namespace {

std::uint64_t peakResident()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<std::uint64_t>(usage.ru_maxrss) * 1024;
}

struct Counter final : PurgeManagerDelegate {
    int starts = 0, ends = 0;
    float last = -1.0f;
    void onPurgeManagerStartPurge() override { ++starts; }
    void onPurgeManagerPurgingProgress(float p) override { last = p; }
    void onPurgeManagerEndPurge() override { ++ends; }
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc > 2) return 2;

    PurgeManager::Options options;
    if (argc == 2) {
        options.meminfoPath = BytePath(argv[1]);
        options.reclaimSources = {BytePath("/nonexistent"), BytePath("/nonexistent")};
    }
    MemoryStatistics statistics(options.meminfoPath);
    MemoryStatistics::Record atStart;
    if (statistics.read(atStart) != 0) {
        std::fputs("cannot read the memory figures\n", stderr);
        return 1;
    }

    PurgeManager manager(options);
    Counter counter;
    manager.setDelegate(&counter);
    int completions = 0;
    const std::uint64_t before = peakResident();
    manager.purgeWithCompletion([&completions, &app] {
        ++completions;
        // whatever is still queued is handled before the results are printed
        QTimer::singleShot(0, &app, [&app] { app.quit(); });
    });
    const int rc = app.exec();
    const std::uint64_t after = peakResident();

    const PurgeManager::Report report = manager.lastReport();
    std::printf("method %d\nblocks %u\nbound %llu\nfreed %llu\nstarts %d\nends %d\ncompletions %d\n"
                "progress_last %.3f\nmemfree_start %llu\nreclaimable_start %llu\npeak_before %llu\n"
                "peak_after %llu\n",
                static_cast<int>(report.plan.method), report.blocksAllocated,
                static_cast<unsigned long long>(report.plan.allocationBound),
                static_cast<unsigned long long>(report.freedBytes), counter.starts, counter.ends, completions,
                static_cast<double>(counter.last), static_cast<unsigned long long>(atStart.memFree),
                static_cast<unsigned long long>(atStart.reclaimableCaches()), static_cast<unsigned long long>(before),
                static_cast<unsigned long long>(after));
    return rc;
}
