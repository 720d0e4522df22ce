#include "SearchManager.h"
#include "EventWait.h"
#include "FileAttributes.h"
#include "Fixtures.h"
#include "FolderGate.h"
#include "NotificationCenter.h"
#include "QtPrinters.h"
#include "TestEnvironment.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <cctype>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <sys/stat.h>

using namespace lurkel;
using lurkel::test::makeDir;
using namespace std::string_literals;

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
        quitWhenDone();
    }
    void packageSizeArrived(const SearchItemPtr &) override { quitWhenDone(); }

    // Runs the event loop until done() holds, at most a minute.
    bool waitUntil(std::function<bool()> done)
    {
        if (done()) return true;
        m_done = done;
        QTimer limit;
        QObject::connect(&limit, &QTimer::timeout, &m_loop, &QEventLoop::quit);
        limit.start(60000);
        m_loop.exec();
        m_done = nullptr;
        return done();
    }
    bool waitForCompletion()
    {
        return waitUntil([this]() { return !m_manager.isSearchRunning(); });
    }

    int started = 0;
    int completed = 0;
    std::size_t itemsAtCompletion = 0;

private:
    void quitWhenDone()
    {
        if (m_done && m_done()) m_loop.quit();
    }
    SearchManager &m_manager;
    QEventLoop m_loop;
    std::function<bool()> m_done;
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

std::map<std::string, SearchItemPtr> byFullPath(const SearchItemList &items)
{
    std::map<std::string, SearchItemPtr> map;
    for (const SearchItemPtr &item : items)
        map[item->fullFileNameWithPath().bytes()] = item;
    return map;
}

constexpr std::int64_t kAnySize = -2;

// One match of every kind the classification tells apart, and what it must say about it.
struct Expected {
    std::string path;
    char category;
    const char *type;
    std::int64_t size;
};

struct ClassificationTree {
    BytePath root = freshFolder("classes");
    BytePath app = root / "abcTool.app";
    std::string badName = "abc\xff\xfe"s;
    std::vector<Expected> matches = {
        {"abc.txt", 'r', "public.data", 5},
        {"xAbCy", 'r', "public.data", 0},
        {"abcdir", 'r', "public.folder", -1},
        {".secret/in-abc.txt", 'h', "public.data", 0},    // inside a hidden folder
        {".abc-dotfile", 'h', "public.data", 0},          // hidden itself
        {"listed/abc-listed.txt", 'h', "public.data", 0}, // its folder is named in .hidden
        {"abcTool.app", 'r', "com.apple.package", kAnySize},
        {"abcTool.app/Contents/.abc-dot", 'p', "public.data", 4}, // dot name, but inside a package
        {"abcTool.app/Contents/abc-res", 'p', "public.data", 8},
        {"abcTool.apple", 'r', "public.folder", -1},
        {"abcTool.apple/abc-near", 'r', "public.data", 0},
        {"target/abc-in-target", 'r', "public.data", 0}, // found once, not again through the link
        {"abc-link", 'r', "public.symlink", 6},
        {badName, 'r', "public.data", 3},
    };

    ClassificationTree()
    {
        for (const char *dir : {"abcdir", ".secret", "listed", "abcTool.app", "abcTool.app/Contents",
                                "abcTool.app/Contents/sub", "abcTool.apple", "target"}) {
            makeDir(root / dir);
        }
        for (const Expected &match : matches) {
            if (match.size >= 0 && match.type == "public.data"s)
                test::writeFile(root / match.path, std::string(match.size, 'x'));
        }
        test::writeFile(root / "other.txt", "");
        test::writeFile(root / ".hidden", "listed\n");
        EXPECT_EQ(::symlink("target", (root / "abc-link").c_str()), 0);
    }
};

} // namespace

