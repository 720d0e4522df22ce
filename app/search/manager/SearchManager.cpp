#include "SearchManager.h"
#include "MessageNames.h"

#include "Clock.h"
#include "DirectoryWalker.h"
#include "FileAttributes.h"
#include "HiddenStateCache.h"
#include "Log.h"
#include "MainQueue.h"
#include "MatchHandOff.h"
#include "NotificationCenter.h"
#include "PosixFile.h"

#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <span>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <unordered_set>

namespace lurkel {
namespace {

// How long matches gather on their way to the main thread.
constexpr std::int64_t kBatchIntervalMs = 15;

// A folder nested deeper than this below a package is not summed (each level holds a
// descriptor open).
constexpr int kMaxSumDepth = 512;

std::string lowerUtf8(std::string_view valid)
{
    const QByteArray lower = QString::fromUtf8(valid.data(), static_cast<qsizetype>(valid.size())).toLower().toUtf8();
    return std::string(lower.constData(), static_cast<std::size_t>(lower.size()));
}

std::int64_t modificationMsecsOf(const FileStat &stat)
{
    return stat.mtimeSec * 1000 + stat.mtimeNsec / 1000000;
}

// Items made by one walker, handed to the main thread together. The list never grows past
// its first capacity, so that the items stay where they are: the result lists point into it.
struct ItemBlock {
    std::vector<SearchItem> items;
};
using ItemBlockPtr = std::shared_ptr<ItemBlock>;

// A walker's block is handed over when it is full, when the walker runs out of work, or
// when a folder has been listed and the block's first item has waited this long.
constexpr std::size_t kBlockItems = 512;
constexpr auto kBlockHoldTime = std::chrono::milliseconds(50);

SearchItem::TypeCode typeCodeFor(std::string_view name, bool isDirectory, bool isSymlink)
{
    if (isSymlink) return SearchItem::kTypeSymlink;
    if (isDirectory)
        return FileAttributes::hasPackageExtension(name) ? SearchItem::kTypePackage : SearchItem::kTypeFolder;
    return SearchItem::kTypeData;
}

bool isInsideFolder(std::string_view p, const std::string &folder)
{
    if (p.size() < folder.size() || p.compare(0, folder.size(), folder) != 0) return false;
    return p.size() == folder.size() || p[folder.size()] == '/' || folder.back() == '/';
}

bool stopped(const std::atomic<bool> *stop)
{
    return stop != nullptr && stop->load(std::memory_order_relaxed);
}

// Adds the sizes of everything in the open directory dirFd to sum. False
// when some of it could not be read, or the sum was stopped: sum is then a lower bound.
bool sumDirectory(UniqueFd dirFd, int depth, const std::atomic<bool> *stop, std::int64_t &sum)
{
    DIR *dir = ::fdopendir(dirFd.get());
    if (dir == nullptr) return false;
    dirFd.release(); // closed with the stream
    bool complete = true;
    for (;;) {
        errno = 0;
        const dirent *entry = ::readdir(dir);
        if (entry == nullptr) {
            if (errno != 0) complete = false; // the listing broke off
            break;
        }
        if (stopped(stop)) {
            complete = false;
            break;
        }
        const char *name = entry->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
        struct stat st {};
        if (::fstatat(::dirfd(dir), name, &st, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT) != 0) {
            if (errno != ENOENT) complete = false; // ENOENT: removed since it was listed
            continue;
        }
        sum += static_cast<std::int64_t>(st.st_size);
        if (!S_ISDIR(st.st_mode)) continue;
        if (depth >= kMaxSumDepth) {
            qCWarning(lcSearch) << "package size: folder nested too deeply, not summed:" << name;
            complete = false;
            continue;
        }
        UniqueFd childFd(::openat(::dirfd(dir), name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!childFd.valid()) {
            if (errno != ENOENT) complete = false;
            continue;
        }
        if (!sumDirectory(std::move(childFd), depth + 1, stop, sum)) complete = false;
        if (stopped(stop)) break;
    }
    ::closedir(dir);
    return complete;
}

} // namespace

// One search: its generation, its walker input, its per-folder answers and the matches
// on their way to the main thread.
struct SearchManager::SearchRun {
    explicit SearchRun(std::function<void()> wake) : handOff(std::move(wake)) {}

