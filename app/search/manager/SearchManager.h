#pragma once

#include "BytePath.h"
#include "DirectoryWalker.h"
#include "Error.h"
#include "SearchItem.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QThreadPool>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace lurkel {

// A folder a search could not open or list to the end, and the errno of the failure.
struct UnreadableFolder {
    BytePath folder;
    int error = 0;
};

// What the results window does for the search manager. The manager holds it weakly and
// calls it on the main thread.
class SearchResultsListener {
public:
    virtual ~SearchResultsListener() = default;
    // A new search has replaced both lists: take the new list objects and the template.
    virtual void prepareForNewSearchResults() = 0;
    // The walker has been started; called right after "SearchManagerDidStartSearchNotification"
    // is posted, so a listener need not observe that notification as well.
    virtual void searchStarted() = 0;
    // The search has ended (run to the end or cancelled); every item it found is in the lists.
    virtual void searchCompleted() = 0;
    // A package's background size sum has ended: its fileSize now holds the sum, and
    // fileSizeIncomplete tells whether part of the package could not be read.
    virtual void packageSizeArrived(const SearchItemPtr &) {}
};

// The owner of the one file search of the application: runs the directory walker on a
// background thread, turns each match into a classified SearchItem and keeps the full and
// the filtered result lists. Lists, masks and the listener belong to the main thread.
//
// Every search has its own generation: matches, completions and package sizes of a search
// that a newer one replaced never reach the lists, whatever its walkers still do. Every search
// has its own threads as well: one held in a folder that does not answer (a dead network or
// FUSE mount) is left to it, and holds up neither the next search nor the Stop button.
class SearchManager : public QObject {
    Q_OBJECT

public:
    // The application's manager, created on first use (on the main thread) and kept for the
    // whole process.
    static SearchManager &sharedManager();
    static QString SearchManagerDidStartSearchNotification();
    static QString openSearchResultDialogNotification();

    // The application uses sharedManager(); separate managers serve tools and tests. The
    // threads of a search left held in a folder may outlive the manager; they find it gone.
    explicit SearchManager(QObject *parent = nullptr);
    ~SearchManager() override;

    const QString &searchTemplate() const { return m_searchTemplate; }
    // The template as bytes (UTF-8 when typed; a command line may pass other bytes).
    const std::string &searchTemplateBytes() const { return m_searchTemplateBytes; }
    void setSearchTemplate(const QString &text);
    const BytePath &searchLocation() const { return m_searchLocation; }
    void setSearchLocation(const BytePath &folder) { m_searchLocation = folder; }
    std::weak_ptr<SearchResultsListener> searchResultDialog() const { return m_searchResultDialog; }
    void setSearchResultDialog(std::weak_ptr<SearchResultsListener> listener)
    {
        m_searchResultDialog = std::move(listener);
    }
    // Category bits (SearchCategory) the filtered list shows; 3 (regular and hidden) at first.
    unsigned filterMask() const { return m_filterMask; }
    void setFilterMask(unsigned mask) { m_filterMask = mask; }
    // Category bits the current search has found so far.
    unsigned foundItemsMask() const { return m_foundItemsMask; }
    // Monotonic seconds of the last cancelSearchByButton.
    double startTime() const { return m_startTime.load(); }

    // Starts a search of folder for text (main thread). An empty text or folder starts
    // nothing and posts nothing; a text longer than walker::kMaxPatternBytes once lower-cased
    // is refused the same way and the error says why. A running search is replaced.
    std::optional<Error> performSearchWithTemplateAndFolder(const QString &text, const BytePath &folder);
    std::optional<Error> performSearchWithTemplateBytesAndFolder(std::string_view text, const BytePath &folder);
    std::optional<Error> performSearchWithDefaults();
    // Shows a list that no search made (what the disk-usage scans found) in the results
    // window: a running search is replaced, the lists hold the items in the given order,
    // the listener is told as after a search that ended, and the window is asked for.
    // title names the list; groupLabels (item index -> label) mark the rows that belong
    // together; reviewTag tells the list's origin until the next search.
    void showReviewItems(const QString &title, SearchItemList items, std::vector<QString> groupLabels = {},
                         const QString &reviewTag = {});
    // The title and origin of the review the lists hold; empty after a search.
    const QString &reviewTitle() const { return m_reviewTitle; }
    const QString &reviewTag() const { return m_reviewTag; }
    // The label of an item's group in the review, by its item ID; empty when none.
    QString reviewGroupLabel(std::uint64_t itemID) const;

    // Stops the running search: the walkers stop within one entry, and the completion follows
    // on the main thread without waiting for them (one may be held in a folder that does not
    // answer). Returns at once. Callable from any thread.
    void cancelSearchByButton();
    // Re-arms the process-wide walker switch (walker::cancelScan). The manager's searches do
    // not depend on it: each has a stop switch of its own.
    void resumeSearchIfStopped();
    // Nothing to do when a cancelled scan ends: its completion has been queued at the Stop.
    void searchInterruptedObjC() {}
    void openSearchResultDialog();
    // Entries the walker has examined so far in the current search (or the last, once ended).
    std::int64_t totalFiles() const;
    // From the start of a search until its completion has run (main thread).
    bool isSearchRunning() const;
    // Searches replaced or stopped whose walkers have not ended yet: as a rule, held in a
    // folder that does not answer. They report nothing more; their threads end on their own,
    // if ever. Callable from any thread; abandonedScansChanged tells when it changes.
    int abandonedScanCount() const;
    // What to tell the user while such a search is left behind; empty when none is.
    QString abandonedScanNotice() const;
    // The folders the last completed search could not read, in the order met: every one is
    // counted, the first kMaxUnreadableFoldersKept are kept. Empty from the start of a search
    // until its completion (main thread).
    static constexpr std::size_t kMaxUnreadableFoldersKept = 10000;
    std::int64_t unreadableFolderCount() const { return m_unreadableFolderCount; }
    const std::vector<UnreadableFolder> &unreadableFolders() const { return m_unreadableFolders; }

