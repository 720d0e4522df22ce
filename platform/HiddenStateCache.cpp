#include "HiddenStateCache.h"

#include "FileAttributes.h"

#include <atomic>
#include <utility>
#include <vector>

namespace lurkel {
namespace {

std::string_view trimTrailingSlashes(std::string_view path)
{
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    return path;
}

// The folder above path ("/a/b" -> "/a", "/a" -> "/", "a" -> ""), without trailing separators.
std::string_view parentOf(std::string_view path)
{
    path = trimTrailingSlashes(path);
    const auto slash = path.rfind('/');
    if (slash == std::string_view::npos) return {};
    if (slash == 0) return path == "/" ? std::string_view{} : path.substr(0, 1);
    return trimTrailingSlashes(path.substr(0, slash));
}

std::string_view lastComponent(std::string_view path)
{
    const auto slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// Where the walk upwards ends: "/" itself is never hidden nor a package.
bool isTop(std::string_view path)
{
    return path.empty() || path == "/";
}

} // namespace

namespace {

std::atomic<std::uint64_t> g_nextSerial{1};

} // namespace

HiddenStateCache::HiddenStateCache() : m_serial(g_nextSerial.fetch_add(1)) {}

const HiddenStateCache::NameSet &HiddenStateCache::hiddenNamesOf(std::string_view folder)
{
    folder = trimTrailingSlashes(folder);
    {
        const std::lock_guard lock(m_mutex);
        if (const auto it = m_hiddenLists.find(folder); it != m_hiddenLists.end()) return it->second;
    }
    NameSet names;
    if (const auto content = FileAttributes::readHiddenFile(BytePath(folder))) {
        for (auto &line : FileAttributes::splitHiddenList(*content))
            names.insert(std::move(line));
    }
    const std::lock_guard lock(m_mutex);
    // the map's nodes stay where they are until clear(), so the reference stays good
    return m_hiddenLists.try_emplace(std::string(folder), std::move(names)).first->second;
}

bool HiddenStateCache::isListedHidden(std::string_view folder, std::string_view name)
{
    if (name.empty()) return false;
    return hiddenNamesOf(folder).contains(name);
}

HiddenStateCache::FolderFacts HiddenStateCache::folderFacts(std::string_view folder)
{
    struct Memo {
        std::uint64_t serial = 0;
        std::string folder;
        FolderFacts facts;
    };
    thread_local Memo memo;
    const std::uint64_t serial = m_serial.load(std::memory_order_relaxed);
    if (memo.serial == serial && memo.folder == folder) return memo.facts;
    FolderFacts facts;
    facts.inPackage = isInPackage(folder);
    facts.inHiddenFolder = isInHiddenFolder(folder);
    facts.hiddenNames = &hiddenNamesOf(folder);
    memo.serial = serial;
    memo.folder.assign(folder);
    memo.facts = facts;
    return facts;
}

bool HiddenStateCache::isHidden(const FolderFacts &facts, std::string_view name)
{
    if (name.empty()) return false;
    if (name.front() == '.') return true;
    return facts.hiddenNames != nullptr && static_cast<const NameSet *>(facts.hiddenNames)->contains(name);
}

bool HiddenStateCache::isHidden(std::string_view folder, std::string_view name)
{
    if (name.empty()) return false;
    return name.front() == '.' || isListedHidden(folder, name);
}

bool HiddenStateCache::folderIsHidden(std::string_view folder)
{
    return isHidden(parentOf(folder), lastComponent(folder));
}

bool HiddenStateCache::folderIsPackage(std::string_view folder)
{
    return FileAttributes::isPackage(BytePath(folder));
}

bool HiddenStateCache::anyFolderUpwards(StringMap<bool> &memo, std::string_view folder, FolderTest test)
{
    folder = trimTrailingSlashes(folder);
    // Up from folder to the first answer already known; the folders passed on the way are
    // the ones still to decide, nearest first.
    std::vector<std::string_view> pending;
    bool answer = false;
    {
        const std::lock_guard lock(m_mutex);
        for (std::string_view p = folder; !isTop(p); p = parentOf(p)) {
            if (const auto it = memo.find(p); it != memo.end()) {
                answer = it->second;
                break;
            }
            pending.push_back(p);
        }
    }
    if (pending.empty()) return answer;
    // Down again: once a folder passes, everything below it does too.
    std::vector<std::pair<std::string_view, bool>> decided;
    decided.reserve(pending.size());
    for (auto it = pending.rbegin(); it != pending.rend(); ++it) {
        answer = answer || (this->*test)(*it);
        decided.emplace_back(*it, answer);
    }
    const std::lock_guard lock(m_mutex);
    for (const auto &[path, value] : decided)
        memo.try_emplace(std::string(path), value);
    return answer;
}

bool HiddenStateCache::isInHiddenFolder(std::string_view folder)
{
    return anyFolderUpwards(m_inHidden, folder, &HiddenStateCache::folderIsHidden);
}

bool HiddenStateCache::isInPackage(std::string_view folder)
{
    return anyFolderUpwards(m_inPackage, folder, &HiddenStateCache::folderIsPackage);
}

void HiddenStateCache::clear()
{
    const std::lock_guard lock(m_mutex);
    m_serial.store(g_nextSerial.fetch_add(1));
    m_hiddenLists.clear();
    m_inHidden.clear();
    m_inPackage.clear();
}

} // namespace lurkel
