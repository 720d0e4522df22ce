#pragma once

#include "Clock.h"

#include <functional>
#include <memory>

namespace lurkel {

// A call delayed on the clock; cancel() before it runs stops it. Copies share the call.
class DelayedCall {
public:
    DelayedCall() = default;
    void cancel();
    bool isPending() const;

private:
    friend class MainQueue;
    struct State;
    std::shared_ptr<State> m_state;
};

// The main thread's queue: the Qt GUI thread and its event loop.
class MainQueue {
public:
    // Runs fn later on the main thread, after the current event is handled.
    static void async(std::function<void()> fn);
    // Runs fn on the main thread once delayMs have passed on the clock.
    static DelayedCall after(std::int64_t delayMs, std::function<void()> fn, Clock &clock = Clock::instance());
    static bool isMainThread();
};

} // namespace lurkel
