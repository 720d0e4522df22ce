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

constexpr std::uint64_t kMinimumFloor = std::uint64_t{512} * 1024 * 1024;

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

std::uint64_t PurgeManager::defaultFloor(std::uint64_t memTotal)
{
    return std::max(memTotal / 20, kMinimumFloor);
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
    const MemoryStatistics::Record atStart = m_dStatistics;
    const std::uint64_t initialFree = getFreeMemory();
    report.floorBytes = m_options.floorBytes.value_or(defaultFloor(atStart.memTotal));
    const std::uint32_t count = getCountOfNeededAllocatedMemoryWithBlockSize(m_nAllocationBlockSize);
    const CgroupMemoryLimit cgroup = CgroupMemoryLimit::discover(m_options.cgroupSources);

    if (m_startReadResult != 0) {
        logFailure(lcMemory, "updateSystemInfo", Error::posix(m_startReadResult, m_reader.path().displayString()));
        report.stop = Report::Stop::StatisticsUnreadable;
        notifyAboutProgress(0.0f, true);
        notifyAboutProgress(1.0f, true);
    } else {
        allocatePurgeableDataBlocksCountWithSize(count, m_nAllocationBlockSize, cgroup, report);
    }

    // Nothing was mapped, so there is nothing for the system to have reclaimed.
    if (report.blocksAllocated > 0) {
        for (int round = 0; round < kFreeMemoryPolls && !cancelled(); ++round) {
            ++report.freeMemoryPolls;
            if (updateSystemInfo() == 0 && getFreeMemory() > initialFree) break;
            pause(kPollInterval);
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

void PurgeManager::allocatePurgeableDataBlocksCountWithSize(std::uint32_t count, std::uint64_t size,
                                                            const CgroupMemoryLimit &cgroup, Report &report)
{
    report.blocksRequested = count;
    const std::uint64_t floor = report.floorBytes;

    std::uint64_t available = m_dStatistics.memAvailable;
    bool readable = true;
    if (cgroup.isLimited()) {
        const std::optional<std::uint64_t> room = cgroup.headroom();
        if (room) available = std::min(available, *room);
        readable = room.has_value();
    }
    report.budgetBytes = readable && available > floor ? available - floor : 0;
    if (!readable) report.stop = Report::Stop::StatisticsUnreadable;

    std::vector<void *> blocks;
    blocks.reserve(std::min<std::uint64_t>(count, report.budgetBytes / size + 1));
    notifyAboutProgress(0.0f, true);
    std::uint64_t mapped = 0;
    for (std::uint32_t i = 0; readable && i < count; ++i) {
        notifyAboutProgress(static_cast<float>(i) * 0.5f / static_cast<float>(count), false);
        if (cancelled()) {
            report.stop = Report::Stop::Cancelled;
            break;
        }
        if (report.budgetBytes - mapped < size) { // mapped never exceeds the budget
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
        // Writing every byte makes the kernel back every page for real.
        std::memset(block, 0, size);
        blocks.push_back(block);
        mapped += size;
    }
    report.blocksAllocated = static_cast<std::uint32_t>(blocks.size());
    // Reaching the floor or the budget is the usual end of a pass and not worth a line.
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
