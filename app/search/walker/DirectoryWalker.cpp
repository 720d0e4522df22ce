#include "DirectoryWalker.h"
#include "ChildDefaults.h"

#include "FileAttributes.h"
#include "HiddenStateCache.h"
#include "MountTable.h"
#include "TWalkerSkipList.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>
#include <unordered_set>
#include <vector>

namespace lurkel::walker {
namespace {

// ---------------------------------------------------------------------------------------
// Process-wide state. Every scan has its own stop switch; cancelScan moves the cancel epoch
// on, which stops every scan started before it for good, whatever resumeScan does later.

std::atomic<bool> walkerRunFlag{true};
std::atomic<std::uint64_t> cancelEpoch{0};
std::atomic<int> activeWalkerCount{0};           // walkers at work, every scan
std::atomic<std::int32_t> examinedEntryCount{0}; // of the latest scan started
std::atomic<std::uint64_t> scanGeneration{0};    // the latest scan started
std::atomic<FolderListingHook> folderListingHook{nullptr};

constexpr std::size_t kListingBufferBytes = std::size_t{64} * 1024;

// The kernel's linux_dirent64 record: d_ino (8), d_off (8), d_reclen (2), d_type (1), then
// the NUL-terminated name.
constexpr std::size_t kDirentReclenOffset = 16;
constexpr std::size_t kDirentTypeOffset = 18;
constexpr std::size_t kDirentNameOffset = 19;

// ASCII-only lower-casing table: every other byte stays as it is.
struct FoldTable {
    unsigned char map[256];
    constexpr FoldTable() : map()
    {
        for (int i = 0; i < 256; ++i)
            map[i] = static_cast<unsigned char>((i >= 'A' && i <= 'Z') ? i + 32 : i);
    }
};
constexpr FoldTable kFold;

// One directory to list. Its parent stays alive (and may keep its descriptor open) until
// every child has been opened, so that children are opened relative to it.
struct Node {
    std::string path;
    std::size_t nameOffset = 0; // where the last component starts in path
    std::shared_ptr<Node> parent;
    std::atomic<int> fd{-1};              // kept open for the children's openat
    std::atomic<int> unopenedChildren{0}; // children not yet opened
    // This folder or one above it is hidden / is a package; decided by the walker that found
    // it, before it is handed on.
    bool inHiddenFolder = false;
    bool inPackage = false;

    Node() = default;
    Node(const Node &) = delete;
    Node &operator=(const Node &) = delete;
    ~Node()
    {
        // children dropped unopened by a cancel leave the descriptor to the last reference
        const int kept = fd.load();
        if (kept >= 0) ::close(kept);
    }
};

struct Scan {
    Scan(std::uint64_t gen, std::uint64_t epoch, std::shared_ptr<ScanControl> c, std::string_view text,
         WalkerReceiver &r)
        : generation(gen), startEpoch(epoch), control(std::move(c)), receiver(r)
    {
        patternLength = text.size();
        std::memcpy(pattern, text.data(), text.size());
        pattern[text.size()] = '\0';
    }

    bool running() const
    {
        return !control->isCancelled() && cancelEpoch.load(std::memory_order_relaxed) == startEpoch;
    }

    const std::uint64_t generation;
    const std::uint64_t startEpoch;
    const std::shared_ptr<ScanControl> control;
    WalkerReceiver &receiver;
    char pattern[kMaxPatternBytes + 1] = {};
    std::size_t patternLength = 0;
    bool classify = false;
    bool skipDotEntries = false;
    std::string root;                               // as given, no trailing separator: every node's path starts with it
    std::string physicalRoot;                       // root with links and ".." resolved (root itself when that failed)
    std::unordered_set<std::string> excludedMounts; // under root as given
    int descriptorBudget = 64;
    std::atomic<int> descriptorsKept{0};
    std::atomic<std::int64_t> directories{0};
    std::atomic<std::int64_t> unreadable{0};

