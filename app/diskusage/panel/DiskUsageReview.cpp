#include "DiskUsageReview.h"

#include "DiskScanTypes.h"
#include "FileAttributes.h"
#include "InstalledApplicationsWindow.h"
#include "MainQueue.h"
#include "NotificationCenter.h"
#include "SearchManager.h"
#include "SearchResultWC.h"

#include <QThreadPool>

#include <algorithm>
#include <dirent.h>
#include <set>

namespace lurkel {

namespace {

BytePath pathOf(const QVariant &value)
{
    return BytePath(value.toByteArray().toStdString());
}

// The names directly in a folder (none when it cannot be listed).
std::vector<std::string> namesIn(const BytePath &folder)
{
    std::vector<std::string> names;
    DIR *listing = ::opendir(folder.c_str());
    if (listing == nullptr) return names;
    while (const dirent *entry = ::readdir(listing)) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..") names.emplace_back(name);
    }
    ::closedir(listing);
    return names;
}

} // namespace

DiskUsageReview::DiskUsageReview(SearchManager *manager, std::function<DiskScanLocations()> locations,
                                 NotificationCenter *center)
    : m_manager(manager != nullptr ? *manager : SearchManager::sharedManager()), m_locations(std::move(locations)),
      m_center(center != nullptr ? *center : NotificationCenter::defaultCenter())
{}

DiskUsageReview::~DiskUsageReview()
{
    *m_alive = false;
    delete m_applicationsWindow.data();
}

InstalledApplicationsWindow *DiskUsageReview::applicationsWindow() const
{
    return m_applicationsWindow;
}

SearchItemPtr DiskUsageReview::itemForPath(const BytePath &path, std::optional<std::int64_t> size)
{
    const std::optional<FileStat> stat = FileAttributes::lstat(path);
    if (!stat || path.fileName().empty()) return nullptr;
    auto item = std::make_shared<SearchItem>();
    item->setFilePath(path.parent());
    item->setFileName(path.fileName());
    const std::string name(path.fileName());
    item->setFileType(QString::fromLatin1(FileAttributes::typeIdentifierFor(name, stat->isDirectory, stat->isSymlink)));
    item->setFileSize(size ? *size : (stat->isDirectory ? -1 : stat->apparentSize));
    item->setLastUsedDate(stat->modificationDate());
    item->setFileHidden(SearchManager::getFileTypeHidden(path));
    item->setFileInHiddenFolder(SearchManager::isFileInHiddenFolderAtPath(path));
    item->setFilePackage(item->typeCode() == SearchItem::kTypePackage);
    item->setFileInPackage(SearchManager::isFilePackagedAtPath(path));
    return item;
}

SearchItemList DiskUsageReview::largeAndOldItems(const QVariantMap &result)
{
    SearchItemList items;
    for (const QVariant &entry : result.value(QLatin1StringView(DiskScanKeys::kFiles)).toList()) {
        const QVariantMap file = entry.toMap();
        if (SearchItemPtr item = itemForPath(pathOf(file.value(QLatin1StringView(DiskScanKeys::kPath)))))
            items.push_back(std::move(item));
    }
    std::stable_sort(items.begin(), items.end(),
                     [](const SearchItemPtr &a, const SearchItemPtr &b) { return a->fileSize() > b->fileSize(); });
    return items;
}

SearchItemList DiskUsageReview::duplicateItems(const QVariantMap &result, std::vector<QString> *labels)
{
    SearchItemList items;
    const QVariantList groups = result.value(QLatin1StringView(DiskScanKeys::kGroups)).toList();
    int set = 0;
    for (const QVariant &group : groups) {
        ++set;
        const QString label = QStringLiteral("Set %1 of %2").arg(set).arg(groups.size());
        for (const QVariant &path : group.toMap().value(QLatin1StringView(DiskScanKeys::kPaths)).toList()) {
            SearchItemPtr item = itemForPath(pathOf(path));
            if (!item) continue;
            items.push_back(std::move(item));
            if (labels != nullptr) labels->push_back(label);
        }
    }
    return items;
}

SearchItemList DiskUsageReview::junkItems(const DiskScanLocations &locations, std::size_t limit)
{
    SearchItemList items;
    for (const BytePath &folder : {locations.caches, locations.downloads, locations.trash / "files"}) {
        if (folder.empty()) continue;
        for (const std::string &name : namesIn(folder)) {
            const BytePath path = folder / name;
            std::optional<std::int64_t> size;
            if (const auto stat = FileAttributes::lstat(path); stat && stat->isDirectory) {
                const auto sum = SearchManager::sumFolderContents(path);
                size = sum ? sum->bytes : 0;
            }
            if (SearchItemPtr item = itemForPath(path, size)) items.push_back(std::move(item));
        }
    }
    std::stable_sort(items.begin(), items.end(),
                     [](const SearchItemPtr &a, const SearchItemPtr &b) { return a->fileSize() > b->fileSize(); });
    if (items.size() > limit) items.resize(limit);
    return items;
}

void DiskUsageReview::show(int viewType, const std::optional<QVariantMap> &result, const QString &tag)
{
    switch (viewType) {
    case 1: {
        // Measuring the junk folders takes a while: on the pool, shown when done.
        const DiskScanLocations locations = m_locations();
        std::weak_ptr<bool> alive = m_alive;
        SearchManager *manager = &m_manager;
        QThreadPool::globalInstance()->start([locations, alive, manager, tag] {
            SearchItemList items = junkItems(locations);
            MainQueue::async([alive, manager, tag, items = std::move(items)]() mutable {
                if (alive.lock()) manager->showReviewItems(QStringLiteral("Junk Files"), std::move(items), {}, tag);
            });
        });
        return;
    }
    case 2:
        showApplications(result.value_or(QVariantMap()), tag);
        return;
    case 3:
        m_manager.showReviewItems(QStringLiteral("Large and Old Files"),
                                  largeAndOldItems(result.value_or(QVariantMap())), {}, tag);
        return;
    case 4: {
        std::vector<QString> labels;
        SearchItemList items = duplicateItems(result.value_or(QVariantMap()), &labels);
        m_manager.showReviewItems(QStringLiteral("Duplicate Files"), std::move(items), std::move(labels), tag);
        return;
    }
    default:
        return;
    }
}

void DiskUsageReview::showApplications(const QVariantMap &result, const QString &tag)
{
    if (!m_applicationsWindow) {
        m_applicationsWindow = new InstalledApplicationsWindow;
        NotificationCenter *center = &m_center;
        m_applicationsWindow->setMovedToTrash(
            [center, tag] { center->post(SearchResultWC::ReviewItemsMovedToTrashNotification(), tag); });
    }
    m_applicationsWindow->show();
    m_applicationsWindow->raise();
    m_applicationsWindow->activateWindow();
    // Telling the kinds apart reads dpkg's lists: on the pool.
    const DiskScanLocations locations = m_locations();
    const QVariantList files = result.value(QLatin1StringView(DiskScanKeys::kFiles)).toList();
    QPointer<InstalledApplicationsWindow> window = m_applicationsWindow;
    QThreadPool::globalInstance()->start([locations, files, window] {
        std::vector<ApplicationRemoval> applications;
        for (const QVariant &entry : files) {
            const QVariantMap file = entry.toMap();
            applications.push_back(
                ApplicationRemoval::describe(pathOf(file.value(QLatin1StringView(DiskScanKeys::kPath))),
                                             diskScanNumber(file, DiskScanKeys::kSize), locations));
        }
        MainQueue::async([window, applications = std::move(applications)]() mutable {
            if (window) window->setApplications(std::move(applications));
        });
    });
}

} // namespace lurkel
