#include "StatusNotifierItem.h"

#include "DBusMenuExporter.h"
#include "DBusProperties.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QImage>
#include <QMenu>
#include <QtEndian>

#include <unistd.h>

namespace lurkel {
namespace {

void registerTypes()
{
    static const bool registered = [] {
        qDBusRegisterMetaType<StatusNotifierItem::Pixmap>();
        qDBusRegisterMetaType<QList<StatusNotifierItem::Pixmap>>();
        qDBusRegisterMetaType<StatusNotifierItem::ToolTip>();
        return true;
    }();
    (void)registered;
}

QList<StatusNotifierItem::Pixmap> pixmapsOf(const QIcon &icon)
{
    QList<StatusNotifierItem::Pixmap> pixmaps;
    if (icon.isNull()) return pixmaps;
    for (const int size : {16, 22, 24, 32, 48}) {
        const QImage image = icon.pixmap(size, size).toImage().convertToFormat(QImage::Format_ARGB32);
        if (image.isNull()) continue;
        StatusNotifierItem::Pixmap pixmap{image.width(), image.height(), {}};
        pixmap.argb.resize(static_cast<qsizetype>(image.width()) * image.height() * 4);
        auto *out = reinterpret_cast<quint32 *>(pixmap.argb.data());
        for (int y = 0; y < image.height(); ++y) {
            const auto *line = reinterpret_cast<const quint32 *>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x)
                *out++ = qToBigEndian(line[x]);
        }
        pixmaps.append(pixmap);
    }
    return pixmaps;
}

} // namespace

QDBusArgument &operator<<(QDBusArgument &argument, const StatusNotifierItem::Pixmap &pixmap)
{
    argument.beginStructure();
    argument << pixmap.width << pixmap.height << pixmap.argb;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, StatusNotifierItem::Pixmap &pixmap)
{
    argument.beginStructure();
    argument >> pixmap.width >> pixmap.height >> pixmap.argb;
    argument.endStructure();
    return argument;
}

QDBusArgument &operator<<(QDBusArgument &argument, const StatusNotifierItem::ToolTip &toolTip)
{
    argument.beginStructure();
    argument << toolTip.iconName << toolTip.pixmaps << toolTip.title << toolTip.text;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, StatusNotifierItem::ToolTip &toolTip)
{
    argument.beginStructure();
    argument >> toolTip.iconName >> toolTip.pixmaps >> toolTip.title >> toolTip.text;
    argument.endStructure();
    return argument;
}

bool StatusNotifierItem::watcherIsOnBus()
{
    QDBusConnectionInterface *bus = QDBusConnection::sessionBus().interface();
    return bus != nullptr && bus->isServiceRegistered(QString::fromLatin1(kWatcherService)).value();
}

StatusNotifierItem::StatusNotifierItem(const QString &id, QMenu *menu, QObject *parent)
    : QDBusVirtualObject(parent), m_id(id), m_menu(menu), m_menuExporter(std::make_unique<DBusMenuExporter>(menu))
{
    registerTypes();
}

StatusNotifierItem::~StatusNotifierItem()
{
    if (!m_exported) return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterObject(QString::fromLatin1(kItemPath));
    m_menuExporter->unexport();
    bus.unregisterService(m_serviceName);
}

bool StatusNotifierItem::start()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return false;
    if (!m_exported) {
        // The bus name hosts expect of an item: org.kde.StatusNotifierItem-PID-N.
        m_serviceName = QStringLiteral("org.kde.StatusNotifierItem-%1-1").arg(::getpid());
        if (!bus.registerService(m_serviceName)) m_serviceName = bus.baseService();
        if (!bus.registerVirtualObject(QString::fromLatin1(kItemPath), this, QDBusConnection::SingleNode)) return false;
        m_menuExporter->exportOn(bus, QString::fromLatin1(kMenuPath));
        m_exported = true;
        m_watcher = std::make_unique<QDBusServiceWatcher>(QString::fromLatin1(kWatcherService), bus,
                                                          QDBusServiceWatcher::WatchForRegistration |
                                                              QDBusServiceWatcher::WatchForUnregistration);
        connect(m_watcher.get(), &QDBusServiceWatcher::serviceRegistered, this, [this] { registerWithWatcher(); });
        connect(m_watcher.get(), &QDBusServiceWatcher::serviceUnregistered, this, [this] { m_registered = false; });
    }
    registerWithWatcher();
    return true;
}

void StatusNotifierItem::registerWithWatcher()
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        QString::fromLatin1(kWatcherService), QString::fromLatin1(kWatcherPath), QString::fromLatin1(kWatcherService),
        QStringLiteral("RegisterStatusNotifierItem"));
    call << m_serviceName;
    auto *pending = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *done) {
        done->deleteLater();
        if (done->isError()) return; // no watcher yet: the service watcher calls again
        m_registered = true;
        Q_EMIT registered();
    });
}

void StatusNotifierItem::setIcon(const QString &name, const QString &themePath, const QIcon &fallback)
{
    m_iconName = name;
    m_iconThemePath = themePath;
    m_pixmaps = pixmapsOf(fallback);
    emitSignal("NewIcon");
}

void StatusNotifierItem::setToolTip(const QString &title, const QString &text)
{
    if (title == m_toolTipTitle && text == m_toolTipText) return;
    m_toolTipTitle = title;
    m_toolTipText = text;
    emitSignal("NewToolTip");
}

void StatusNotifierItem::emitSignal(const char *name)
{
    if (!m_exported) return;
    QDBusConnection::sessionBus().send(QDBusMessage::createSignal(
        QString::fromLatin1(kItemPath), QString::fromLatin1(kInterface), QString::fromLatin1(name)));
}

