#include "DBusMenuExporter.h"
#include "DBusProperties.h"

#include <QAction>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QMenu>

namespace lurkel {
namespace {

// The title as dbusmenu spells it: "_" marks the access key, "__" is a plain underscore.
QString dbusLabel(const QString &text)
{
    QString label;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('_')) {
            label += QStringLiteral("__");
        } else if (c == QLatin1Char('&')) {
            if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('&')) {
                label += c;
                ++i;
            } else {
                label += QLatin1Char('_');
            }
        } else {
            label += c;
        }
    }
    return label;
}

QVariantMap menuProperties()
{
    return {{QStringLiteral("Version"), 3u},
            {QStringLiteral("TextDirection"), QStringLiteral("ltr")},
            {QStringLiteral("Status"), QStringLiteral("normal")},
            {QStringLiteral("IconThemePath"), QStringList()}};
}

} // namespace

QDBusArgument &operator<<(QDBusArgument &argument, const DBusMenuExporter::LayoutItem &item)
{
    argument.beginStructure();
    argument << item.id << item.properties;
    argument.beginArray(QMetaType::fromType<QDBusVariant>());
    for (const QDBusVariant &child : item.children)
        argument << child;
    argument.endArray();
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, DBusMenuExporter::LayoutItem &item)
{
    argument.beginStructure();
    argument >> item.id >> item.properties;
    argument.beginArray();
    item.children.clear();
    while (!argument.atEnd()) {
        QDBusVariant child;
        argument >> child;
        item.children.append(child);
    }
    argument.endArray();
    argument.endStructure();
    return argument;
}

QDBusArgument &operator<<(QDBusArgument &argument, const DBusMenuExporter::ItemProperties &item)
{
    argument.beginStructure();
    argument << item.id << item.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, DBusMenuExporter::ItemProperties &item)
{
    argument.beginStructure();
    argument >> item.id >> item.properties;
    argument.endStructure();
    return argument;
}

void DBusMenuExporter::registerTypes()
{
    static const bool registered = [] {
        qDBusRegisterMetaType<LayoutItem>();
        qDBusRegisterMetaType<QList<ItemProperties>>();
        qDBusRegisterMetaType<ItemProperties>();
        return true;
    }();
    (void)registered;
}

DBusMenuExporter::DBusMenuExporter(QMenu *menu, QObject *parent) : QDBusVirtualObject(parent), m_menu(menu)
{
    registerTypes();
    watchActions();
}

DBusMenuExporter::~DBusMenuExporter()
{
    unexport();
}

bool DBusMenuExporter::exportOn(const QDBusConnection &connection, const QString &path)
{
    unexport();
    QDBusConnection bus(connection);
    if (!bus.registerVirtualObject(path, this, QDBusConnection::SingleNode)) return false;
    m_path = path;
    m_connectionName = connection.name();
    return true;
}

void DBusMenuExporter::unexport()
{
    if (m_path.isEmpty()) return;
    QDBusConnection(m_connectionName).unregisterObject(m_path);
    m_path.clear();
}

void DBusMenuExporter::watchActions()
{
    if (!m_menu) return;
    for (QAction *action : m_menu->actions())
        connect(action, &QAction::changed, this, &DBusMenuExporter::layoutChanged);
}

void DBusMenuExporter::layoutChanged()
{
    // Many titles change at once before the menu shows: one update for all of them.
    if (m_updatePending) return;
    m_updatePending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_updatePending = false;
            ++m_revision;
            if (m_path.isEmpty()) return;
            QDBusMessage signal =
                QDBusMessage::createSignal(m_path, QString::fromLatin1(kInterface), QStringLiteral("LayoutUpdated"));
            signal << m_revision << 0;
            QDBusConnection(m_connectionName).send(signal);
        },
        Qt::QueuedConnection);
}

QAction *DBusMenuExporter::actionFor(int id) const
{
    if (!m_menu) return nullptr;
    const QList<QAction *> actions = m_menu->actions();
    if (id < 1 || id > actions.size()) return nullptr;
    return actions.at(id - 1);
}

QVariantMap DBusMenuExporter::propertiesOf(int id) const
{
    if (id == 0) return {{QStringLiteral("children-display"), QStringLiteral("submenu")}};
    const QAction *action = actionFor(id);
    if (action == nullptr) return {};
    if (action->isSeparator())
        return {{QStringLiteral("type"), QStringLiteral("separator")},
                {QStringLiteral("visible"), action->isVisible()}};
    return {{QStringLiteral("label"), dbusLabel(action->text())},
            {QStringLiteral("enabled"), action->isEnabled()},
            {QStringLiteral("visible"), action->isVisible()}};
}

DBusMenuExporter::LayoutItem DBusMenuExporter::layout() const
{
    LayoutItem root;
    root.properties = propertiesOf(0);
    const qsizetype count = m_menu ? m_menu->actions().size() : 0;
    for (int id = 1; id <= count; ++id) {
        LayoutItem child;
        child.id = id;
        child.properties = propertiesOf(id);
        root.children.append(QDBusVariant(QVariant::fromValue(child)));
    }
    return root;
}

