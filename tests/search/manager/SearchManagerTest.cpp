#include "SearchManager.h"
#include "EventWait.h"
#include "FileAttributes.h"
#include "Fixtures.h"
#include "FolderGate.h"
#include "NotificationCenter.h"
#include "QtPrinters.h"
#include "TestEnvironment.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <cctype>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>

using namespace lurkel;
using lurkel::test::makeDir;

namespace {

BytePath freshFolder(const std::string &name)
{
    static int counter = 0;
    const BytePath folder = test::TestEnvironment::root() / (name + "-" + std::to_string(++counter));
    makeDir(folder);
    return folder;
}

class FakeResultsWindow final : public SearchResultsListener {
public:
    explicit FakeResultsWindow(SearchManager &manager) : m_manager(manager) {}
    void prepareForNewSearchResults() override {}
    void searchStarted() override { ++started; }
    void searchCompleted() override
    {
        ++completed;
        itemsAtCompletion = m_manager.getSearchResultArray()->size();
    }
    bool waitForCompletion()
    {
        return test::waitUntil([this]() { return !m_manager.isSearchRunning(); });
    }

    int started = 0;
    int completed = 0;
    std::size_t itemsAtCompletion = 0;

private:
    SearchManager &m_manager;
};

struct Fixture {
    SearchManager manager;
    std::shared_ptr<FakeResultsWindow> window = std::make_shared<FakeResultsWindow>(manager);
    Fixture() { manager.setSearchResultDialog(window); }

    SearchItemList search(const QString &text, const BytePath &folder, unsigned filterMask = kSearchCategoryAll)
    {
        manager.setFilterMask(filterMask);
        EXPECT_FALSE(manager.performSearchWithTemplateAndFolder(text, folder).has_value());
        EXPECT_TRUE(window->waitForCompletion());
        return *manager.getSearchResultArray();
    }
};

// The classification worked out the plain way, from the file system alone: every folder from
// the item's own up to "/" is looked at, and every ".hidden" is read where it lies.
struct Reference {
    static bool hidden(const BytePath &path)
    {
        const std::string name(path.fileName());
        const std::string listed = "\n" + test::readFile(path.parent() / ".hidden") + "\n";
        return name.front() == '.' || listed.find("\n" + name + "\n") != std::string::npos;
    }
    static bool package(const BytePath &path)
    {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
        const std::string name(path.fileName());
        const auto dot = name.rfind('.');
        if (dot == std::string::npos || dot == 0) return false;
        std::string ext = name.substr(dot + 1);
        for (char &c : ext)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        for (const std::string_view known : FileAttributes::packageExtensions())
            if (ext == known) return true;
        return false;
    }
    static bool anyAbove(const BytePath &path, bool (*test)(const BytePath &))
    {
        for (BytePath folder = path.parent(); folder.bytes() != "/" && !folder.empty(); folder = folder.parent())
            if (test(folder)) return true;
        return false;
    }
    static std::int64_t sumBelow(const BytePath &folder)
    {
        std::int64_t sum = 0;
        for (const auto &[relative, unused] : test::snapshot(folder)) {
            struct stat st {};
            if (!relative.empty() && ::lstat((folder / relative).c_str(), &st) == 0) sum += st.st_size;
        }
        return sum;
    }
    static std::string describe(const BytePath &path)
    {
        struct stat st {};
        ::lstat(path.c_str(), &st);
        const bool inPackage = anyAbove(path, package);
        const bool isPackage = package(path);
        const bool isHidden = !inPackage && hidden(path);
        const bool inHidden = anyAbove(path, hidden);
        const char category = inPackage ? 'p' : (isHidden || inHidden) ? 'h' : 'r';
        const std::int64_t size = isPackage ? sumBelow(path) : S_ISDIR(st.st_mode) ? -1 : st.st_size;
        const char *type = S_ISLNK(st.st_mode)   ? "public.symlink"
                           : isPackage           ? "com.apple.package"
                           : S_ISDIR(st.st_mode) ? "public.folder"
                                                 : "public.data";
        return std::string(1, category) + " " + type + " size " + std::to_string(size) + " mtime " +
               std::to_string(st.st_mtim.tv_sec * 1000 + st.st_mtim.tv_nsec / 1000000) + " flags " +
               std::to_string(isHidden) + std::to_string(inHidden) + std::to_string(isPackage) +
               std::to_string(inPackage);
    }
    // Every entry below root whose ASCII-folded name holds text, links not followed.
    static std::map<std::string, std::string> collect(const BytePath &root, const std::string &text)
    {
        std::map<std::string, std::string> out;
        for (const auto &[relative, unused] : test::snapshot(root)) {
            std::string name(BytePath(relative).fileName());
            for (char &c : name)
                if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
            if (!relative.empty() && name.find(text) != std::string::npos)
                out[(root / relative).bytes()] = describe(root / relative);
        }
        return out;
    }
};

} // namespace

