#pragma once

#include "BytePath.h"

#include <array>
#include <cstdint>

namespace lurkel {

// The kernel's memory figures, read from /proc/meminfo.
//
// One read is one open, one pread into a buffer owned by this object and one close: the
// one-second refresh allocates nothing. The file is opened for each read, so a test points
// the reader at a file of its own and can take it away.
class MemoryStatistics {
public:
    // The figures of one read, in bytes (the file gives kB).
    struct Record {
        std::uint64_t memTotal = 0;     // MemTotal: the physical memory the kernel manages
        std::uint64_t memFree = 0;      // MemFree: not used for anything
        std::uint64_t memAvailable = 0; // MemAvailable: what can be had without swapping
        std::uint64_t cached = 0;       // Cached: the page cache (Shmem included)
        std::uint64_t shmem = 0;        // Shmem: shared memory and tmpfs, which only swap can free
        std::uint64_t sReclaimable = 0; // SReclaimable: kernel caches that can be dropped
        std::uint64_t swapTotal = 0;    // SwapTotal
        std::uint64_t swapFree = 0;     // SwapFree

        // MemTotal - MemAvailable (never negative).
        std::uint64_t usedBytes() const { return memAvailable < memTotal ? memTotal - memAvailable : 0; }
        // What the kernel can drop without swapping: Cached - Shmem + SReclaimable.
        std::uint64_t reclaimableCaches() const { return (cached > shmem ? cached - shmem : 0) + sReclaimable; }
    };

    static constexpr const char *kDefaultPath = "/proc/meminfo";

    explicit MemoryStatistics(BytePath path = BytePath(kDefaultPath));
    MemoryStatistics(const MemoryStatistics &) = delete;
    MemoryStatistics &operator=(const MemoryStatistics &) = delete;

    const BytePath &path() const { return m_path; }

    // Reads the file into out. Returns 0 on success, otherwise an errno value: that of the
    // failed call, or ENODATA when MemTotal or MemAvailable is missing or not a number
    // (out is left unchanged then).
    int read(Record &out);

    // The system page size; on failure "getting page size" goes to standard error and
    // 4096 is used.
    static std::uint32_t pageSize();

private:
    BytePath m_path;
    // /proc/meminfo is about 1.5 KB: the whole file fits.
    std::array<char, 8192> m_buffer{};
};

} // namespace lurkel
