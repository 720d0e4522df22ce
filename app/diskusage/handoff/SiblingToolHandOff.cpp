#include "SiblingToolHandOff.h"

#include "BXGoogleAnalytics.h"
#include "CopyApplicationsTask.h"
#include "DesktopEntryLauncher.h"
#include "Log.h"
#include "PromoManager.h"
#include "PromoSettings.h"
#include "RunningApplications.h"
#include "StartScanningInLaunchedAppManager.h"
#include "UrlOpener.h"

#include <array>

namespace lurkel {
namespace {

struct Tool {
    const char *bundleId;
    const char *buttonName;
    const char *downloadSlug;
    int event;
};

// Indexed by view type - 1.
constexpr std::array<Tool, 4> kTools{{
    {"com.brendix.Sorvel-PRO-SII", "Sorvel", "sorvel-pro", 1},
    {"com.brendix.Quenby-Lab-SII", "Quenby Lab", "quenby-lab", 3},
    {"com.brendix.Vantor-Scope-SII", "Hollin", "vantor-scope", 2},
    {"com.brendix.Pairly-Desk-SII", "Pairly", "pairly-free", 4},
}};

const Tool *toolOf(int viewType)
{
    if (viewType < 1 || viewType > static_cast<int>(kTools.size())) return nullptr;
    return &kTools.at(static_cast<std::size_t>(viewType - 1));
}

} // namespace

SiblingToolHandOff::SiblingToolHandOff(int viewType, UrlOpener &urlOpener)
    : m_viewType(viewType), m_urlOpener(urlOpener)
{}

QStringList SiblingToolHandOff::convertAdAppTypeToBundleIDs(int viewType)
{
    const Tool *tool = toolOf(viewType);
    return tool ? QStringList{QString::fromLatin1(tool->bundleId)} : QStringList{};
}

QString SiblingToolHandOff::buttonNameForType(int viewType)
{
    const Tool *tool = toolOf(viewType);
    return QString::fromLatin1(tool ? tool->buttonName : "Application");
}

QString SiblingToolHandOff::convertBundleIDtoAppName(const QString &bundleId)
{
    struct Product {
        std::initializer_list<const char *> ids;
        const char *name;
    };
    static const std::array<Product, 5> kProducts{{
        {{"com.brendix.Sorvel-PRO-SII"}, "Sorvel Pro"},
        {{"com.brendix.Ferrow-KitS", "com.brendix.Ferrow-KitSVarro", "com.brendix.Ferrow-Kit"}, "Ferrow Kit"},
        {{"com.brendix.Quenby-Lab-SII"}, "Quenby Lab Pro"},
        {{"com.brendix.Vantor-Scope-SII", "com.brendix.vantorscopesvarro", "com.brendix.vantorscope"}, "Vantor Scope"},
        {{"com.brendix.Pairly-Desk-SII", "com.brendix.Gemmet-PairsSVarro", "com.brendix.Gemmet-Pairs"}, "Gemmet Pairs"},
    }};
    for (const Product &product : kProducts) {
        for (const char *id : product.ids) {
            if (bundleId == QLatin1String(id)) return QString::fromLatin1(product.name);
        }
    }
    return QStringLiteral("Application");
}

std::optional<QString> SiblingToolHandOff::findRunningAppForBundleIDsWithSelectedBundleID(const QStringList &bundleIds,
                                                                                          QString *selectedBundleId)
{
    for (const QString &id : bundleIds) {
        if (!RunningApplications::isRunning(id)) continue;
        if (selectedBundleId) *selectedBundleId = id;
        return id;
    }
    return std::nullopt;
}

std::optional<BytePath> SiblingToolHandOff::findAppPathForBundleIDsWithSelectedBundleID(const QStringList &bundleIds,
                                                                                        QString *selectedBundleId)
{
    if (bundleIds.isEmpty()) return std::nullopt;
    for (const QString &id : bundleIds) {
        if (std::optional<BytePath> entry = DesktopEntryLauncher::find(id)) {
            if (selectedBundleId) *selectedBundleId = id;
            return entry;
        }
    }
    return CopyApplicationsTask::findAppPathForBundleIDsWithSelectedBundleID(bundleIds, selectedBundleId);
}

QString SiblingToolHandOff::getNotExistedDefaultBundleIDFromIDsForType(const QStringList &bundleIds, int viewType)
{
    if (bundleIds.isEmpty()) return {};
    return viewType == 2 ? bundleIds.last() : bundleIds.first();
}

QString SiblingToolHandOff::getWillOpenedAppNameIsExitedForType(bool *exists, int viewType)
{
    const QStringList ids = convertAdAppTypeToBundleIDs(viewType);
    QString selected;
    const bool found = findRunningAppForBundleIDsWithSelectedBundleID(ids, &selected).has_value() ||
                       findAppPathForBundleIDsWithSelectedBundleID(ids, &selected).has_value();
    if (exists) *exists = found;
    return convertBundleIDtoAppName(found ? selected : getNotExistedDefaultBundleIDFromIDsForType(ids, viewType));
}

QString SiblingToolHandOff::getAdvertisementURL(int viewType)
{
    const Tool *tool = toolOf(viewType);
    if (!tool) return {};
    return PromoSettings::webHost() +
           QStringLiteral("/%1/download-trial?utm_source=%2&utm_medium=from%20app%3")
               .arg(QLatin1String(tool->downloadSlug), PromoManager::utmSource(), QStringLiteral("&utm_campaign=site"));
}

int SiblingToolHandOff::eventWithType(int viewType)
{
    const Tool *tool = toolOf(viewType);
    return tool ? tool->event : 0;
}

void SiblingToolHandOff::getAppPressed()
{
    const QStringList ids = convertAdAppTypeToBundleIDs(m_viewType);
    if (ids.isEmpty()) return;
    if (const std::optional<QString> running = findRunningAppForBundleIDsWithSelectedBundleID(ids, nullptr)) {
        if (!RunningApplications::activate(*running))
            qCInfo(lcPromo, "%s did not answer its activation", qUtf8Printable(*running));
        return;
    }
    StartScanningInLaunchedAppManager::shared().prepareToAppLaunchingWithType(m_viewType);
    if (const std::optional<BytePath> entry = findAppPathForBundleIDsWithSelectedBundleID(ids, nullptr)) {
        if (!m_launch(*entry)) qCWarning(lcPromo, "could not start %s", qUtf8Printable(entry->displayString()));
        return;
    }
    const QString page = getAdvertisementURL(m_viewType);
    if (page.isEmpty()) return;
    if (const std::optional<BXGAEvent> event = bxGAEventFromRawValue(eventWithType(m_viewType)))
        BXGoogleAnalytics::shared().send(*event);
    m_urlOpener.openAddress(page);
}

bool SiblingToolHandOff::launchWithGio(const BytePath &entry)
{
    return DesktopEntryLauncher::launchEntry(entry);
}

} // namespace lurkel
