#include "LargeAndOldSearcher.h"

#include "DiskScanTypes.h"
#include "IdlePriority.h"
#include "Log.h"
#include "MainQueue.h"
#include "PromoSettings.h"

#include <set>

namespace lurkel {

LargeAndOldSearcher::LargeAndOldSearcher(DiskScanLocations locations, Clock &clock)
    : m_locations(std::move(locations)), m_clock(clock)
{}

std::vector<std::string> LargeAndOldSearcher::scopesFor(const DiskScanLocations &locations)
{
    std::vector<std::string> scopes{locations.home.bytes()};
    for (const BytePath &volume : locations.volumes)
        scopes.push_back(volume.bytes());
    return scopes;
}

void LargeAndOldSearcher::findLargeOldWithDelegate(std::weak_ptr<LargeAndOldSearcherDelegate> delegate)
{
    m_pDelegate = std::move(delegate);
    startSearchAction();
}

void LargeAndOldSearcher::startSearchAction()
{
    m_pMetadataQuery = std::make_unique<MetadataQuery>();
    MetadataQuery::Predicate predicate;
    predicate.sizeAbove = kSizeLimit;
    m_pMetadataQuery->setPredicate(predicate);
    m_pMetadataQuery->setSearchScopes(scopesFor(m_locations));
    m_pMetadataQuery->setSkipsHiddenNames(true);
    if (!m_pMetadataQuery->startQuery([this]() { endSearching(); })) endSearching();
}

QVariantList LargeAndOldSearcher::qualifyingFiles(const std::vector<MetadataItem> &items, std::int64_t now)
{
    QVariantList files;
    std::set<std::pair<std::uint64_t, std::uint64_t>> seen;
    const bool log = PromoSettings::IS_NEED_SHOW_CALCULATION_LOG();
    for (const MetadataItem &item : items) {
        if (now - item.lastUsed <= kUnusedSeconds) continue;
        if (!seen.insert({item.device, item.inode}).second) continue; // another link to a file counted
        QVariantMap entry;
        entry.insert(QLatin1StringView(DiskScanKeys::kPath), QByteArray::fromStdString(item.path));
        entry.insert(QLatin1StringView(DiskScanKeys::kSize), QVariant::fromValue(item.size));
        entry.insert(QLatin1StringView(DiskScanKeys::kLastUsed), QVariant::fromValue(item.lastUsed));
        files.append(entry);
        if (log)
            qCInfo(lcDiskUsage, "L: %s [%llu]", BytePath(item.path).displayString().toUtf8().constData(),
                   static_cast<unsigned long long>(item.size));
    }
    return files;
}

void LargeAndOldSearcher::endSearching()
{
    // the results move to a worker; what it finds goes to the delegate, if it is still there
    std::vector<MetadataItem> items = m_pMetadataQuery ? m_pMetadataQuery->results() : std::vector<MetadataItem>{};
    const std::int64_t now = m_clock.currentDateTime().toSecsSinceEpoch();
    IdlePriority::start([items = std::move(items), now, delegate = m_pDelegate]() {
        if (delegate.expired()) return;
        QVariantList files = qualifyingFiles(items, now);
        MainQueue::async([delegate, files = std::move(files)]() {
            if (const auto alive = delegate.lock()) alive->onSpotlightLargeOldSearcherDoneWithFiles(files);
        });
    });
}

} // namespace lurkel
