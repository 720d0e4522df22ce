#include "PromoManager.h"

#include "Identity.h"
#include "PromoSettings.h"
#include "XdgDirs.h"

#include <QStringList>

namespace lurkel {

PromoManager::PromoManager()
{
    PromoSettings::LoadMemoryCleanerXData();
}

PromoManager &PromoManager::GetInstance()
{
    // A function-local static: created once even when several threads ask at the same time.
    static PromoManager instance;
    return instance;
}

QString PromoManager::getAppName()
{
    return QString::fromUtf8(Identity::kBundleName);
}

QString PromoManager::getAppVersion()
{
    return QString::fromUtf8(Identity::kShortVersion);
}

QString PromoManager::getAppBuildVersion()
{
    return QString::fromUtf8(Identity::kBuildVersion);
}

QString PromoManager::getAppReleaseVersionWithBuildNumber()
{
    return getAppReleaseVersionWithBuildNumber(getAppVersion(), getAppBuildVersion());
}

QString PromoManager::getAppReleaseVersionWithBuildNumber(const QString &version, const QString &build)
{
    if (!version.isEmpty() && !build.isEmpty() && version != build)
        return QStringLiteral("%1 (%2)").arg(version, build);
    return version;
}

QString PromoManager::buildAppVersionWithNumbersCount(int count)
{
    return buildAppVersionWithNumbersCount(count, getAppVersion());
}

QString PromoManager::buildAppVersionWithNumbersCount(int count, const QString &version)
{
    if (count < 1) return QString();
    const QStringList components = version.split(QLatin1Char('.'));
    return components.mid(0, count).join(QLatin1Char('.'));
}

QString PromoManager::buildAppVersionWith1Number()
{
    return buildAppVersionWithNumbersCount(1);
}

BytePath PromoManager::getApplicationSupportAppFolder()
{
    return XdgDirs::appDataDir();
}

QString PromoManager::utmSource()
{
    return QStringLiteral("Lurkel");
}

QString PromoManager::appendUtmSourceAndUtmFromAppTo(const QString &address)
{
    // Plain concatenation: the "%20" of the medium must not meet QString::arg().
    return address + QStringLiteral("?utm_source=") + utmSource() + QStringLiteral("&utm_medium=from%20app");
}

} // namespace lurkel
