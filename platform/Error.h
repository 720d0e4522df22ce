#pragma once

#include <QString>
#include <QVariantMap>

namespace lurkel {

// An error as a value: a domain, a code and user info. The application's own
// errors use the bundle identifier as domain and code -1.
struct Error {
    QString domain;
    int code = 0;
    QVariantMap userInfo;

    static inline const QString kDescriptionKey = QStringLiteral("NSLocalizedDescription");

    // An error of the application's own domain with code -1.
    static Error app(const QString &description);
    // An error from a failed system call: domain "NSPOSIXErrorDomain", the errno value as code,
    // and "<what>: <strerror>" as description.
    static Error posix(int errnum, const QString &what);

    QString localizedDescription() const;
};

} // namespace lurkel
