#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <cstdint>
#include <deque>
#include <map>
#include <optional>

class QDBusPendingCallWatcher;
class QDBusServiceWatcher;

namespace lurkel {

// Desktop notifications through the notification server of the session
// (org.freedesktop.Notifications). A notification carries a user info map, kept by the id
// the server gave it until the user clicks it or it is closed; a click comes back as
// activated(). The server sends its ActionInvoked signal to every client, so clicks on ids
// this object did not post are ignored.
//
// Everything is asynchronous: post() never waits for the server. Without a server (no bus,
// no owner of the name, an error or no answer) the notification is dropped, the first
// failure logged, and postFailed() emitted. Main thread only.
class UserNotificationCenter : public QObject {
    Q_OBJECT
public:
    static inline constexpr const char kService[] = "org.freedesktop.Notifications";
    static inline constexpr const char kPath[] = "/org/freedesktop/Notifications";
    // The key of the action every notification offers: a click on its body.
    static inline constexpr const char kDefaultAction[] = "default";

    explicit UserNotificationCenter(QObject *parent = nullptr); // on the session bus
    explicit UserNotificationCenter(const QDBusConnection &bus, QObject *parent = nullptr);
    ~UserNotificationCenter() override;

    // Shows a notification with the application's name, icon and desktop entry, never
    // expiring by itself. It offers the actions "default" ("Open") and extraActions (pairs of
    // key and label, flat as the server takes them), unless the server cannot show actions:
    // then no click can come back.
    void post(const QString &title, const QString &body, const QVariantMap &userInfo = {},
              const QStringList &extraActions = {});

    // How many posted notifications still wait for a click or their closing.
    std::size_t waitingCount() const { return m_kept.size(); }
    // How long a call may wait for the server's answer.
    void setCallTimeout(int milliseconds) { m_callTimeoutMs = milliseconds; }

Q_SIGNALS:
    // A notification of ours was clicked (its body or any of its actions). userInfo is what
    // it was posted with; hadUserInfo is false when that was empty.
    void activated(const QVariantMap &userInfo, bool hadUserInfo);
    // The server answered a notification with its id: it is shown.
    void posted(uint id);
    // A notification could not be shown.
    void postFailed(const QString &reason);

private Q_SLOTS:
    void onActionInvoked(uint id, const QString &actionKey);
    void onNotificationClosed(uint id, uint reason);

private:
    struct Request {
        QString title;
        QString body;
        QVariantMap userInfo;
        QStringList extraActions;
    };

    void askCapabilities();
    void onCapabilities(QDBusPendingCallWatcher *watcher);
    void send(const Request &request);
    void fail(const QString &reason);
    void onServerChanged();

    QDBusConnection m_bus;
    QDBusServiceWatcher *m_serverWatcher = nullptr;
    std::optional<QStringList> m_capabilities;
    bool m_askingCapabilities = false;
    std::deque<Request> m_waitingForCapabilities;
    // By id; a server hands out increasing ids, so the oldest go first when too many wait.
    std::map<uint, QVariantMap> m_kept;
    bool m_loggedFailure = false;
    bool m_loggedNoActions = false;
    int m_callTimeoutMs = 10000;
};

} // namespace lurkel
