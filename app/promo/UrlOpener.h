#pragma once

#include <QString>
#include <QUrl>

#include <optional>

namespace lurkel {

// Opens web addresses for the user. Windows get one by reference: the application passes
// DesktopUrlOpener (the desktop's browser), tests pass one that records.
class UrlOpener {
public:
    virtual ~UrlOpener() = default;

    // Hands the address on; false when nothing could take it.
    virtual bool openUrl(const QUrl &url) = 0;

    // Opens an address given as text. An address that does not parse as an absolute URL
    // is not opened (logged, false).
    bool openAddress(const QString &address);

    // The URL of an address text, or nullopt when it is not a valid absolute URL.
    static std::optional<QUrl> parseAddress(const QString &address);
};

} // namespace lurkel
