#pragma once

#include "Clock.h"

#include <map>
#include <mutex>
#include <utility>

namespace lurkel {

// A clock that moves only when told: advance() runs, in order, every timer that falls
// due, on the calling thread. For tests.
class ManualClock final : public Clock {
public:
    explicit ManualClock(QDateTime start = QDateTime(QDate(2026, 1, 15), QTime(12, 0), Qt::UTC));

    std::int64_t nowMs() const override;
    QDateTime currentDateTime() const override;
    TimerId schedule(std::int64_t delayMs, std::function<void()> fn) override;
    void cancel(TimerId id) override;

    void advance(std::int64_t ms);
    std::size_t pendingCount() const;

private:
    mutable std::mutex m_mutex;
    QDateTime m_start;
    std::int64_t m_now = 0;
    TimerId m_nextId = 1;
    std::map<std::pair<std::int64_t, TimerId>, std::function<void()>> m_timers;
};

} // namespace lurkel
