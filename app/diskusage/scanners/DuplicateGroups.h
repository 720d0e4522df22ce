#pragma once

#include "MetadataQuery.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace lurkel {

// The first sorting of duplicate candidates: by the extension of the file name (exactly, so
// "JPG" and "jpg" differ) and then by size. Files that share both may be copies; only their
// content can tell (ContentHasher).
class DuplicateGroups {
public:
    // A group of files with the same content (every member counts, the first copy included).
    struct Group {
        std::uint64_t size = 0;
        std::vector<std::string> paths;
    };

    // Files the query found; the name is the last component of the path.
    void addObject(const MetadataItem &item);
    // The groups of two or more files with one extension and one size, hard links of one
    // inode kept once (they are one file).
    std::vector<std::vector<MetadataItem>> candidateGroups() const;

    // Totals of confirmed groups of two or more members: size × members, and members.
    static void calculateTotalSizeOfDuplicates(const std::vector<Group> &groups, std::uint64_t *totalSize,
                                               std::uint64_t *totalCount);

private:
    std::map<std::string, std::map<std::uint64_t, std::vector<MetadataItem>>> m_groups;
};

} // namespace lurkel