    std::string root;
    std::string pattern;
    std::atomic<bool> cancelled{false};  // stop walking (button or a newer search)
    std::atomic<bool> superseded{false}; // a newer search replaced it: drop its results
    const std::shared_ptr<walker::ScanControl> control = std::make_shared<walker::ScanControl>();
    bool scanEnded = false;             // its walkers have all returned; under Link::mutex
    bool abandoned = false;             // stopped or replaced before that; under Link::mutex
    bool finished = false;              // its completion has run (main thread)
    MatchHandOff<ItemBlockPtr> handOff; // walker threads -> main thread, a block at a time
    std::uint64_t itemsCounter = 0;     // next itemID (main thread)
    std::atomic<std::int64_t> lastDrainMs{std::numeric_limits<std::int64_t>::min() / 2}; // clock time of the last drain
    std::function<void()> completion;

    std::mutex unreadableMutex;
    std::int64_t unreadableCount = 0;         // under unreadableMutex
    std::vector<UnreadableFolder> unreadable; // under unreadableMutex; the first kMaxUnreadableFoldersKept
};

// What the search threads share with the manager. A thread held in a folder that does not
// answer may outlive the manager: it reaches the manager only through here, and finds it gone.
struct SearchManager::Link {
    std::mutex mutex;
    SearchManager *manager = nullptr; // under mutex; null once the manager is being destroyed
    int abandonedRunning = 0;         // under mutex

    // Runs call on the manager's thread, unless the manager is gone by then. Matches take
    // their own queue (the hand-off context); completions and counts go to the manager.
    enum class Queue { Manager, HandOff };
    void post(std::function<void(SearchManager &)> call, Queue queue = Queue::Manager)
    {
        std::lock_guard lock(mutex);
        if (manager == nullptr) return;
        QObject *context = queue == Queue::HandOff ? &manager->m_handOffContext : manager;
        // An event queued for a destroyed object is dropped with it.
        QMetaObject::invokeMethod(
            context, [target = manager, call = std::move(call)]() { call(*target); }, Qt::QueuedConnection);
    }
};

// One walker's matches made into items: the items of a folder share one Folder, and go to the
// main thread in blocks. Nothing here is shared with the other walkers until a block is
// handed over.
class SearchManager::ItemSink final : public walker::MatchSink {
public:
    explicit ItemSink(std::shared_ptr<SearchRun> run) : m_run(std::move(run)) {}
    ~ItemSink() override { handOver(); }

    void folderMatched(std::span<const walker::FoundEntry> matches) override
    {
        if (m_run->superseded.load(std::memory_order_relaxed)) return;
        m_names.clear();
        for (const walker::FoundEntry &entry : matches)
            m_names.append(entry.name);
        const SearchItem::FolderBytes folder(matches.front().folder, m_names);

        std::uint32_t offset = 0;
        for (const walker::FoundEntry &entry : matches) {
            if (!m_block) {
                m_block = std::make_shared<ItemBlock>();
                m_block->items.reserve(kBlockItems);
                m_blockStart = std::chrono::steady_clock::now();
            }
            SearchItem &item =
                m_block->items.emplace_back(folder, offset, static_cast<std::uint16_t>(entry.name.size()));
            offset += static_cast<std::uint32_t>(entry.name.size());
            classify(item, entry);
            if (m_block->items.size() == kBlockItems) handOver();
        }
    }

    void folderListed() override
    {
        if (m_block && std::chrono::steady_clock::now() - m_blockStart >= kBlockHoldTime) handOver();
    }

    void walkerIdle() override { handOver(); }

private:
    void handOver()
    {
        if (!m_block) return;
        // a block handed over early gives its unused room back (no item is pointed at yet)
        if (m_block->items.size() < kBlockItems / 2) m_block->items.shrink_to_fit();
        m_run->handOff.push(std::move(m_block));
        m_block.reset();
    }

    std::shared_ptr<SearchRun> m_run;
    ItemBlockPtr m_block;
    std::chrono::steady_clock::time_point m_blockStart;
    std::string m_names; // scratch: the names of a folder's matches
};

// Knows the run only: it may outlive the manager.
class SearchManager::RunReceiver final : public walker::WalkerReceiver {
public:
    explicit RunReceiver(std::shared_ptr<SearchRun> run) : m_run(std::move(run)) {}

