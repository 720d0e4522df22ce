#include "PurgeManager.h"

#include "Log.h"
#include "MainQueue.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <pthread.h>
#include <sys/mman.h>
#include <vector>

namespace lurkel {

struct PurgeManager::Shared {
    std::atomic<PurgeManagerDelegate *> delegate{nullptr};
    std::mutex mutex;
    bool running = false;
    std::function<void()> completion;
};

namespace {

#ifdef MADV_POPULATE_WRITE
constexpr int kPopulateWrite = MADV_POPULATE_WRITE;
#else
constexpr int kPopulateWrite = 23; // Linux 5.14
#endif

// Set once the kernel has said it does not know MADV_POPULATE_WRITE.
std::atomic<bool> populateUnsupported{false};

// Backs every page of a fresh block: in one call where the kernel can, else by writing one
// byte to each page. Returns 0 or the errno value of madvise.
int populate(void *block, std::uint64_t size, std::uint32_t pageSize)
{
    if (!populateUnsupported.load(std::memory_order_relaxed)) {
        if (::madvise(block, size, kPopulateWrite) == 0) return 0;
        if (errno != EINVAL) return errno;
        populateUnsupported.store(true, std::memory_order_relaxed);
    }
    auto *bytes = static_cast<volatile unsigned char *>(block);
    for (std::uint64_t offset = 0; offset < size; offset += pageSize)
        bytes[offset] = 1;
    return 0;
}

// True when taking size out of available leaves at least floor.
bool leavesFloor(std::uint64_t available, std::uint64_t size, std::uint64_t floor)
{
    return available >= size && available - size >= floor;
}

void nameThisThread(const char *name)
{
    ::pthread_setname_np(::pthread_self(), name);
}

} // namespace

PurgeManager &PurgeManager::GetInstance()
{
    static PurgeManager instance;
    return instance;
}

PurgeManager::PurgeManager() : PurgeManager(Options{}) {}

PurgeManager::PurgeManager(Options options)
    : m_shared(std::make_shared<Shared>()), m_options(std::move(options)), m_reader(m_options.meminfoPath),
      m_nMemoryPageSize(MemoryStatistics::pageSize())
{}

PurgeManager::~PurgeManager()
{
    cancel();
    if (m_thread.joinable()) m_thread.join();
    std::lock_guard lock(m_shared->mutex);
    m_shared->delegate.store(nullptr);
    m_shared->completion = nullptr;
}

void PurgeManager::setDelegate(PurgeManagerDelegate *delegate)
{
    m_shared->delegate.store(delegate);
}

PurgeManagerDelegate *PurgeManager::delegate() const
{
    return m_shared->delegate.load();
}

bool PurgeManager::purgeWithCompletion(std::function<void()> completion)
{
    {
        std::lock_guard lock(m_shared->mutex);
        if (m_shared->running) return false;
        m_shared->running = true;
        m_shared->completion = std::move(completion);
    }
    // The previous purge's thread A has posted its completion and is ending.
    if (m_thread.joinable()) m_thread.join();
    m_cancelRequested.store(false);
    m_startReadResult = updateSystemInfo();
    m_thread = std::thread([this] { freeMemory(); });
    return true;
}

bool PurgeManager::isPurging() const
{
    std::lock_guard lock(m_shared->mutex);
    return m_shared->running;
}

void PurgeManager::cancel()
{
    {
        std::lock_guard lock(m_waitMutex);
        m_cancelRequested.store(true);
    }
    m_wake.notify_all();
}

int PurgeManager::updateSystemInfo()
{
    return m_reader.read(m_dStatistics);
}

std::uint64_t PurgeManager::getFreeMemory() const
{
    return m_dStatistics.memAvailable;
}

std::uint32_t PurgeManager::getCountOfNeededAllocatedMemoryWithBlockSize(std::uint64_t size) const
{
    if (size == 0) return 0;
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(m_dStatistics.memTotal / size, UINT32_MAX));
}

PurgeManager::Report PurgeManager::lastReport() const
{
    std::lock_guard lock(m_reportMutex);
    return m_report;
}

void PurgeManager::pause(std::chrono::milliseconds duration)
{
    if (m_options.pause) {
        m_options.pause(duration);
        return;
    }
    std::unique_lock lock(m_waitMutex);
    m_wake.wait_for(lock, duration, [this] { return m_cancelRequested.load(); });
}

