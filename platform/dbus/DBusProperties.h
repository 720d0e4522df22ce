#pragma once

#include <QVariantMap>

class QDBusConnection;
class QDBusMessage;

namespace lurkel {

// The org.freedesktop.DBus.Properties side of an object exported by hand (a
// QDBusVirtualObject): Get and GetAll answered from a map of the object's properties.
bool isPropertiesCall(const QDBusMessage &message);
// Answers Get (a known name) and GetAll; false for anything else, which the bus then
// answers with an error.
bool answerPropertiesCall(const QDBusMessage &message, const QDBusConnection &connection,
                          const QVariantMap &properties);

} // namespace lurkel