// One tree with every kind of match; listed with only the hidden category, then with all.
TEST(SearchManager, ClassifiesFiltersAndRemovesPackagesWithTheirContents)
{
    if (SearchManager::isFileInHiddenFolderAtPath(test::TestEnvironment::root() / "x"))
        GTEST_SKIP() << "the test folder lies inside a hidden folder";
    ClassificationTree tree;
    Fixture f;
    const SearchItemList items = f.search(QStringLiteral("ABC"), tree.root, kSearchCategoryHidden);
    ASSERT_EQ(items.size(), tree.matches.size());
    EXPECT_EQ(f.window->itemsAtCompletion, items.size());
    EXPECT_EQ(f.manager.foundItemsMask(), 7u); // found everything, lists only the hidden
    const auto filtered = f.manager.getFilteredSearchResultArray();
    EXPECT_EQ(filtered->size(), 3u);
    for (const SearchItemPtr &item : *filtered)
        EXPECT_EQ(item->category(), kSearchCategoryHidden);
    f.manager.setFilterMask(kSearchCategoryAll);
    f.manager.performSearchResultsFiltering();
    EXPECT_EQ(*f.manager.getFilteredSearchResultArray(), items);

    const auto found = byFullPath(items);
    for (std::size_t i = 0; i < items.size(); ++i)
        EXPECT_EQ(items[i]->itemID(), i); // report order
    for (const Expected &match : tree.matches) {
        SCOPED_TRACE(match.path);
        const auto it = found.find((tree.root / match.path).bytes());
        ASSERT_NE(it, found.end());
        const SearchItem &item = *it->second;
        EXPECT_EQ(item.categoryCode(), match.category);
        EXPECT_EQ(item.fileType(), QLatin1String(match.type));
        if (match.size != kAnySize) {
            EXPECT_EQ(item.fileSize(), match.size);
        }
    }

    // the package's size is 0 until its background sum arrives (on the main thread), then the sum
    const SearchItemPtr app = found.at(tree.app.bytes());
    const auto sizesArrived = [&]() { return f.manager.pendingPackageSizeCount() == 0; };
    ASSERT_TRUE(f.window->waitUntil(sizesArrived));
    struct stat contents {
    }, sub{};
    ASSERT_EQ(::lstat((tree.app / "Contents").c_str(), &contents), 0);
    ASSERT_EQ(::lstat((tree.app / "Contents/sub").c_str(), &sub), 0);
    const std::int64_t sum = contents.st_size + sub.st_size + 4 + 8;
    EXPECT_EQ(app->fileSize(), sum);
    EXPECT_FALSE(app->fileSizeIncomplete());
    EXPECT_EQ(f.manager.unreadableFolderCount(), 0);

    // removing the package takes the items found inside it out of both lists, not its namesake's
    const auto appAt = std::find(filtered->begin(), filtered->end(), app);
    ASSERT_NE(appAt, filtered->end());
    const std::size_t appIndex = static_cast<std::size_t>(appAt - filtered->begin());
    EXPECT_EQ(f.manager.removeItemsWithIndexSet({appIndex, filtered->size() + 5}).size(), 3u);
    for (const auto &list : {f.manager.getSearchResultArray(), filtered}) {
        EXPECT_EQ(list->size(), items.size() - 3);
        for (const SearchItemPtr &item : *list) {
            const std::string path = item->fullFileNameWithPath().bytes();
            EXPECT_FALSE(path == tree.app.bytes() || path.rfind(tree.app.bytes() + "/", 0) == 0) << path;
        }
        EXPECT_EQ(byFullPath(*list).count((tree.root / "abcTool.apple/abc-near").bytes()), 1u);
    }

    // a capital outside ASCII is not folded: "É" finds é but not É
    const BytePath accents = freshFolder("accents");
    test::writeFile(accents / "\xC3\x89-upper", "");
    test::writeFile(accents / "\xC3\xA9-lower", "");
    const SearchItemList accented = f.search(QStringLiteral("\u00C9"), accents);
    ASSERT_EQ(accented.size(), 1u);
    EXPECT_EQ(accented[0]->fileName(), "\xC3\xA9-lower");
}

