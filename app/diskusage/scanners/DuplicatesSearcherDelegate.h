#pragma once

#include <QVariantMap>

namespace lurkel {

// A scanner's report to its coordinator, on the main thread.
class DuplicatesSearcherDelegate {
public:
    virtual ~DuplicatesSearcherDelegate() = default;
    // {"Size", "Count", "Groups"}
    virtual void onDuplicatesSearcherDoneWithDict(const QVariantMap &dict) = 0;
};

} // namespace lurkel