// Thread A: runs the allocation on thread B and hands the end to the main thread.
void PurgeManager::freeMemory()
{
    nameThisThread("lurkel-purge");
    m_bAllocationInProgress.store(true);
    std::thread allocation([this] { allocatePurgeableData(); });
    {
        std::unique_lock lock(m_waitMutex);
        while (m_bAllocationInProgress.load())
            m_wake.wait_for(lock, kAllocationFlagPollInterval, [this] { return !m_bAllocationInProgress.load(); });
    }
    allocation.join();

    MainQueue::async([shared = m_shared] {
        std::function<void()> completion;
        {
            std::lock_guard lock(shared->mutex);
            completion = shared->completion;
        }
        if (completion) completion();
        std::lock_guard lock(shared->mutex);
        shared->completion = nullptr;
        shared->running = false;
    });
}

// Thread B.
void PurgeManager::allocatePurgeableData()
{
    nameThisThread("lurkel-purge-b");
    notifyAboutProgressStart();

    Report report;
    report.memFreeAtStart = m_dStatistics.memFree;
    const CgroupMemoryLimit cgroup = CgroupMemoryLimit::discover(m_options.cgroupSources);
    std::optional<std::uint64_t> headroom;
    bool readable = m_startReadResult == 0;
    if (!readable) {
        logFailure(lcMemory, "updateSystemInfo", Error::posix(m_startReadResult, m_reader.path().displayString()));
    } else if (cgroup.isLimited()) {
        headroom = cgroup.headroom();
        readable = headroom.has_value();
    }

    if (!readable) {
        report.stop = Report::Stop::StatisticsUnreadable;
        qCWarning(lcMemory, "purge did nothing: the memory figures could not be read");
        notifyAboutProgress(0.0f, true);
        notifyAboutProgress(1.0f, true);
    } else {
        const std::optional<CgroupReclaim> group = CgroupReclaim::find(m_options.reclaimSources);
        PurgePlan::Figures figures;
        figures.meminfo = m_dStatistics;
        if (group) figures.reclaimInactiveFile = group->readInactiveFile();
        figures.cgroupHeadroom = headroom;
        figures.floorBytes = m_options.floorBytes;
        report.plan = PurgePlan::choose(figures, m_nAllocationBlockSize);
        switch (report.plan.method) {
        case PurgePlan::Method::Nothing:
            report.stop = Report::Stop::NothingToTake;
            notifyAboutProgress(0.0f, true);
            notifyAboutProgress(1.0f, true);
            break;
        case PurgePlan::Method::Reclaim:
            reclaimInGroup(*group, report);
            measureFreed(report, false);
            break;
        case PurgePlan::Method::Pressure: {
            const std::uint32_t count =
                std::min<std::uint32_t>(getCountOfNeededAllocatedMemoryWithBlockSize(m_nAllocationBlockSize),
                                        static_cast<std::uint32_t>(std::min<std::uint64_t>(
                                            report.plan.allocationBound / m_nAllocationBlockSize, UINT32_MAX)));
            allocatePurgeableDataBlocksCountWithSize(count, m_nAllocationBlockSize, cgroup, report);
            // Nothing was mapped, so there is nothing for the system to have reclaimed.
            if (report.blocksAllocated > 0) measureFreed(report, true);
            break;
        }
        }
    }
    {
        std::lock_guard lock(m_reportMutex);
        m_report = report;
    }

    notifyAboutProgressFinish();
    {
        std::lock_guard lock(m_waitMutex);
        m_bAllocationInProgress.store(false);
    }
    m_wake.notify_all();
}

void PurgeManager::measureFreed(Report &report, bool poll)
{
    const std::uint64_t before = report.memFreeAtStart;
    std::uint64_t after = 0;
    const int rounds = poll ? kFreeMemoryPolls : 1;
    for (int round = 1; round <= rounds; ++round) {
        ++report.freeMemoryPolls;
        if (updateSystemInfo() == 0) after = m_dStatistics.memFree;
        if (after > before || round == rounds || cancelled()) break;
        pause(kPollInterval);
    }
    report.freedBytes = after > before ? after - before : 0;
}

// The kernel reclaims while the write lasts; a part it cannot fully take ends the pass.
void PurgeManager::reclaimInGroup(const CgroupReclaim &group, Report &report)
{
    report.reclaimGroup = group.folder();
    const std::uint64_t total = report.plan.reclaimBytes;
    const std::uint64_t part = std::max((total + kReclaimParts - 1) / kReclaimParts, kReclaimMinimumPart);
    const BytePath file = group.reclaimFile();
    notifyAboutProgress(0.0f, true);
    while (report.reclaimWritten < total) {
        if (cancelled()) {
            report.stop = Report::Stop::Cancelled;
            break;
        }
        // Never more than the group still holds as inactive file cache.
        const std::optional<std::uint64_t> inactive = group.readInactiveFile();
        const std::uint64_t bytes = std::min({part, total - report.reclaimWritten, inactive.value_or(0)});
        if (bytes == 0) break;
        const int error =
            m_options.reclaimWriter ? m_options.reclaimWriter(file, bytes) : CgroupReclaim::writeReclaim(file, bytes);
        if (error != 0) {
            report.reclaimError = error;
            if (error == EAGAIN) {
                report.stop = Report::Stop::ReclaimShort;
            } else {
                report.stop = Report::Stop::ReclaimRefused;
                logFailure(lcMemory, "reclaimInGroup", Error::posix(error, file.displayString()));
            }
            break;
        }
        report.reclaimWritten += bytes;
        notifyAboutProgress(static_cast<float>(report.reclaimWritten) / static_cast<float>(total), false);
    }
    notifyAboutProgress(1.0f, true);
}

