#pragma once

#include "BytePath.h"
#include "CgroupMemoryLimit.h"
#include "CgroupReclaim.h"
#include "MemoryStatistics.h"
#include "PurgeManagerDelegate.h"
#include "PurgePlan.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace lurkel {

// Frees memory by asking the kernel for what it can reclaim, in seconds, and measures what
// that gave back.
//
// Each purge first makes a plan (PurgePlan) from /proc/meminfo and the control groups:
//  - with a writable cgroup v2 memory.reclaim above this process (CgroupReclaim) it writes
//    at most that group's inactive_file there, in a few parts, and allocates nothing; EAGAIN
//    means the kernel found less to take, which is measured like the rest;
//  - otherwise, when pressure can matter, it maps anonymous 10 MiB blocks, populated in bulk
//    (MADV_POPULATE_WRITE, else one write per page), so that the kernel drops caches to make
//    room, then gives them back. It maps at most the plan's bound and stops at once when
//    MemAvailable (or a limiting control group's headroom) would fall below the floor;
//  - otherwise it does nothing and says so at once.
// What was freed is the growth of MemFree from the start to the end of the pass (0 when it
// did not grow).
//
// One purge runs at a time. Two threads work per purge: A starts B and waits for it, B plans,
// reclaims or allocates and releases, then measures (after a pressure pass it polls up to 20
// times, every 0.25 s, until MemFree is above its value at the start). Delegate callbacks
// and the completion arrive on the main thread through its event loop, which stays free.
class PurgeManager {
public:
    static constexpr std::uint64_t kAllocationBlockSize = 10485760; // 10 MiB
    static constexpr int kFreeMemoryPolls = 20;
    static constexpr std::chrono::milliseconds kPollInterval{250};
    static constexpr std::chrono::milliseconds kReleaseDelay{1000};
    static constexpr std::chrono::milliseconds kAllocationFlagPollInterval{500};
    // A reclaim request is written in about this many parts (progress, cancelling).
    static constexpr std::uint64_t kReclaimParts = 10;
    static constexpr std::uint64_t kReclaimMinimumPart = std::uint64_t{4} * 1024 * 1024;
    // Progress changes of this size or less are not reported (unless forced).
    static constexpr float kProgressStep = 0.01f;

    struct Options {
        BytePath meminfoPath = BytePath(MemoryStatistics::kDefaultPath);
        CgroupMemoryLimit::Sources cgroupSources = {};
        CgroupReclaim::Sources reclaimSources = {};
        // Writes to memory.reclaim; CgroupReclaim::writeReclaim when empty.
        CgroupReclaim::Writer reclaimWriter = {};
        // The least memory left available; default max(5 % of MemTotal, 512 MiB).
        std::optional<std::uint64_t> floorBytes = std::nullopt;
        // The waits of the pass (after allocating, between polls). By default a wait that
        // cancel() cuts short.
        std::function<void(std::chrono::milliseconds)> pause = {};
    };

    // What the last purge did, for logs, tests and lurkelctl.
    struct Report {
        enum class Stop {
            Completed,            // the plan was carried out
            NothingToTake,        // the plan was to do nothing
            Budget,               // the pressure pass reached the plan's bound
            Floor,                // MemAvailable would have gone below the floor
            CgroupFloor,          // the control group's headroom would have
            StatisticsUnreadable, // the figures could not be read: nothing more was done
            MapFailed,            // mmap refused a block
            ReclaimShort,         // memory.reclaim said EAGAIN: the kernel found less to take
            ReclaimRefused,       // memory.reclaim refused the request (another errno)
            Cancelled,            // cancel() was called
        };
        PurgePlan plan;
        BytePath reclaimGroup;            // the group asked, when the plan was Reclaim
        std::uint64_t reclaimWritten = 0; // bytes asked for in writes the kernel took
        int reclaimError = 0;             // errno of the write that ended the reclaim pass
        std::uint32_t blocksRequested = 0;
        std::uint32_t blocksAllocated = 0;
        int freeMemoryPolls = 0;
        std::uint64_t memFreeAtStart = 0;
        std::uint64_t freedBytes = 0; // growth of MemFree over the pass
        Stop stop = Stop::Completed;
    };

    // The process's manager, created on first use with the default options.
    static PurgeManager &GetInstance();

    PurgeManager();
    explicit PurgeManager(Options options);
    // Cancels a running purge and waits for its threads; its completion is not called.
    ~PurgeManager();
    PurgeManager(const PurgeManager &) = delete;
    PurgeManager &operator=(const PurgeManager &) = delete;

    // Main thread. Not owned; a delegate that goes away first sets nullptr.
    void setDelegate(PurgeManagerDelegate *delegate);
    PurgeManagerDelegate *delegate() const;

    // Starts a purge; the completion runs on the main thread when it has ended. While a
    // purge runs (until its completion has returned) the call is ignored and answers false.
    bool purgeWithCompletion(std::function<void()> completion);
    bool isPurging() const;
    // Asks a running purge to stop allocating and release at once (any thread). It still
    // ends normally: progress 1, end callback, completion.
    void cancel();

    // Reads /proc/meminfo into the statistics; 0 or an errno value.
    int updateSystemInfo();
    // MemAvailable of the last read, in bytes. Not while a purge runs.
    std::uint64_t getFreeMemory() const;
    // MemTotal / size of the last read.
    std::uint32_t getCountOfNeededAllocatedMemoryWithBlockSize(std::uint64_t size) const;
    Report lastReport() const;

private:
    struct Shared;

    void freeMemory();
    void allocatePurgeableData();
    void allocatePurgeableDataBlocksCountWithSize(std::uint32_t count, std::uint64_t size,
                                                  const CgroupMemoryLimit &cgroup, Report &report);
    void reclaimInGroup(const CgroupReclaim &group, Report &report);
    // Reads MemFree after the pass into the report's freed size.
    void measureFreed(Report &report, bool poll);
    void notifyAboutProgressStart();
    void notifyAboutProgress(float progress, bool forced);
    void notifyAboutProgressFinish();
    void pause(std::chrono::milliseconds duration);
    bool cancelled() const { return m_cancelRequested.load(); }

    // What calls queued to the main thread still reach after this object is gone.
    std::shared_ptr<Shared> m_shared;
    Options m_options;
    MemoryStatistics m_reader;
    // Written at purge start before thread A starts, afterwards by thread B alone.
    MemoryStatistics::Record m_dStatistics;
    int m_startReadResult = 0;
    std::uint32_t m_nMemoryPageSize;
    std::atomic<bool> m_bAllocationInProgress{false};
    const std::uint64_t m_nAllocationBlockSize = kAllocationBlockSize;
    std::atomic<float> m_lastProgress{0.0f};
    std::atomic<bool> m_cancelRequested{false};
    std::mutex m_waitMutex;
    std::condition_variable m_wake;
    std::thread m_thread; // thread A of the last purge
    mutable std::mutex m_reportMutex;
    Report m_report;
};

} // namespace lurkel
