#pragma once

#include "DiskScanLocations.h"
#include "SearchItem.h"

#include <QPointer>
#include <QString>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace lurkel {

class InstalledApplicationsWindow;
class NotificationCenter;
class SearchManager;

// "Show Files" of a disk-usage detail view: what the scan of that category found, for the
// user to look at before anything is removed. Large and old files, duplicates (one row per
// file, each set of copies labelled in the folder column) and the largest items of the junk
// folders go to the results window, with its preview, reveal, copy, move and Move to Trash;
// the applications go to a list of their own (InstalledApplicationsWindow). Nothing is
// removed here. Main thread only; the measuring runs on the thread pool.
class DiskUsageReview {
public:
    // At most this many junk items, the largest first.
    static constexpr std::size_t kJunkItems = 500;

    explicit DiskUsageReview(SearchManager *manager = nullptr,
                             std::function<DiskScanLocations()> locations = &DiskScanLocations::current,
                             NotificationCenter *center = nullptr);
    ~DiskUsageReview();

    // Shows the category of a view type (1 junk, 2 applications, 3 large and old,
    // 4 duplicates) from its stored result; tag goes with the items (SearchManager).
    void show(int viewType, const std::optional<QVariantMap> &result, const QString &tag);

    // The parts of a review, without widgets.
    // An item for the file or folder at path: its own size (or the size given), its date and
    // categories as a search would give them; nullptr when it is gone.
    static SearchItemPtr itemForPath(const BytePath &path, std::optional<std::int64_t> size = std::nullopt);
    static SearchItemList largeAndOldItems(const QVariantMap &result);
    // Every copy of every set, the sets one after the other, with each row's label ("Set 3 of 7").
    static SearchItemList duplicateItems(const QVariantMap &result, std::vector<QString> *labels);
    // The items directly in the caches, downloads and Trash folders (files/ of the Trash),
    // folders with everything below them, the largest first, at most limit.
    static SearchItemList junkItems(const DiskScanLocations &locations, std::size_t limit = kJunkItems);

    InstalledApplicationsWindow *applicationsWindow() const;

private:
    void showApplications(const QVariantMap &result, const QString &tag);

    SearchManager &m_manager;
    std::function<DiskScanLocations()> m_locations;
    NotificationCenter &m_center;
    QPointer<InstalledApplicationsWindow> m_applicationsWindow;
    // Cut off when the review goes, so that measurements finished later show nothing.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

} // namespace lurkel
