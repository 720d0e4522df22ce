#include "Error.h"

#include "Identity.h"

#include <cstring>

namespace lurkel {

Error Error::app(const QString &description)
{
    return Error{QString::fromLatin1(Identity::kBundleIdentifier), -1, {{kDescriptionKey, description}}};
}

Error Error::posix(int errnum, const QString &what)
{
    QString text = what + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errnum));
    return Error{QStringLiteral("NSPOSIXErrorDomain"), errnum, {{kDescriptionKey, text}}};
}

QString Error::localizedDescription() const
{
    const QString text = userInfo.value(kDescriptionKey).toString();
    if (!text.isEmpty()) return text;
    return QStringLiteral("The operation couldn't be completed. (%1 error %2.)").arg(domain).arg(code);
}

} // namespace lurkel