// Hidden lists in nested folders, packages in packages and their namesakes, links, names that
// are not UTF-8, and roots that lie in a hidden folder or in a folder its parent's ".hidden"
// names: what the search says of each item is what the plain reading of the file system says.
// Then the filter, and the removal of a package with what was found inside it.
TEST(SearchManager, ClassifiesLikeThePlainReadingThenFiltersAndRemovesPackagesWithTheirContents)
{
    if (SearchManager::isFileInHiddenFolderAtPath(test::TestEnvironment::root() / "x"))
        GTEST_SKIP() << "the test folder lies inside a hidden folder";
    const BytePath root = freshFolder("reference");
    for (const auto &[path, content] : std::initializer_list<std::pair<std::string, std::string>>{
             {".hidden", "lq\nlisted\n"},
             {"aq.txt", "12345"},
             {"lq", ""},
             {"bq\xff\xfe", "abc"},
             {"dQ/.hidden", "nq\n"},
             {"dQ/nq", "1"},
             {"dQ/mq", "22"},
             {"dQ/sub/.hidden", "deepq\nsubq\n"},
             {"dQ/sub/deepq", "333"},
             {"dQ/sub/subq/q-inside", ""},
             {".hq/inq/fq.txt", "x"},
             {".hq/inq/.hidden", "gq\n"},
             {".hq/inq/gq", ""},
             {"listed/inq/kq", ""},
             {"listed/inq/deeper/oq", ""},
             {"Pq.app/Contents/.hidden", "rq\n"},
             {"Pq.app/Contents/rq", "4444"},
             {"Pq.app/Contents/.dq", ""},
             {"Pq.app/Contents/Innerq.framework/xq", "55555"},
             {"Pq.app/Contents/Innerq.framework/Sub.bundle/yq", ""},
             {"Pq.apple/q-near", ""},
             {"not\xff-dirq/.hidden", "\xfe-q\n"},
             {"not\xff-dirq/\xfe-q", ""},
             {"not\xff-dirq/plainq", ""}}) {
        for (std::size_t slash = path.find('/'); slash != std::string::npos; slash = path.find('/', slash + 1))
            ::mkdir((root / path.substr(0, slash)).c_str(), 0755);
        test::writeFile(root / path, content);
    }
    ASSERT_EQ(::symlink("dQ", (root / "linkq").c_str()), 0);
    const timespec old[2] = {{978307200, 123456789}, {978307200, 123456789}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (root / "dQ/mq").c_str(), old, AT_SYMLINK_NOFOLLOW), 0);

    Fixture f;
    const auto sizesArrived = [&]() { return f.manager.pendingPackageSizeCount() == 0; };
    for (const std::string below : {"", "/.hq/inq", "/listed/inq"}) {
        SCOPED_TRACE("root " + below);
        const BytePath searched(root.bytes() + below);
        const SearchItemList items = f.search(QStringLiteral("Q"), searched);
        EXPECT_EQ(f.window->itemsAtCompletion, items.size());
        ASSERT_TRUE(test::waitUntil(sizesArrived));
        std::map<std::string, std::string> found;
        for (std::size_t i = 0; i < items.size(); ++i) {
            const SearchItem &item = *items[i];
            EXPECT_EQ(item.itemID(), i); // report order
            EXPECT_FALSE(item.fileSizeIncomplete());
            const QDateTime date = item.lastUsedDate();
            found[item.fullFileNameWithPath().bytes()] =
                std::string(1, item.categoryCode()) + " " + item.fileType().toStdString() + " size " +
                std::to_string(item.fileSize()) + " mtime " +
                std::to_string(date.isValid() ? date.toMSecsSinceEpoch() : -1) + " flags " +
                std::to_string(item.fileHidden()) + std::to_string(item.fileInHiddenFolder()) +
                std::to_string(item.filePackage()) + std::to_string(item.fileInPackage());
        }
        EXPECT_EQ(found.size(), items.size()) << "each item once";
        const auto reference = Reference::collect(searched, "q");
        EXPECT_GE(reference.size(), below.empty() ? 28u : 2u);
        EXPECT_EQ(found, reference);
    }
    EXPECT_EQ(f.manager.unreadableFolderCount(), 0);

    // Listed with only the hidden category, then with all.
    const SearchItemList items = f.search(QStringLiteral("Q"), root, kSearchCategoryHidden);
    EXPECT_EQ(f.manager.foundItemsMask(), unsigned(kSearchCategoryAll));
    const auto filtered = f.manager.getFilteredSearchResultArray();
    SearchItemList hiddenOnes;
    std::copy_if(items.begin(), items.end(), std::back_inserter(hiddenOnes),
                 [](const SearchItemPtr &item) { return item->category() == kSearchCategoryHidden; });
    EXPECT_EQ(hiddenOnes.size(), 13u);
    EXPECT_EQ(*filtered, hiddenOnes);
    f.manager.setFilterMask(kSearchCategoryAll);
    f.manager.performSearchResultsFiltering();
    EXPECT_EQ(*filtered, items);

    // Removing the package takes what was found inside it out of both lists, not its namesake's.
    const BytePath app = root / "Pq.app";
    const auto appAt = std::find_if(filtered->begin(), filtered->end(),
                                    [&](const SearchItemPtr &item) { return item->fullFileNameWithPath() == app; });
    ASSERT_NE(appAt, filtered->end());
    const std::size_t appIndex = static_cast<std::size_t>(appAt - filtered->begin());
    EXPECT_EQ(f.manager.removeItemsWithIndexSet({appIndex, filtered->size() + 5}).size(), 6u);
    for (const auto &list : {f.manager.getSearchResultArray(), filtered}) {
        EXPECT_EQ(list->size(), items.size() - 6); // the namesake Pq.apple stays
        for (const SearchItemPtr &item : *list)
            EXPECT_NE((item->fullFileNameWithPath().bytes() + "/").rfind(app.bytes() + "/", 0), 0u);
    }

    // A capital outside ASCII is not folded: "É" finds é but not É.
    const BytePath accents = freshFolder("accents");
    test::writeFile(accents / "\xC3\x89-upper", "");
    test::writeFile(accents / "\xC3\xA9-lower", "");
    const SearchItemList accented = f.search(QStringLiteral("\u00C9"), accents);
    ASSERT_EQ(accented.size(), 1u);
    EXPECT_EQ(accented[0]->fileName(), "\xC3\xA9-lower");
}

