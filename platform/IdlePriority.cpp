#include "IdlePriority.h"

#include "Log.h"

#include <QCoreApplication>
#include <QThreadPool>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace lurkel {

namespace {

// From linux/ioprio.h, which not every system installs.
constexpr int kIoprioWhoProcess = 1; // with 0 as the id: the calling thread
constexpr int kIoprioClassShift = 13;
constexpr int kIoprioClassIdle = 3;

// Kept for the whole process, its threads lowered; the application waits for its tasks when
// it ends, as it does for the global pool's.
QThreadPool *idlePool()
{
    static QThreadPool *const pool = [] {
        auto *made = new QThreadPool;
        made->setObjectName(QStringLiteral("idle-pool"));
        qAddPostRoutine([] { idlePool()->waitForDone(); });
        return made;
    }();
    return pool;
}

} // namespace

bool IdlePriority::lowerCurrentThread()
{
    thread_local bool tried = false;
    thread_local bool lowered = false;
    if (tried) return lowered;
    tried = true;
    sched_param param{};
    const char *idleCpu = std::getenv("LURKEL_TEST_IDLE_CPU");
    const bool keepCpu = idleCpu != nullptr && std::strcmp(idleCpu, "0") == 0;
    const bool cpu = keepCpu || ::sched_setscheduler(0, SCHED_IDLE, &param) == 0;
    const int cpuError = errno;
    const bool disk = ::syscall(SYS_ioprio_set, kIoprioWhoProcess, 0, kIoprioClassIdle << kIoprioClassShift) == 0;
    const int diskError = errno;
    lowered = cpu && disk;
    static std::atomic<bool> said{false};
    if (!lowered && !said.exchange(true))
        qCWarning(lcCore, "Background work runs without idle priority: %s", std::strerror(cpu ? diskError : cpuError));
    return lowered;
}

bool IdlePriority::isCurrentThreadIdle()
{
    return ::sched_getscheduler(0) == SCHED_IDLE && isCurrentThreadDiskIdle();
}

bool IdlePriority::isCurrentThreadDiskIdle()
{
    const long priority = ::syscall(SYS_ioprio_get, kIoprioWhoProcess, 0);
    return priority >= 0 && (priority >> kIoprioClassShift) == kIoprioClassIdle;
}

void IdlePriority::start(std::function<void()> task)
{
    idlePool()->start([task = std::move(task)]() {
        lowerCurrentThread();
        task();
    });
}

} // namespace lurkel
