#pragma once

#include "DuplicateGroups.h"
#include "MetadataQuery.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace lurkel {

// Confirms duplicate candidates by their content: files of one size are told apart by a hash
// of their first and last 4 KiB, then by a hash of the whole content (XXH3, 128 bits), read
// in large blocks. Files are opened with O_NOATIME where the kernel allows it (the owner's
// files, or any file for root), so that looking at them does not make them look used.
class ContentHasher {
public:
    using Digest = std::array<std::uint64_t, 2>;

    static constexpr std::size_t kEdgeBytes = 4096;

    // The groups of candidates (one size each) whose content is the same, two or more files
    // each; several threads share the work. A file that cannot be read is left out.
    // A set stop flag ends the work early.
    static std::vector<DuplicateGroups::Group> confirm(const std::vector<std::vector<MetadataItem>> &candidates,
                                                       const std::atomic<bool> *stop = nullptr);

    // The hash of the first and last kEdgeBytes (the whole file when it is no longer than
    // twice that); nullopt when the file cannot be read or no longer has the given size.
    static std::optional<Digest> edgesDigest(const std::string &path, std::uint64_t size);
    // The hash of the whole content.
    static std::optional<Digest> fullDigest(const std::string &path, std::uint64_t size);

    // Opens a file for reading without touching its access time where allowed.
    static int openForReading(const std::string &path);
};

} // namespace lurkel
