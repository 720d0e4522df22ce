#pragma once

#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace lurkel {

struct Mount {
    std::string mountPoint; // unescaped bytes
    std::string fsType;     // e.g. "ext4", "proc", "fuse.sshfs"
};

// The mount table (/proc/self/mountinfo), read once per scan, and the rule for which mounted
// file systems a walk never enters: pseudo file systems always, network file systems unless
// the walk's root itself lies on one (a dead network mount would block a walker beyond any
// cancel).
class MountTable {
public:
    // Reads /proc/self/mountinfo (or the given file, for tests).
    static MountTable read(const std::string &mountInfoPath = "/proc/self/mountinfo");
    static MountTable fromMounts(std::vector<Mount> mounts);

    static bool isPseudoFileSystem(std::string_view fsType);
    static bool isNetworkFileSystem(std::string_view fsType);

    const std::vector<Mount> &mounts() const { return m_mounts; }
    // The mount that holds path (longest mount-point prefix at a component boundary; of
    // several mounts at one point, the last listed, which covers the others). nullptr when
    // none holds it (a relative path, an empty table).
    const Mount *mountFor(std::string_view path) const;
    // The mount points a walk of root must not enter: those whose visible (last) mount is a
    // pseudo file system, and those of network file systems unless root's own mount is a
    // network file system. root's own mount point is never among them.
    std::unordered_set<std::string> excludedMountPointsFor(std::string_view root) const;

private:
    std::vector<Mount> m_mounts;
};

} // namespace lurkel
