#include "UserNotificationCenter.h"

#include "Identity.h"
#include "Log.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QMetaObject>

namespace lurkel {
namespace {

constexpr const char kInterface[] = "org.freedesktop.Notifications";
// Notifications nobody clicked or closed (a server that never says so) are forgotten beyond this.
constexpr std::size_t kMostKept = 64;

QString service()
{
    return QString::fromLatin1(UserNotificationCenter::kService);
}

QDBusMessage methodCall(const char *method)
{
    return QDBusMessage::createMethodCall(service(), QString::fromLatin1(UserNotificationCenter::kPath),
                                          QString::fromLatin1(kInterface), QString::fromLatin1(method));
}

} // namespace

UserNotificationCenter::UserNotificationCenter(QObject *parent)
    : UserNotificationCenter(QDBusConnection::sessionBus(), parent)
{}

UserNotificationCenter::UserNotificationCenter(const QDBusConnection &bus, QObject *parent)
    : QObject(parent), m_bus(bus)
{
    if (!m_bus.isConnected()) return;
    // Matched on the name's owner: another client cannot fake a click.
    const QString path = QString::fromLatin1(kPath);
    const QString interface = QString::fromLatin1(kInterface);
    m_bus.connect(service(), path, interface, QStringLiteral("ActionInvoked"), this,
                  SLOT(onActionInvoked(uint, QString)));
    m_bus.connect(service(), path, interface, QStringLiteral("NotificationClosed"), this,
                  SLOT(onNotificationClosed(uint, uint)));
    // A new server numbers its notifications afresh and may offer other capabilities.
    m_serverWatcher = new QDBusServiceWatcher(service(), m_bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(m_serverWatcher, &QDBusServiceWatcher::serviceOwnerChanged, this, &UserNotificationCenter::onServerChanged);
}

UserNotificationCenter::~UserNotificationCenter()
{
    if (!m_bus.isConnected()) return;
    const QString path = QString::fromLatin1(kPath);
    const QString interface = QString::fromLatin1(kInterface);
    m_bus.disconnect(service(), path, interface, QStringLiteral("ActionInvoked"), this,
                     SLOT(onActionInvoked(uint, QString)));
    m_bus.disconnect(service(), path, interface, QStringLiteral("NotificationClosed"), this,
                     SLOT(onNotificationClosed(uint, uint)));
}

void UserNotificationCenter::post(const QString &title, const QString &body, const QVariantMap &userInfo,
                                  const QStringList &extraActions)
{
    Request request{title, body, userInfo, extraActions};
    if (!m_bus.isConnected()) {
        // Emitted later, as an answer of the server would be.
        QMetaObject::invokeMethod(
            this, [this] { fail(QStringLiteral("no session bus")); }, Qt::QueuedConnection);
        return;
    }
    if (m_capabilities) {
        send(request);
        return;
    }
    m_waitingForCapabilities.push_back(std::move(request));
    if (!m_askingCapabilities) askCapabilities();
}

void UserNotificationCenter::askCapabilities()
{
    m_askingCapabilities = true;
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(methodCall("GetCapabilities"), m_callTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, &UserNotificationCenter::onCapabilities);
}

void UserNotificationCenter::onCapabilities(QDBusPendingCallWatcher *watcher)
{
    watcher->deleteLater();
    m_askingCapabilities = false;
    const QDBusPendingReply<QStringList> reply = *watcher;
    std::deque<Request> waiting;
    waiting.swap(m_waitingForCapabilities);
    if (reply.isError()) {
        // Asked again with the next notification: a server may come up meanwhile.
        for (std::size_t i = 0; i < waiting.size(); ++i)
            fail(reply.error().message());
        return;
    }
    m_capabilities = reply.value();
    for (const Request &request : waiting)
        send(request);
}

void UserNotificationCenter::send(const Request &request)
{
    QStringList actions;
    if (m_capabilities->contains(QStringLiteral("actions"))) {
        actions << QString::fromLatin1(kDefaultAction) << tr("Open") << request.extraActions;
    } else if (!m_loggedNoActions) {
        m_loggedNoActions = true;
        qCDebug(lcPromo, "the notification server shows no actions: its notifications cannot be clicked");
    }
    const QString ownId = QString::fromLatin1(Identity::kBundleIdentifier);
    const QVariantMap hints{{QStringLiteral("desktop-entry"), ownId}};
    QDBusMessage call = methodCall("Notify");
    call.setArguments({QString::fromLatin1(Identity::kBundleDisplayName), 0U, ownId, request.title, request.body,
                       actions, hints, -1});
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, m_callTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, userInfo = request.userInfo](QDBusPendingCallWatcher *finished) {
                finished->deleteLater();
                const QDBusPendingReply<uint> reply = *finished;
                if (reply.isError()) {
                    fail(reply.error().message());
                    return;
                }
                const uint id = reply.value();
                m_kept[id] = userInfo;
                while (m_kept.size() > kMostKept)
                    m_kept.erase(m_kept.begin());
                Q_EMIT posted(id);
            });
}

void UserNotificationCenter::fail(const QString &reason)
{
    if (!m_loggedFailure) {
        m_loggedFailure = true;
        qCWarning(lcPromo, "no desktop notification server answers (%s): notifications are not shown",
                  qUtf8Printable(reason));
    }
    Q_EMIT postFailed(reason);
}

void UserNotificationCenter::onActionInvoked(uint id, const QString &actionKey)
{
    const auto it = m_kept.find(id);
    if (it == m_kept.end()) return;
    const QVariantMap userInfo = std::move(it->second);
    m_kept.erase(it);
    qCDebug(lcPromo, "notification %u clicked (%s)", id, qUtf8Printable(actionKey));
    Q_EMIT activated(userInfo, !userInfo.isEmpty());
}

void UserNotificationCenter::onNotificationClosed(uint id, uint /*reason*/)
{
    m_kept.erase(id);
}

void UserNotificationCenter::onServerChanged()
{
    m_kept.clear();
    m_capabilities.reset();
    m_loggedFailure = false;
    m_loggedNoActions = false;
}

} // namespace lurkel
