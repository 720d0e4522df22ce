#pragma once

#include "BytePath.h"
#include "CgroupMemoryLimit.h"
#include "MemoryStatistics.h"
#include "PurgeManagerDelegate.h"

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

// Frees memory by pressure: it maps and touches anonymous 10 MiB blocks, so that the
// kernel drops caches and pushes idle pages out to make room, then gives the blocks back.
//
// The pass never pushes the system below a floor: before each block it checks that
// MemAvailable stays at or above the floor (by default max(5 % of MemTotal, 512 MiB)) and,
// when the process runs in a memory-limited control group, that the group's headroom does
// too; in total it maps at most the memory available at the start minus the floor. The
// number of blocks asked for stays MemTotal / 10 MiB; a pass that stops early goes on with
// the release and ends normally.
//
// One purge runs at a time. Two threads work per purge: A starts B and waits for it, B
// allocates, releases and then polls up to 20 times (every 0.25 s) until MemAvailable is
// above its value at the start. Delegate callbacks and the completion arrive on the main
// thread through its event loop.
class PurgeManager {
public:
    static constexpr std::uint64_t kAllocationBlockSize = 10485760; // 10 MiB
    static constexpr int kFreeMemoryPolls = 20;
    static constexpr std::chrono::milliseconds kPollInterval{250};
    static constexpr std::chrono::milliseconds kReleaseDelay{1000};
    static constexpr std::chrono::milliseconds kAllocationFlagPollInterval{500};
    // Progress changes of this size or less are not reported (unless forced).
    static constexpr float kProgressStep = 0.01f;

    struct Options {
        BytePath meminfoPath = BytePath(MemoryStatistics::kDefaultPath);
        CgroupMemoryLimit::Sources cgroupSources = {};
        // The least memory left available; default max(5 % of MemTotal, 512 MiB).
        std::optional<std::uint64_t> floorBytes = std::nullopt;
        // The waits of the pass (after allocating, between polls). By default a wait that
        // cancel() cuts short.
        std::function<void(std::chrono::milliseconds)> pause = {};
    };

    // What the last purge did, for logs, tests and lurkelctl.
    struct Report {
        enum class Stop {
            Completed,            // every block asked for was mapped
            Budget,               // the total reached available-at-start minus the floor
            Floor,                // MemAvailable would have gone below the floor
            CgroupFloor,          // the control group's headroom would have
            StatisticsUnreadable, // the figures could not be read: nothing more was mapped
            MapFailed,            // mmap refused a block
            Cancelled,            // cancel() was called
        };
        std::uint32_t blocksRequested = 0;
        std::uint32_t blocksAllocated = 0;
        std::uint64_t floorBytes = 0;
        std::uint64_t budgetBytes = 0;
        int freeMemoryPolls = 0;
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

    static std::uint64_t defaultFloor(std::uint64_t memTotal);

private:
    struct Shared;

    void freeMemory();
    void allocatePurgeableData();
    void allocatePurgeableDataBlocksCountWithSize(std::uint32_t count, std::uint64_t size,
                                                  const CgroupMemoryLimit &cgroup, Report &report);
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
