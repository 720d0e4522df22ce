#include "SearcherManager.h"

#include "AppsSearcher.h"
#include "CacheAndDownloadsSearcher.h"
#include "DiskScanTypes.h"
#include "DuplicatesSearcher.h"
#include "LargeAndOldSearcher.h"
#include "SettingsKeys.h"
#include "UserDefaults.h"

#include <algorithm>

namespace lurkel {

std::shared_ptr<SearcherManager> SearcherManager::sharedManager()
{
    static const std::shared_ptr<SearcherManager> instance = create(UserDefaults::standardUserDefaults());
    return instance;
}

std::shared_ptr<SearcherManager> SearcherManager::create(UserDefaults &defaults, Clock &clock,
                                                         LocationsProvider locations)
{
    return std::make_shared<SearcherManager>(defaults, clock, std::move(locations));
}

SearcherManager::SearcherManager(UserDefaults &defaults, Clock &clock, LocationsProvider locations)
    : m_clock(clock), m_locations(std::move(locations))
{
    const QString key = SettingsKeys::kRescanDiskJunkTime;
    if (defaults.isNumber(key)) m_nRescanTime = static_cast<float>(defaults.doubleForKey(key));
}

SearcherManager::~SearcherManager()
{
    m_restart.cancel();
}

void SearcherManager::stopAllScans()
{
    m_stop->store(true);
    m_stop = std::make_shared<std::atomic<bool>>(false);
    m_restart.cancel();
    m_runningType.reset();
    m_waiting.clear();
    m_appSearcher.reset();
    m_largeOldSearcher.reset();
    m_cacheAndDownloadsSearcher.reset();
    m_duplicatesSearcher.reset();
}

void SearcherManager::startSearchWithDelegate(std::weak_ptr<SpotlightManagerDelegate> delegate, bool forced)
{
    m_pDelegate = std::move(delegate);
    startSearchForced(forced);
}

void SearcherManager::startSearchForced(bool forced)
{
    if (forced) {
        m_dicts = {};
        m_lastScanDates = {};
    }
    const QDateTime now = m_clock.currentDateTime();
    for (int type = kScanTypeJunk; type <= kScanTypeDuplicates; ++type) {
        const auto index = static_cast<std::size_t>(type);
        const bool stale =
            !m_lastScanDates[index] ||
            static_cast<double>(m_lastScanDates[index]->msecsTo(now)) / 1000.0 > static_cast<double>(m_nRescanTime);
        if (stale) {
            startSearchForType(type);
        } else if (m_dicts[index]) {
            notifyDelegatAboutInfo(*m_dicts[index], type);
        }
    }
    m_restart.cancel();
    const std::weak_ptr<SearcherManager> self = weak_from_this();
    m_restart = MainQueue::after(
        static_cast<std::int64_t>(static_cast<double>(m_nRescanTime) * 1000.0),
        [self]() {
            if (const auto alive = self.lock()) alive->restartGentlyAfterDay();
        },
        m_clock);
}

void SearcherManager::restartGentlyAfterDay()
{
    startSearchForced(true);
}

void SearcherManager::startSearchForType(int type)
{
    if (type < kScanTypeJunk || type > kScanTypeDuplicates) return;
    const auto index = static_cast<std::size_t>(type);
    // One scan at a time: another type waits until the running one has reported. Its date is
    // set meanwhile, so that an unforced start neither starts it again nor reports it.
    if (m_runningType && *m_runningType != type) {
        m_lastScanDates[index] = m_clock.currentDateTime();
        if (std::find(m_waiting.begin(), m_waiting.end(), type) == m_waiting.end()) m_waiting.push_back(type);
        return;
    }
    std::erase(m_waiting, type);
    m_runningType = type;
    const std::shared_ptr<SearcherManager> self = shared_from_this();
    switch (type) {
    case kScanTypeJunk: {
        m_cacheAndDownloadsSearcher = std::make_unique<CacheAndDownloadsSearcher>(m_locations(), m_clock, m_stop);
        m_lastScanDates[index] = m_clock.currentDateTime();
        const std::weak_ptr<SearcherManager> weak = self;
        MainQueue::async([weak]() {
            const auto alive = weak.lock();
            if (alive && alive->m_cacheAndDownloadsSearcher)
                alive->m_cacheAndDownloadsSearcher->findCacheAndDownloadsWithDelegate(
                    std::weak_ptr<CacheAndDownloadsSearcherDelegate>(alive));
        });
        return;
    }
    case kScanTypeApplications:
        m_appSearcher = std::make_unique<AppsSearcher>(m_locations(), m_stop);
        m_appSearcher->findAppsWithDelegate(std::weak_ptr<AppsSearcherDelegate>(self));
        break;
    case kScanTypeLargeAndOld:
        m_largeOldSearcher = std::make_unique<LargeAndOldSearcher>(m_locations(), m_clock);
        m_largeOldSearcher->findLargeOldWithDelegate(std::weak_ptr<LargeAndOldSearcherDelegate>(self));
        break;
    default:
        m_duplicatesSearcher = std::make_unique<DuplicatesSearcher>(m_locations(), m_stop);
        m_duplicatesSearcher->findDuplicatesWithDelegate(std::weak_ptr<DuplicatesSearcherDelegate>(self));
        break;
    }
    m_lastScanDates[index] = m_clock.currentDateTime();
}

void SearcherManager::notifyDelegatAboutInfo(const QVariantMap &dict, int type)
{
    const auto delegate = m_pDelegate.lock();
    if (!delegate) return;
    switch (type) {
    case kScanTypeJunk: {
        JunkFilesViewInfo info;
        info.cachesSize = diskScanNumber(dict, DiskScanKeys::kCachesSize);
        info.downloadsSize = diskScanNumber(dict, DiskScanKeys::kDownloadsSize);
        info.trashSize = diskScanNumber(dict, DiskScanKeys::kTrashSize);
        delegate->onSpotlightManagerFoundJunkFilesInfo(info);
        break;
    }
    case kScanTypeApplications:
        delegate->onSpotlightManagerFoundApplicationsInfo(ApplicationsUnusedViewInfo{
            diskScanNumber(dict, DiskScanKeys::kSize), diskScanNumber(dict, DiskScanKeys::kCount)});
        break;
    case kScanTypeLargeAndOld:
        delegate->onSpotlightManagerFoundLargetAndOldFilesInfo(LargeAndOldFilesViewInfo{
            diskScanNumber(dict, DiskScanKeys::kSize), diskScanNumber(dict, DiskScanKeys::kCount)});
        break;
    case kScanTypeDuplicates:
        delegate->onSpotlightManagerFoundDuplicatesInfo(DuplicateFilesViewInfo{
            diskScanNumber(dict, DiskScanKeys::kSize), diskScanNumber(dict, DiskScanKeys::kCount)});
        break;
    default:
        break;
    }
}

std::uint64_t SearcherManager::getTotalCalculatedSize() const
{
    for (const auto &dict : m_dicts)
        if (!dict) return 0;
    const QVariantMap &junk = *m_dicts[kScanTypeJunk];
    return diskScanNumber(junk, DiskScanKeys::kCachesSize) + diskScanNumber(junk, DiskScanKeys::kDownloadsSize) +
           diskScanNumber(junk, DiskScanKeys::kTrashSize) +
           diskScanNumber(*m_dicts[kScanTypeDuplicates], DiskScanKeys::kSize) +
           diskScanNumber(*m_dicts[kScanTypeLargeAndOld], DiskScanKeys::kSize) +
           diskScanNumber(*m_dicts[kScanTypeApplications], DiskScanKeys::kSize);
}

void SearcherManager::scanEnded(int type)
{
    if (m_runningType != type) return; // a replaced scan's late report
    m_runningType.reset();
    if (m_waiting.empty()) return;
    const int next = m_waiting.front();
    m_waiting.pop_front();
    startSearchForType(next);
}

std::vector<int> SearcherManager::waitingScanTypes() const
{
    return {m_waiting.begin(), m_waiting.end()};
}

std::optional<QVariantMap> SearcherManager::resultForType(int type) const
{
    if (type < kScanTypeJunk || type > kScanTypeDuplicates) return std::nullopt;
    return m_dicts[static_cast<std::size_t>(type)];
}

QVariantMap SearcherManager::summaryOf(const QVariantList &entries)
{
    std::uint64_t size = 0;
    for (const QVariant &entry : entries)
        size += diskScanNumber(entry.toMap(), DiskScanKeys::kSize);
    QVariantMap dict;
    dict.insert(QLatin1StringView(DiskScanKeys::kCount),
                QVariant::fromValue(static_cast<std::uint64_t>(entries.size())));
    dict.insert(QLatin1StringView(DiskScanKeys::kSize), QVariant::fromValue(size));
    dict.insert(QLatin1StringView(DiskScanKeys::kFiles), entries);
    return dict;
}

void SearcherManager::onCacheAndDownloadsSearcherDoneWithDict(const QVariantMap &dict)
{
    m_dicts[kScanTypeJunk] = dict;
    notifyDelegatAboutInfo(dict, kScanTypeJunk);
    scanEnded(kScanTypeJunk);
}

void SearcherManager::onSpotlightAppsSearcherDoneWithApps(const QVariantList &apps)
{
    const QVariantMap dict = summaryOf(apps);
    m_dicts[kScanTypeApplications] = dict;
    notifyDelegatAboutInfo(dict, kScanTypeApplications);
    scanEnded(kScanTypeApplications);
}

void SearcherManager::onSpotlightLargeOldSearcherDoneWithFiles(const QVariantList &files)
{
    if (!m_pDelegate.expired()) {
        const QVariantMap dict = summaryOf(files);
        m_dicts[kScanTypeLargeAndOld] = dict;
        notifyDelegatAboutInfo(dict, kScanTypeLargeAndOld);
    }
    scanEnded(kScanTypeLargeAndOld);
}

void SearcherManager::onDuplicatesSearcherDoneWithDict(const QVariantMap &dict)
{
    m_dicts[kScanTypeDuplicates] = dict;
    notifyDelegatAboutInfo(dict, kScanTypeDuplicates);
    scanEnded(kScanTypeDuplicates);
}

} // namespace lurkel