    std::unique_ptr<walker::MatchSink> sinkForWalker() override { return std::make_unique<ItemSink>(m_run); }
    void directoryUnreadable(std::string_view folder, int error) override
    {
        if (m_run->superseded.load(std::memory_order_relaxed)) return;
        std::lock_guard lock(m_run->unreadableMutex);
        ++m_run->unreadableCount;
        if (m_run->unreadable.size() < kMaxUnreadableFoldersKept)
            m_run->unreadable.push_back(UnreadableFolder{BytePath(folder), error});
    }

private:
    std::shared_ptr<SearchRun> m_run;
};

SearchManager &SearchManager::sharedManager()
{
    static SearchManager *const instance = new SearchManager();
    return *instance;
}

QString SearchManager::SearchManagerDidStartSearchNotification()
{
    return QString::fromLatin1(MessageNames::kSearchManagerDidStartSearch);
}

QString SearchManager::openSearchResultDialogNotification()
{
    return QString::fromLatin1(MessageNames::kOpenSearchResultDialog);
}

SearchManager::SearchManager(QObject *parent) : QObject(parent), m_link(std::make_shared<Link>())
{
    m_link->manager = this;
    m_sizeQueue.setMaxThreadCount(std::max(1, QThread::idealThreadCount() / 2));
    m_sizeQueue.setThreadPriority(QThread::IdlePriority);
}

SearchManager::~SearchManager()
{
    {
        std::lock_guard lock(m_link->mutex);
        m_link->manager = nullptr;
    }
    // The search threads are not waited for: one may never return.
    stopCurrentRun(true);
    m_sizeQueue.waitForDone();
}

void SearchManager::setSearchTemplate(const QString &text)
{
    m_searchTemplate = text;
    const QByteArray utf8 = text.toUtf8();
    m_searchTemplateBytes.assign(utf8.constData(), static_cast<std::size_t>(utf8.size()));
}

std::string SearchManager::lowerCasedSearchText(std::string_view text)
{
    std::string lower;
    lower.reserve(text.size());
    std::size_t runStart = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t len = utf8SequenceLength(text, i);
        if (len != 0) {
            i += len;
            continue;
        }
        lower += lowerUtf8(text.substr(runStart, i - runStart));
        lower.push_back(text[i]); // not UTF-8: kept as it is
        runStart = ++i;
    }
    lower += lowerUtf8(text.substr(runStart));
    return lower;
}

QString SearchManager::textTooLongMessage(std::size_t bytes)
{
    return QStringLiteral("The search text is too long: %1 bytes in UTF-8, at most %2.")
        .arg(bytes)
        .arg(walker::kMaxPatternBytes);
}

std::optional<QString> SearchManager::refusalForText(const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    const std::size_t bytes =
        lowerCasedSearchText(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size()))).size();
    if (bytes > walker::kMaxPatternBytes) return textTooLongMessage(bytes);
    return std::nullopt;
}

std::optional<Error> SearchManager::performSearchWithTemplateAndFolder(const QString &text, const BytePath &folder)
{
    const QByteArray utf8 = text.toUtf8();
    return performSearchWithTemplateBytesAndFolder(
        std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())), folder);
}

std::optional<Error> SearchManager::performSearchWithDefaults()
{
    const std::string text = m_searchTemplateBytes;
    const BytePath folder = m_searchLocation;
    return performSearchWithTemplateBytesAndFolder(text, folder);
}

