#pragma once

#include <cstdint>

namespace lurkel {

// What one scan found: large files not used for 90 days, their number and their size in bytes.
struct LargeAndOldFilesViewInfo {
    std::uint64_t size = 0;
    std::uint64_t count = 0;
};

} // namespace lurkel