TEST(SearchManager, ReplacedOrCancelledSearchLeavesNothingInTheNextOne)
{
    const BytePath big = freshFolder("big");
    constexpr std::size_t kMatches = 20 * 60;
    for (int d = 0; d < 20; ++d) {
        const BytePath dir = big / ("d" + std::to_string(d));
        makeDir(dir);
        for (int i = 0; i < 60; ++i)
            test::writeFile(dir / ("big-abc-" + std::to_string(i)), "");
    }
    const BytePath small = freshFolder("small");
    for (const char *name : {"zzq1", "a-zzq", "ZZQ.txt"})
        test::writeFile(small / name, "");

    Fixture f;
    f.search(QStringLiteral("big-abc"), big); // the completion comes after the last item
    EXPECT_EQ(f.window->itemsAtCompletion, kMatches);
    QCoreApplication::processEvents();
    EXPECT_EQ(f.manager.getSearchResultArray()->size(), kMatches);

    for (const bool whileWalking : {true, false}) { // else while still queued
        for (const bool pressStop : {true, false}) {
            SCOPED_TRACE(std::string(whileWalking ? "walking" : "queued") + (pressStop ? ", stopped" : ""));
            const int completedBefore = f.window->completed;
            ASSERT_FALSE(f.manager.performSearchWithTemplateAndFolder(QStringLiteral("big-abc"), big).has_value());
            // its first matches on the main thread show that the walkers are at work
            while (whileWalking && f.manager.getSearchResultArray()->empty())
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            if (pressStop) f.manager.cancelSearchByButton();
            const SearchItemList items = f.search(QStringLiteral("ZZQ"), small);
            ASSERT_EQ(items.size(), 3u);
            for (std::size_t i = 0; i < items.size(); ++i) {
                EXPECT_EQ(items[i]->filePath(), small);
                EXPECT_EQ(items[i]->itemID(), i);
            }
            EXPECT_EQ(f.window->completed, completedBefore + 1); // the replaced search never completes
            QCoreApplication::processEvents();
            EXPECT_EQ(f.manager.getSearchResultArray()->size(), 3u);
        }
    }

    // a stop without a new search: the completion still comes, and the next search runs in full
    const int completedBefore = f.window->completed;
    ASSERT_FALSE(f.manager.performSearchWithTemplateAndFolder(QStringLiteral("big-abc"), big).has_value());
    f.manager.cancelSearchByButton();
    EXPECT_TRUE(f.window->waitForCompletion());
    EXPECT_EQ(f.window->completed, completedBefore + 1);
    EXPECT_EQ(f.search(QStringLiteral("big-abc"), big).size(), kMatches);
}

