#pragma once

#include "BytePath.h"
#include "Clock.h"
#include "MainQueue.h"
#include "NotificationCenter.h"
#include "SearchItem.h"
#include "SearchManager.h"

#include <QPointer>
#include <QWidget>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QToolButton;

namespace lurkel {

class DesktopWorkspace;
class FileNameCellView;
class FinderCommunicator;
class HiddenFilesState;
class MyTableView;
class PathBreadcrumb;
class ProgressSpinner;
class QuickLookController;
class ResultFileOperations;
class SearchResultsTableModel;
class StatusItemToolTip;
class TrackingButton;
class UrlOpener;
class UserDefaults;

// What the results window works with. Every member left empty means the process's own.
struct SearchResultServices {
    SearchManager *searchManager = nullptr;           // SearchManager::sharedManager()
    FinderCommunicator *finderCommunicator = nullptr; // FinderCommunicator::sharedCommunicator()
    // The file manager's hidden-file visibility; without it, revealing a hidden item shows
    // the information alert.
    HiddenFilesState *hiddenFiles = nullptr;
    UrlOpener *urlOpener = nullptr;                   // DesktopUrlOpener::shared()
    DesktopWorkspace *workspace = nullptr;            // DesktopWorkspace::shared()
    QuickLookController *quickLook = nullptr;         // QuickLookController::sharedQuickLookController()
    UserDefaults *defaults = nullptr;                 // UserDefaults::standardUserDefaults()
    Clock *clock = nullptr;                           // Clock::instance() (the table's timers)
    NotificationCenter *notificationCenter = nullptr; // NotificationCenter::defaultCenter()
};

// The search results window: the search manager's filtered list in a five-column table,
// the search field and the folder searched, the category filter, sorting, the selection
// and the operations on it (ResultFileOperations), and the preview.
//
// It is the search manager's listener (prepareForNewSearchResults, searchStarted,
// searchCompleted), grows its table once a second while a search runs (on the clock, so
// tests move time themselves) and follows "PanelWindowDidBecomeActiveNotification".
// While the window is the active window it stays above others. Closing hides it and
// cancels a running search. Main thread only.
//
// The main controller creates it once (on the first "openSearchResultDialogNotification"),
// gives it itself for the tray tool tip (setPurgeController) and shows it (showWindow);
// later it only brings it to the front (showWindow again).
class SearchResultWC : public QWidget, public SearchResultsListener {
    Q_OBJECT

public:
    // Posted by the main panel whenever it becomes the active window.
    static QString PanelWindowDidBecomeActiveNotification();
    // Posted on the window's centre when items of a review were moved to the Trash; the
    // object is the review's tag (SearchManager::showReviewItems).
    static QString ReviewItemsMovedToTrashNotification();

    enum class LocationButton { WholeDisk, Home, Custom, ChooseCustom };

    explicit SearchResultWC(const SearchResultServices &services = {}, QWidget *parent = nullptr);
    ~SearchResultWC() override;

    // The main controller, for the tray tool tip. Not owned; may be null.
    void setPurgeController(StatusItemToolTip *controller) { m_purgeController = controller; }
    StatusItemToolTip *purgeController() const { return m_purgeController; }

    // Shows the window (or brings it to the front) and makes it active.
    void showWindow();
    // "PanelWindowDidBecomeActiveNotification": a visible window comes to the front.
    void lurkelDidBecomeActive();

    // SearchResultsListener (called by the search manager on the main thread).
    void prepareForNewSearchResults() override;
    void searchStarted() override;
    void searchCompleted() override;
    void packageSizeArrived(const SearchItemPtr &item) override;

    // The 1-second timer: inserts the rows found since the last tick; selects the first row
    // when nothing is selected.
    void addRowAtTableView();
    // The 0.05-second timer: "Found <listed> / <examined>".
    void updateSearchResults();

    // Starts a search of the folder with the search field's text (or the last template):
    // refused with the missing-folder sheet when the folder is not there. True when the
    // search is on its way (it starts 100 ms later, after the running one has stopped).
    bool performSearchWithSelectedPath(const BytePath &folder);
    // Where the next search from the search field goes: the manager's location, else the
    // saved one, else the home folder.
    BytePath currentSearchLocation() const;
    // "Stop": stops a running copy, move or Trash, else the search.
    void stopSearchButtonPressed();
    // A copy, move or Trash has reported items (the status area shows it with "Stop").
    void operationProgressed(int action, std::size_t reported, std::size_t total);
    // One has ended: the status area is cleared unless a search or another one goes on.
    void operationEnded();
    // Opening an item failed: a sheet says which and why.
    void openFailed(const QByteArray &uri, const QString &reason);
    // A line in the status area (what failed, what was said once); empty hides it.
    void showStatusNotice(const QString &notice);
    // A location button was pressed.
    void locationButtonPressed(LocationButton button);
    // Return in the search field.
    void searchFieldEditingEnded();