void PurgeManager::allocatePurgeableDataBlocksCountWithSize(std::uint32_t count, std::uint64_t size,
                                                            const CgroupMemoryLimit &cgroup, Report &report)
{
    report.blocksRequested = count;
    const std::uint64_t floor = report.plan.floorBytes;
    const std::uint64_t bound = report.plan.allocationBound;

    std::vector<void *> blocks;
    blocks.reserve(count);
    notifyAboutProgress(0.0f, true);
    std::uint64_t mapped = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        notifyAboutProgress(static_cast<float>(i) * 0.5f / static_cast<float>(count), false);
        if (cancelled()) {
            report.stop = Report::Stop::Cancelled;
            break;
        }
        if (bound - mapped < size) { // mapped never exceeds the bound
            report.stop = Report::Stop::Budget;
            break;
        }
        if (updateSystemInfo() != 0) {
            report.stop = Report::Stop::StatisticsUnreadable;
            break;
        }
        if (!leavesFloor(m_dStatistics.memAvailable, size, floor)) {
            report.stop = Report::Stop::Floor;
            break;
        }
        if (cgroup.isLimited()) {
            const std::optional<std::uint64_t> room = cgroup.headroom();
            if (!room) {
                report.stop = Report::Stop::StatisticsUnreadable;
                break;
            }
            if (!leavesFloor(*room, size, floor)) {
                report.stop = Report::Stop::CgroupFloor;
                break;
            }
        }
        void *block = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (block == MAP_FAILED) {
            logFailure(lcMemory, "allocatePurgeableDataBlocksCount", Error::posix(errno, QStringLiteral("mmap")));
            report.stop = Report::Stop::MapFailed;
            break;
        }
        // Backing every page for real is what makes the kernel give up cache.
        if (const int error = populate(block, size, m_nMemoryPageSize); error != 0) {
            ::munmap(block, size);
            logFailure(lcMemory, "allocatePurgeableDataBlocksCount", Error::posix(error, QStringLiteral("madvise")));
            report.stop = Report::Stop::MapFailed;
            break;
        }
        blocks.push_back(block);
        mapped += size;
    }
    report.blocksAllocated = static_cast<std::uint32_t>(blocks.size());
    // Reaching the floor or the bound is the usual end of a pass and not worth a line.
    if (report.stop == Report::Stop::StatisticsUnreadable)
        qCWarning(lcMemory, "purge stopped after %u of %u blocks: the memory figures could not be read",
                  report.blocksAllocated, count);

    notifyAboutProgress(0.5f, true);
    if (!blocks.empty() && !cancelled()) pause(kReleaseDelay);

    const std::size_t allocated = blocks.size();
    for (std::size_t released = 0; released < allocated; ++released) {
        notifyAboutProgress(static_cast<float>(released) * 0.5f / static_cast<float>(allocated) + 0.5f, false);
        ::munmap(blocks[released], size);
    }
    notifyAboutProgress(1.0f, true);
}

void PurgeManager::notifyAboutProgressStart()
{
    MainQueue::async([shared = m_shared] {
        if (PurgeManagerDelegate *delegate = shared->delegate.load()) delegate->onPurgeManagerStartPurge();
    });
}

void PurgeManager::notifyAboutProgress(float progress, bool forced)
{
    if (!forced && std::fabs(progress - m_lastProgress.load()) <= kProgressStep) return;
    m_lastProgress.store(progress);
    MainQueue::async([shared = m_shared, progress] {
        if (PurgeManagerDelegate *delegate = shared->delegate.load()) delegate->onPurgeManagerPurgingProgress(progress);
    });
}

void PurgeManager::notifyAboutProgressFinish()
{
    MainQueue::async([shared = m_shared] {
        if (PurgeManagerDelegate *delegate = shared->delegate.load()) delegate->onPurgeManagerEndPurge();
    });
}

} // namespace lurkel