    // The two lists. A listener keeps these very objects (until prepareForNewSearchResults)
    // and may reorder or refill the filtered one on the main thread.
    std::shared_ptr<SearchItemList> getSearchResultArray() const { return m_searchResultArray; }
    std::shared_ptr<SearchItemList> getFilteredSearchResultArray() const { return m_filteredSearchResultArray; }
    // Removes the filtered-list items at indexes (indexes past the end are ignored), and with
    // every package among them the found items inside it, from both lists. Returns the
    // removed items.
    SearchItemList removeItemsWithIndexSet(const std::vector<std::size_t> &indexes);
    // Empties the full list only.
    void clearSearchResultsArray();
    // Refills the filtered list (the same object) from the full list in report order.
    void performSearchResultsFiltering();
    // Package sums queued or running (main thread).
    int pendingPackageSizeCount() const { return m_pendingPackageSizes; }

    // Classification, callable from any thread. A failed query gives its neutral value.
    //
    // Fills item (named and placed already) for a match as a classifying walk reports it: one
    // lstat relative to the open directory; the hidden and package facts come with the match.
    static void classify(SearchItem &item, const walker::FoundEntry &entry);
    static bool isFilePackage(const BytePath &path);
    // Some folder above path (up to "/") is a package.
    static bool isFilePackagedAtPath(const BytePath &path);
    // Some folder above path (up to "/") is hidden.
    static bool isFileInHiddenFolderAtPath(const BytePath &path);
    static bool getFileTypeHidden(const BytePath &path);
    static std::int64_t getFileSize(const BytePath &path);
    static QDateTime getModificationDate(const BytePath &path);
    // The sizes of everything below folder added up (folders with their own size, links not
    // followed). What could not be read (a listing that failed, an entry that could not be
    // stat'ed or opened, a folder nested too deeply) is left out and makes the sum incomplete,
    // a lower bound; entries gone since they were listed are no part of it. nullopt when stop
    // became true.
    struct FolderSize {
        std::int64_t bytes = 0;
        bool complete = true;
    };
    static std::optional<FolderSize> sumFolderContents(const BytePath &folder, const std::atomic<bool> *stop = nullptr);
    // Sums the package's contents on an idle-priority thread and sets the item's size on the
    // main thread.
    void getFolderSizeForSearchItem(const SearchItemPtr &item);

    // The text as the walker gets it: lower-cased in full (Unicode); bytes that are not
    // UTF-8 are kept as they are.
    static std::string lowerCasedSearchText(std::string_view text);
    // The refusal of a text that is too long, for the user.
    static QString textTooLongMessage(std::size_t bytes);
    // Why a search for text would be refused (too long once lower-cased); nullopt when it
    // would not. The windows ask first, so that the user is told where he typed.
    static std::optional<QString> refusalForText(const QString &text);

Q_SIGNALS:
    // abandonedScanCount() has changed (emitted on the main thread).
    void abandonedScansChanged();

private:
    struct SearchRun;
    struct Link;
    class RunReceiver;
    class ItemSink;

    void findFilesAtPathWithcompletionBlock(const std::shared_ptr<SearchRun> &run, std::function<void()> completion);
    void stopCurrentRun(bool supersede);
    void scheduleDrain(const std::shared_ptr<SearchRun> &run);
    void drainRun(const std::shared_ptr<SearchRun> &run);
    void finishRun(const std::shared_ptr<SearchRun> &run);
    void appendItem(SearchItemPtr item);

    std::atomic<double> m_startTime{0.0};
    QString m_searchTemplate;
    std::string m_searchTemplateBytes;
    QString m_reviewTitle;
    QString m_reviewTag;
    std::unordered_map<std::uint64_t, QString> m_reviewGroupLabels;
    BytePath m_searchLocation;
    std::weak_ptr<SearchResultsListener> m_searchResultDialog;
    unsigned m_filterMask = kSearchCategoryRegular | kSearchCategoryHidden;
    unsigned m_foundItemsMask = 0;
    std::shared_ptr<SearchItemList> m_searchResultArray = std::make_shared<SearchItemList>();
    std::shared_ptr<SearchItemList> m_filteredSearchResultArray = std::make_shared<SearchItemList>();
    int m_pendingPackageSizes = 0;
    std::int64_t m_unreadableFolderCount = 0;
    std::vector<UnreadableFolder> m_unreadableFolders;

    // Shared with the search threads, which may outlive the manager.
    std::shared_ptr<Link> m_link;
    // Written on the main thread under the mutex; read elsewhere under it.
    mutable std::mutex m_runMutex;
    // The context of the batched hand-off's queued calls and timers: destroyed with the
    // manager, so none of them can run after it.
    QObject m_handOffContext;
    std::shared_ptr<SearchRun> m_currentRun; // the current generation

    QThreadPool m_sizeQueue;
};

} // namespace lurkel
