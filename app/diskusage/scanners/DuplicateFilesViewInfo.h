#pragma once

#include <cstdint>

namespace lurkel {

// What one scan found: duplicate files (every copy counted), their number and their size in bytes.
struct DuplicateFilesViewInfo {
    std::uint64_t size = 0;
    std::uint64_t count = 0;
};

} // namespace lurkel
