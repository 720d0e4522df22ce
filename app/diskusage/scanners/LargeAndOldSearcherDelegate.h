#pragma once

#include <QVariantList>

namespace lurkel {

// A scanner's report to its coordinator, on the main thread.
class LargeAndOldSearcherDelegate {
public:
    virtual ~LargeAndOldSearcherDelegate() = default;
    // {"Path", "Size", "LastUsed"} entries
    virtual void onSpotlightLargeOldSearcherDoneWithFiles(const QVariantList &files) = 0;
};

} // namespace lurkel