std::optional<Error> SearchManager::performSearchWithTemplateBytesAndFolder(std::string_view text,
                                                                            const BytePath &folder)
{
    // The walker takes the folder's bytes as they are: a NUL would cut it short.
    if (folder.containsNul()) return Error::posix(EINVAL, folder.displayString());
    m_searchTemplateBytes.assign(text);
    m_searchTemplate = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    m_searchLocation = folder;
    m_reviewTitle.clear();
    m_reviewTag.clear();
    m_reviewGroupLabels.clear();

    // The lists of an older search are replaced; nothing it still finds may reach the new ones.
    stopCurrentRun(true);
    m_searchResultArray = std::make_shared<SearchItemList>();
    m_filteredSearchResultArray = std::make_shared<SearchItemList>();
    if (auto listener = m_searchResultDialog.lock()) listener->prepareForNewSearchResults();
    m_foundItemsMask = 0;
    m_unreadableFolderCount = 0;
    m_unreadableFolders.clear();

    std::string pattern = lowerCasedSearchText(text);
    if (folder.empty() || pattern.empty()) return std::nullopt;
    if (pattern.size() > walker::kMaxPatternBytes) {
        const QString message = textTooLongMessage(pattern.size());
        qCWarning(lcSearch).noquote() << message;
        return Error::app(message);
    }

    // The first match of a batch schedules one drain on the main thread; the drain takes
    // every match handed off until it runs. Drains come at most every kBatchIntervalMs (the
    // first match shows at once): waking the main thread per match would cost more than the
    // search itself.
    auto self = std::make_shared<std::weak_ptr<SearchRun>>();
    auto run = std::make_shared<SearchRun>([link = m_link, self]() {
        if (std::shared_ptr<SearchRun> current = self->lock())
            link->post([current](SearchManager &manager) { manager.scheduleDrain(current); }, Link::Queue::HandOff);
    });
    *self = run;
    run->root = folder.bytes();
    run->pattern = std::move(pattern);

    openSearchResultDialog();
    {
        std::lock_guard lock(m_runMutex);
        m_currentRun = run;
    }
    findFilesAtPathWithcompletionBlock(run, [this]() {
        if (auto listener = m_searchResultDialog.lock()) listener->searchCompleted();
    });
    NotificationCenter::defaultCenter().post(SearchManagerDidStartSearchNotification());
    if (auto listener = m_searchResultDialog.lock()) listener->searchStarted();
    return std::nullopt;
}

// Both hops run in a context owned by this manager: nothing runs once it is gone.
void SearchManager::scheduleDrain(const std::shared_ptr<SearchRun> &run)
{
    const std::int64_t now = Clock::instance().nowMs();
    const std::int64_t due = run->lastDrainMs.load(std::memory_order_relaxed) + kBatchIntervalMs;
    if (due <= now) {
        drainRun(run);
    } else {
        QTimer::singleShot(static_cast<int>(due - now), &m_handOffContext, [this, run]() { drainRun(run); });
    }
}

void SearchManager::stopCurrentRun(bool supersede)
{
    std::shared_ptr<SearchRun> run;
    {
        std::lock_guard lock(m_runMutex);
        run = m_currentRun;
        if (!run) return;
        run->cancelled = true;
        if (supersede) {
            run->superseded = true;
            m_currentRun.reset();
        }
    }
    run->control->cancel();
    bool left = false;
    {
        std::lock_guard lock(m_link->mutex);
        if (!run->scanEnded && !run->abandoned) {
            run->abandoned = true;
            ++m_link->abandonedRunning;
            left = true;
        }
    }
    if (left) m_link->post([](SearchManager &manager) { Q_EMIT manager.abandonedScansChanged(); });
    // A stopped search completes now, whatever its walkers do: what they still find is dropped.
    if (!supersede) m_link->post([run](SearchManager &manager) { manager.finishRun(run); });
}

void SearchManager::findFilesAtPathWithcompletionBlock(const std::shared_ptr<SearchRun> &run,
                                                       std::function<void()> completion)
{
    run->completion = std::move(completion);
    // Its own thread, never waited for: it may be held in a folder that does not answer. It
    // owns what it uses, and reaches the manager only through the link.
    const auto scan = [link = m_link, run]() {
        if (!run->cancelled.load()) {
            RunReceiver receiver(run);
            walker::ScanOptions options;
            options.control = run->control;
            options.classify = true;
            const walker::ScanSummary summary = walker::runScan(run->root, run->pattern, receiver, options);
            if (summary.refused) qCWarning(lcSearch) << "the walker refused the search text";
        }
        bool wasAbandoned = false;
        {
            std::lock_guard lock(link->mutex);
            run->scanEnded = true;
            wasAbandoned = run->abandoned;
            if (wasAbandoned) --link->abandonedRunning;
        }
        link->post([run, wasAbandoned](SearchManager &manager) {
            if (wasAbandoned) Q_EMIT manager.abandonedScansChanged();
            manager.finishRun(run);
        });
    };
    try {
        std::thread(scan).detach();
    } catch (const std::system_error &error) {
        qCWarning(lcSearch) << "no thread for the search:" << error.what();
        m_link->post([run](SearchManager &manager) { manager.finishRun(run); });
    }
}

