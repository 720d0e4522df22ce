#include "MainQueue.h"
#include "ManualClock.h"
#include "NotificationCenter.h"

#include <QObject>

#include <gtest/gtest.h>

using namespace lurkel;

TEST(NotificationCenter, FiltersByNameAndObjectAndSurvivesRemovalWhilePosting)
{
    NotificationCenter center;
    QStringList seen;
    center.addObserver(QStringLiteral("A"), {}, [&](const Notification &n) { seen << n.name + n.object.toString(); });
    center.addObserver(QStringLiteral("A"), QStringLiteral("x"),
                       [&](const Notification &) { seen << QStringLiteral("Ax-only"); });
    center.addObserver({}, {}, [&](const Notification &n) { seen << QStringLiteral("any:") + n.name; });
    NotificationCenter::Token second = 0;
    center.addObserver(QStringLiteral("B"), {}, [&](const Notification &) {
        seen << QStringLiteral("B1");
        center.removeObserver(second); // removed before its turn: not called
    });
    second = center.addObserver(QStringLiteral("B"), {}, [&](const Notification &) { seen << QStringLiteral("B2"); });

    center.post(QStringLiteral("A"), QStringLiteral("y"));
    center.post(QStringLiteral("A"), QStringLiteral("x"), {{QStringLiteral("k"), 1}});
    center.post(QStringLiteral("B"));
    EXPECT_EQ(seen, (QStringList{QStringLiteral("Ay"), QStringLiteral("any:A"), QStringLiteral("Ax"),
                                 QStringLiteral("Ax-only"), QStringLiteral("any:A"), QStringLiteral("any:B"),
                                 QStringLiteral("B1")}));
    EXPECT_EQ(seen.count(QStringLiteral("B2")), 0);

    int calls = 0; // an observer goes with its context object
    {
        QObject context;
        center.addObserver(
            QStringLiteral("N"), {}, [&](const Notification &) { ++calls; }, &context);
        center.post(QStringLiteral("N"));
    }
    center.post(QStringLiteral("N"));
    EXPECT_EQ(calls, 1);
}

TEST(MainQueue, DelayedCallsRunInOrderOnTheClockAndCancelStopsThem)
{
    ManualClock clock;
    QStringList order;
    const auto note = [&order](const char *what) { return [&order, what]() { order << QLatin1String(what); }; };
    MainQueue::after(300, note("300"), clock);
    DelayedCall cancelled = MainQueue::after(100, note("cancelled"), clock);
    MainQueue::after(
        100,
        [&]() {
            note("100")();
            MainQueue::after(50, note("150"), clock);
        },
        clock); // scheduled from a timer
    EXPECT_TRUE(cancelled.isPending());
    cancelled.cancel();
    EXPECT_FALSE(cancelled.isPending());
    clock.advance(99);
    EXPECT_TRUE(order.isEmpty());
    clock.advance(201);
    EXPECT_EQ(order, (QStringList{QStringLiteral("100"), QStringLiteral("150"), QStringLiteral("300")}));
    EXPECT_EQ(clock.pendingCount(), 0u);
}
