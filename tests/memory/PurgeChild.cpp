// lurkel_purge_child ALLOWANCE_MIB: one real purge with the floor raised so that at most the
// allowance can be mapped; prints "key value" lines (report, delegate calls, VmHWM in bytes).
#include "CgroupMemoryLimit.h"
#include "MemoryStatistics.h"
#include "PurgeManager.h"

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

using namespace lurkel;

namespace {

std::uint64_t peakResident()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) return std::strtoull(line.c_str() + 6, nullptr, 10) * 1024;
    }
    return 0;
}

struct Counter final : PurgeManagerDelegate {
    int starts = 0, ends = 0;
    float last = -1.0f, highest = -1.0f;
    void onPurgeManagerStartPurge() override { ++starts; }
    void onPurgeManagerPurgingProgress(float p) override { highest = std::max(highest, last = p); }
    void onPurgeManagerEndPurge() override { ++ends; }
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) return 2;
    const std::uint64_t allowance = std::strtoull(argv[1], nullptr, 10) * 1024 * 1024;

    MemoryStatistics statistics;
    MemoryStatistics::Record record;
    if (statistics.read(record) != 0) {
        std::fputs("cannot read /proc/meminfo\n", stderr);
        return 1;
    }
    std::uint64_t available = record.memAvailable;
    if (const auto room = CgroupMemoryLimit::discover().headroom()) available = std::min(available, *room);
    if (available <= allowance) {
        std::fputs("not enough memory available for the test\n", stderr);
        return 1;
    }

    PurgeManager::Options options;
    options.floorBytes = available - allowance;
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
    QTimer::singleShot(120000, &app, [&app] { app.exit(3); });
    const int rc = app.exec();
    const std::uint64_t after = peakResident();

    const PurgeManager::Report report = manager.lastReport();
    std::printf("blocks %u\nbudget %llu\npolls %d\nstarts %d\nends %d\ncompletions %d\nprogress_last %.3f\n"
                "progress_max %.3f\nhwm_before %llu\nhwm_after %llu\n",
                report.blocksAllocated, static_cast<unsigned long long>(report.budgetBytes), report.freeMemoryPolls,
                counter.starts, counter.ends, completions, static_cast<double>(counter.last),
                static_cast<double>(counter.highest), static_cast<unsigned long long>(before),
                static_cast<unsigned long long>(after));
    return rc;
}