    // The new-search confirmation ("KEY_dontShowNewSearchAlertDialog" answers yes at once).
    void showNewSearchAlertDialogWithCompletion(std::function<void(bool start)> completion);

    // Sorting by a column: ascending the first time, then the other way each time.
    void sortDescriptorsDidChange(int column);
    // Filter again from the full list in report order, keeping the selected items selected.
    void performSearchResultsFiltering();
    // Sets the mask (window and manager), filters and shows the buttons' states.
    void performAutomaticSearchResultsFilteringWithFilterMask(unsigned mask);
    void filterButtonToggled(unsigned bit, bool on);

    // The actions on the rows acted on (selectedItemsIndexSet()).
    void openMenuItemPressed();
    void quickLookMenuItemPressed();
    void previewSelectedRow();
    void showInFinderMenuItemPressed();
    void getInfoMenuItemPressed();
    void copyNameMenuItemPressed();
    void copyPathnameMenuItemPressed();
    void copyToFolderMenuItemPressed();
    void moveToFolderMenuItemPressed();
    void removeMenuItemPressed();
    void copyActionButtonPressed();
    void moveActionButtonPressed();
    void deleteActionButtonPressed();
    // A copy, move or Trash has succeeded: the lists and the table follow (a copy changes
    // nothing but the title).
    void updateSearchResultsAfterAction(int action, const SearchItemList &items, const BytePath &destination);

    // The context menu for a row (-1: none) at a screen position; the rows acted on become
    // the selection plus that row until the menu has done its work.
    void menuWillOpen(int row, const QPoint &globalPosition);
    // The table's selection has changed.
    void tableViewSelectionChanged();

    // State.
    bool isSearchOn() const { return m_isSearchOn; }
    bool lastSearchStoppedForNew() const { return m_lastSearchStoppedForNew; }
    unsigned filterMask() const { return m_filterMask; }
    std::size_t rowsAdded() const;
    // The rows the actions apply to, ascending.
    const std::vector<std::size_t> &selectedItemsIndexSet() const { return m_selectedItemsIndexSet; }
    const std::vector<std::size_t> &leftMouseSelectedItemsIndexSet() const { return m_leftMouseSelectedItemsIndexSet; }
    SearchItemList itemsActedOn() const;
    std::optional<BytePath> customFolderButtonSearchLocation() const { return m_customFolderButtonSearchLocation; }
    std::optional<LocationButton> activeLocationButton() const { return m_activeLocation; }
    bool isFloatingLevel() const;
    bool isTimerRunning() const { return m_rowTimer != 0; }

    // Parts, for the application's wiring and for tests.
    SearchManager &searchManager() const { return *m_manager; }
    MyTableView *tableView() const { return m_searchResultTableView; }
    SearchResultsTableModel *tableModel() const { return m_model; }
    ResultFileOperations *fileOperations() const { return m_operations; }
    QLineEdit *searchBar() const { return m_searchBar; }
    QLabel *searchStatLabel() const { return m_searchStatLabel; }
    QLabel *nothingFoundStatLabel() const { return m_nothingFoundStatLabel; }
    // Over the empty table when the filter leaves out every item found.
    QLabel *emptyTableMessage() const { return m_emptyTableMessage; }
    ProgressSpinner *searchIndicator() const { return m_searchIndicator; }
    TrackingButton *stopSearchButton() const { return m_stopSearchButton; }
    PathBreadcrumb *pathControl() const { return m_pathControl; }
    TrackingButton *filterButton(unsigned bit) const;
    QToolButton *filterHiddenPopupButton() const { return m_filterHiddenPopupButton; }
    TrackingButton *locationButton(LocationButton button) const;
    TrackingButton *copyActionButton() const { return m_copyActionButton; }
    TrackingButton *moveActionButton() const { return m_moveActionButton; }
    TrackingButton *deleteActionButton() const { return m_deleteActionButton; }
    QMenu *contextMenu() const { return m_contextMenu; }

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void buildWindow();
    QWidget *buildTitleBar();
    QWidget *buildStatusBar();
    void buildContextMenu();
    void registerObservers();

