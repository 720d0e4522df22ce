#pragma once

#include <QVariantList>

namespace lurkel {

// A scanner's report to its coordinator, on the main thread.
class AppsSearcherDelegate {
public:
    virtual ~AppsSearcherDelegate() = default;
    // {"Path", "Size"} entries
    virtual void onSpotlightAppsSearcherDoneWithApps(const QVariantList &apps) = 0;
};

} // namespace lurkel
