#pragma once

#include <QDBusArgument>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QList>
#include <QPointer>
#include <QString>
#include <QVariantMap>

class QAction;
class QDBusConnection;
class QMenu;

namespace lurkel {

// A menu of ours exported on the session bus as com.canonical.dbusmenu, so that a
// StatusNotifierItem host draws it as the tray icon's menu. Flat: one item per action
// (separators included), numbered by their place in the menu from 1; 0 is the root.
// Choosing an item triggers its action; the host's AboutToShow emits the menu's
// aboutToShow (where our titles are set); any change of an action makes the host read the
// layout again (LayoutUpdated).
class DBusMenuExporter : public QDBusVirtualObject {
    Q_OBJECT

public:
    static inline constexpr const char kInterface[] = "com.canonical.dbusmenu";

    // One node of the layout: (ia{sv}av), the children being nodes in variants.
    struct LayoutItem {
        int id = 0;
        QVariantMap properties;
        QList<QDBusVariant> children;
    };
    // One item's properties, as GetGroupProperties gives them: (ia{sv}).
    struct ItemProperties {
        int id = 0;
        QVariantMap properties;
    };
    static void registerTypes();

    explicit DBusMenuExporter(QMenu *menu, QObject *parent = nullptr);
    ~DBusMenuExporter() override;

    // Exports the menu at path on connection; false when the path is taken.
    bool exportOn(const QDBusConnection &connection, const QString &path);
    void unexport();

    // The layout under the root, as GetLayout gives it.
    LayoutItem layout() const;
    uint revision() const { return m_revision; }

    // QDBusVirtualObject
    QString introspect(const QString &path) const override;
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override;

private:
    QAction *actionFor(int id) const;
    QVariantMap propertiesOf(int id) const;
    void watchActions();
    void layoutChanged();

    QPointer<QMenu> m_menu;
    QString m_path;
    QString m_connectionName;
    uint m_revision = 1;
    bool m_updatePending = false;
};

QDBusArgument &operator<<(QDBusArgument &argument, const DBusMenuExporter::LayoutItem &item);
const QDBusArgument &operator>>(const QDBusArgument &argument, DBusMenuExporter::LayoutItem &item);
QDBusArgument &operator<<(QDBusArgument &argument, const DBusMenuExporter::ItemProperties &item);
const QDBusArgument &operator>>(const QDBusArgument &argument, DBusMenuExporter::ItemProperties &item);

} // namespace lurkel

Q_DECLARE_METATYPE(lurkel::DBusMenuExporter::LayoutItem)
Q_DECLARE_METATYPE(lurkel::DBusMenuExporter::ItemProperties)
