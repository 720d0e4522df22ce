#include "Clock.h"

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <limits>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace lurkel {
namespace {

std::atomic<Clock *> g_installed{nullptr};

struct TimerTable {
    std::mutex mutex;
    std::unordered_map<Clock::TimerId, std::shared_ptr<std::atomic<bool>>> cancelled;
    Clock::TimerId next = 1;
};

TimerTable &timerTable()
{
    static TimerTable table;
    return table;
}

} // namespace

Clock &Clock::instance()
{
    static SystemClock system;
    Clock *installed = g_installed.load();
    return installed ? *installed : system;
}

void Clock::setInstance(Clock *clock)
{
    g_installed.store(clock);
}

std::int64_t SystemClock::nowMs() const
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

QDateTime SystemClock::currentDateTime() const
{
    return QDateTime::currentDateTime();
}

Clock::TimerId SystemClock::schedule(std::int64_t delayMs, std::function<void()> fn)
{
    auto flag = std::make_shared<std::atomic<bool>>(false);
    TimerTable &table = timerTable();
    TimerId id = 0;
    {
        std::lock_guard lock(table.mutex);
        id = table.next++;
        table.cancelled.emplace(id, flag);
    }
    QCoreApplication *app = QCoreApplication::instance();
    if (app == nullptr) return id; // no event loop: nothing can ever run it
    const int delay = static_cast<int>(std::clamp<std::int64_t>(delayMs, 0, std::numeric_limits<int>::max()));
    // The timer must live on the main thread; hop there first when called from elsewhere.
    QMetaObject::invokeMethod(
        app,
        [app, delay, id, flag, fn = std::move(fn)]() mutable {
            QTimer::singleShot(delay, app, [id, flag, fn = std::move(fn)]() {
                {
                    TimerTable &t = timerTable();
                    std::lock_guard lock(t.mutex);
                    t.cancelled.erase(id);
                }
                if (!flag->load()) fn();
            });
        },
        Qt::AutoConnection);
    return id;
}

void SystemClock::cancel(TimerId id)
{
    TimerTable &table = timerTable();
    std::lock_guard lock(table.mutex);
    if (auto it = table.cancelled.find(id); it != table.cancelled.end()) {
        it->second->store(true);
        table.cancelled.erase(it);
    }
}

} // namespace lurkel
