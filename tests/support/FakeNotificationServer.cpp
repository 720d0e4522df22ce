#include "FakeNotificationServer.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>

namespace lurkel::test {
namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");

QString nextConnectionName()
{
    static int count = 0;
    return QStringLiteral("fake-notification-server-%1").arg(++count);
}

} // namespace

FakeNotificationServer::FakeNotificationServer(const QStringList &capabilities)
    : m_connectionName(nextConnectionName()),
      m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, m_connectionName)), m_capabilities(capabilities)
{
    m_serving = m_bus.isConnected() && m_bus.registerObject(kPath, this, QDBusConnection::ExportAllSlots) &&
                m_bus.registerService(kService);
}

FakeNotificationServer::~FakeNotificationServer()
{
    if (m_serving) m_bus.unregisterService(kService);
    m_bus.unregisterObject(kPath);
    QDBusConnection::disconnectFromBus(m_connectionName);
}

void FakeNotificationServer::click(uint id, const QString &actionKey)
{
    sendSignal("ActionInvoked", {id, actionKey});
}

void FakeNotificationServer::close(uint id, uint reason)
{
    sendSignal("NotificationClosed", {id, reason});
}

void FakeNotificationServer::sendSignal(const char *name, const QVariantList &arguments)
{
    QDBusMessage signal = QDBusMessage::createSignal(kPath, kService, QString::fromLatin1(name));
    signal.setArguments(arguments);
    m_bus.send(signal);
}

QStringList FakeNotificationServer::GetCapabilities()
{
    ++m_capabilityQueries;
    if (m_silent) setDelayedReply(true);
    return m_capabilities;
}

uint FakeNotificationServer::Notify(const QString &appName, uint /*replacesId*/, const QString &appIcon,
                                    const QString &summary, const QString &body, const QStringList &actions,
                                    const QVariantMap &hints, int expireTimeout)
{
    if (m_silent) setDelayedReply(true);
    m_shown.push_back({++m_lastId, appName, appIcon, summary, body, actions, hints, expireTimeout});
    return m_lastId;
}

void FakeNotificationServer::CloseNotification(uint id)
{
    close(id, 3);
}

QString FakeNotificationServer::GetServerInformation(QString &vendor, QString &version, QString &specVersion)
{
    vendor = QStringLiteral("Lurkel tests");
    version = QStringLiteral("1");
    specVersion = QStringLiteral("1.2");
    return QStringLiteral("fake");
}

} // namespace lurkel::test