QVariantMap StatusNotifierItem::properties() const
{
    const ToolTip toolTip{m_iconName, {}, m_toolTipTitle, m_toolTipText};
    return {
        {QStringLiteral("Category"), QStringLiteral("ApplicationStatus")},
        {QStringLiteral("Id"), m_id},
        {QStringLiteral("Title"), QCoreApplication::applicationName()},
        {QStringLiteral("Status"), QStringLiteral("Active")},
        {QStringLiteral("WindowId"), 0},
        {QStringLiteral("IconName"), m_iconName},
        {QStringLiteral("IconThemePath"), m_iconThemePath},
        {QStringLiteral("IconPixmap"), QVariant::fromValue(m_pixmaps)},
        {QStringLiteral("OverlayIconName"), QString()},
        {QStringLiteral("OverlayIconPixmap"), QVariant::fromValue(QList<Pixmap>())},
        {QStringLiteral("AttentionIconName"), QString()},
        {QStringLiteral("AttentionIconPixmap"), QVariant::fromValue(QList<Pixmap>())},
        {QStringLiteral("AttentionMovieName"), QString()},
        {QStringLiteral("ToolTip"), QVariant::fromValue(toolTip)},
        {QStringLiteral("ItemIsMenu"), false},
        {QStringLiteral("Menu"), QVariant::fromValue(QDBusObjectPath(QString::fromLatin1(kMenuPath)))},
    };
}

QString StatusNotifierItem::introspect(const QString &) const
{
    return QString::fromLatin1("<interface name=\"org.kde.StatusNotifierItem\">\n"
                               "<property name=\"Category\" type=\"s\" access=\"read\"/>\n"
                               "<property name=\"Id\" type=\"s\" access=\"read\"/>\n"
                               "<property name=\"Title\" type=\"s\" access=\"read\"/>\n"
                               "<property name=\"Status\" type=\"s\" access=\"read\"/>\n"
                               "<property name=\"WindowId\" type=\"i\" access=\"read\"/>\n"
                               "<property name=\"IconName\" type=\"s\" access=\"read\"/>\n"
                               "<property name=\"IconThemePath\" type=\"s\" access=\"read\"/>\n"
                               "<property name=\"IconPixmap\" type=\"a(iiay)\" access=\"read\"/>\n"
                               "<property name=\"OverlayIconName\" type=\"s\" access=\"read\"/>\n"
                               "<property name=\"OverlayIconPixmap\" type=\"a(iiay)\" access=\"read\"/>\n"
                               "<property name=\"AttentionIconName\" type=\"s\" access=\"read\"/>\n"
                               "<property name=\"AttentionIconPixmap\" type=\"a(iiay)\" access=\"read\"/>\n"
                               "<property name=\"AttentionMovieName\" type=\"s\" access=\"read\"/>\n"
                               "<property name=\"ToolTip\" type=\"(sa(iiay)ss)\" access=\"read\"/>\n"
                               "<property name=\"ItemIsMenu\" type=\"b\" access=\"read\"/>\n"
                               "<property name=\"Menu\" type=\"o\" access=\"read\"/>\n"
                               "<method name=\"ContextMenu\"><arg name=\"x\" type=\"i\" direction=\"in\"/>"
                               "<arg name=\"y\" type=\"i\" direction=\"in\"/></method>\n"
                               "<method name=\"Activate\"><arg name=\"x\" type=\"i\" direction=\"in\"/>"
                               "<arg name=\"y\" type=\"i\" direction=\"in\"/></method>\n"
                               "<method name=\"SecondaryActivate\"><arg name=\"x\" type=\"i\" direction=\"in\"/>"
                               "<arg name=\"y\" type=\"i\" direction=\"in\"/></method>\n"
                               "<method name=\"Scroll\"><arg name=\"delta\" type=\"i\" direction=\"in\"/>"
                               "<arg name=\"orientation\" type=\"s\" direction=\"in\"/></method>\n"
                               "<signal name=\"NewTitle\"/>\n"
                               "<signal name=\"NewIcon\"/>\n"
                               "<signal name=\"NewAttentionIcon\"/>\n"
                               "<signal name=\"NewOverlayIcon\"/>\n"
                               "<signal name=\"NewToolTip\"/>\n"
                               "<signal name=\"NewMenu\"/>\n"
                               "<signal name=\"NewStatus\"><arg name=\"status\" type=\"s\"/></signal>\n"
                               "</interface>\n");
}

bool StatusNotifierItem::handleMessage(const QDBusMessage &message, const QDBusConnection &connection)
{
    const QString member = message.member();
    const QVariantList args = message.arguments();
    if (isPropertiesCall(message)) return answerPropertiesCall(message, connection, properties());
    if (!message.interface().isEmpty() && message.interface() != QLatin1String(kInterface)) return false;
    const QPoint point = args.size() >= 2 ? QPoint(args.at(0).toInt(), args.at(1).toInt()) : QPoint();
    const bool known = member == QLatin1String("Activate") || member == QLatin1String("ContextMenu") ||
                       member == QLatin1String("SecondaryActivate") || member == QLatin1String("Scroll") ||
                       member == QLatin1String("ProvideXdgActivationToken");
    if (!known) return false;
    // The host hears back first: what the click opens may take a while.
    if (message.isReplyRequired()) connection.send(message.createReply());
    if (member == QLatin1String("Activate"))
        Q_EMIT activated(point);
    else if (member == QLatin1String("ContextMenu"))
        Q_EMIT contextMenuRequested(point);
    return true;
}

} // namespace lurkel
