#include "DesktopUrlOpener.h"

#include "Log.h"

#include <QDesktopServices>

namespace lurkel {

DesktopUrlOpener &DesktopUrlOpener::shared()
{
    static DesktopUrlOpener opener;
    return opener;
}

bool DesktopUrlOpener::openUrl(const QUrl &url)
{
    if (QDesktopServices::openUrl(url)) return true;
    qCWarning(lcPromo, "the desktop could not open %s", qUtf8Printable(url.toDisplayString()));
    return false;
}

} // namespace lurkel
