#pragma once

#include "Clock.h"
#include "DiskScanLocations.h"
#include "LargeAndOldSearcherDelegate.h"
#include "MetadataQuery.h"

#include <memory>

namespace lurkel {

// The large-and-old scan: files over 20,000,000 bytes in the home folder and on the mounted
// user volumes that have not been used for 90 days (last use: the later of access and
// modification). Names beginning with "." are left out, folders with their contents: the
// user's own files, not what programs keep. Each inode counts once.
class LargeAndOldSearcher {
public:
    static constexpr std::uint64_t kSizeLimit = 20000000;
    static constexpr std::int64_t kUnusedSeconds = 7776000; // 90 days

    explicit LargeAndOldSearcher(DiskScanLocations locations, Clock &clock = Clock::instance());

    void findLargeOldWithDelegate(std::weak_ptr<LargeAndOldSearcherDelegate> delegate);

    // The scopes walked: the home folder and the volumes.
    static std::vector<std::string> scopesFor(const DiskScanLocations &locations);
    // The qualifying files of a query's results as {"Path", "Size", "LastUsed"} entries.
    static QVariantList qualifyingFiles(const std::vector<MetadataItem> &items, std::int64_t now);

private:
    void startSearchAction();
    void endSearching();

    DiskScanLocations m_locations;
    Clock &m_clock;
    std::weak_ptr<LargeAndOldSearcherDelegate> m_pDelegate;
    std::unique_ptr<MetadataQuery> m_pMetadataQuery;
};

} // namespace lurkel
