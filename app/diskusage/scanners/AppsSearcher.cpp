#include "AppsSearcher.h"

#include "BundleExcludeList.h"
#include "DiskScanTypes.h"
#include "IdlePriority.h"
#include "InstalledApplications.h"
#include "Log.h"
#include "MainQueue.h"
#include "PromoSettings.h"

#include <QThreadPool>

#include <mutex>
#include <set>

namespace lurkel {

AppsSearcher::AppsSearcher(DiskScanLocations locations, DiskScanStop stop)
    : m_locations(std::move(locations)), m_stop(stop ? std::move(stop) : std::make_shared<std::atomic<bool>>(false))
{}

void AppsSearcher::findAppsWithDelegate(std::weak_ptr<AppsSearcherDelegate> delegate)
{
    m_pDelegate = std::move(delegate);
    startSearchAction();
}

void AppsSearcher::startSearchAction()
{
    m_pMetadataQuery = std::make_unique<MetadataQuery>();
    MetadataQuery::Predicate predicate;
    predicate.nameEndsWith = ".desktop";
    m_pMetadataQuery->setPredicate(predicate);
    std::vector<std::string> scopes;
    for (const BytePath &folder : m_locations.applicationFolders)
        scopes.push_back(folder.bytes());
    m_pMetadataQuery->setSearchScopes(scopes);
    m_pMetadataQuery->setSkipsHiddenNames(true);
    if (!m_pMetadataQuery->startQuery([this]() { endSearching(); })) endSearching();
}

QVariantList AppsSearcher::applicationsFor(const std::vector<MetadataItem> &desktopEntries,
                                           const DiskScanLocations &locations, const std::atomic<bool> *stop)
{
    const InstalledApplications installed(locations);
    const BundleExcludeList &system = BundleExcludeList::GetInstance();
    const bool log = PromoSettings::IS_NEED_SHOW_CALCULATION_LOG();
    QVariantList results;
    std::set<std::string> counted;
    std::vector<InstalledApplications::Install> toMeasure;
    for (const std::string &appImage :
         InstalledApplications::applicationsPathsArrayFromFolder(locations.userApplications.bytes(), 1)) {
        toMeasure.push_back(InstalledApplications::Install{appImage, appImage, false, std::nullopt, {}});
        counted.insert(appImage);
    }
    for (const MetadataItem &item : desktopEntries) {
        const std::string_view id = std::string_view(item.path).substr(item.path.rfind('/') + 1);
        if (system.isSystemBundleID(QString::fromUtf8(id.data(), static_cast<qsizetype>(id.size())))) continue;
        const std::optional<InstalledApplications::Install> install = installed.installFor(item.path);
        if (!install || !counted.insert(install->key).second) continue;
        if (install->reportedSize) {
            if (log)
                qCInfo(lcDiskUsage, "A: %s [%llu]", BytePath(install->path).displayString().toUtf8().constData(),
                       static_cast<unsigned long long>(*install->reportedSize));
            if (*install->reportedSize > 2000) {
                QVariantMap entry;
                entry.insert(QLatin1StringView(DiskScanKeys::kPath), QByteArray::fromStdString(install->path));
                entry.insert(QLatin1StringView(DiskScanKeys::kSize), QVariant::fromValue(*install->reportedSize));
                results.append(entry);
                continue;
            }
            qCInfo(lcDiskUsage, "Returned size is impossibly small.");
        }
        toMeasure.push_back(*install);
    }

    QThreadPool pool;
    pool.setMaxThreadCount(4);
    std::mutex mutex;
    for (const InstalledApplications::Install &install : toMeasure) {
        pool.start([&results, &mutex, install, stop]() {
            // A pool of this scan's own: its threads end with it.
            IdlePriority::lowerCurrentThread();
            if (stop != nullptr && stop->load()) return;
            const std::uint64_t size = InstalledApplications::measure(install, stop);
            QVariantMap entry;
            entry.insert(QLatin1StringView(DiskScanKeys::kPath), QByteArray::fromStdString(install.path));
            entry.insert(QLatin1StringView(DiskScanKeys::kSize), QVariant::fromValue(size));
            std::lock_guard lock(mutex);
            results.append(entry);
        });
    }
    pool.waitForDone();
    return results;
}

void AppsSearcher::endSearching()
{
    std::vector<MetadataItem> entries = m_pMetadataQuery ? m_pMetadataQuery->results() : std::vector<MetadataItem>{};
    IdlePriority::start(
        [entries = std::move(entries), locations = m_locations, delegate = m_pDelegate, stop = m_stop]() {
            QVariantList apps = applicationsFor(entries, locations, stop.get());
            if (delegate.expired() || stop->load()) return;
            MainQueue::async([delegate, apps = std::move(apps)]() {
                if (const auto alive = delegate.lock()) alive->onSpotlightAppsSearcherDoneWithApps(apps);
            });
        });
}

} // namespace lurkel
