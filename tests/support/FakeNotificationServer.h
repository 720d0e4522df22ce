#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include <vector>

namespace lurkel::test {

// A desktop notification server (org.freedesktop.Notifications) on a connection of its own to
// the session bus; start PrivateBus first. It records what it is asked to show, numbers the
// notifications from 1, and sends the signals of a click or a closing when a test says so.
// The name is released when the object goes.
class FakeNotificationServer : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Shown {
        uint id = 0;
        QString appName, appIcon, summary, body;
        QStringList actions;
        QVariantMap hints;
        int expireTimeout = 0;
    };

    explicit FakeNotificationServer(const QStringList &capabilities = {QStringLiteral("actions"),
                                                                       QStringLiteral("body")});
    ~FakeNotificationServer() override;
    FakeNotificationServer(const FakeNotificationServer &) = delete;
    FakeNotificationServer &operator=(const FakeNotificationServer &) = delete;

    // Whether it owns the name.
    bool isServing() const { return m_serving; }
    // A server that takes every call and never answers.
    void setSilent(bool silent) { m_silent = silent; }

    const std::vector<Shown> &shown() const { return m_shown; }
    int capabilityQueries() const { return m_capabilityQueries; }

    // ActionInvoked(id, actionKey), as when the user clicks.
    void click(uint id, const QString &actionKey = QStringLiteral("default"));
    // NotificationClosed(id, reason); 2 is "dismissed by the user".
    void close(uint id, uint reason = 2);

public Q_SLOTS:
    QStringList GetCapabilities();
    uint Notify(const QString &appName, uint replacesId, const QString &appIcon, const QString &summary,
                const QString &body, const QStringList &actions, const QVariantMap &hints, int expireTimeout);
    void CloseNotification(uint id);
    QString GetServerInformation(QString &vendor, QString &version, QString &specVersion);

private:
    void sendSignal(const char *name, const QVariantList &arguments);

    QString m_connectionName;
    QDBusConnection m_bus;
    QStringList m_capabilities;
    std::vector<Shown> m_shown;
    uint m_lastId = 0;
    int m_capabilityQueries = 0;
    bool m_serving = false;
    bool m_silent = false;
};

} // namespace lurkel::test
