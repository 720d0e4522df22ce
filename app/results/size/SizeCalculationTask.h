#pragma once

#include "StackCollection.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>

namespace lurkel {

class MountTable;

// One measurement of how much disk space a folder tree takes: the allocated size
// (st_blocks * 512) of every entry below the folder that is not a folder, each inode once
// however many hard links reach it. One thread, an explicit stack instead of recursion, one
// open directory at a time, getdents64 and statx with only the fields needed. Folders' own
// allocation is not counted; symbolic links count as themselves; mount points (a change of
// device, the kernel's mount-root mark, or an entry of the mount table) are not entered and
// add nothing. A folder that cannot be opened or listed counts as empty and makes the
// measurement incomplete; one that vanished during the walk just counts as empty.
class SizeCalculationTask {
public:
    // mounts: the table to judge mount points by; nullptr reads /proc/self/mountinfo.
    explicit SizeCalculationTask(std::string folderPath, const MountTable *mounts = nullptr);
    ~SizeCalculationTask();
    SizeCalculationTask(const SizeCalculationTask &) = delete;
    SizeCalculationTask &operator=(const SizeCalculationTask &) = delete;

    // Walks the tree (once) and returns totalSize().
    std::uint64_t calculate();

    std::uint64_t totalSize() const { return m_totalSize; }
    // Folders that could not be opened or listed to the end (the root included).
    std::int64_t unreadableFolders() const { return m_unreadableFolders; }
    bool isComplete() const { return m_unreadableFolders == 0; }
    // Entries looked at so far (for a progress line; read from another thread).
    std::int64_t examinedEntries() const;

    // Stops the walk within one entry; what was counted stays counted (from any thread).
    void cancel();
    bool isCancelled() const;
    // A flag of the caller's that stops the walk as cancel() does once it is set (it must
    // outlive the task).
    void setStopFlag(const std::atomic<bool> *stop) { m_stop = stop; }

    // Called with each folder's path just before it is opened. For tests.
    void setBeforeOpenHook(std::function<void(const std::string &folder)> hook) { m_beforeOpen = std::move(hook); }

private:
    struct Shared;

    void scanPath(const std::string &path);
    void scanDirPointer(int fd, const std::string &path);
    void processDirEntry(int fd, const std::string &folder, std::string_view name);
    int openFolder(const std::string &path) const;

    StackCollection m_stack;
    std::uint64_t m_totalSize = 0;
    std::int64_t m_unreadableFolders = 0;
    std::string m_root;
    std::uint64_t m_rootDevice = 0;
    bool m_rootDeviceKnown = false;
    std::unordered_set<std::string> m_mountPoints;    // below the root
    std::unordered_set<std::uint64_t> m_linkedInodes; // files with more than one link, counted
    std::unique_ptr<char[]> m_attrBuffer;
    std::shared_ptr<Shared> m_shared;
    std::function<void(const std::string &)> m_beforeOpen;
    const std::atomic<bool> *m_stop = nullptr;
    bool m_calculated = false;
};

} // namespace lurkel
