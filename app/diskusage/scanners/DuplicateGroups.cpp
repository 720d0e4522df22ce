#include "DuplicateGroups.h"

#include "BytePath.h"

#include <set>

namespace lurkel {

void DuplicateGroups::addObject(const MetadataItem &item)
{
    const BytePath path(item.path);
    std::string extension = path.fileName().empty() ? std::string(".") : std::string(path.extension());
    m_groups[extension][item.size].push_back(item);
}

std::vector<std::vector<MetadataItem>> DuplicateGroups::candidateGroups() const
{
    std::vector<std::vector<MetadataItem>> candidates;
    for (const auto &[extension, bySize] : m_groups) {
        for (const auto &[size, items] : bySize) {
            if (items.size() < 2) continue;
            std::set<std::pair<std::uint64_t, std::uint64_t>> inodes;
            std::vector<MetadataItem> distinct;
            for (const MetadataItem &item : items)
                if (inodes.insert({item.device, item.inode}).second) distinct.push_back(item);
            if (distinct.size() >= 2) candidates.push_back(std::move(distinct));
        }
    }
    return candidates;
}

void DuplicateGroups::calculateTotalSizeOfDuplicates(const std::vector<Group> &groups, std::uint64_t *totalSize,
                                                     std::uint64_t *totalCount)
{
    std::uint64_t size = 0;
    std::uint64_t count = 0;
    for (const Group &group : groups) {
        if (group.paths.size() < 2) continue;
        size += group.size * group.paths.size();
        count += group.paths.size();
    }
    if (totalSize != nullptr) *totalSize = size;
    if (totalCount != nullptr) *totalCount = count;
}

} // namespace lurkel