void SearchManager::drainRun(const std::shared_ptr<SearchRun> &run)
{
    run->lastDrainMs.store(Clock::instance().nowMs(), std::memory_order_relaxed);
    const std::vector<ItemBlockPtr> blocks = run->handOff.drain();
    if (run != m_currentRun || run->superseded || run->finished) return;
    for (const ItemBlockPtr &block : blocks) {
        for (SearchItem &item : block->items) {
            item.setItemID(run->itemsCounter++);
            // the item lives as long as its block
            appendItem(SearchItemPtr(block, &item));
        }
    }
}

void SearchManager::finishRun(const std::shared_ptr<SearchRun> &run)
{
    // The walkers have all returned: this last drain takes the rest, so the completion
    // never runs ahead of an item.
    drainRun(run);
    if (run != m_currentRun || run->superseded || run->finished) return;
    run->finished = true;
    {
        std::lock_guard lock(run->unreadableMutex);
        m_unreadableFolderCount = run->unreadableCount;
        m_unreadableFolders = std::move(run->unreadable);
    }
    if (run->completion) run->completion();
}

void SearchManager::appendItem(SearchItemPtr item)
{
    const SearchCategory category = item->category();
    m_foundItemsMask |= category;
    if ((m_filterMask & category) != 0) m_filteredSearchResultArray->push_back(item);
    if (item->filePackage()) getFolderSizeForSearchItem(item);
    m_searchResultArray->push_back(std::move(item));
}

void SearchManager::cancelSearchByButton()
{
    m_startTime = static_cast<double>(Clock::instance().nowMs()) / 1000.0;
    stopCurrentRun(false);
}

void SearchManager::resumeSearchIfStopped()
{
    walker::resumeScan();
}

void SearchManager::showReviewItems(const QString &title, SearchItemList items, std::vector<QString> groupLabels,
                                    const QString &reviewTag)
{
    stopCurrentRun(true);
    m_searchTemplate.clear();
    m_searchTemplateBytes.clear();
    m_reviewTitle = title;
    m_reviewTag = reviewTag;
    m_reviewGroupLabels.clear();
    m_foundItemsMask = 0;
    m_unreadableFolderCount = 0;
    m_unreadableFolders.clear();
    for (std::size_t i = 0; i < items.size(); ++i) {
        items[i]->setItemID(i);
        m_foundItemsMask |= items[i]->category();
        if (i < groupLabels.size() && !groupLabels[i].isEmpty())
            m_reviewGroupLabels.emplace(items[i]->itemID(), groupLabels[i]);
    }
    m_searchResultArray = std::make_shared<SearchItemList>(std::move(items));
    m_filteredSearchResultArray = std::make_shared<SearchItemList>();
    performSearchResultsFiltering();
    openSearchResultDialog();
    if (auto listener = m_searchResultDialog.lock()) {
        listener->prepareForNewSearchResults();
        listener->searchCompleted();
    }
}

QString SearchManager::reviewGroupLabel(std::uint64_t itemID) const
{
    const auto found = m_reviewGroupLabels.find(itemID);
    return found == m_reviewGroupLabels.end() ? QString() : found->second;
}

void SearchManager::openSearchResultDialog()
{
    NotificationCenter::defaultCenter().post(openSearchResultDialogNotification());
}

std::int64_t SearchManager::totalFiles() const
{
    std::lock_guard lock(m_runMutex);
    return m_currentRun ? m_currentRun->control->examined() : 0;
}

bool SearchManager::isSearchRunning() const
{
    return m_currentRun && !m_currentRun->finished;
}

int SearchManager::abandonedScanCount() const
{
    std::lock_guard lock(m_link->mutex);
    return m_link->abandonedRunning;
}

QString SearchManager::abandonedScanNotice() const
{
    if (abandonedScanCount() == 0) return {};
    return QStringLiteral("A previous search is still waiting for a folder.");
}

SearchItemList SearchManager::removeItemsWithIndexSet(const std::vector<std::size_t> &indexes)
{
    SearchItemList removed;
    std::unordered_set<const SearchItem *> collected;
    const auto collect = [&](const SearchItemPtr &item) {
        if (collected.insert(item.get()).second) removed.push_back(item);
    };
    for (const std::size_t index : indexes) {
        if (index < m_filteredSearchResultArray->size()) collect((*m_filteredSearchResultArray)[index]);
    }
    // A package takes the found items inside it along.
    const std::size_t chosen = removed.size();
    for (std::size_t i = 0; i < chosen; ++i) {
        if (!removed[i]->filePackage()) continue;
        const std::string package = removed[i]->fullFileNameWithPath().bytes();
        for (const SearchItemPtr &item : *m_searchResultArray) {
            if (isInsideFolder(item->filePathBytes(), package)) collect(item);
        }
    }
    const auto isCollected = [&](const SearchItemPtr &item) { return collected.count(item.get()) != 0; };
    std::erase_if(*m_searchResultArray, isCollected);
    std::erase_if(*m_filteredSearchResultArray, isCollected);
    return removed;
}

