#include "FakeStatusNotifierWatcher.h"

#include "DBusMenuExporter.h"

#include <QDBusMessage>

namespace lurkel::test {

FakeStatusNotifierWatcher::FakeStatusNotifierWatcher(const QString &busAddress)
    : m_connection(QDBusConnection::connectToBus(busAddress, QStringLiteral("fake-status-notifier-watcher")))
{
    m_connection.registerObject(QStringLiteral("/StatusNotifierWatcher"), this,
                                QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals |
                                    QDBusConnection::ExportAllProperties);
    m_connection.registerService(QStringLiteral("org.kde.StatusNotifierWatcher"));
}

FakeStatusNotifierWatcher::~FakeStatusNotifierWatcher()
{
    m_connection.unregisterService(QStringLiteral("org.kde.StatusNotifierWatcher"));
    m_connection.unregisterObject(QStringLiteral("/StatusNotifierWatcher"));
    QDBusConnection::disconnectFromBus(m_connection.name());
}

void FakeStatusNotifierWatcher::RegisterStatusNotifierItem(const QString &service)
{
    if (!m_items.contains(service)) m_items << service;
    Q_EMIT StatusNotifierItemRegistered(service);
}

void FakeStatusNotifierWatcher::RegisterStatusNotifierHost(const QString &) {}

QDBusMessage FakeStatusNotifierWatcher::callItem(const QString &path, const QString &interface, const QString &method,
                                                 const QVariantList &arguments) const
{
    QDBusMessage call = QDBusMessage::createMethodCall(m_items.value(0), path, interface, method);
    call.setArguments(arguments);
    // The item lives in this thread: the event loop runs while the host waits.
    return m_connection.call(call, QDBus::BlockWithGui);
}

QVariant FakeStatusNotifierWatcher::itemProperty(const QString &name) const
{
    const QDBusMessage reply =
        callItem(QStringLiteral("/StatusNotifierItem"), QStringLiteral("org.freedesktop.DBus.Properties"),
                 QStringLiteral("Get"), {QStringLiteral("org.kde.StatusNotifierItem"), name});
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return {};
    return reply.arguments().constFirst().value<QDBusVariant>().variant();
}

void FakeStatusNotifierWatcher::activate(QPoint point) const
{
    callItem(QStringLiteral("/StatusNotifierItem"), QStringLiteral("org.kde.StatusNotifierItem"),
             QStringLiteral("Activate"), {point.x(), point.y()});
}

namespace {

QList<DBusMenuExporter::LayoutItem> entriesOf(const QDBusMessage &layoutReply)
{
    QList<DBusMenuExporter::LayoutItem> entries;
    if (layoutReply.arguments().size() != 2) return entries;
    DBusMenuExporter::LayoutItem root;
    layoutReply.arguments().at(1).value<QDBusArgument>() >> root;
    for (const QDBusVariant &child : root.children) {
        DBusMenuExporter::LayoutItem entry;
        child.variant().value<QDBusArgument>() >> entry;
        entries << entry;
    }
    return entries;
}

} // namespace

QStringList FakeStatusNotifierWatcher::menuTitles() const
{
    const QString menu = itemProperty(QStringLiteral("Menu")).value<QDBusObjectPath>().path();
    const QString interface = QStringLiteral("com.canonical.dbusmenu");
    callItem(menu, interface, QStringLiteral("AboutToShow"), {0});
    QStringList titles;
    for (const DBusMenuExporter::LayoutItem &entry :
         entriesOf(callItem(menu, interface, QStringLiteral("GetLayout"), {0, -1, QStringList()}))) {
        if (entry.properties.value(QStringLiteral("visible"), true).toBool())
            titles << entry.properties.value(QStringLiteral("label")).toString();
    }
    return titles;
}

bool FakeStatusNotifierWatcher::chooseMenuEntry(const QString &title) const
{
    const QString menu = itemProperty(QStringLiteral("Menu")).value<QDBusObjectPath>().path();
    const QString interface = QStringLiteral("com.canonical.dbusmenu");
    callItem(menu, interface, QStringLiteral("AboutToShow"), {0});
    for (const DBusMenuExporter::LayoutItem &entry :
         entriesOf(callItem(menu, interface, QStringLiteral("GetLayout"), {0, -1, QStringList()}))) {
        if (entry.properties.value(QStringLiteral("label")).toString() != title) continue;
        callItem(menu, interface, QStringLiteral("Event"),
                 {entry.id, QStringLiteral("clicked"), QVariant::fromValue(QDBusVariant(0)), 0u});
        return true;
    }
    return false;
}

} // namespace lurkel::test
