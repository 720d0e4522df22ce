#include "SizeCalculationTask.h"

#include "MountTable.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace lurkel {
namespace {

constexpr std::size_t kAttrBufferBytes = std::size_t{64} * 1024;

// The kernel's linux_dirent64 record: d_ino (8), d_off (8), d_reclen (2), d_type (1), name.
constexpr std::size_t kDirentReclenOffset = 16;
constexpr std::size_t kDirentNameOffset = 19;

constexpr unsigned kStatxMask = STATX_TYPE | STATX_BLOCKS | STATX_INO | STATX_NLINK;
constexpr int kStatxFlags = AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT | AT_STATX_DONT_SYNC;

std::uint64_t deviceOf(const struct statx &stx)
{
    return (static_cast<std::uint64_t>(stx.stx_dev_major) << 32) | stx.stx_dev_minor;
}

std::string resolved(const std::string &path)
{
    char *real = ::realpath(path.c_str(), nullptr);
    if (real == nullptr) return path;
    std::string result(real);
    std::free(real);
    return result;
}

// Opens a path longer than PATH_MAX one component at a time, never following a link.
int openComponentwise(const std::string &path)
{
    int fd = ::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    std::size_t start = 0;
    while (fd >= 0 && start < path.size()) {
        while (start < path.size() && path[start] == '/')
            ++start;
        if (start >= path.size()) break;
        std::size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        const std::string component = path.substr(start, end - start);
        const int next = ::openat(fd, component.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        const int saved = errno;
        ::close(fd);
        errno = saved;
        fd = next;
        start = end;
    }
    return fd;
}

} // namespace

struct SizeCalculationTask::Shared {
    std::atomic<bool> cancelled{false};
    std::atomic<std::int64_t> examined{0};
};

SizeCalculationTask::SizeCalculationTask(std::string folderPath, const MountTable *mounts)
    : m_attrBuffer(new char[kAttrBufferBytes]), m_shared(std::make_shared<Shared>())
{
    while (folderPath.size() > 1 && folderPath.back() == '/')
        folderPath.pop_back();
    m_root = resolved(folderPath);
    const MountTable table = mounts != nullptr ? *mounts : MountTable::read();
    for (const Mount &mount : table.mounts()) {
        const std::string &point = mount.mountPoint;
        const bool below =
            m_root == "/" ? point.size() > 1
                          : point.size() > m_root.size() && point.starts_with(m_root) && point[m_root.size()] == '/';
        if (below) m_mountPoints.insert(point);
    }
    m_stack.pushItem(std::make_unique<StackItem>(m_root));
}

SizeCalculationTask::~SizeCalculationTask() = default;

std::int64_t SizeCalculationTask::examinedEntries() const
{
    return m_shared->examined.load(std::memory_order_relaxed);
}

void SizeCalculationTask::cancel()
{
    m_shared->cancelled.store(true, std::memory_order_relaxed);
}

bool SizeCalculationTask::isCancelled() const
{
    return m_shared->cancelled.load(std::memory_order_relaxed) ||
           (m_stop != nullptr && m_stop->load(std::memory_order_relaxed));
}

std::uint64_t SizeCalculationTask::calculate()
{
    if (m_calculated) return m_totalSize;
    m_calculated = true;
    m_totalSize = 0;
    while (std::unique_ptr<StackItem> item = m_stack.popItem()) {
        if (isCancelled()) {
            m_stack.clearStack();
            break;
        }
        scanPath(item->path());
    }
    return m_totalSize;
}

int SizeCalculationTask::openFolder(const std::string &path) const
{
    if (path == m_root) return ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (path.size() >= PATH_MAX) return openComponentwise(path);
    return ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

void SizeCalculationTask::scanPath(const std::string &path)
{
    if (m_beforeOpen) m_beforeOpen(path);
    const int fd = openFolder(path);
    if (fd < 0) {
        // A folder removed since it was listed is simply gone; any other failure leaves a
        // part of the tree uncounted.
        if (errno != ENOENT || path == m_root) ++m_unreadableFolders;
        return;
    }
    if (!m_rootDeviceKnown) {
        struct statx stx {};
        if (::statx(fd, "", AT_EMPTY_PATH | AT_STATX_DONT_SYNC, STATX_TYPE, &stx) == 0) {
            m_rootDevice = deviceOf(stx);
            m_rootDeviceKnown = true;
        }
    }
    scanDirPointer(fd, path);
    ::close(fd);
}

void SizeCalculationTask::scanDirPointer(int fd, const std::string &path)
{
    char *buffer = m_attrBuffer.get();
    std::int64_t examined = 0;
    for (;;) {
        const long got = ::syscall(SYS_getdents64, fd, buffer, kAttrBufferBytes);
        if (got == 0) break;
        if (got < 0) {
            if (errno == EINTR) continue;
            ++m_unreadableFolders;
            break;
        }
        for (long offset = 0; offset < got;) {
            const char *record = buffer + offset;
            unsigned short reclen = 0;
            std::memcpy(&reclen, record + kDirentReclenOffset, sizeof reclen);
            offset += reclen;
            const char *name = record + kDirentNameOffset;
            if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
            ++examined;
            processDirEntry(fd, path, std::string_view(name));
        }
        if (isCancelled()) break;
    }
    m_shared->examined.fetch_add(examined, std::memory_order_relaxed);
}

void SizeCalculationTask::processDirEntry(int fd, const std::string &folder, std::string_view name)
{
    struct statx stx {};
    if (::statx(fd, name.data(), kStatxFlags, kStatxMask, &stx) != 0) return; // gone meanwhile: nothing
    if (S_ISDIR(stx.stx_mode)) {
        const bool mountRoot =
            (stx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) != 0 && (stx.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
        if (mountRoot || (m_rootDeviceKnown && deviceOf(stx) != m_rootDevice)) return;
        std::string child;
        child.reserve(folder.size() + 1 + name.size());
        child = folder;
        if (child.back() != '/') child.push_back('/');
        child.append(name);
        if (!m_mountPoints.empty() && m_mountPoints.count(child) != 0) return;
        m_stack.pushItem(std::make_unique<StackItem>(std::move(child)));
        return;
    }
    if (stx.stx_nlink > 1 && !m_linkedInodes.insert(stx.stx_ino).second) return; // counted already
    m_totalSize += stx.stx_blocks * 512;
}

} // namespace lurkel