void SearchManager::clearSearchResultsArray()
{
    m_searchResultArray->clear();
}

void SearchManager::performSearchResultsFiltering()
{
    m_filteredSearchResultArray->clear();
    for (const SearchItemPtr &item : *m_searchResultArray) {
        if ((m_filterMask & item->category()) != 0) m_filteredSearchResultArray->push_back(item);
    }
}

void SearchManager::classify(SearchItem &item, const walker::FoundEntry &entry)
{
    const std::string_view name = entry.name;
    item.setTypeCode(typeCodeFor(name, entry.isDirectory, entry.isSymlink));
    const std::optional<FileStat> stat = entry.directoryFd >= 0 ? FileAttributes::lstatAt(entry.directoryFd, name)
                                                                : FileAttributes::lstat(item.fullFileNameWithPath());
    if (stat) item.setLastUsedMsecs(modificationMsecsOf(*stat));
    const bool package = FileAttributes::isPackageEntry(name, entry.isDirectory, entry.isSymlink);
    item.setFilePackage(package);
    item.setFileInPackage(entry.folderInPackage);
    if (package) {
        item.setFileSize(0); // the background sum replaces it
    } else if (item.typeCode() == SearchItem::kTypeFolder) {
        item.setFileSize(-1);
    } else {
        item.setFileSize(stat ? stat->apparentSize : 0);
    }
    const bool hidden = !name.empty() && (name.front() == '.' || entry.listedHidden);
    item.setFileHidden(!entry.folderInPackage && hidden);
    item.setFileInHiddenFolder(entry.folderInHiddenFolder);
}

bool SearchManager::isFilePackage(const BytePath &path)
{
    return FileAttributes::isPackage(path);
}

bool SearchManager::isFilePackagedAtPath(const BytePath &path)
{
    HiddenStateCache cache;
    return cache.isInPackage(path.parent().bytes());
}

bool SearchManager::isFileInHiddenFolderAtPath(const BytePath &path)
{
    HiddenStateCache cache;
    return cache.isInHiddenFolder(path.parent().bytes());
}

bool SearchManager::getFileTypeHidden(const BytePath &path)
{
    return FileAttributes::isHidden(path);
}

std::int64_t SearchManager::getFileSize(const BytePath &path)
{
    const std::optional<FileStat> stat = FileAttributes::lstat(path);
    return stat ? stat->apparentSize : 0;
}

QDateTime SearchManager::getModificationDate(const BytePath &path)
{
    const std::optional<FileStat> stat = FileAttributes::lstat(path);
    return stat ? QDateTime::fromMSecsSinceEpoch(modificationMsecsOf(*stat), Qt::UTC) : QDateTime();
}

std::optional<SearchManager::FolderSize> SearchManager::sumFolderContents(const BytePath &folder,
                                                                          const std::atomic<bool> *stop)
{
    FolderSize size;
    UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    size.complete = fd.valid() && sumDirectory(std::move(fd), 0, stop, size.bytes);
    if (stopped(stop)) return std::nullopt;
    return size;
}

void SearchManager::getFolderSizeForSearchItem(const SearchItemPtr &item)
{
    std::shared_ptr<SearchRun> run = m_currentRun;
    ++m_pendingPackageSizes;
    const BytePath path = item->fullFileNameWithPath();
    m_sizeQueue.start([this, run, item, path]() {
        const std::atomic<bool> *stop = run ? &run->superseded : nullptr;
        std::optional<FolderSize> sum;
        if (!stopped(stop)) sum = sumFolderContents(path, stop);
        QMetaObject::invokeMethod(
            this,
            [this, run, item, sum]() {
                --m_pendingPackageSizes;
                if (run && run->superseded) return;
                if (sum) {
                    item->setFileSize(sum->bytes);
                    item->setFileSizeIncomplete(!sum->complete);
                }
                if (auto listener = m_searchResultDialog.lock()) listener->packageSizeArrived(item);
            },
            Qt::QueuedConnection);
    });
}

} // namespace lurkel
