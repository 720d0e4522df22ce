#pragma once

#include "BytePath.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace lurkel {

// The memory limits of the control groups this process runs in.
//
// A process in a container or a systemd slice may be held to less memory than the host has
// free: the limit is memory.max of cgroup v2 (memory.limit_in_bytes of v1), charged against
// memory.current (memory.usage_in_bytes). Every group from the process's own up to the root
// of its hierarchy counts; the tightest wins. Hierarchies are found through the mount table,
// so that namespaced and hybrid layouts work.
class CgroupMemoryLimit {
public:
    struct Sources {
        BytePath procCgroup = BytePath("/proc/self/cgroup");
        BytePath mountInfo = BytePath("/proc/self/mountinfo");
    };

    // The limited groups of this process; none when it is not limited (or the files are
    // missing, as without cgroups).
    static CgroupMemoryLimit discover();
    static CgroupMemoryLimit discover(const Sources &sources);

    bool isLimited() const { return !m_levels.empty(); }

    // The smallest limit - usage over the limited groups, read now (0 when a group is over
    // its limit). nullopt when the process is not limited or a file cannot be read.
    std::optional<std::uint64_t> headroom() const;

    // Limits at or above this are the "no limit" value of cgroup v1 (PAGE_COUNTER_MAX
    // rounded to pages); v2 writes "max".
    static constexpr std::uint64_t kUnlimitedAtOrAbove = std::uint64_t{1} << 60;

private:
    struct Level {
        BytePath limitFile;
        BytePath usageFile;
    };
    std::vector<Level> m_levels;
};

} // namespace lurkel
