#pragma once

#include "BytePath.h"

#include <QDateTime>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace lurkel {

// What one lstat (never following a link) says about an entry.
struct FileStat {
    bool isDirectory = false;
    bool isSymlink = false;
    std::int64_t apparentSize = 0;  // st_size
    std::int64_t allocatedSize = 0; // st_blocks * 512
    std::int64_t mtimeSec = 0;
    std::int64_t mtimeNsec = 0;
    QDateTime modificationDate() const;
};

// The read side of file attributes, on byte paths (POSIX calls only).
class FileAttributes {
public:
    // Type identifiers, decided from the entry itself.
    static inline constexpr const char kTypeFolder[] = "public.folder";
    static inline constexpr const char kTypePackage[] = "com.apple.package";
    static inline constexpr const char kTypeSymlink[] = "public.symlink";
    static inline constexpr const char kTypeData[] = "public.data";

    // The entry itself, never what a link points to (trailing separators are ignored, so
    // "link/" is still the link). nullopt when it cannot be read.
    static std::optional<FileStat> lstat(const BytePath &path);
    // The same for an entry of an open directory: no path lookup, no length limit on the
    // directory's own path.
    static std::optional<FileStat> lstatAt(int directoryFd, std::string_view name);

    // The package extensions, lower case: the one table every part of the program uses.
    static std::span<const std::string_view> packageExtensions();

    // True when the extension of name (after the last dot, compared without case) is one of
    // the package extensions (app, bundle, framework, ...). Says nothing about the entry's kind.
    static bool hasPackageExtension(std::string_view name);
    // A package: a directory (not a link) with a package extension.
    static bool isPackage(const BytePath &path);
    static bool isPackageEntry(std::string_view name, bool isDirectory, bool isSymlink)
    {
        return isDirectory && !isSymlink && hasPackageExtension(name);
    }
    static const char *typeIdentifierFor(std::string_view name, bool isDirectory, bool isSymlink);
    // nullopt when the entry cannot be read.
    static std::optional<std::string> typeIdentifier(const BytePath &path);

    // Hidden: the name begins with "." or is listed in the parent folder's ".hidden".
    static bool isHidden(const BytePath &path);
    // The names listed in folder/.hidden (one per line, byte exact, no trimming); empty when
    // there is none. A ".hidden" that is not a regular file is ignored.
    static std::vector<std::string> readHiddenList(const BytePath &folder);

    // A ".hidden" longer than this is read up to here (whole lines only).
    static constexpr std::int64_t kMaxHiddenFileBytes = std::int64_t{1024} * 1024;
    // The raw content of folder/.hidden; nullopt when there is none, it is a link or not a
    // regular file, or it cannot be read.
    static std::optional<std::string> readHiddenFile(const BytePath &folder);
    // The same for the open directory directoryFd.
    static std::optional<std::string> readHiddenFileAt(int directoryFd);
    // name is one of the lines of a ".hidden" content (byte exact; a CRLF line does not match).
    static bool hiddenListContains(std::string_view content, std::string_view name);
    // The non-empty lines of a ".hidden" content, as they are.
    static std::vector<std::string> splitHiddenList(std::string_view content);

private:
    // Reads the open ".hidden" fd (closing it); nullopt when fd is -1 or not a regular file.
    static std::optional<std::string> readHiddenContent(int fd);
};

} // namespace lurkel