    std::mutex mutex;
    std::condition_variable wake;
    std::vector<std::shared_ptr<Node>> queue; // shared work, taken LIFO
    int idleWalkers = 0;
    std::atomic<int> idleHint{0};
    std::int64_t outstanding = 0; // nodes queued or being walked (under mutex)
    bool finished = false;
};

// A folder that could not be opened or listed to the end. Nothing is told once the scan
// has been cancelled, as with matches.
void reportUnreadable(Scan &scan, const std::string &folder, int error)
{
    if (!scan.running()) return;
    scan.unreadable.fetch_add(1, std::memory_order_relaxed);
    scan.receiver.directoryUnreadable(folder, error);
}

// Opens a path of any length one component at a time, never following links on the way
// below the starting folder.
int openDeepPath(const std::string &path)
{
    if (path.size() < PATH_MAX) return ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    int fd = ::open(path[0] == '/' ? "/" : ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
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

// A node's path with root as given replaced by the resolved root: opened one component at a
// time without following links, it still reaches the node when root is reached through one.
std::string physicalPath(const Scan &scan, const std::string &path)
{
    if (scan.physicalRoot == scan.root) return path;
    const std::string_view below = std::string_view(path).substr(scan.root.size()); // "" or "/..."
    if (below.empty()) return scan.physicalRoot;
    std::string physical = scan.physicalRoot == "/" ? std::string() : scan.physicalRoot;
    physical.append(below);
    return physical;
}

void releaseKeptDescriptor(Scan &scan, Node &node)
{
    const int kept = node.fd.exchange(-1, std::memory_order_acq_rel);
    if (kept >= 0) {
        ::close(kept);
        scan.descriptorsKept.fetch_sub(1, std::memory_order_relaxed);
    }
}

// Opens a node relative to its parent when the parent's descriptor is kept, else by path.
int openNode(Scan &scan, Node &node)
{
    const int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    int fd = -1;
    if (node.parent) {
        Node &parent = *node.parent;
        const int parentFd = parent.fd.load(std::memory_order_acquire);
        if (parentFd >= 0) {
            fd = ::openat(parentFd, node.path.c_str() + node.nameOffset, flags);
        } else if (node.path.size() < PATH_MAX) {
            fd = ::open(node.path.c_str(), flags);
        } else {
            fd = openDeepPath(physicalPath(scan, node.path));
        }
        const int saved = errno;
        // The last child to be opened lets the parent's descriptor go.
        if (parent.unopenedChildren.fetch_sub(1, std::memory_order_acq_rel) == 1) releaseKeptDescriptor(scan, parent);
        errno = saved;
    } else {
        fd = openDeepPath(physicalPath(scan, node.path));
    }
    return fd;
}

// A match held until its folder has been listed: its name lies in Walker::m_names.
struct HeldMatch {
    std::uint32_t nameOffset;
    std::uint32_t nameLength;
    std::int32_t examined;
    bool isDirectory;
    bool isSymlink;
};

// The names a folder's ".hidden" lists, sorted for lookup.
class HiddenNames {
public:
    void read(int directoryFd)
    {
        m_names.clear();
        if (const auto content = FileAttributes::readHiddenFileAt(directoryFd))
            m_names = FileAttributes::splitHiddenList(*content);
        std::sort(m_names.begin(), m_names.end());
    }
    void clear() { m_names.clear(); }
    bool empty() const { return m_names.empty(); }
    bool contains(std::string_view name) const
    {
        return std::binary_search(m_names.begin(), m_names.end(), name, std::less<>());
    }

private:
    std::vector<std::string> m_names;
};

class Walker {
public:
    explicit Walker(Scan &scan)
        : m_scan(scan), m_buffer(new char[kListingBufferBytes]), m_sink(scan.receiver.sinkForWalker())
    {}

    // Works until the scan has no directory left (or is cancelled).
    void run(std::shared_ptr<Node> first)
    {
        if (first) m_local.push_back(std::move(first));
        for (;;) {
            std::shared_ptr<Node> node;
            if (!m_local.empty()) {
                node = std::move(m_local.back());
                m_local.pop_back();
            } else {
                if (m_sink) m_sink->walkerIdle();
                if (!(node = takeShared())) break;
            }
            walkDirectory(node);
            finishNode();
            shareWork();
        }
        flushCount();
        if (m_sink) m_sink->walkerIdle();
    }

private:
    std::shared_ptr<Node> takeShared()
    {
        std::unique_lock lock(m_scan.mutex);
        for (;;) {
            if (!m_scan.running()) {
                // What is left is dropped. A walker held in a folder that does not answer keeps
                // the walk from ever finishing: the others leave without it.
                m_scan.wake.notify_all();
                return nullptr;
            }
            if (!m_scan.queue.empty()) {
                auto node = std::move(m_scan.queue.back());
                m_scan.queue.pop_back();
                return node;
            }
            if (m_scan.finished) return nullptr;
            ++m_scan.idleWalkers;
            m_scan.idleHint.store(m_scan.idleWalkers, std::memory_order_relaxed);
            m_scan.wake.wait(lock);
            --m_scan.idleWalkers;
            m_scan.idleHint.store(m_scan.idleWalkers, std::memory_order_relaxed);
        }
    }

    void finishNode()
    {
        std::lock_guard lock(m_scan.mutex);
        m_scan.outstanding += static_cast<std::int64_t>(m_newNodes) - 1;
        m_newNodes = 0;
        if (m_scan.outstanding == 0) {
            m_scan.finished = true;
            m_scan.wake.notify_all();
        }
    }

    // Hands the shallowest half of the local stack to idle walkers.
    void shareWork()
    {
        if (m_local.size() < 2 || m_scan.idleHint.load(std::memory_order_relaxed) == 0) return;
        const std::size_t give = m_local.size() / 2;
        std::lock_guard lock(m_scan.mutex);
        for (std::size_t i = 0; i < give; ++i)
            m_scan.queue.push_back(std::move(m_local[i]));
        m_local.erase(m_local.begin(), m_local.begin() + static_cast<std::ptrdiff_t>(give));
        m_scan.wake.notify_all();
    }

    void flushCount()
    {
        if (m_examined != 0) {
            m_scan.control->addExamined(m_examined);
            if (scanGeneration.load(std::memory_order_relaxed) == m_scan.generation)
                examinedEntryCount.fetch_add(m_examined, std::memory_order_relaxed);
            m_examined = 0;
        }
    }

    void walkDirectory(const std::shared_ptr<Node> &node)
    {
        if (!m_scan.running()) {
            // keep the parent's bookkeeping straight, then drop it
            if (node->parent && node->parent->unopenedChildren.fetch_sub(1) == 1)
                releaseKeptDescriptor(m_scan, *node->parent);
            return;
        }
        const int fd = openNode(m_scan, *node);
        if (fd < 0) {
            reportUnreadable(m_scan, node->path, errno);
            return;
        }
        m_scan.directories.fetch_add(1, std::memory_order_relaxed);

        const std::string &folder = node->path;
        if (const FolderListingHook hook = folderListingHook.load(std::memory_order_relaxed)) hook(folder);
        const TWalkerSkipList &skip = TWalkerSkipList::shared();
        std::vector<std::shared_ptr<Node>> children;
        unsigned char folded[256];
        bool hasHiddenFile = false;
        m_held.clear();
        m_names.clear();

        for (;;) {
            const long got = ::syscall(SYS_getdents64, fd, m_buffer.get(), kListingBufferBytes);
            if (got == 0) break;
            if (got < 0) {
                if (errno == EINTR) continue;
                reportUnreadable(m_scan, folder, errno);
                break;
            }
            for (long offset = 0; offset < got;) {
                const char *record = m_buffer.get() + offset;
                unsigned short reclen = 0;
                std::memcpy(&reclen, record + kDirentReclenOffset, sizeof reclen);
                offset += reclen;
                const char *name = record + kDirentNameOffset;
                if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
                const std::size_t nameLength = std::strlen(name);
                const std::string_view nameView(name, nameLength);

                ++m_examined;
                if (nameLength == 7 && std::memcmp(name, ".hidden", 7) == 0) {
                    const auto listedType = static_cast<unsigned char>(record[kDirentTypeOffset]);
                    hasHiddenFile = listedType == DT_REG || listedType == DT_UNKNOWN;
                }
                if (m_scan.skipDotEntries && name[0] == '.') continue;
                if (skip.isInExcludeListNameInPath(nameView, folder)) continue;

                auto type = static_cast<unsigned char>(record[kDirentTypeOffset]);
                if (type == DT_UNKNOWN) {
                    struct stat st {};
                    if (::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT) == 0) {
                        type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISLNK(st.st_mode) ? DT_LNK : DT_REG;
                    }
                }
                const bool isDirectory = type == DT_DIR;

                // The cheapest test first: a name shorter than the text cannot hold it; an
                // empty text (every entry) needs no folding.
                if (nameLength >= m_scan.patternLength) {
                    bool matched = m_scan.patternLength == 0;
                    if (!matched) {
                        const std::size_t n = nameLength < 255 ? nameLength : 255;
                        for (std::size_t i = 0; i < n; ++i)
                            folded[i] = kFold.map[static_cast<unsigned char>(name[i])];
                        matched = ::memmem(folded, n, m_scan.pattern, m_scan.patternLength) != nullptr;
                    }
                    if (matched) {
                        if (!m_scan.running()) break;
                        const std::int32_t examined = m_scan.control->examined() + m_examined;
                        if (m_sink) {
                            m_held.push_back(HeldMatch{static_cast<std::uint32_t>(m_names.size()),
                                                       static_cast<std::uint32_t>(nameLength), examined, isDirectory,
                                                       type == DT_LNK});
                            m_names.append(name, nameLength);
                        } else {
                            FoundEntry entry{nameView, folder, examined, isDirectory, type == DT_LNK, fd};
                            entry.folderInHiddenFolder = node->inHiddenFolder;
                            entry.folderInPackage = node->inPackage;
                            m_scan.receiver.fileFound(entry);
                        }
                    }
                }

                if (isDirectory) {
                    auto child = std::make_shared<Node>();
                    child->path.reserve(folder.size() + 1 + nameLength);
                    child->path = folder;
                    if (child->path.back() != '/') child->path.push_back('/');
                    child->nameOffset = child->path.size();
                    child->path.append(name, nameLength);
                    if (!m_scan.excludedMounts.empty() && m_scan.excludedMounts.count(child->path) != 0) continue;
                    child->parent = node;
                    child->inHiddenFolder = node->inHiddenFolder || name[0] == '.';
                    child->inPackage = node->inPackage || FileAttributes::hasPackageExtension(nameView);
                    children.push_back(std::move(child));
                }
                if (!m_scan.running()) break;
            }
            if (!m_scan.running()) break;
            if (m_examined >= 4096) flushCount();
        }

        if (m_scan.classify && hasHiddenFile && m_scan.running()) {
            m_hiddenNames.read(fd);
        } else {
            m_hiddenNames.clear();
        }
        if (!m_hiddenNames.empty()) {
            for (const std::shared_ptr<Node> &child : children)
                if (!child->inHiddenFolder)
                    child->inHiddenFolder =
                        m_hiddenNames.contains(std::string_view(child->path).substr(child->nameOffset));
        }
        if (!m_held.empty() && m_scan.running()) reportHeld(*node, fd);
        if (m_sink) m_sink->folderListed();

        if (children.empty() || !m_scan.running()) {
            ::close(fd);
            flushCount();
            return;
        }
        // Keep this directory open for its children while the budget allows.
        node->unopenedChildren.store(static_cast<int>(children.size()), std::memory_order_relaxed);
        if (m_scan.descriptorsKept.fetch_add(1, std::memory_order_relaxed) < m_scan.descriptorBudget) {
            node->fd.store(fd, std::memory_order_release);
        } else {
            m_scan.descriptorsKept.fetch_sub(1, std::memory_order_relaxed);
            ::close(fd);
        }
        // Walked depth first: the first child found is walked next.
        m_newNodes += children.size();
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            m_local.push_back(std::move(*it));
    }

    // Hands the folder's matches to the sink, with what the walk knows of each.
    void reportHeld(const Node &node, int fd)
    {
        m_found.clear();
        m_found.reserve(m_held.size());
        for (const HeldMatch &held : m_held) {
            const std::string_view name(m_names.data() + held.nameOffset, held.nameLength);
            FoundEntry entry{name, node.path, held.examined, held.isDirectory, held.isSymlink, fd};
            entry.listedHidden = !m_hiddenNames.empty() && m_hiddenNames.contains(name);
            entry.folderInHiddenFolder = node.inHiddenFolder;
            entry.folderInPackage = node.inPackage;
            m_found.push_back(entry);
        }
        m_sink->folderMatched(m_found);
    }

    Scan &m_scan;
    std::unique_ptr<char[]> m_buffer;
    std::unique_ptr<MatchSink> m_sink;
    std::vector<HeldMatch> m_held; // the matches of the folder being listed
    std::string m_names;           // their names, one after the other
    std::vector<FoundEntry> m_found;
    HiddenNames m_hiddenNames;
    std::vector<std::shared_ptr<Node>> m_local;
    std::size_t m_newNodes = 0;
    std::int32_t m_examined = 0;
};

// Raises the soft descriptor limit to the hard one and gives the walk a share of it.
int descriptorBudget()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return 32;
    if (limit.rlim_cur < limit.rlim_max) {
        ChildDefaults::rememberOpenFilesLimit(); // the raise is for the walk, not for children
        rlimit raised = limit;
        raised.rlim_cur = limit.rlim_max;
        if (::setrlimit(RLIMIT_NOFILE, &raised) == 0) limit = raised;
    }
    const rlim_t soft = limit.rlim_cur == RLIM_INFINITY ? 65536 : limit.rlim_cur;
    // leave room for the program itself and for the walkers' open listings
    const long usable = static_cast<long>(soft) - 64 - kMaxWalkers;
    if (usable <= 8) return 0;
    return static_cast<int>(std::min<long>(usable / 2, 4096));
}

std::string normalizedRoot(const std::string &root)
{
    std::string r = root;
    while (r.size() > 1 && r.back() == '/')
        r.pop_back();
    return r;
}

// root with links and ".." resolved; root itself when it cannot be (gone, or too long).
std::string resolvedRoot(const std::string &root)
{
    char *resolved = ::realpath(root.c_str(), nullptr);
    if (resolved == nullptr) return root;
    std::string r(resolved);
    std::free(resolved);
    return r;
}

// The mount points not to enter, as the walk names them: below root as given. Mount points
// outside the resolved root are reached only through links, which the walk never follows.
std::unordered_set<std::string> excludedMountsUnderRoot(const MountTable &table, const std::string &root,
                                                        const std::string &physicalRoot)
{
    std::unordered_set<std::string> excluded;
    for (const std::string &mountPoint : table.excludedMountPointsFor(physicalRoot)) {
        if (physicalRoot == root) {
            excluded.insert(mountPoint);
            continue;
        }
        std::string_view below = mountPoint;
        if (physicalRoot != "/") {
            if (!below.starts_with(physicalRoot) || below.size() <= physicalRoot.size() ||
                below[physicalRoot.size()] != '/') {
                continue;
            }
            below.remove_prefix(physicalRoot.size());
        }
        std::string named = root == "/" ? std::string() : root;
        named.append(below);
        excluded.insert(std::move(named));
    }
    return excluded;
}

} // namespace

ScanSummary runScan(const std::string &root, std::string_view text, WalkerReceiver &receiver,
                    const ScanOptions &options)
{
    ScanSummary summary;
    if ((text.empty() && !options.everyEntry) || text.size() > kMaxPatternBytes || root.empty()) {
        summary.refused = true;
        return summary;
    }
    std::shared_ptr<ScanControl> control = options.control;
    if (!control) {
        control = std::make_shared<ScanControl>();
        if (!walkerRunFlag.load()) control->cancel();
    }
    const std::uint64_t generation = scanGeneration.fetch_add(1) + 1;
    examinedEntryCount.store(0);

    Scan scan(generation, cancelEpoch.load(), std::move(control), text, receiver);
    scan.root = normalizedRoot(root);
    scan.physicalRoot = resolvedRoot(scan.root);
    scan.excludedMounts = excludedMountsUnderRoot(options.mounts != nullptr ? *options.mounts : MountTable::read(),
                                                  scan.root, scan.physicalRoot);
    scan.descriptorBudget = descriptorBudget();

    auto rootNode = std::make_shared<Node>();
    rootNode->path = scan.root;
    scan.classify = options.classify;
    scan.skipDotEntries = options.skipDotEntries;
    if (scan.classify && scan.running()) {
        // The only folders asked of the file system: the root and those above it.
        HiddenStateCache cache;
        rootNode->inHiddenFolder = cache.isInHiddenFolder(scan.root);
        rootNode->inPackage = cache.isInPackage(scan.root);
    }
    scan.outstanding = 1;

    activeWalkerCount.fetch_add(1);
    std::vector<std::thread> helpers;
    if (scan.running()) {
        for (int i = 1; i < kMaxWalkers; ++i) {
            try {
                helpers.emplace_back([&scan]() {
                    activeWalkerCount.fetch_add(1);
                    Walker(scan).run(nullptr);
                    activeWalkerCount.fetch_sub(1);
                });
            } catch (const std::system_error &) {
                break; // fewer walkers; the walk still finishes
            }
        }
        Walker(scan).run(rootNode);
    }
    {
        // A cancelled walk may leave work queued: end it so that every walker returns.
        std::lock_guard lock(scan.mutex);
        scan.finished = true;
        scan.queue.clear();
        scan.wake.notify_all();
    }
    for (std::thread &t : helpers)
        t.join();
    activeWalkerCount.fetch_sub(1);
    releaseKeptDescriptor(scan, *rootNode);

    summary.examined = scan.control->examined();
    summary.directories = scan.directories.load();
    summary.unreadable = scan.unreadable.load();
    summary.cancelled = !scan.running();
    if (summary.cancelled) receiver.searchInterrupted();
    return summary;
}

void cancelScan()
{
    walkerRunFlag.store(false);
    cancelEpoch.fetch_add(1);
    for (int waits = 0; waits < 5000 && activeWalkerCount.load() != 0; ++waits)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void resumeScan()
{
    walkerRunFlag.store(true);
}

std::int32_t scannedEntryCount()
{
    return examinedEntryCount.load(std::memory_order_relaxed);
}

void setFolderListingHook(FolderListingHook hook)
{
    folderListingHook.store(hook);
}

} // namespace lurkel::walker
