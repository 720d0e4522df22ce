#include "MountTable.h"

#include <array>
#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <unistd.h>
#include <unordered_map>

namespace lurkel {
namespace {

// Kernel and desktop file systems with nothing of the user's in them; some of them never
// answer (fusectl, the portal) or mount on access (autofs).
constexpr std::array<std::string_view, 21> kPseudoFileSystems = {
    "proc",      "sysfs",       "devtmpfs", "devpts", "cgroup",     "cgroup2",         "debugfs",
    "tracefs",   "securityfs",  "pstore",   "bpf",    "configfs",   "fusectl",         "mqueue",
    "hugetlbfs", "binfmt_misc", "autofs",   "nsfs",   "rpc_pipefs", "fuse.gvfsd-fuse", "fuse.portal",
};

constexpr std::array<std::string_view, 7> kNetworkFileSystems = {
    "nfs", "nfs4", "cifs", "smb3", "fuse.sshfs", "9p", "afs",
};

bool isOctal(char c)
{
    return c >= '0' && c <= '7';
}

// mountinfo writes space, tab, newline and backslash in paths as "\ooo".
std::string unescapeOctal(std::string_view field)
{
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && isOctal(field[i + 1]) && isOctal(field[i + 2]) &&
            isOctal(field[i + 3])) {
            const int value = (field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0');
            out.push_back(static_cast<char>(static_cast<unsigned char>(value)));
            i += 3;
        } else {
            out.push_back(field[i]);
        }
    }
    return out;
}

std::string_view trimTrailingSlashes(std::string_view path)
{
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    return path;
}

// path is mountPoint or lies below it.
bool isAtOrBelow(std::string_view path, std::string_view mountPoint)
{
    if (mountPoint == "/") return !path.empty() && path.front() == '/';
    if (path.size() < mountPoint.size() || path.compare(0, mountPoint.size(), mountPoint) != 0) return false;
    return path.size() == mountPoint.size() || path[mountPoint.size()] == '/';
}

// One line: "36 35 98:0 /mnt1 /mnt2 rw,noatime master:1 - ext3 /dev/root rw,errors=continue".
// Field 5 is the mount point; the optional fields end at a lone "-", then comes the type.
std::optional<Mount> parseLine(std::string_view line)
{
    std::vector<std::string_view> fields;
    while (!line.empty()) {
        const auto space = line.find(' ');
        const std::string_view field = line.substr(0, space);
        if (!field.empty()) fields.push_back(field);
        if (space == std::string_view::npos) break;
        line.remove_prefix(space + 1);
    }
    if (fields.size() < 8) return std::nullopt;
    for (std::size_t i = 6; i + 1 < fields.size(); ++i) {
        if (fields[i] == "-") {
            Mount mount;
            mount.mountPoint = unescapeOctal(fields[4]);
            mount.fsType = unescapeOctal(fields[i + 1]);
            if (mount.mountPoint.empty() || mount.mountPoint.front() != '/') return std::nullopt;
            return mount;
        }
    }
    return std::nullopt;
}

} // namespace

MountTable MountTable::read(const std::string &mountInfoPath)
{
    // procfs files report no size: read to the end.
    std::string content;
    int fd;
    do {
        fd = ::open(mountInfoPath.c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd >= 0) {
        char buffer[65536];
        for (;;) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            content.append(buffer, static_cast<std::size_t>(n));
        }
        ::close(fd);
    }
    std::vector<Mount> mounts;
    std::string_view rest = content;
    while (!rest.empty()) {
        const auto nl = rest.find('\n');
        if (auto mount = parseLine(rest.substr(0, nl))) mounts.push_back(std::move(*mount));
        if (nl == std::string_view::npos) break;
        rest.remove_prefix(nl + 1);
    }
    return fromMounts(std::move(mounts));
}

MountTable MountTable::fromMounts(std::vector<Mount> mounts)
{
    MountTable table;
    table.m_mounts = std::move(mounts);
    return table;
}

bool MountTable::isPseudoFileSystem(std::string_view fsType)
{
    for (const std::string_view type : kPseudoFileSystems) {
        if (type == fsType) return true;
    }
    return false;
}

bool MountTable::isNetworkFileSystem(std::string_view fsType)
{
    for (const std::string_view type : kNetworkFileSystems) {
        if (type == fsType) return true;
    }
    return false;
}

const Mount *MountTable::mountFor(std::string_view path) const
{
    path = trimTrailingSlashes(path);
    const Mount *best = nullptr;
    // The table lists mounts in the order they were made: of several at one point, the last
    // one covers the others and is the one a path reaches.
    for (const Mount &mount : m_mounts) {
        if (!isAtOrBelow(path, mount.mountPoint)) continue;
        if (best == nullptr || mount.mountPoint.size() >= best->mountPoint.size()) best = &mount;
    }
    return best;
}

std::unordered_set<std::string> MountTable::excludedMountPointsFor(std::string_view root) const
{
    const Mount *own = mountFor(root);
    const bool rootOnNetwork = own != nullptr && isNetworkFileSystem(own->fsType);
    // A mount point shows the last file system mounted there: an automount point that has
    // been mounted over is a plain disk, and is walked like one.
    std::unordered_map<std::string_view, std::size_t> visible;
    for (std::size_t i = 0; i < m_mounts.size(); ++i)
        visible[m_mounts[i].mountPoint] = i;
    std::unordered_set<std::string> excluded;
    for (std::size_t i = 0; i < m_mounts.size(); ++i) {
        const Mount &mount = m_mounts[i];
        if (visible[mount.mountPoint] != i) continue;
        if (own != nullptr && mount.mountPoint == own->mountPoint) continue; // the walk's own file system
        if (isPseudoFileSystem(mount.fsType) || (!rootOnNetwork && isNetworkFileSystem(mount.fsType))) {
            excluded.insert(mount.mountPoint);
        }
    }
    return excluded;
}

} // namespace lurkel
