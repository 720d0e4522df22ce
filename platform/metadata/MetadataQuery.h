#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace lurkel {

class MountTable;

// One item a metadata query found. path is bytes; lastUsed is the later of the access and
// modification times (seconds since the epoch): a file written since it was last read has
// been used, and on file systems mounted with relatime or noatime the access time lags.
struct MetadataItem {
    std::string path;
    std::uint64_t size = 0;      // st_size
    std::uint64_t allocated = 0; // st_blocks * 512
    std::int64_t lastUsed = 0;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint32_t linkCount = 1;
};

// The file-metadata query, answered by Lurkel's own directory walker instead of an index:
// every scope is walked (getdents64 on several threads, the walker's mount rules: pseudo and
// network file systems are never entered, links never followed) and each entry that is not a
// folder is matched against the predicate. The walk runs off the main thread with no Qt in
// it; the finish call comes on the main thread. A query that is stopped, or destroyed before
// it finishes, calls nothing.
class MetadataQuery {
public:
    // All given conditions must hold. With a size bound only regular files match.
    struct Predicate {
        std::optional<std::string> nameEndsWith; // bytes, compared exactly
        std::optional<std::uint64_t> sizeAbove;  // size > N
        std::optional<std::uint64_t> sizeBelow;  // size < M
    };

    MetadataQuery();
    ~MetadataQuery();
    MetadataQuery(const MetadataQuery &) = delete;
    MetadataQuery &operator=(const MetadataQuery &) = delete;

    void setPredicate(Predicate predicate) { m_predicate = std::move(predicate); }
    const Predicate &predicate() const { return m_predicate; }
    // Folders to walk (a scope that is a file is matched itself).
    void setSearchScopes(std::vector<std::string> scopes) { m_scopes = std::move(scopes); }
    const std::vector<std::string> &searchScopes() const { return m_scopes; }
    // Entries whose names begin with "." are left out, folders with their contents.
    void setSkipsHiddenNames(bool skip) { m_skipHidden = skip; }
    // The mount table to judge the walk by (tests); nullptr reads /proc/self/mountinfo.
    void setMountTable(std::shared_ptr<const MountTable> mounts) { m_mounts = std::move(mounts); }

    // Starts gathering; didFinishGathering runs on the main thread when every scope has been
    // walked. False (and nothing runs) when no scope is given or a query is already running.
    bool startQuery(std::function<void()> didFinishGathering);
    // Stops the walk; the finish call is not made.
    void stopQuery();
    bool isGathering() const;

    // What was found, once gathering has finished (on the main thread).
    const std::vector<MetadataItem> &results() const { return m_results; }
    // Folders that could not be read.
    std::int64_t unreadableFolderCount() const { return m_unreadable; }
    // Entries looked at so far (any thread).
    std::int64_t examinedCount() const;

    // Runs the whole query on the calling thread and returns what it found (no Qt needed).
    static std::vector<MetadataItem> runNow(const std::vector<std::string> &scopes, const Predicate &predicate,
                                            bool skipsHiddenNames, std::int64_t *unreadableFolders = nullptr,
                                            const MountTable *mounts = nullptr);

private:
    struct State;

    Predicate m_predicate;
    std::vector<std::string> m_scopes;
    bool m_skipHidden = false;
    std::shared_ptr<const MountTable> m_mounts;
    std::shared_ptr<State> m_state;
    std::vector<MetadataItem> m_results;
    std::int64_t m_unreadable = 0;
};

} // namespace lurkel
