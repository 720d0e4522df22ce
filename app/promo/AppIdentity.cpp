#include "AppIdentity.h"

#include "Identity.h"
#include "XdgDirs.h"

#include <QStringList>

namespace lurkel {

QString AppIdentity::getAppName()
{
    return QString::fromUtf8(Identity::kBundleName);
}

QString AppIdentity::getAppVersion()
{
    return QString::fromUtf8(Identity::kShortVersion);
}

QString AppIdentity::getAppBuildVersion()
{
    return QString::fromUtf8(Identity::kBuildVersion);
}

QString AppIdentity::getAppReleaseVersionWithBuildNumber()
{
    return getAppReleaseVersionWithBuildNumber(getAppVersion(), getAppBuildVersion());
}

QString AppIdentity::getAppReleaseVersionWithBuildNumber(const QString &version, const QString &build)
{
    if (!version.isEmpty() && !build.isEmpty() && version != build)
        return QStringLiteral("%1 (%2)").arg(version, build);
    return version;
}

QString AppIdentity::buildAppVersionWithNumbersCount(int count)
{
    return buildAppVersionWithNumbersCount(count, getAppVersion());
}

QString AppIdentity::buildAppVersionWithNumbersCount(int count, const QString &version)
{
    if (count < 1) return QString();
    const QStringList components = version.split(QLatin1Char('.'));
    return components.mid(0, count).join(QLatin1Char('.'));
}

QString AppIdentity::buildAppVersionWith1Number()
{
    return buildAppVersionWithNumbersCount(1);
}

BytePath AppIdentity::getApplicationSupportAppFolder()
{
    return XdgDirs::appDataDir();
}

QString AppIdentity::utmSource()
{
    return QStringLiteral("Lurkel");
}

QString AppIdentity::appendUtmSourceAndUtmFromAppTo(const QString &address)
{
    // Plain concatenation: the "%20" of the medium must not meet QString::arg().
    return address + QStringLiteral("?utm_source=") + utmSource() + QStringLiteral("&utm_medium=from%20app");
}

BytePath AppIdentity::subfolderNameInApplicationSupport()
{
    return XdgDirs::appDataDir();
}

// ---- The pages.

} // namespace lurkel
