#pragma once

#include <cstdint>

namespace lurkel {

// What the junk scan found, in bytes.
struct JunkFilesViewInfo {
    std::uint64_t cachesSize = 0;
    std::uint64_t downloadsSize = 0;
    std::uint64_t trashSize = 0;
    std::uint64_t getTotalSize() const { return cachesSize + downloadsSize + trashSize; }
};

} // namespace lurkel
