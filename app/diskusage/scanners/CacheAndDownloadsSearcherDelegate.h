#pragma once

#include <QVariantMap>

namespace lurkel {

// A scanner's report to its coordinator, on the main thread.
class CacheAndDownloadsSearcherDelegate {
public:
    virtual ~CacheAndDownloadsSearcherDelegate() = default;
    // {"CachesSize", "DownloadsSize", "TrashSize"}
    virtual void onCacheAndDownloadsSearcherDoneWithDict(const QVariantMap &dict) = 0;
};

} // namespace lurkel
