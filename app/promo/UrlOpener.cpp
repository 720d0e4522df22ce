#include "UrlOpener.h"

#include "Log.h"

namespace lurkel {

std::optional<QUrl> UrlOpener::parseAddress(const QString &address)
{
    const QUrl url(address, QUrl::StrictMode);
    if (!url.isValid() || url.isRelative()) return std::nullopt;
    return url;
}

bool UrlOpener::openAddress(const QString &address)
{
    const auto url = parseAddress(address);
    if (!url) {
        qCWarning(lcPromo, "not opening \"%s\": not a valid address", qUtf8Printable(address));
        return false;
    }
    return openUrl(*url);
}

} // namespace lurkel
