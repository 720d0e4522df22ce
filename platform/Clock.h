#pragma once

#include <QDateTime>

#include <cstdint>
#include <functional>

namespace lurkel {

// Time and timers behind one interface, so that code with timeouts and schedules is
// tested without waiting: tests install a ManualClock and advance it.
class Clock {
public:
    using TimerId = std::uint64_t;

    virtual ~Clock() = default;
    // Monotonic milliseconds.
    virtual std::int64_t nowMs() const = 0;
    // Wall-clock time.
    virtual QDateTime currentDateTime() const = 0;
    // Runs fn on the main thread once delayMs have passed; callable from any thread.
    virtual TimerId schedule(std::int64_t delayMs, std::function<void()> fn) = 0;
    // A cancelled timer never runs; cancelling a finished or unknown one does nothing.
    virtual void cancel(TimerId id) = 0;

    // The process's clock: the system clock unless a test installed another.
    static Clock &instance();
    // Installs a clock (nullptr restores the system clock). Not owned.
    static void setInstance(Clock *clock);
};

// Wall and monotonic time of the system; timers are QTimers on the main thread.
class SystemClock final : public Clock {
public:
    std::int64_t nowMs() const override;
    QDateTime currentDateTime() const override;
    TimerId schedule(std::int64_t delayMs, std::function<void()> fn) override;
    void cancel(TimerId id) override;
};

} // namespace lurkel
