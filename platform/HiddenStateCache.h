#pragma once

#include "BytePath.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace lurkel {

// Per-folder answers for one search, shared by the walker threads: the names a folder's
// ".hidden" lists, whether a folder is hidden (itself or any folder above it) and whether it
// is inside a package. With it, classifying a match costs about one lstat.
//
// Folder paths are taken as they are (a trailing separator is ignored); mount roots are not
// special. Files are read outside the lock, so that a slow disk never holds up the other
// walkers; two threads may then read the same file once each, and the first answer stays.
class HiddenStateCache {
public:
    // name listed in folder/.hidden (the file is read once per folder).
    bool isListedHidden(std::string_view folder, std::string_view name);
    // The entry folder/name is hidden (dot name or listed).
    bool isHidden(std::string_view folder, std::string_view name);
    // Some folder from folder up to "/" (folder included) is hidden.
    bool isInHiddenFolder(std::string_view folder);
    // Some folder from folder up to "/" (folder included) is a package.
    bool isInPackage(std::string_view folder);
    void clear();

    // All three answers for one folder at once. A walker reports the matches of a folder one
    // after the other, so each thread keeps the last folder's answers and asks the shared
    // maps (and their lock) only when the folder changes.
    struct FolderFacts {
        bool inPackage = false;
        bool inHiddenFolder = false;
        const void *hiddenNames = nullptr; // the folder's ".hidden" names (opaque)
    };
    FolderFacts folderFacts(std::string_view folder);
    // The entry name of a folder described by facts is hidden (dot name or listed).
    static bool isHidden(const FolderFacts &facts, std::string_view name);

    HiddenStateCache();

private:
    struct StringHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>{}(s); }
    };
    template <typename Value> using StringMap = std::unordered_map<std::string, Value, StringHash, std::equal_to<>>;
    using NameSet = std::unordered_set<std::string, StringHash, std::equal_to<>>;
    using FolderTest = bool (HiddenStateCache::*)(std::string_view folder);

    // The folder itself (not its ancestors) is hidden / is a package.
    bool folderIsHidden(std::string_view folder);
    bool folderIsPackage(std::string_view folder);
    // Some folder from folder up to "/" passes test; answers are memoised in memo.
    bool anyFolderUpwards(StringMap<bool> &memo, std::string_view folder, FolderTest test);

    const NameSet &hiddenNamesOf(std::string_view folder);

    std::atomic<std::uint64_t> m_serial; // tells the threads' memos of this cache (and of a clear()) apart
    std::mutex m_mutex;
    StringMap<NameSet> m_hiddenLists;
    StringMap<bool> m_inHidden;
    StringMap<bool> m_inPackage;
};

} // namespace lurkel
