#pragma once

#include "BytePath.h"

#include <cstdint>
#include <functional>
#include <optional>

namespace lurkel {

// The cgroup v2 memory.reclaim file through which this process may ask the kernel to drop
// the inactive file cache of a whole group (Linux 5.19 and later).
//
// find() walks from the process's own group ("0::PATH" in /proc/self/cgroup) up to the root
// of the hierarchy and takes the highest group whose memory.reclaim this process may write
// and whose memory.stat gives inactive_file: the widest group it may ask for. Under systemd
// that is the user's service manager (user@UID.service) or the slice below it; as root in a
// container, the container's own root.
class CgroupReclaim {
public:
    struct Sources {
        BytePath procCgroup = BytePath("/proc/self/cgroup");
        BytePath root = BytePath("/sys/fs/cgroup"); // where the v2 hierarchy is mounted
    };

    // Writes a byte count to a memory.reclaim file: 0, or the errno value of the write.
    // EAGAIN means the kernel reclaimed less than asked for.
    using Writer = std::function<int(const BytePath &file, std::uint64_t bytes)>;

    static std::optional<CgroupReclaim> find(const Sources &sources);

    // The group's folder and its memory.reclaim file.
    const BytePath &folder() const { return m_folder; }
    BytePath reclaimFile() const;
    // inactive_file of the group's memory.stat now; nullopt when it cannot be read.
    std::optional<std::uint64_t> readInactiveFile() const;

    // The writer used unless a test puts in its own: one write(2) of the decimal count.
    static int writeReclaim(const BytePath &file, std::uint64_t bytes);

private:
    explicit CgroupReclaim(BytePath folder) : m_folder(std::move(folder)) {}
    BytePath m_folder;
};

} // namespace lurkel
