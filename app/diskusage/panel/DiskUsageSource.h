#pragma once

#include "SpotlightManagerDelegate.h"

#include <QVariantMap>

#include <memory>
#include <optional>

namespace lurkel {

// Where the disk-usage section gets its figures: the scan coordinator's calls that it makes
// (SearcherManagerSource in the application, a feed of their own in tests).
class DiskUsageSource {
public:
    virtual ~DiskUsageSource() = default;
    virtual void startSearchWithDelegate(std::weak_ptr<SpotlightManagerDelegate> delegate, bool forced) = 0;
    // One scan type (DiskScanTypes.h) again.
    virtual void startSearchForType(int scanType) = 0;
    // The stored result of a scan type (with the files it found), if any.
    virtual std::optional<QVariantMap> resultForType(int scanType) const = 0;
};

} // namespace lurkel
