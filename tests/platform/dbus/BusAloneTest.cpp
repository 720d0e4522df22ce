#include "DistributedNotificationCenter.h"
#include "RunningApplications.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <cstdlib>

namespace lurkel {
namespace {

// No private bus here, and nothing that could start one: every call must fail quietly.
TEST(BusAloneTest, WithoutSessionBusEverythingIsRefused)
{
    ASSERT_EQ(std::getenv("DBUS_SESSION_BUS_ADDRESS"), nullptr);
    ::unsetenv("DISPLAY"); // no X11 autolaunch of a bus

    auto &center = DistributedNotificationCenter::defaultCenter();
    const QString name = QStringLiteral("N");
    EXPECT_FALSE(center.isConnected());
    EXPECT_FALSE(center.post(name, QStringLiteral("o"), {{QStringLiteral("k"), true}}));
    int calls = 0;
    const auto token = center.addObserver(name, std::nullopt, [&](const Notification &) { ++calls; });
    center.addObserver(name, QStringLiteral("o"), [&](const Notification &) { ++calls; });
    center.removeObserver(token);
    center.removeObserver(token);

    EXPECT_FALSE(RunningApplications::claim(name));
    EXPECT_FALSE(RunningApplications::isRunning(name));
    EXPECT_EQ(RunningApplications::pidOf(name), std::nullopt);
    EXPECT_FALSE(RunningApplications::activate(name));
    EXPECT_FALSE(RunningApplications::quit(name));
    RunningApplications::release(name);
    ApplicationBusObject object;
    EXPECT_FALSE(object.registerOnBus());
    QCoreApplication::processEvents();
    EXPECT_EQ(calls, 0);
}

} // namespace
} // namespace lurkel
