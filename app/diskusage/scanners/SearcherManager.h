#pragma once

#include "AppsSearcherDelegate.h"
#include "CacheAndDownloadsSearcherDelegate.h"
#include "Clock.h"
#include "DiskScanLocations.h"
#include "DiskScanTypes.h"
#include "DuplicatesSearcherDelegate.h"
#include "LargeAndOldSearcherDelegate.h"
#include "MainQueue.h"
#include "SpotlightManagerDelegate.h"

#include <QDateTime>
#include <QVariantMap>

#include <array>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace lurkel {

class AppsSearcher;
class CacheAndDownloadsSearcher;
class DuplicatesSearcher;
class LargeAndOldSearcher;
class UserDefaults;

// Starts the four disk-usage scans (types of DiskScanTypes.h), keeps each type's result for
// the rescan interval (a day, or "ATEST:RESCAN_DISK_JUNK_TIME" seconds), forces them all
// again once per interval while it lives, and reports every result to its delegate on the
// main thread as a small record. The scans run one at a time, in the order asked, on threads
// at idle processor and disk priority (IdlePriority). Main thread only.
class SearcherManager final : public std::enable_shared_from_this<SearcherManager>,
                              public CacheAndDownloadsSearcherDelegate,
                              public AppsSearcherDelegate,
                              public LargeAndOldSearcherDelegate,
                              public DuplicatesSearcherDelegate {
public:
    using LocationsProvider = std::function<DiskScanLocations()>;

    // The process's coordinator, created on first use.
    static std::shared_ptr<SearcherManager> sharedManager();
    // A coordinator of its own (tests, lurkelctl).
    static std::shared_ptr<SearcherManager> create(UserDefaults &defaults, Clock &clock = Clock::instance(),
                                                   LocationsProvider locations = &DiskScanLocations::current);

    ~SearcherManager() override;

    void startSearchWithDelegate(std::weak_ptr<SpotlightManagerDelegate> delegate, bool forced);
    // Who hears the results, without starting anything (before startSearchForType).
    void setDelegate(std::weak_ptr<SpotlightManagerDelegate> delegate) { m_pDelegate = std::move(delegate); }
    void startSearchForced(bool forced);
    void startSearchForType(int type);
    void restartGentlyAfterDay();
    void notifyDelegatAboutInfo(const QVariantMap &dict, int type);
    // Caches, downloads, Trash, duplicates, large and old and applications added up; 0 until
    // all four results are in.
    std::uint64_t getTotalCalculatedSize() const;

    // Abandons every running scan: queries stop walking, work on pool threads ends early, and
    // nothing of them is reported. Stored results stay.
    void stopAllScans();

    float rescanTime() const { return m_nRescanTime; }
    // The scan running now, and those waiting for it in turn (one runs at a time).
    std::optional<int> runningScanType() const { return m_runningType; }
    std::vector<int> waitingScanTypes() const;
    // The stored result of a type, if any.
    std::optional<QVariantMap> resultForType(int type) const;

    void onCacheAndDownloadsSearcherDoneWithDict(const QVariantMap &dict) override;
    void onSpotlightAppsSearcherDoneWithApps(const QVariantList &apps) override;
    void onSpotlightLargeOldSearcherDoneWithFiles(const QVariantList &files) override;
    void onDuplicatesSearcherDoneWithDict(const QVariantMap &dict) override;

    SearcherManager(UserDefaults &defaults, Clock &clock, LocationsProvider locations);

private:
    static QVariantMap summaryOf(const QVariantList &entries);
    // A scan has reported: the next one waiting starts.
    void scanEnded(int type);

    std::weak_ptr<SpotlightManagerDelegate> m_pDelegate;
    std::unique_ptr<AppsSearcher> m_appSearcher;
    std::unique_ptr<LargeAndOldSearcher> m_largeOldSearcher;
    std::unique_ptr<CacheAndDownloadsSearcher> m_cacheAndDownloadsSearcher;
    std::unique_ptr<DuplicatesSearcher> m_duplicatesSearcher;
    // per type: the result and the start of its last scan
    std::array<std::optional<QVariantMap>, 4> m_dicts;
    std::array<std::optional<QDateTime>, 4> m_lastScanDates;
    std::optional<int> m_runningType;
    std::deque<int> m_waiting;
    float m_nRescanTime = 86400.0F;
    Clock &m_clock;
    LocationsProvider m_locations;
    DelayedCall m_restart;
    DiskScanStop m_stop = std::make_shared<std::atomic<bool>>(false);
};

} // namespace lurkel
