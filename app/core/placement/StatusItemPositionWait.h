#pragma once

#include "Clock.h"
#include "MainQueue.h"
#include "StatusItemAnchor.h"

#include <cstdint>
#include <functional>

namespace lurkel {

// Waits, for a short while, for the tray icon to be given a place. Right after start an
// XEmbed tray takes a moment to take the icon in; a StatusNotifierItem host never tells
// where the icon is. So: ask again every kStepMs until the icon has a rectangle, but for
// kLimitMs at most, then go on with what there is (the placement falls back to the pointer
// or the screen's corner). Once a wait has run out without a rectangle the host is taken
// to be one that never tells, and later requests do not wait (until a rectangle shows up
// after all). A click never waits: its pointer position is as good as it gets.
class StatusItemPositionWait {
public:
    static constexpr std::int64_t kStepMs = 25;
    static constexpr std::int64_t kLimitMs = 1000;

    using Source = std::function<StatusItemAnchor()>;
    using Ready = std::function<void(const StatusItemAnchor &anchor)>;

    explicit StatusItemPositionWait(Clock &clock = Clock::instance());
    ~StatusItemPositionWait();
    StatusItemPositionWait(const StatusItemPositionWait &) = delete;
    StatusItemPositionWait &operator=(const StatusItemPositionWait &) = delete;

    // Calls ready with the anchor, at once when there is nothing to wait for, otherwise
    // from the clock. A request replaces one still waiting, whose ready is not called.
    void request(Source source, Ready ready);
    void cancel();
    bool isWaiting() const { return m_pending.isPending(); }
    bool hostGivesNoPosition() const { return m_hostGivesNoPosition; }

private:
    void poll();

    Clock &m_clock;
    Source m_source;
    Ready m_ready;
    std::int64_t m_startMs = 0;
    DelayedCall m_pending;
    bool m_hostGivesNoPosition = false;
};

} // namespace lurkel
