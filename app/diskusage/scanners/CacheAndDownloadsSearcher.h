#pragma once

#include "CacheAndDownloadsSearcherDelegate.h"
#include "Clock.h"
#include "DiskScanLocations.h"
#include "DiskScanTypes.h"

#include <memory>

namespace lurkel {

// The junk scan: the allocated size of the caches folder, the download folder and the Trash,
// measured off the main thread 0.2, 0.4 and 0.6 s after the request, reported once all three
// are in. Measurements already handed on complete and report even when this scanner has been
// replaced; the coordinator keeps the latest result.
class CacheAndDownloadsSearcher {
public:
    explicit CacheAndDownloadsSearcher(DiskScanLocations locations, Clock &clock = Clock::instance(),
                                       DiskScanStop stop = nullptr);

    void findCacheAndDownloadsWithDelegate(std::weak_ptr<CacheAndDownloadsSearcherDelegate> delegate);

private:
    struct State;
    static void measure(const std::shared_ptr<State> &state, int slot);
    static void tryToNotifyDelegate(const std::shared_ptr<State> &state);

    DiskScanLocations m_locations;
    Clock &m_clock;
    std::shared_ptr<State> m_state;
};

} // namespace lurkel
