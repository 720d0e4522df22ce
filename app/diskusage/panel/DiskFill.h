#pragma once

#include <QString>

#include <functional>
#include <optional>

#include <sys/statvfs.h>

namespace lurkel {

// How full a file system is: 1 − free / total, from statvfs (free = the blocks available to
// the user, as df counts them), in single-precision floats.
class DiskFill {
public:
    using StatVfs = std::function<int(const char *path, struct statvfs *out)>;

    // nullopt when the file system's figures cannot be read or give no size.
    static std::optional<float> usedFraction(const char *path, const StatVfs &statVfs = &::statvfs);
    // "%d%%" of the fraction × 100, cut towards zero; "–" when unknown.
    static QString percentText(std::optional<float> fraction);
};

} // namespace lurkel
