#pragma once

#include <QDBusArgument>
#include <QDBusVirtualObject>
#include <QIcon>
#include <QList>
#include <QPoint>
#include <QString>

#include <memory>

class QDBusServiceWatcher;
class QMenu;

namespace lurkel {

class DBusMenuExporter;

// The tray icon as a StatusNotifierItem of our own on the session bus (KDE Plasma, Xfce's
// status tray, GNOME's AppIndicator extension host these). Qt's own tray icon drops what
// the host tells about a click (Activate(x, y) carries where it was) and decides once, at
// start, between this protocol and the XEmbed tray; this item keeps the position, names
// its icon so that the host draws it in the panel's colours (with IconThemePath for icons
// that are not installed), exports the menu as com.canonical.dbusmenu, and registers again
// whenever a StatusNotifierWatcher comes up (a panel started after us, or restarted).
class StatusNotifierItem : public QDBusVirtualObject {
    Q_OBJECT

public:
    static inline constexpr const char kWatcherService[] = "org.kde.StatusNotifierWatcher";
    static inline constexpr const char kWatcherPath[] = "/StatusNotifierWatcher";
    static inline constexpr const char kInterface[] = "org.kde.StatusNotifierItem";
    static inline constexpr const char kItemPath[] = "/StatusNotifierItem";
    static inline constexpr const char kMenuPath[] = "/MenuBar";

    // One image of IconPixmap: (iiay), ARGB32 in network byte order.
    struct Pixmap {
        int width = 0;
        int height = 0;
        QByteArray argb;
    };
    // ToolTip: (sa(iiay)ss).
    struct ToolTip {
        QString iconName;
        QList<Pixmap> pixmaps;
        QString title;
        QString text;
    };

    // True when a watcher is on the session bus (a host may register with it).
    static bool watcherIsOnBus();

    StatusNotifierItem(const QString &id, QMenu *menu, QObject *parent = nullptr);
    ~StatusNotifierItem() override;

    // Exports the item and its menu on the session bus under a name of its own, and
    // registers with the watcher now and whenever one comes up. False without a bus.
    bool start();
    // Registered with a watcher that answered.
    bool isRegistered() const { return m_registered; }
    QString serviceName() const { return m_serviceName; }

    // The icon by name (looked up by the host, which draws a symbolic icon in the panel's
    // colours), themePath where the host looks first (empty: its themes only), and the
    // images for hosts that cannot find the name.
    void setIcon(const QString &name, const QString &themePath, const QIcon &fallback);
    void setToolTip(const QString &title, const QString &text);
    QString iconName() const { return m_iconName; }
    QString iconThemePath() const { return m_iconThemePath; }

    // QDBusVirtualObject
    QString introspect(const QString &path) const override;
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override;

Q_SIGNALS:
    // A left click, at (x, y) in screen coordinates as the host tells (hosts that do not
    // know send 0, 0).
    void activated(QPoint point);
    // A request for the menu at point, from hosts that do not draw the exported menu.
    void contextMenuRequested(QPoint point);
    // The watcher took the item in.
    void registered();

private:
    void registerWithWatcher();
    QVariantMap properties() const;
    void emitSignal(const char *name);

    QString m_id;
    QMenu *m_menu;
    std::unique_ptr<DBusMenuExporter> m_menuExporter;
    std::unique_ptr<QDBusServiceWatcher> m_watcher;
    QString m_serviceName;
    QString m_iconName;
    QString m_iconThemePath;
    QList<Pixmap> m_pixmaps;
    QString m_toolTipTitle;
    QString m_toolTipText;
    bool m_exported = false;
    bool m_registered = false;
};

QDBusArgument &operator<<(QDBusArgument &argument, const StatusNotifierItem::Pixmap &pixmap);
const QDBusArgument &operator>>(const QDBusArgument &argument, StatusNotifierItem::Pixmap &pixmap);
QDBusArgument &operator<<(QDBusArgument &argument, const StatusNotifierItem::ToolTip &toolTip);
const QDBusArgument &operator>>(const QDBusArgument &argument, StatusNotifierItem::ToolTip &toolTip);

} // namespace lurkel

Q_DECLARE_METATYPE(lurkel::StatusNotifierItem::Pixmap)
Q_DECLARE_METATYPE(lurkel::StatusNotifierItem::ToolTip)
