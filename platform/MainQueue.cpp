#include "MainQueue.h"

#include <QCoreApplication>
#include <QThread>

#include <atomic>

namespace lurkel {

struct DelayedCall::State {
    Clock *clock = nullptr;
    Clock::TimerId id = 0;
    std::atomic<bool> pending{true};
};

void DelayedCall::cancel()
{
    if (!m_state) return;
    if (m_state->pending.exchange(false)) m_state->clock->cancel(m_state->id);
}

bool DelayedCall::isPending() const
{
    return m_state && m_state->pending.load();
}

void MainQueue::async(std::function<void()> fn)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (app == nullptr) return;
    QMetaObject::invokeMethod(app, std::move(fn), Qt::QueuedConnection);
}

DelayedCall MainQueue::after(std::int64_t delayMs, std::function<void()> fn, Clock &clock)
{
    DelayedCall call;
    call.m_state = std::make_shared<DelayedCall::State>();
    call.m_state->clock = &clock;
    std::weak_ptr<DelayedCall::State> weak = call.m_state;
    auto state = call.m_state;
    state->id = clock.schedule(delayMs, [state, fn = std::move(fn)]() {
        if (state->pending.exchange(false)) fn();
    });
    return call;
}

bool MainQueue::isMainThread()
{
    QCoreApplication *app = QCoreApplication::instance();
    return app != nullptr && QThread::currentThread() == app->thread();
}

} // namespace lurkel
