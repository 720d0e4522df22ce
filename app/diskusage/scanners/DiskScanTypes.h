#pragma once

#include <QVariantMap>

#include <atomic>
#include <cstdint>
#include <memory>

namespace lurkel {

// The scan types of the disk-usage scanners (not the view types of the panel's detail
// views, which count from 1).
enum DiskScanType : int {
    kScanTypeJunk = 0,
    kScanTypeApplications = 1,
    kScanTypeLargeAndOld = 2,
    kScanTypeDuplicates = 3,
};

// The keys of the result dictionaries the scanners hand to SearcherManager.
namespace DiskScanKeys {
inline constexpr const char kCachesSize[] = "CachesSize";
inline constexpr const char kDownloadsSize[] = "DownloadsSize";
inline constexpr const char kTrashSize[] = "TrashSize";
inline constexpr const char kPath[] = "Path"; // QByteArray: the bytes of the path
inline constexpr const char kSize[] = "Size";
inline constexpr const char kCount[] = "Count";
// Beyond the summaries: the files themselves, for those who list them (lurkelctl).
inline constexpr const char kLastUsed[] = "LastUsed"; // seconds since the epoch
inline constexpr const char kFiles[] = "Files";       // large and old: entries as above
inline constexpr const char kGroups[] = "Groups";     // duplicates: {"Size", "Paths"}
inline constexpr const char kPaths[] = "Paths";
// The measurement left folders unread (a number of folders); absent when complete.
inline constexpr const char kUnreadableFolders[] = "UnreadableFolders";
} // namespace DiskScanKeys

// Set once the scans of a coordinator are abandoned (the user stopped them): work already
// handed to a pool thread ends early and reports nothing.
using DiskScanStop = std::shared_ptr<std::atomic<bool>>;

// A number of a result dictionary as bytes or a count (0 when absent).
inline std::uint64_t diskScanNumber(const QVariantMap &dict, const char *key)
{
    return dict.value(QLatin1StringView(key)).toULongLong();
}

} // namespace lurkel