namespace {

// The classification worked out the plain way, from the file system alone: every folder from
// the item's own up to "/" is looked at, and every ".hidden" is read where it lies.
struct Reference {
    static bool listedIn(const std::string &folder, const std::string &name)
    {
        std::ifstream in(folder + "/.hidden", std::ios::binary);
        std::string line;
        while (std::getline(in, line))
            if (line == name) return true;
        return false;
    }
    static bool hidden(const BytePath &path)
    {
        const std::string name(path.fileName());
        return name.front() == '.' || listedIn(path.parent().bytes(), name);
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
    static std::int64_t sumBelow(const std::string &folder)
    {
        std::int64_t sum = 0;
        DIR *dir = ::opendir(folder.c_str());
        while (const dirent *e = dir ? ::readdir(dir) : nullptr) {
            const std::string name = e->d_name;
            if (name == "." || name == "..") continue;
            struct stat st {};
            ::lstat((folder + "/" + name).c_str(), &st);
            sum += st.st_size;
            if (S_ISDIR(st.st_mode)) sum += sumBelow(folder + "/" + name);
        }
        if (dir) ::closedir(dir);
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
        const std::int64_t size = isPackage ? sumBelow(path.bytes()) : S_ISDIR(st.st_mode) ? -1 : st.st_size;
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
    static void collect(const std::string &root, const std::string &text, std::map<std::string, std::string> &out)
    {
        DIR *dir = ::opendir(root.c_str());
        while (const dirent *e = dir ? ::readdir(dir) : nullptr) {
            std::string name = e->d_name;
            if (name == "." || name == "..") continue;
            const std::string path = root + "/" + name;
            for (char &c : name)
                if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
            if (name.find(text) != std::string::npos) out[path] = describe(BytePath(path));
            struct stat st {};
            if (::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) collect(path, text, out);
        }
        if (dir) ::closedir(dir);
    }
};

} // namespace

// Hidden lists in nested folders, packages in packages, names that are not UTF-8, and roots
// that lie in a hidden folder or in a folder its parent's ".hidden" names: what the search
// says of each item is what the plain reading of the file system says.
TEST(SearchManager, ClassificationMatchesTheReferenceReading)
{
    const BytePath root = freshFolder("reference");
    const auto file = [&](const std::string &path, const std::string &content) {
        for (std::size_t slash = path.find('/'); slash != std::string::npos; slash = path.find('/', slash + 1))
            ::mkdir((root / path.substr(0, slash)).c_str(), 0755);
        test::writeFile(root / path, content);
    };
    file(".hidden", "lq\nlisted\n");
    file("aq.txt", "12345");
    file("lq", "");
    file("bq\xff\xfe", "abc");
    file("dQ/.hidden", "nq\n");
    file("dQ/nq", "1");
    file("dQ/mq", "22");
    file("dQ/sub/.hidden", "deepq\nsubq\n");
    file("dQ/sub/deepq", "333");
    file("dQ/sub/subq/q-inside", "");
    file(".hq/inq/fq.txt", "x");
    file(".hq/inq/.hidden", "gq\n");
    file(".hq/inq/gq", "");
    file("listed/inq/kq", "");
    file("listed/inq/deeper/oq", "");
    file("Pq.app/Contents/.hidden", "rq\n");
    file("Pq.app/Contents/rq", "4444");
    file("Pq.app/Contents/.dq", "");
    file("Pq.app/Contents/Innerq.framework/xq", "55555");
    file("Pq.app/Contents/Innerq.framework/Sub.bundle/yq", "");
    file("not\xff-dirq/.hidden", "\xfe-q\n");
    file("not\xff-dirq/\xfe-q", "");
    file("not\xff-dirq/plainq", "");
    ASSERT_EQ(::symlink("dQ", (root / "linkq").c_str()), 0);
    const timespec old[2] = {{978307200, 123456789}, {978307200, 123456789}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (root / "dQ/mq").c_str(), old, AT_SYMLINK_NOFOLLOW), 0);

    Fixture f;
    for (const std::string below : {"", "/.hq/inq", "/listed/inq"}) {
        SCOPED_TRACE("root " + below);
        const BytePath searched(root.bytes() + below);
        const SearchItemList items = f.search(QStringLiteral("Q"), searched);
        ASSERT_TRUE(f.window->waitUntil([&]() { return f.manager.pendingPackageSizeCount() == 0; }));
        std::map<std::string, std::string> found, reference;
        for (const SearchItemPtr &item : items) {
            const std::string path = item->fullFileNameWithPath().bytes();
            const QDateTime date = item->lastUsedDate();
            found[path] = std::string(1, item->categoryCode()) + " " + item->fileType().toStdString() + " size " +
                          std::to_string(item->fileSize()) + " mtime " +
                          std::to_string(date.isValid() ? date.toMSecsSinceEpoch() : -1) + " flags " +
                          std::to_string(item->fileHidden()) + std::to_string(item->fileInHiddenFolder()) +
                          std::to_string(item->filePackage()) + std::to_string(item->fileInPackage());
        }
        Reference::collect(searched.bytes(), "q", reference);
        EXPECT_GE(reference.size(), below.empty() ? 26u : 2u);
        EXPECT_EQ(found, reference);
    }
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