// A folder that never answers (a dead network or FUSE mount) holds its search's walker for
// good: the Stop button and the next search must not wait for it.
TEST(SearchManager, ASearchHeldInAFolderHoldsUpNeitherStopNorTheNextSearch)
{
    const BytePath stuck = freshFolder("stuck");
    test::writeFile(makeDir(stuck / "held") / "late-zzq", "");
    const BytePath small = freshFolder("small");
    for (const char *name : {"zzq1", "a-zzq"})
        test::writeFile(small / name, "");
    Fixture f;
    test::FolderGate gate((stuck / "held").bytes());
    int changes = 0;
    QObject::connect(&f.manager, &SearchManager::abandonedScansChanged, [&]() { ++changes; });

    // replaced while held: the next search runs in full meanwhile
    ASSERT_FALSE(f.manager.performSearchWithTemplateAndFolder(QStringLiteral("zzq"), stuck).has_value());
    ASSERT_TRUE(gate.waitUntilHeld(1));
    EXPECT_EQ(f.manager.abandonedScanNotice(), QString());
    EXPECT_EQ(f.search(QStringLiteral("zzq"), small).size(), 2u);
    EXPECT_EQ(f.manager.abandonedScanCount(), 1);
    EXPECT_EQ(f.window->completed, 1);

    // stopped while held: the completion comes all the same
    ASSERT_FALSE(f.manager.performSearchWithTemplateAndFolder(QStringLiteral("zzq"), stuck).has_value());
    ASSERT_TRUE(gate.waitUntilHeld(2));
    f.manager.cancelSearchByButton();
    EXPECT_TRUE(f.window->waitForCompletion());
    EXPECT_EQ(f.window->completed, 2);
    EXPECT_EQ(f.manager.abandonedScanCount(), 2);
    EXPECT_FALSE(f.manager.abandonedScanNotice().isEmpty());

    // released: what they find is dropped, and they are no longer counted
    gate.open();
    EXPECT_TRUE(test::waitUntil([&]() { return f.manager.abandonedScanCount() == 0; }));
    EXPECT_TRUE(test::waitUntil([&]() { return changes == 4; })); // two left behind, two ended
    test::drainMainQueue();
    EXPECT_TRUE(f.manager.getSearchResultArray()->empty());
    EXPECT_EQ(f.window->completed, 2);
    EXPECT_EQ(f.manager.abandonedScanNotice(), QString());
}

TEST(SearchManager, UnreadableFoldersReachTheClientsAtCompletion)
{
    const BytePath gone = freshFolder("gone") / "missing";
    Fixture f;
    for (int round = 0; round < 2; ++round) {
        ASSERT_FALSE(f.manager.performSearchWithTemplateAndFolder(QStringLiteral("abc"), gone).has_value());
        EXPECT_EQ(f.manager.unreadableFolderCount(), 0) << "the last search's are gone at the start";
        ASSERT_TRUE(f.window->waitForCompletion());
        EXPECT_EQ(f.manager.unreadableFolderCount(), 1);
        ASSERT_EQ(f.manager.unreadableFolders().size(), 1u);
        EXPECT_EQ(f.manager.unreadableFolders()[0].folder, gone);
        EXPECT_EQ(f.manager.unreadableFolders()[0].error, ENOENT);
    }
}

TEST(SearchManager, NothingToSearchStartsNothingAndPostsNothing)
{
    const BytePath folder = freshFolder("quiet");
    test::writeFile(folder / "abc", "");
    Fixture f;
    int posted = 0;
    const auto countPosts = [&posted](const Notification &) { ++posted; };
    auto &center = NotificationCenter::defaultCenter();
    const auto t1 = center.addObserver(SearchManager::SearchManagerDidStartSearchNotification(), {}, countPosts);
    const auto t2 = center.addObserver(SearchManager::openSearchResultDialogNotification(), {}, countPosts);

    f.search(QStringLiteral("abc"), folder);
    ASSERT_EQ(f.manager.getSearchResultArray()->size(), 1u);
    EXPECT_EQ(posted, 2);
    posted = 0;

    // U+0130 takes 2 bytes but 3 once lower-cased: the limit applies to the lower-cased text
    for (const auto &[text, where] :
         {std::pair{QString(), folder}, std::pair{QStringLiteral("abc"), BytePath()},
          std::pair{QString(1024, QLatin1Char('a')), folder}, std::pair{QString(400, QChar(0x130)), folder}}) {
        const std::optional<Error> error = f.manager.performSearchWithTemplateAndFolder(text, where);
        EXPECT_EQ(error.has_value(), text.size() > 100);
        EXPECT_FALSE(f.manager.isSearchRunning());
        EXPECT_TRUE(f.manager.getSearchResultArray()->empty()); // the old results are gone
        EXPECT_EQ(f.manager.foundItemsMask(), 0u);
    }
    EXPECT_EQ(posted, 0);
    EXPECT_EQ(f.window->started, 1);

    f.search(QString(1023, QLatin1Char('a')), folder); // the longest text that fits runs
    EXPECT_EQ(posted, 2);
    EXPECT_EQ(f.window->completed, 2);
    center.removeObserver(t1);
    center.removeObserver(t2);
}
