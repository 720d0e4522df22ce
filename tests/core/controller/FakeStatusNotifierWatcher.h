#pragma once

#include <QDBusConnection>
#include <QDBusVariant>
#include <QObject>
#include <QPoint>
#include <QStringList>
#include <QVariant>

namespace lurkel::test {

// A StatusNotifierWatcher with its host, as a panel's tray runs them, on a connection of
// its own to the test's bus: it takes items in and, as a host, reads their properties,
// clicks them and uses their exported menu.
class FakeStatusNotifierWatcher : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ registeredItems)
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ isHostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)

public:
    explicit FakeStatusNotifierWatcher(const QString &busAddress);
    ~FakeStatusNotifierWatcher() override;

    QStringList registeredItems() const { return m_items; }
    bool isHostRegistered() const { return true; }
    int protocolVersion() const { return 0; }

    // The host's side, on the first registered item.
    QVariant itemProperty(const QString &name) const;
    void activate(QPoint point) const;
    // Opens the item's menu as a host does (AboutToShow, the layout) and chooses the entry
    // titled title; false when there is none.
    bool chooseMenuEntry(const QString &title) const;
    // The titles of the item's menu as the host reads them.
    QStringList menuTitles() const;

public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString &service);
    void RegisterStatusNotifierHost(const QString &service);

Q_SIGNALS:
    void StatusNotifierItemRegistered(const QString &service);

private:
    QDBusMessage callItem(const QString &path, const QString &interface, const QString &method,
                          const QVariantList &arguments) const;

    QDBusConnection m_connection;
    QStringList m_items;
};

} // namespace lurkel::test
