#pragma once

#include "MemoryStatistics.h"

#include <cstdint>
#include <optional>

namespace lurkel {

// What one Cleanup does, decided from the figures at its start alone (no files, no clock).
//
// The kernel gives up page cache only under pressure, and pressure first takes every free
// page: a pass that allocates can never free more than the reclaimable caches, and costs
// MemFree before it frees anything. So:
//  - where a control group above this process has a writable memory.reclaim, ask it for at
//    most that group's inactive file cache and allocate nothing;
//  - otherwise allocate only when it can matter: with MemFree above the reclaimable caches
//    or above a quarter of MemTotal there is nothing worth taking;
//  - and then at most MemFree plus the reclaimable caches minus the floor, and no more than
//    the control group's headroom minus the floor.
struct PurgePlan {
    enum class Method {
        Nothing,  // nothing worth taking: say so at once
        Reclaim,  // write reclaimBytes to memory.reclaim
        Pressure, // allocate at most allocationBound in blocks, then release
    };

    // The figures a plan is made of.
    struct Figures {
        MemoryStatistics::Record meminfo;
        // inactive_file of the group whose memory.reclaim is used; nullopt when there is none.
        std::optional<std::uint64_t> reclaimInactiveFile;
        // The tightest control-group limit minus usage; nullopt when no group limits memory.
        std::optional<std::uint64_t> cgroupHeadroom;
        // The least memory left available; nullopt for the default (floorFor).
        std::optional<std::uint64_t> floorBytes;
    };

    Method method = Method::Nothing;
    std::uint64_t reclaimBytes = 0;      // Reclaim: the most asked for
    std::uint64_t allocationBound = 0;   // Pressure: the most allocated, a whole number of blocks
    std::uint64_t floorBytes = 0;        // the least MemAvailable (and headroom) left during the pass
    std::uint64_t reclaimableCaches = 0; // Cached - Shmem + SReclaimable at the start

    static PurgePlan choose(const Figures &figures, std::uint64_t blockSize);
    // max(5 % of MemTotal, 512 MiB).
    static std::uint64_t floorFor(std::uint64_t memTotal);
};

} // namespace lurkel
