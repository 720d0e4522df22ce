#include "StatusItemPositionWait.h"

namespace lurkel {

StatusItemPositionWait::StatusItemPositionWait(Clock &clock) : m_clock(clock) {}

StatusItemPositionWait::~StatusItemPositionWait()
{
    m_pending.cancel();
}

void StatusItemPositionWait::request(Source source, Ready ready)
{
    cancel();
    m_source = std::move(source);
    m_ready = std::move(ready);
    m_startMs = m_clock.nowMs();
    poll();
}

void StatusItemPositionWait::cancel()
{
    m_pending.cancel();
    m_source = nullptr;
    m_ready = nullptr;
}

void StatusItemPositionWait::poll()
{
    const StatusItemAnchor anchor = m_source ? m_source() : StatusItemAnchor{};
    if (anchor.hasPosition()) m_hostGivesNoPosition = false;
    const bool ranOut = m_clock.nowMs() - m_startMs >= kLimitMs;
    if (ranOut && !anchor.hasPosition()) m_hostGivesNoPosition = true;
    if (anchor.hasPosition() || anchor.clickPoint || m_hostGivesNoPosition || ranOut) {
        Ready ready = std::move(m_ready);
        m_source = nullptr;
        m_ready = nullptr;
        if (ready) ready(anchor);
        return;
    }
    m_pending = MainQueue::after(
        kStepMs, [this] { poll(); }, m_clock);
}

} // namespace lurkel
