#include "DBusProperties.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>

namespace lurkel {

bool isPropertiesCall(const QDBusMessage &message)
{
    return message.interface() == QLatin1String("org.freedesktop.DBus.Properties");
}

bool answerPropertiesCall(const QDBusMessage &message, const QDBusConnection &connection, const QVariantMap &properties)
{
    const QVariantList args = message.arguments();
    if (message.member() == QLatin1String("GetAll"))
        return connection.send(message.createReply(QVariantList{properties}));
    if (message.member() == QLatin1String("Get") && args.size() == 2 && properties.contains(args.at(1).toString())) {
        const QVariant value = properties.value(args.at(1).toString());
        return connection.send(message.createReply(QVariantList{QVariant::fromValue(QDBusVariant(value))}));
    }
    return false;
}

} // namespace lurkel
