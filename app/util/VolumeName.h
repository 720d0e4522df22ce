#pragma once

#include "BytePath.h"

#include <QString>

#include <cstdint>
#include <optional>

namespace lurkel {

// Size texts and path helpers (the string category). Every text is fixed English.
class VolumeName {
public:
    VolumeName() = delete;

    // The panel's and dialogs' size text: "999 bytes" up to 999 (also 0 and negative sizes),
    // then KB, MB, GB, TB with the divisor 1024 but the unit changing at 1000 of the smaller
    // one; below 10 two decimals, below 100 one, otherwise none (printf rounding):
    // 1,000 -> "0.98 KB", 1,000,000 -> "977 KB", 1,048,000 -> "1.00 MB". TB takes any size.
    static QString stringFromSize(std::int64_t size);

    // Same text as formatMemoryStringDot1().
    static QString convertToStringFromFileSize(std::uint64_t size);

    // The search results' size text: "1023 B" below 1024, otherwise the size divided by 1024
    // until it is below 1024, with at most one fraction digit (half-even, no grouping) and
    // the unit " KB", " MB", " GB", " TB", " PB" (none beyond): 1,536 -> "1.5 KB",
    // 2,097,152 -> "2 MB".
    static QString formatMemoryStringDot1(std::uint64_t size);

    // The number rule behind formatMemoryStringDot1(): the value's shortest decimal form
    // rounded half-even to at most one fraction digit, trailing ".0" dropped, no grouping,
    // "." as separator (1.25 -> "1.2", 1.35 -> "1.4", 2.0 -> "2").
    static QString formatDecimalDot1(double value);

    // The name of the volume holding the path: the file system's label, else its mount
    // point ("/" for an unlabelled root file system). nullopt when the path cannot be read.
    // A symbolic link belongs to the volume of the folder that holds it.
    static std::optional<QString> volumeName(const BytePath &path);

    // How many non-overlapping times substring occurs in text, scanning from the start
    // (literal, case-sensitive). An empty substring occurs 0 times.
    static qsizetype numberOccurencesSubstring(const QString &text, const QString &substring);

    // True when path is longer than parent, begins with it, and has "/" right after it.
    // ("/Applications" is a parent of "/Applications/a", not of "/Applications" or of
    // "/ApplicationsX/a".) The BytePath form compares raw bytes.
    static bool isParentPathForPath(const QString &parent, const QString &path);
    static bool isParentPathForPath(const BytePath &parent, const BytePath &path);

    // The signing-team prefix of the shared settings suite, "4QW7TR2MPL." (dot included).
    static QString shfTeamIdentifierPrefix();
};

} // namespace lurkel
