#pragma once

#include "Error.h"

#include <QByteArray>

#include <cstdint>
#include <optional>

namespace lurkel {

// Unpacks a page package (a zip archive, or a tar archive plain or gzip-compressed, read with
// libarchive) into a folder, accepting only what a page needs: regular files and folders whose
// names stay inside the folder. Any absolute name, ".." component, link, device, fifo or
// socket, a damaged or truncated archive, or one over the limits refuses the whole package.
// Files are written 0644 and folders 0755, each newly created and never through a link.
class PackageUnpacker {
public:
    struct Limits {
        std::int64_t maxTotalBytes = std::int64_t{64} * 1024 * 1024; // unpacked, all files together
        int maxEntries = 2000;
    };

    // Unpacks archive into the empty folder open at folderFd. On refusal the error says why
    // and the folder may hold part of the package: the caller removes it.
    static std::optional<Error> unpack(const QByteArray &archive, int folderFd, const Limits &limits);
    static std::optional<Error> unpack(const QByteArray &archive, int folderFd)
    {
        return unpack(archive, folderFd, {});
    }

    // Removes the entry name of the folder open at dirFd, and everything in it when it is a
    // folder, never following a symbolic link. 0, or the errno value of the first failure.
    static int removeTree(int dirFd, const char *name);
};

} // namespace lurkel
