#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace lurkel {
class MountTable;
}

// The directory walker: lists every directory below a root with getdents64, spread over up
// to six threads, and reports every entry whose name contains the search text and every
// folder it could not read. Plain C++; scans may run side by side, each with its own stop
// switch. No Qt in here, and nothing is printed: the receiver hears everything.
namespace lurkel::walker {

// One matching entry, as the listing gave it. Valid only during the call.
struct FoundEntry {
    std::string_view name;   // the entry as listed (raw bytes)
    std::string_view folder; // full path of the directory that holds it, no doubled separators
    std::int32_t examined;   // the running count of entries examined
    bool isDirectory;        // from the listing itself (a link to a folder is not one)
    bool isSymlink;
    int directoryFd; // the open directory being listed: stat the entry relative to it
    // What the walk knows of the folder, told to a MatchSink of a scan with
    // ScanOptions::classify: the folder's ".hidden" names the entry; the folder itself or one
    // above it (up to "/") is hidden; ... is a package. Nothing is opened to learn them but
    // the ".hidden" of a folder whose listing holds one.
    bool listedHidden = false;
    bool folderInHiddenFolder = false;
    bool folderInPackage = false;
};

// One walker's share of the matches, a folder at a time: the walker lists a folder to the
// end, then hands over all its matches at once. Used by that walker's thread only.
class MatchSink {
public:
    virtual ~MatchSink() = default;
    // The matches of one folder (at least one), valid only during the call.
    virtual void folderMatched(std::span<const FoundEntry> matches) = 0;
    // A folder has been listed, whether it held matches or not: what the sink holds back may
    // go now, so that a long walk without matches does not keep it.
    virtual void folderListed() {}
    // The walker has no work of its own left: it is about to look for more (and may wait for
    // it) or to end. What the sink holds back should go now.
    virtual void walkerIdle() {}
};

// Where matches and unreadable folders go. Called on the walker threads, several at once.
class WalkerReceiver {
public:
    virtual ~WalkerReceiver() = default;
    // One match, as soon as it is listed (when sinkForWalker gives no sink).
    virtual void fileFound(const FoundEntry &) {}
    // Asked once by every walker as it starts: the sink that gets its matches, or nullptr
    // (the default) for fileFound.
    virtual std::unique_ptr<MatchSink> sinkForWalker() { return nullptr; }
    // A folder (the root included) could not be opened, or its listing broke off part way
    // (what was listed before the break has been reported and is walked). error is the
    // errno. Called once per such folder; the folder view is valid only during the call.
    virtual void directoryUnreadable(std::string_view folder, int error) = 0;
    // A cancelled scan has ended.
    virtual void searchInterrupted() {}
};

// The longest search text, in bytes (the pattern buffer holds 1023 bytes and a NUL).
inline constexpr std::size_t kMaxPatternBytes = 1023;
// At most this many walkers at work at once, the coordinator included.
inline constexpr int kMaxWalkers = 6;

struct ScanSummary {
    std::int32_t examined = 0;    // entries examined (skipped ones included)
    std::int64_t directories = 0; // directories entered below the root
    std::int64_t unreadable = 0;  // folders reported to directoryUnreadable
    bool cancelled = false;
    bool refused = false; // the text was empty or longer than kMaxPatternBytes
};

// One scan's stop switch and count, shared by its walkers and whoever started it. A walker
// blocked in a folder that never answers (a dead network or FUSE mount) cannot be stopped;
// once cancelled, it reports nothing when it wakes.
class ScanControl {
public:
    void cancel() { m_cancelled.store(true, std::memory_order_relaxed); }
    bool isCancelled() const { return m_cancelled.load(std::memory_order_relaxed); }
    // Entries this scan has examined so far.
    std::int32_t examined() const { return m_examined.load(std::memory_order_relaxed); }
    void addExamined(std::int32_t count) { m_examined.fetch_add(count, std::memory_order_relaxed); }

private:
    std::atomic<bool> m_cancelled{false};
    std::atomic<std::int32_t> m_examined{0};
};

struct ScanOptions {
    // The mounts to judge the walk by; nullptr reads /proc/self/mountinfo.
    const MountTable *mounts = nullptr;
    // The scan's own stop switch. Without one, a scan started while cancelScan is in force
    // walks nothing.
    std::shared_ptr<ScanControl> control;
    // Tell a MatchSink the hidden and package facts of every match (FoundEntry): the root's are
    // asked of the file system once, every other folder's are passed down the walk.
    bool classify = false;
    // Report every entry: the text may then be empty (an empty text matches every name). For
    // queries that judge entries by more than their names.
    bool everyEntry = false;
    // Entries whose names begin with "." are neither reported nor entered.
    bool skipDotEntries = false;
};

// Walks root and reports to receiver every entry whose ASCII-folded name contains text
// (already lower-cased by the caller). Returns when every walker of this scan has ended.
// A text longer than kMaxPatternBytes (or empty, unless options.everyEntry) is refused:
// nothing is walked.
// Paths are reported under root as given; the mount rules judge root by where it really is
// (links and ".." resolved).
ScanSummary runScan(const std::string &root, std::string_view text, WalkerReceiver &receiver,
                    const ScanOptions &options = {});

// Stops every running scan: walkers stop within one entry. Waits (polling 1 ms) until the
// walkers have ended, at most about five seconds.
void cancelScan();
// Re-arms the walker for the next scan.
void resumeScan();
// Entries examined so far in the latest scan started.
std::int32_t scannedEntryCount();

// Called on the walker thread with each folder's path (as reported) after it is opened and
// before it is listed; nullptr (the default) for none. For tests, which stand in for a folder
// that never answers by holding the walker here.
using FolderListingHook = void (*)(std::string_view folder);
void setFolderListingHook(FolderListingHook hook);

} // namespace lurkel::walker
