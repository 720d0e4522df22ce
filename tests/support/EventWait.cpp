#include "EventWait.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>

#include <algorithm>

namespace lurkel::test {

bool waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    // Wakes the last wait at the deadline. Re-armed before every wait with what is left:
    // a timer may fire a little early, and a wait with no timer left would never end.
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        wake.start(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())));
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

bool pollUntil(const std::function<bool()> &done, int timeoutMs)
{
    QTimer poll;
    poll.start(5);
    return waitUntil(done, timeoutMs);
}

void drainMainQueue()
{
    bool drained = false;
    QTimer::singleShot(0, [&drained] { drained = true; });
    waitUntil([&drained] { return drained; });
}

} // namespace lurkel::test
