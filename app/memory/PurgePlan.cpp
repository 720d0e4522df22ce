#include "PurgePlan.h"

#include <algorithm>

namespace lurkel {
namespace {

constexpr std::uint64_t kMinimumFloor = std::uint64_t{512} * 1024 * 1024;

std::uint64_t minus(std::uint64_t a, std::uint64_t b)
{
    return a > b ? a - b : 0;
}

} // namespace

std::uint64_t PurgePlan::floorFor(std::uint64_t memTotal)
{
    return std::max(memTotal / 20, kMinimumFloor);
}

PurgePlan PurgePlan::choose(const Figures &figures, std::uint64_t blockSize)
{
    const MemoryStatistics::Record &meminfo = figures.meminfo;
    PurgePlan plan;
    plan.floorBytes = figures.floorBytes.value_or(floorFor(meminfo.memTotal));
    plan.reclaimableCaches = meminfo.reclaimableCaches();

    if (figures.reclaimInactiveFile) {
        plan.reclaimBytes = *figures.reclaimInactiveFile;
        plan.method = plan.reclaimBytes > 0 ? Method::Reclaim : Method::Nothing;
        return plan;
    }

    if (meminfo.memFree > plan.reclaimableCaches || meminfo.memFree > meminfo.memTotal / 4) return plan;
    std::uint64_t bound = minus(meminfo.memFree + plan.reclaimableCaches, plan.floorBytes);
    if (figures.cgroupHeadroom) bound = std::min(bound, minus(*figures.cgroupHeadroom, plan.floorBytes));
    if (blockSize > 0) bound -= bound % blockSize;
    if (bound == 0) return plan;
    plan.allocationBound = bound;
    plan.method = Method::Pressure;
    return plan;
}

} // namespace lurkel