QString DBusMenuExporter::introspect(const QString &) const
{
    return QString::fromLatin1(
        "<interface name=\"com.canonical.dbusmenu\">\n"
        "<property name=\"Version\" type=\"u\" access=\"read\"/>\n"
        "<property name=\"TextDirection\" type=\"s\" access=\"read\"/>\n"
        "<property name=\"Status\" type=\"s\" access=\"read\"/>\n"
        "<property name=\"IconThemePath\" type=\"as\" access=\"read\"/>\n"
        "<method name=\"GetLayout\"><arg type=\"i\" direction=\"in\"/><arg type=\"i\" direction=\"in\"/>"
        "<arg type=\"as\" direction=\"in\"/><arg type=\"u\" direction=\"out\"/>"
        "<arg type=\"(ia{sv}av)\" direction=\"out\"/></method>\n"
        "<method name=\"GetGroupProperties\"><arg type=\"ai\" direction=\"in\"/><arg type=\"as\" direction=\"in\"/>"
        "<arg type=\"a(ia{sv})\" direction=\"out\"/></method>\n"
        "<method name=\"GetProperty\"><arg type=\"i\" direction=\"in\"/><arg type=\"s\" direction=\"in\"/>"
        "<arg type=\"v\" direction=\"out\"/></method>\n"
        "<method name=\"Event\"><arg type=\"i\" direction=\"in\"/><arg type=\"s\" direction=\"in\"/>"
        "<arg type=\"v\" direction=\"in\"/><arg type=\"u\" direction=\"in\"/></method>\n"
        "<method name=\"EventGroup\"><arg type=\"a(isvu)\" direction=\"in\"/><arg type=\"ai\" direction=\"out\"/>"
        "</method>\n"
        "<method name=\"AboutToShow\"><arg type=\"i\" direction=\"in\"/><arg type=\"b\" direction=\"out\"/></method>\n"
        "<method name=\"AboutToShowGroup\"><arg type=\"ai\" direction=\"in\"/><arg type=\"ai\" direction=\"out\"/>"
        "<arg type=\"ai\" direction=\"out\"/></method>\n"
        "<signal name=\"ItemsPropertiesUpdated\"><arg type=\"a(ia{sv})\"/><arg type=\"a(ias)\"/></signal>\n"
        "<signal name=\"LayoutUpdated\"><arg type=\"u\"/><arg type=\"i\"/></signal>\n"
        "<signal name=\"ItemActivationRequested\"><arg type=\"i\"/><arg type=\"u\"/></signal>\n"
        "</interface>\n");
}

bool DBusMenuExporter::handleMessage(const QDBusMessage &message, const QDBusConnection &connection)
{
    const QString member = message.member();
    const QVariantList args = message.arguments();
    const auto reply = [&](const QVariantList &values) {
        connection.send(message.createReply(values));
        return true;
    };
    if (isPropertiesCall(message)) return answerPropertiesCall(message, connection, menuProperties());
    if (!message.interface().isEmpty() && message.interface() != QLatin1String(kInterface)) return false;

    if (member == QLatin1String("GetLayout") && args.size() == 3) {
        const int parent = args.at(0).toInt();
        LayoutItem item;
        if (parent == 0) {
            item = layout();
            if (args.at(1).toInt() == 0) item.children.clear();
        } else {
            item.id = parent;
            item.properties = propertiesOf(parent);
        }
        return reply({m_revision, QVariant::fromValue(item)});
    }
    if (member == QLatin1String("GetGroupProperties") && !args.isEmpty()) {
        const QList<int> ids = qdbus_cast<QList<int>>(args.at(0));
        QList<ItemProperties> items;
        const qsizetype count = m_menu ? m_menu->actions().size() : 0;
        for (int id = 0; id <= count; ++id) {
            if (ids.isEmpty() || ids.contains(id)) items.append({id, propertiesOf(id)});
        }
        return reply({QVariant::fromValue(items)});
    }
    if (member == QLatin1String("GetProperty") && args.size() == 2) {
        return reply(
            {QVariant::fromValue(QDBusVariant(propertiesOf(args.at(0).toInt()).value(args.at(1).toString())))});
    }
    if (member == QLatin1String("Event") && args.size() >= 2) {
        const int id = args.at(0).toInt();
        const QString event = args.at(1).toString();
        if (event == QLatin1String("clicked")) {
            // After the reply: the action may open windows or even end the application.
            QPointer<QAction> action = actionFor(id);
            QMetaObject::invokeMethod(
                this,
                [action] {
                    if (action && action->isEnabled() && !action->isSeparator()) action->trigger();
                },
                Qt::QueuedConnection);
        } else if (event == QLatin1String("opened") && id == 0 && m_menu) {
            Q_EMIT m_menu->aboutToShow();
        }
        if (message.isReplyRequired()) reply({});
        return true;
    }
    if (member == QLatin1String("EventGroup") && !args.isEmpty()) {
        const QDBusArgument events = args.at(0).value<QDBusArgument>();
        events.beginArray();
        while (!events.atEnd()) {
            int id = 0;
            QString event;
            QDBusVariant data;
            uint timestamp = 0;
            events.beginStructure();
            events >> id >> event >> data >> timestamp;
            events.endStructure();
            if (event == QLatin1String("clicked")) {
                QPointer<QAction> action = actionFor(id);
                QMetaObject::invokeMethod(
                    this,
                    [action] {
                        if (action && action->isEnabled() && !action->isSeparator()) action->trigger();
                    },
                    Qt::QueuedConnection);
            }
        }
        events.endArray();
        return reply({QVariant::fromValue(QList<int>())});
    }
    if (member == QLatin1String("AboutToShow") && !args.isEmpty()) {
        // The titles are set now; a change they bring is announced with LayoutUpdated.
        if (args.at(0).toInt() == 0 && m_menu) Q_EMIT m_menu->aboutToShow();
        return reply({m_updatePending});
    }
    if (member == QLatin1String("AboutToShowGroup") && !args.isEmpty()) {
        if (m_menu) Q_EMIT m_menu->aboutToShow();
        return reply({QVariant::fromValue(QList<int>()), QVariant::fromValue(QList<int>())});
    }
    return false;
}

} // namespace lurkel
