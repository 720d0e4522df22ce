#pragma once

#include "AppsSearcherDelegate.h"
#include "DiskScanLocations.h"
#include "DiskScanTypes.h"
#include "MetadataQuery.h"

#include <memory>

namespace lurkel {

// The applications scan: every desktop application the user installed (InstalledApplications)
// except the system's own (BundleExcludeList), with what it takes on disk, plus the AppImages
// kept in ~/Applications. A package's recorded installed size of 2000 bytes or less is not
// trusted: its files are measured instead. Up to 4 installs are measured at a time.
class AppsSearcher {
public:
    explicit AppsSearcher(DiskScanLocations locations, DiskScanStop stop = nullptr);

    void findAppsWithDelegate(std::weak_ptr<AppsSearcherDelegate> delegate);

    // The {"Path", "Size"} entries for the desktop entries a query found (any thread).
    static QVariantList applicationsFor(const std::vector<MetadataItem> &desktopEntries,
                                        const DiskScanLocations &locations, const std::atomic<bool> *stop = nullptr);

private:
    void startSearchAction();
    void endSearching();

    DiskScanLocations m_locations;
    DiskScanStop m_stop;
    std::weak_ptr<AppsSearcherDelegate> m_pDelegate;
    std::unique_ptr<MetadataQuery> m_pMetadataQuery;
};

} // namespace lurkel
