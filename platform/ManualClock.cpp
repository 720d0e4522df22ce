#include "ManualClock.h"

namespace lurkel {

ManualClock::ManualClock(QDateTime start) : m_start(std::move(start)) {}

std::int64_t ManualClock::nowMs() const
{
    std::lock_guard lock(m_mutex);
    return m_now;
}

QDateTime ManualClock::currentDateTime() const
{
    std::lock_guard lock(m_mutex);
    return m_start.addMSecs(m_now);
}

Clock::TimerId ManualClock::schedule(std::int64_t delayMs, std::function<void()> fn)
{
    std::lock_guard lock(m_mutex);
    const TimerId id = m_nextId++;
    m_timers.emplace(std::make_pair(m_now + std::max<std::int64_t>(delayMs, 0), id), std::move(fn));
    return id;
}

void ManualClock::cancel(TimerId id)
{
    std::lock_guard lock(m_mutex);
    for (auto it = m_timers.begin(); it != m_timers.end(); ++it) {
        if (it->first.second == id) {
            m_timers.erase(it);
            return;
        }
    }
}

void ManualClock::advance(std::int64_t ms)
{
    std::int64_t target = 0;
    {
        std::lock_guard lock(m_mutex);
        target = m_now + ms;
    }
    for (;;) {
        std::function<void()> fn;
        {
            std::lock_guard lock(m_mutex);
            auto it = m_timers.begin();
            if (it == m_timers.end() || it->first.first > target) {
                m_now = target;
                return;
            }
            m_now = it->first.first;
            fn = std::move(it->second);
            m_timers.erase(it);
        }
        fn(); // may schedule more timers, which run too when they fall due before target
    }
}

std::size_t ManualClock::pendingCount() const
{
    std::lock_guard lock(m_mutex);
    return m_timers.size();
}

} // namespace lurkel
