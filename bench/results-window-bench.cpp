// How the results window copes with a large result list: the rows of a search inserted
// (all at once and in once-a-second batches), sorting by every column in both directions,
// re-filtering with a selection to keep, removing scattered rows after a move, and
// scrolling (painting the table at many positions).
//
// The items are made here, with the spread of names, folders, sizes, dates and categories
// a search of a home folder gives, and appended to the search manager's lists as a search
// appends them. Usage: lurkel_bench_results [COUNT] (200000 by default). Runs offscreen
// unless QT_QPA_PLATFORM says otherwise; settings go to a temporary folder.
#include "FileAttributes.h"
#include "ManualClock.h"
#include "MyTableView.h"
#include "NotificationCenter.h"
#include "PreviewWindow.h"
#include "QuickLookController.h"
#include "ResultFileOperations.h"
#include "SearchManager.h"
#include "SearchResultsTableModel.h"
#include "SearchResultWC.h"
#include "UserDefaults.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <numeric>
#include <string>
#include <vector>

namespace {

using namespace lurkel;

const char *const kWords[] = {"report", "notes",   "budget",    "photo", "draft",   "backup", "index", "config",
                              "readme", "invoice", "thumbnail", "cache", "session", "module", "theme", "log"};
const char *const kExtensions[] = {"txt", "pdf", "png", "jpg", "cpp", "h", "json", "odt", "md", "", "tar.gz", "mp3"};

SearchItemPtr makeItem(std::uint32_t i, QRandomGenerator &random)
{
    auto item = std::make_shared<SearchItem>();
    const char *word = kWords[random.bounded(static_cast<int>(std::size(kWords)))];
    const char *extension = kExtensions[random.bounded(static_cast<int>(std::size(kExtensions)))];
    std::string name = std::string(word) + "-" + std::to_string(random.bounded(100000)) + "-" + std::to_string(i);
    if (*extension != '\0') name += std::string(".") + extension;
    const bool hidden = random.bounded(100) < 20;
    const bool inPackage = !hidden && random.bounded(100) < 5;
    std::string folder = "/home/ann/" + std::string(hidden ? ".local/share/" : "") + "projects/p" +
                         std::to_string(random.bounded(300)) + (inPackage ? "/Viewer.app/Contents" : "") + "/src/d" +
                         std::to_string(random.bounded(40));
    item->setFileName(name);
    item->setFilePath(BytePath(folder));
    const bool isFolder = random.bounded(100) < 10;
    item->setFileType(QLatin1String(isFolder ? FileAttributes::kTypeFolder : FileAttributes::kTypeData));
    item->setFileSize(isFolder ? -1 : static_cast<std::int64_t>(random.bounded(1u << 30)));
    item->setLastUsedDate(
        QDateTime::fromMSecsSinceEpoch(1'500'000'000'000LL + random.bounded(200'000'000) * 1000LL, Qt::UTC));
    item->setFileInHiddenFolder(hidden);
    item->setFileInPackage(inPackage);
    return item;
}

// Appends items as the search manager does: every item to the full list, the ones of the
// filter's categories to the filtered list.
void append(SearchManager &manager, const SearchItemList &items)
{
    SearchItemList &all = *manager.getSearchResultArray();
    SearchItemList &filtered = *manager.getFilteredSearchResultArray();
    for (const SearchItemPtr &item : items) {
        all.push_back(item);
        if ((manager.filterMask() & item->category()) != 0) filtered.push_back(item);
    }
}

double msSince(const QElapsedTimer &timer)
{
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

// Draws the table now, as the next frame would.
void paint(SearchResultWC &window)
{
    window.tableView()->viewport()->repaint();
}

struct Stats {
    double mean = 0;
    double p99 = 0;
    double max = 0;
};

Stats stats(std::vector<double> samples)
{
    Stats s;
    if (samples.empty()) return s;
    std::sort(samples.begin(), samples.end());
    s.mean = std::accumulate(samples.begin(), samples.end(), 0.0) / static_cast<double>(samples.size());
    s.p99 = samples[std::min(samples.size() - 1, samples.size() * 99 / 100)];
    s.max = samples.back();
    return s;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir settings;
    qputenv("XDG_CONFIG_HOME", settings.path().toUtf8());
    QApplication app(argc, argv);
    const std::uint32_t count = argc > 1 ? static_cast<std::uint32_t>(std::strtoul(argv[1], nullptr, 10)) : 200000u;

    SearchManager manager;
    ManualClock clock;
    NotificationCenter center;
    QuickLookController quickLook;
    UserDefaults defaults(QStringLiteral("lurkel-bench"));
    SearchResultServices services;
    services.searchManager = &manager;
    services.quickLook = &quickLook;
    services.defaults = &defaults;
    services.clock = &clock;
    services.notificationCenter = &center;
    SearchResultWC window(services);
    window.resize(1200, 800);
    window.show();
    // Painting counts only once the window is on screen.
    QElapsedTimer exposure;
    exposure.start();
    while (!(window.windowHandle() != nullptr && window.windowHandle()->isExposed()) && exposure.elapsed() < 5000)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    QApplication::processEvents();

    QRandomGenerator random(20260101);
    SearchItemList items;
    items.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        items.push_back(makeItem(i, random));
        items.back()->setItemID(i);
    }
    std::printf("results window, %u results (%s)\n", count, qPrintable(QGuiApplication::platformName()));

    // One tick that inserts every row: the worst case of the once-a-second insertion.
    append(manager, items);
    const std::size_t shown = manager.getFilteredSearchResultArray()->size();
    QElapsedTimer timer;
    timer.start();
    window.addRowAtTableView();
    paint(window);
    std::printf("insert %zu rows in one tick:        %8.1f ms\n", shown, msSince(timer));

    // The same rows as 20 ticks of a running search.
    window.prepareForNewSearchResults();
    manager.getSearchResultArray()->clear();
    manager.getFilteredSearchResultArray()->clear();
    window.tableModel()->reload();
    std::vector<double> ticks;
    const std::size_t step = (items.size() + 19) / 20;
    for (std::size_t start = 0; start < items.size(); start += step) {
        const SearchItemList batch(items.begin() + static_cast<std::ptrdiff_t>(start),
                                   items.begin() + static_cast<std::ptrdiff_t>(std::min(items.size(), start + step)));
        append(manager, batch);
        timer.restart();
        window.addRowAtTableView();
        paint(window);
        ticks.push_back(msSince(timer));
    }
    const Stats tick = stats(ticks);
    std::printf("insert in 20 ticks, per tick:        %8.1f ms mean, %.1f ms max\n", tick.mean, tick.max);

    // Sorting: each column twice (ascending, then descending), with the view redrawn.
    for (int column = 0; column < SearchResultsTableModel::ColumnCount; ++column) {
        for (const char *direction : {"ascending", "descending"}) {
            timer.restart();
            window.sortDescriptorsDidChange(column);
            paint(window);
            std::printf("sort by %-16s %-10s   %8.1f ms\n",
                        qPrintable(SearchResultsTableModel::columnIdentifier(column)), direction, msSince(timer));
        }
    }

    // Re-filtering with 2,000 selected rows kept.
    std::vector<int> selection;
    for (int row = 0; row < 2000; ++row)
        selection.push_back(row * 37 % static_cast<int>(shown));
    std::sort(selection.begin(), selection.end());
    selection.erase(std::unique(selection.begin(), selection.end()), selection.end());
    window.tableView()->selectRows(selection, selection.front());
    for (const unsigned mask : {1u, 7u, 2u, 3u}) {
        timer.restart();
        window.performAutomaticSearchResultsFilteringWithFilterMask(mask);
        paint(window);
        std::printf("filter to mask %u (%7zu rows):      %8.1f ms, %zu selected kept\n", mask,
                    manager.getFilteredSearchResultArray()->size(), msSince(timer),
                    window.selectedItemsIndexSet().size());
    }

    // Scrolling: frames at 1,000 positions, half of them small steps, half long jumps.
    QScrollBar *bar = window.tableView()->verticalScrollBar();
    std::vector<double> frames;
    int position = 0;
    for (int i = 0; i < 1000; ++i) {
        position = (i % 2 == 0) ? std::min(bar->maximum(), position + 3 * 22)
                                : static_cast<int>(random.bounded(bar->maximum() + 1));
        timer.restart();
        bar->setValue(position);
        paint(window);
        frames.push_back(msSince(timer));
    }
    const Stats frame = stats(frames);
    std::printf("scroll, per frame:                   %8.2f ms mean, %.2f ms p99, %.2f ms max\n", frame.mean, frame.p99,
                frame.max);

    // A move of 10,000 scattered rows that succeeded: the rows leave the lists and the table.
    SearchItemList moved;
    const SearchItemList &filtered = *manager.getFilteredSearchResultArray();
    for (std::size_t i = 0; i < filtered.size() && moved.size() < 10000; i += 13)
        moved.push_back(filtered[i]);
    timer.restart();
    window.updateSearchResultsAfterAction(ResultActionMove, moved, BytePath("/tmp"));
    paint(window);
    std::printf("remove %zu moved rows:             %8.1f ms\n", moved.size(), msSince(timer));
    return 0;
}