    QString displayName() const;
    QString locationName(const BytePath &location) const;
    void updateToolTip(const QString &toolTip);
    void refreshTitle();
    void updateEmptyTableMessage();
    void setActionButtonsEnabled(bool enabled);
    void updateActionButtons();
    void showFilterButtonStates();
    void setFilterControlsEnabled(bool enabled);
    void showPathBarAt(const BytePath &folder);

    void checkCustomFolderAndUpdateButtons();
    void refreshCustomFolderButton();
    void setLocationButtonOn(std::optional<LocationButton> button);
    void pressLocation(LocationButton button, std::optional<LocationButton> previous);
    void startLocationSearch(const BytePath &folder, LocationButton button, bool rememberCustom);
    void getDirForFind(std::function<void(std::optional<BytePath>)> chosen);
    void showMissingFolderSheet(const BytePath &folder);
    void ifFilteredNotFound();

    void startTimers();
    void stopTimers();
    void armRowTimer();
    void armLabelTimer();

    SearchItemList itemsAtRows(const std::vector<std::size_t> &rows) const;
    std::vector<std::uint64_t> selectedItemIDs() const;
    void selectItemsWithIDs(const std::vector<std::uint64_t> &ids, std::optional<std::uint64_t> currentID);
    bool actionsBlocked() const;
    // In the Trash folder (or one below it).
    bool isInTrash(const SearchItem &item) const;

    SearchManager *m_manager;
    HiddenFilesState *m_hiddenFiles;
    QuickLookController *m_quickLook;
    DesktopWorkspace *m_workspace;
    UserDefaults *m_defaults;
    Clock *m_clock;
    NotificationCenter *m_center;
    StatusItemToolTip *m_purgeController = nullptr;
    std::shared_ptr<SearchResultsListener> m_listenerHandle;

    std::shared_ptr<SearchItemList> m_searchResultArray;
    std::shared_ptr<SearchItemList> m_filteredSearchResultArray;
    bool m_isSearchOn = false;
    bool m_lastSearchStoppedForNew = false;
    std::int64_t m_startTime = 0;
    unsigned m_filterMask = kSearchCategoryRegular | kSearchCategoryHidden;
    std::vector<std::size_t> m_leftMouseSelectedItemsIndexSet;
    std::vector<std::size_t> m_selectedItemsIndexSet;
    int m_contextMenuRowIndex = -1;
    std::optional<BytePath> m_customFolderButtonSearchLocation;
    BytePath m_trashFolder;
    std::optional<LocationButton> m_activeLocation;
    // Per column: the direction of the next sort by it.
    std::array<bool, 5> m_sortAscending{true, true, true, true, true};

    Clock::TimerId m_rowTimer = 0;
    Clock::TimerId m_labelTimer = 0;
    DelayedCall m_pendingSearch;

    SearchResultsTableModel *m_model = nullptr;
    ResultFileOperations *m_operations = nullptr;
    MyTableView *m_searchResultTableView = nullptr;
    FileNameCellView *m_nameCell = nullptr;
    QLineEdit *m_searchBar = nullptr;
    TrackingButton *m_selectMacForSearchButton = nullptr;
    TrackingButton *m_selectUserFolderForSearchButton = nullptr;
    TrackingButton *m_selectCustomFolderForSearchButton = nullptr;
    TrackingButton *m_selectCustomFolderForSearchButton3p = nullptr;
    TrackingButton *m_filterShowRegularButton = nullptr;
    TrackingButton *m_filterShowHiddenButton = nullptr;
    TrackingButton *m_filterShowPackagedButton = nullptr;
    QToolButton *m_filterHiddenPopupButton = nullptr;
    QMenu *m_filterHiddenPopupMenu = nullptr;
    QWidget *m_searchStatView = nullptr;
    QLabel *m_searchStatLabel = nullptr;
    QLabel *m_nothingFoundStatLabel = nullptr;
    QLabel *m_emptyTableMessage = nullptr;
    ProgressSpinner *m_searchIndicator = nullptr;
    TrackingButton *m_stopSearchButton = nullptr;
    PathBreadcrumb *m_pathControl = nullptr;
    TrackingButton *m_copyActionButton = nullptr;
    TrackingButton *m_moveActionButton = nullptr;
    TrackingButton *m_deleteActionButton = nullptr;
    QMenu *m_contextMenu = nullptr;
    QAction *m_copyToFolderMenuItem = nullptr;
    QAction *m_moveToFolderMenuItem = nullptr;
    QAction *m_removeMenuItem = nullptr;
};

} // namespace lurkel
