#pragma once

#include "Interrupt.h"

#include <functional>
#include <memory>
#include <mutex>

namespace lurkel::cli {

// Ctrl-C calls its function on the interrupt watcher thread (or wherever the interrupt is
// raised); once the guard is gone the function is never called again.
class InterruptGuard {
public:
    explicit InterruptGuard(std::function<void()> fn) : m_state(std::make_shared<State>())
    {
        m_state->fn = std::move(fn);
        m_token = Interrupt::onInterrupt([state = m_state]() {
            std::lock_guard lock(state->mutex);
            if (state->fn) state->fn();
        });
    }
    ~InterruptGuard()
    {
        Interrupt::remove(m_token);
        std::lock_guard lock(m_state->mutex);
        m_state->fn = nullptr;
    }
    InterruptGuard(const InterruptGuard &) = delete;
    InterruptGuard &operator=(const InterruptGuard &) = delete;

private:
    struct State {
        std::mutex mutex;
        std::function<void()> fn;
    };
    std::shared_ptr<State> m_state;
    Interrupt::Token m_token = 0;
};

} // namespace lurkel::cli
