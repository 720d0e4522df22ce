#pragma once

#include "DiskScanLocations.h"
#include "DiskScanTypes.h"
#include "DuplicateGroups.h"
#include "DuplicatesSearcherDelegate.h"
#include "MetadataQuery.h"

#include <memory>
#include <optional>

namespace lurkel {

// The duplicates scan of the home folder (names beginning with "." left out, folders with
// their contents): files over 1 MiB first; when their duplicates come to less than 100 MiB,
// once more with the files over 50,000 bytes and under 1 MiB. Candidates share extension and
// size; only those whose content is the same count (ContentHasher). Reports {"Size", "Count",
// "Groups"}: every member of a group counts.
class DuplicatesSearcher {
public:
    static constexpr std::uint64_t kFirstPassLimit = 1048576;
    static constexpr std::uint64_t kSecondPassLimit = 50000;
    static constexpr std::uint64_t kEnoughDuplicates = 104857600;

    explicit DuplicatesSearcher(DiskScanLocations locations, DiskScanStop stop = nullptr);
    ~DuplicatesSearcher();
    DuplicatesSearcher(const DuplicatesSearcher &) = delete;
    DuplicatesSearcher &operator=(const DuplicatesSearcher &) = delete;

    void findDuplicatesWithDelegate(std::weak_ptr<DuplicatesSearcherDelegate> delegate);

    // Passes started so far (1 or 2).
    int passesStarted() const { return m_passes; }

    // The confirmed groups among files (any thread).
    static std::vector<DuplicateGroups::Group> findDuplicatesInFiles(const std::vector<MetadataItem> &files,
                                                                     const std::atomic<bool> *stop = nullptr);

private:
    struct State;

    void startSearchWithSizeLimil(std::uint64_t limit);
    void endSearching();
    void evaluate(std::vector<MetadataItem> files);
    void evaluated(std::vector<DuplicateGroups::Group> groups);

    DiskScanLocations m_locations;
    DiskScanStop m_stop;
    std::weak_ptr<DuplicatesSearcherDelegate> m_pDelegate;
    std::unique_ptr<MetadataQuery> m_pMetadataQuery;
    std::optional<std::vector<MetadataItem>> m_arrOneMB;
    std::optional<std::vector<MetadataItem>> m_arrFiftyKB;
    std::vector<DuplicateGroups::Group> m_firstPassGroups;
    std::shared_ptr<State> m_state;
    int m_passes = 0;
};

} // namespace lurkel
