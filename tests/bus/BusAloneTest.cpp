#include "DistributedNotificationCenter.h"
#include "RunningApplications.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace lurkel {
namespace {

int g_busMessages = 0;
QtMessageHandler g_previousHandler = nullptr;

void countBusMessages(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (context.category != nullptr && std::strcmp(context.category, "lurkel.bus") == 0) ++g_busMessages;
    g_previousHandler(type, context, message);
}

// No private bus here, and nothing that could start one: every call must fail quietly.
TEST(BusAloneTest, WithoutSessionBusEverythingIsRefusedAndSaidOncePerPart)
{
    ASSERT_EQ(std::getenv("DBUS_SESSION_BUS_ADDRESS"), nullptr);
    ::unsetenv("DISPLAY"); // no X11 autolaunch of a bus
    g_previousHandler = qInstallMessageHandler(countBusMessages);

    auto &center = DistributedNotificationCenter::defaultCenter();
    const QString name = QStringLiteral("N");
    EXPECT_FALSE(center.isConnected());
    EXPECT_FALSE(center.post(name, QStringLiteral("o")));
    EXPECT_FALSE(center.post(name, QStringLiteral("o"), {{QStringLiteral("k"), true}}));
    int calls = 0;
    const auto token = center.addObserver(name, std::nullopt, [&](const Notification &) { ++calls; });
    center.addObserver(name, QStringLiteral("o"), [&](const Notification &) { ++calls; });
    center.removeObserver(token);
    center.removeObserver(token);
    EXPECT_EQ(g_busMessages, 1);

    EXPECT_FALSE(RunningApplications::claim(name));
    EXPECT_FALSE(RunningApplications::isRunning(name));
    EXPECT_EQ(RunningApplications::pidOf(name), std::nullopt);
    EXPECT_FALSE(RunningApplications::activate(name));
    EXPECT_FALSE(RunningApplications::quit(name));
    RunningApplications::release(name);
    ApplicationBusObject object;
    EXPECT_FALSE(object.registerOnBus());
    EXPECT_EQ(g_busMessages, 2);

    QCoreApplication::processEvents();
    EXPECT_EQ(calls, 0);
    qInstallMessageHandler(g_previousHandler);
}

} // namespace
} // namespace lurkel
