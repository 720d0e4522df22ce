#include "MetadataQuery.h"

#include "DirectoryWalker.h"
#include "IdlePriority.h"
#include "MainQueue.h"
#include "MountTable.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>

namespace lurkel {
namespace {

constexpr unsigned kStatxMask =
    STATX_TYPE | STATX_SIZE | STATX_BLOCKS | STATX_ATIME | STATX_MTIME | STATX_INO | STATX_NLINK;

bool endsWith(std::string_view name, const std::string &suffix)
{
    return name.size() >= suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// Judges one entry; fills item when it matches. at/name as for statx.
bool judge(int at, const char *name, const MetadataQuery::Predicate &predicate, MetadataItem &item)
{
    const bool sized = predicate.sizeAbove || predicate.sizeBelow;
    struct statx stx {};
    if (::statx(at, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT | AT_STATX_DONT_SYNC, kStatxMask, &stx) != 0)
        return false;
    if (S_ISDIR(stx.stx_mode)) return false;
    if (sized && !S_ISREG(stx.stx_mode)) return false;
    if (predicate.sizeAbove && !(stx.stx_size > *predicate.sizeAbove)) return false;
    if (predicate.sizeBelow && !(stx.stx_size < *predicate.sizeBelow)) return false;
    item.size = stx.stx_size;
    item.allocated = stx.stx_blocks * 512;
    item.lastUsed = std::max<std::int64_t>(stx.stx_atime.tv_sec, stx.stx_mtime.tv_sec);
    item.device = (static_cast<std::uint64_t>(stx.stx_dev_major) << 32) | stx.stx_dev_minor;
    item.inode = stx.stx_ino;
    item.linkCount = stx.stx_nlink;
    return true;
}

class QueryReceiver final : public walker::WalkerReceiver {
public:
    explicit QueryReceiver(const MetadataQuery::Predicate &predicate) : m_predicate(predicate) {}

    void fileFound(const walker::FoundEntry &entry) override
    {
        if (entry.isDirectory) return;
        if (m_predicate.nameEndsWith && !endsWith(entry.name, *m_predicate.nameEndsWith)) return;
        if (entry.isSymlink && (m_predicate.sizeAbove || m_predicate.sizeBelow)) return;
        char name[256];
        const std::size_t length = std::min<std::size_t>(entry.name.size(), sizeof name - 1);
        std::memcpy(name, entry.name.data(), length);
        name[length] = '\0';
        MetadataItem item;
        if (!judge(entry.directoryFd, name, m_predicate, item)) return;
        item.path.reserve(entry.folder.size() + 1 + length);
        item.path = entry.folder;
        if (item.path.empty() || item.path.back() != '/') item.path.push_back('/');
        item.path.append(entry.name);
        std::lock_guard lock(m_mutex);
        m_items.push_back(std::move(item));
    }
    void directoryUnreadable(std::string_view, int) override { m_unreadable.fetch_add(1); }

    std::vector<MetadataItem> take()
    {
        std::lock_guard lock(m_mutex);
        return std::move(m_items);
    }
    std::int64_t unreadable() const { return m_unreadable.load(); }

private:
    const MetadataQuery::Predicate &m_predicate;
    std::mutex m_mutex;
    std::vector<MetadataItem> m_items;
    std::atomic<std::int64_t> m_unreadable{0};
};

std::vector<MetadataItem> walkScopes(const std::vector<std::string> &scopes, const MetadataQuery::Predicate &predicate,
                                     bool skipHidden, const MountTable *mounts,
                                     const std::shared_ptr<walker::ScanControl> &control, std::int64_t &unreadable)
{
    std::vector<MetadataItem> found;
    QueryReceiver receiver(predicate);
    const MountTable table = mounts != nullptr ? *mounts : MountTable::read();
    for (const std::string &scope : scopes) {
        if (control->isCancelled()) break;
        struct stat st {};
        if (::stat(scope.c_str(), &st) != 0) continue; // a scope that does not exist holds nothing
        if (!S_ISDIR(st.st_mode)) {
            const std::string_view name = std::string_view(scope).substr(scope.rfind('/') + 1);
            if (skipHidden && name.starts_with('.')) continue;
            if (predicate.nameEndsWith && !endsWith(name, *predicate.nameEndsWith)) continue;
            MetadataItem item;
            if (judge(AT_FDCWD, scope.c_str(), predicate, item)) {
                item.path = scope;
                found.push_back(std::move(item));
            }
            continue;
        }
        walker::ScanOptions options;
        options.mounts = &table;
        options.control = control;
        options.everyEntry = true;
        options.skipDotEntries = skipHidden;
        walker::runScan(scope, "", receiver, options);
    }
    std::vector<MetadataItem> walked = receiver.take();
    found.insert(found.end(), std::make_move_iterator(walked.begin()), std::make_move_iterator(walked.end()));
    unreadable = receiver.unreadable();
    return found;
}

} // namespace

struct MetadataQuery::State {
    std::shared_ptr<walker::ScanControl> control = std::make_shared<walker::ScanControl>();
    std::atomic<bool> stopped{false};
    std::atomic<bool> running{false};
};

MetadataQuery::MetadataQuery() = default;

MetadataQuery::~MetadataQuery()
{
    stopQuery();
}

bool MetadataQuery::startQuery(std::function<void()> didFinishGathering)
{
    if (m_scopes.empty() || isGathering()) return false;
    stopQuery();
    auto state = std::make_shared<State>();
    state->running = true;
    m_state = state;
    m_results.clear();
    m_unreadable = 0;
    // The walk owns copies of what it needs: a stopped or destroyed query leaves it to end
    // on its own, which a folder that never answers may keep from happening.
    std::thread([this, state, scopes = m_scopes, predicate = m_predicate, skip = m_skipHidden, mounts = m_mounts,
                 done = std::move(didFinishGathering)]() mutable {
        // A thread of this walk alone, at idle priority: the query runs in the background.
        IdlePriority::lowerCurrentThread();
        std::int64_t unreadable = 0;
        std::vector<MetadataItem> found = walkScopes(scopes, predicate, skip, mounts.get(), state->control, unreadable);
        MainQueue::async([this, state, found = std::move(found), unreadable, done = std::move(done)]() mutable {
            state->running = false;
            if (state->stopped.load()) return; // the query has gone or was stopped: not touched
            m_results = std::move(found);
            m_unreadable = unreadable;
            if (done) done();
        });
    }).detach();
    return true;
}

void MetadataQuery::stopQuery()
{
    if (!m_state) return;
    m_state->stopped = true;
    m_state->control->cancel();
    m_state.reset();
}

bool MetadataQuery::isGathering() const
{
    return m_state && m_state->running.load();
}

std::int64_t MetadataQuery::examinedCount() const
{
    return m_state ? m_state->control->examined() : 0;
}

std::vector<MetadataItem> MetadataQuery::runNow(const std::vector<std::string> &scopes, const Predicate &predicate,
                                                bool skipsHiddenNames, std::int64_t *unreadableFolders,
                                                const MountTable *mounts)
{
    std::int64_t unreadable = 0;
    auto control = std::make_shared<walker::ScanControl>();
    std::vector<MetadataItem> found = walkScopes(scopes, predicate, skipsHiddenNames, mounts, control, unreadable);
    if (unreadableFolders != nullptr) *unreadableFolders = unreadable;
    return found;
}

} // namespace lurkel
