#include "SearchResultWC.h"
#include "MessageNames.h"
#include "PosixFile.h"
#include "SearchFolder.h"

#include "DesktopWorkspace.h"
#include "FileNameCellView.h"
#include "FileTypeCellView.h"
#include "HiddenFilesState.h"
#include "Identity.h"
#include "Log.h"
#include "MyTableView.h"
#include "NamedColors.h"
#include "PathBreadcrumb.h"
#include "PathsGenerator.h"
#include "PreviewWindow.h"
#include "ProgressSpinner.h"
#include "QuickLookController.h"
#include "ResultFileOperations.h"
#include "ResultSheet.h"
#include "SearchResultsTableModel.h"
#include "Settings.h"
#include "SettingsKeys.h"
#include "StatusItemToolTip.h"
#include "TrackingButton.h"
#include "UserDefaults.h"
#include "VolumeName.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QShortcut>
#include <QStringList>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>
#include <unordered_set>

namespace lurkel {
namespace {

constexpr std::int64_t kRowTimerMs = 1000;
constexpr std::int64_t kLabelTimerMs = 50;
constexpr std::int64_t kSearchStartDelayMs = 100;
const char kCustomFolderTitle[] = "Custom Folder...";

QString volumeNameOfRoot()
{
    return VolumeName::volumeName(BytePath("/")).value_or(QStringLiteral("/"));
}

TrackingButton *makeLocationButton(const QString &image, const QString &title, const QString &toolTip, QWidget *parent)
{
    auto *button = new TrackingButton(image, {}, {}, parent);
    button->setText(title);
    button->setToolTip(toolTip);
    button->setCheckable(true);
    button->setDrawsBackground(true);
    button->setTitleColor(NamedColor::AccentText);
    return button;
}

TrackingButton *makeFilterButton(const QString &image, const QString &hover, const QString &toolTip, QWidget *parent)
{
    auto *button = new TrackingButton(image, hover, {}, parent);
    button->setToolTip(toolTip);
    button->setAccessibleName(toolTip); // a picture only: the tip is its name
    button->setCheckable(true);
    button->setDrawsBackground(true);
    button->setImageSize(QSize(18, 18));
    return button;
}

TrackingButton *makeActionButton(const QString &image, const QString &toolTip, QWidget *parent)
{
    auto *button = new TrackingButton(image, image + QLatin1String("_hover"), image + QLatin1String("_click"), parent);
    button->setToolTip(toolTip);
    button->setAccessibleName(toolTip);
    button->setDrawsBackground(true);
    button->setImageSize(QSize(18, 18));
    return button;
}

} // namespace

QString SearchResultWC::PanelWindowDidBecomeActiveNotification()
{
    return QString::fromLatin1(MessageNames::kPanelWindowDidBecomeActive);
}

QString SearchResultWC::ReviewItemsMovedToTrashNotification()
{
    return QStringLiteral("ReviewItemsMovedToTrashNotification");
}

SearchResultWC::SearchResultWC(const SearchResultServices &services, QWidget *parent)
    : QWidget(parent, Qt::Window),
      m_manager(services.searchManager != nullptr ? services.searchManager : &SearchManager::sharedManager()),
      m_hiddenFiles(services.hiddenFiles),
      m_quickLook(services.quickLook != nullptr ? services.quickLook
                                                : &QuickLookController::sharedQuickLookController()),
      m_workspace(services.workspace != nullptr ? services.workspace : &DesktopWorkspace::shared()),
      m_defaults(services.defaults != nullptr ? services.defaults : &UserDefaults::standardUserDefaults()),
      m_clock(services.clock != nullptr ? services.clock : &Clock::instance()),
      m_center(services.notificationCenter != nullptr ? services.notificationCenter
                                                      : &NotificationCenter::defaultCenter())
{
    setWindowTitle(displayName());
    m_trashFolder = PathsGenerator().buildTrashDirectory();
    m_model = new SearchResultsTableModel(this);
    m_model->setTrashFolder(m_trashFolder);
    m_model->setGroupLabels([manager = m_manager](std::uint64_t id) { return manager->reviewGroupLabel(id); });

    ResultFileOperations::Services operations;
    operations.communicator = services.finderCommunicator;
    operations.hiddenFiles = services.hiddenFiles;
    operations.urlOpener = services.urlOpener;
    operations.workspace = m_workspace;
    operations.defaults = m_defaults;
    m_operations = new ResultFileOperations(this, operations, this);
    connect(m_operations, &ResultFileOperations::actionSucceeded, this,
            &SearchResultWC::updateSearchResultsAfterAction);
    connect(m_operations, &ResultFileOperations::operationProgress, this, &SearchResultWC::operationProgressed);
    connect(m_operations, &ResultFileOperations::actionFinished, this, &SearchResultWC::operationEnded);
    connect(m_operations, &ResultFileOperations::notice, this, &SearchResultWC::showStatusNotice);
    connect(m_workspace, &DesktopWorkspace::openerFailed, this, &SearchResultWC::openFailed);

    buildWindow();
    registerObservers();

    // The manager holds its listener weakly: the handle goes with the window.
    m_listenerHandle = std::shared_ptr<SearchResultsListener>(static_cast<SearchResultsListener *>(this),
                                                              [](SearchResultsListener *) {});
    m_manager->setSearchResultDialog(m_listenerHandle);
    m_quickLook->setPanelParent(this);

    showPathBarAt(m_manager->searchLocation());
    m_searchIndicator->hide();
    m_searchStatView->hide();
    m_stopSearchButton->hide();
    m_nothingFoundStatLabel->hide();
    prepareForNewSearchResults();
    m_filterMask = kSearchCategoryRegular | kSearchCategoryHidden;
    m_manager->setFilterMask(m_filterMask);
    showFilterButtonStates();
    tableViewSelectionChanged();
}

SearchResultWC::~SearchResultWC()
{
    stopTimers();
    m_pendingSearch.cancel();
    m_listenerHandle.reset();
}

// ---- Building -------------------------------------------------------------------------

void SearchResultWC::buildWindow()
{
    setMinimumSize(720, 360);
    resize(1000, 620);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(buildTitleBar());

    m_searchResultTableView = new MyTableView(this);
    MyTableView *table = m_searchResultTableView;
    table->setNotificationCenter(m_center);
    table->setModel(m_model);
    m_nameCell = new FileNameCellView(table);
    table->setNameCellView(m_nameCell);
    table->setItemDelegateForColumn(SearchResultsTableModel::NameColumn, m_nameCell);
    table->setItemDelegateForColumn(SearchResultsTableModel::TypeColumn, new FileTypeCellView(table));
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Tab leaves the table for the next control; the arrows move between rows.
    table->setTabKeyNavigation(false);
    table->setAccessibleName(QStringLiteral("Search results"));
    table->setShowGrid(false);
    table->setAlternatingRowColors(true);
    table->setWordWrap(false);
    table->setCornerButtonEnabled(false);
    table->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    table->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    table->setFrameShape(QFrame::NoFrame);
    table->setIconSize(QSize(16, 16));
    // Every row the same height: the view never measures rows.
    QHeaderView *rows = table->verticalHeader();
    rows->hide();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(22);
    QHeaderView *header = table->horizontalHeader();
    header->setStretchLastSection(false);
    header->setHighlightSections(false);
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    header->setSortIndicator(-1, Qt::AscendingOrder);
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setSectionResizeMode(SearchResultsTableModel::EnclosingFolderColumn, QHeaderView::Stretch);
    header->setSectionResizeMode(SearchResultsTableModel::TypeColumn, QHeaderView::Fixed);
    header->resizeSection(SearchResultsTableModel::NameColumn, 340);
    header->resizeSection(SearchResultsTableModel::SizeColumn, 90);
    header->resizeSection(SearchResultsTableModel::DateColumn, 160);
    header->resizeSection(SearchResultsTableModel::TypeColumn, 48);
    QPalette palette = table->palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::HighlightedText, NamedColors::color(NamedColor::RowTextSelected, palette));
    }
    table->setPalette(palette);
    layout->addWidget(table, 1);
    m_emptyTableMessage = new QLabel(table->viewport());
    m_emptyTableMessage->setForegroundRole(QPalette::PlaceholderText);
    m_emptyTableMessage->setAlignment(Qt::AlignCenter);
    m_emptyTableMessage->setAttribute(Qt::WA_TransparentForMouseEvents);
    auto *emptyLayout = new QVBoxLayout(table->viewport());
    emptyLayout->addWidget(m_emptyTableMessage, 0, Qt::AlignCenter);
    m_emptyTableMessage->hide();
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(m_model, signal, this, &SearchResultWC::updateEmptyTableMessage);
    connect(m_model, &QAbstractItemModel::modelReset, this, &SearchResultWC::updateEmptyTableMessage);
    layout->addWidget(buildStatusBar());
    buildContextMenu();

    connect(header, &QHeaderView::sectionClicked, this, &SearchResultWC::sortDescriptorsDidChange);
    connect(table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &SearchResultWC::tableViewSelectionChanged);
    connect(table, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex &index) {
        if (index.isValid()) openMenuItemPressed();
    });
    connect(table, &QAbstractItemView::clicked, this, [this](const QModelIndex &index) {
        if (const SearchItemPtr item = m_model->itemAt(index.row())) {
            showPathBarAt(item->filePath());
            m_pathControl->show();
        }
    });
    connect(table, &MyTableView::contextMenuRequested, this, &SearchResultWC::menuWillOpen);
    connect(table, &MyTableView::previewButtonClicked, this, [this](int row) {
        if (const SearchItemPtr item = m_model->itemAt(row)) m_quickLook->previewPaths({item->fullFileNameWithPath()});
    });
    // While the preview shows, the arrows step through its items and Escape closes it.
    table->setKeyInterceptor([this](QKeyEvent *event) {
        if (!m_quickLook->isPreviewPanelVisible()) return false;
        if ((event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) return false;
        const int key = event->key();
        if (key != Qt::Key_Left && key != Qt::Key_Right && key != Qt::Key_Escape) return false;
        return m_quickLook->handleKey(key, event->modifiers());
    });
}

QWidget *SearchResultWC::buildTitleBar()
{
    auto *bar = new QWidget(this);
    bar->setFixedHeight(40);
    auto *layout = new QHBoxLayout(bar);
    layout->setContentsMargins(10, 0, 10, 0);
    layout->setSpacing(4);

    m_searchBar = new QLineEdit(bar);
    m_searchBar->setPlaceholderText(QStringLiteral("Search"));
    m_searchBar->setAccessibleName(QStringLiteral("Search files by name"));
    // Ctrl+F, wherever the focus is in the window, goes to the field.
    auto *find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, [this]() {
        m_searchBar->setFocus(Qt::ShortcutFocusReason);
        m_searchBar->selectAll();
    });
    m_searchBar->setClearButtonEnabled(true);
    m_searchBar->setMinimumWidth(160);
    m_searchBar->setMaximumWidth(260);
    connect(m_searchBar, &QLineEdit::returnPressed, this, &SearchResultWC::searchFieldEditingEnded);
    // The clear button empties the field and gives up the focus.
    if (auto *clear = m_searchBar->findChild<QAction *>(QStringLiteral("_q_qlineeditclearaction"))) {
        connect(clear, &QAction::triggered, this, [this]() {
            m_searchBar->clear();
            m_searchBar->clearFocus();
        });
    }
    layout->addWidget(m_searchBar);
    layout->addSpacing(8);

    m_selectMacForSearchButton =
        makeLocationButton(QStringLiteral("disk"), volumeNameOfRoot(), QStringLiteral("Search the whole disk"), bar);
    m_selectUserFolderForSearchButton =
        makeLocationButton({}, QStringLiteral("Home"), QStringLiteral("Search the home folder"), bar);
    m_selectCustomFolderForSearchButton = makeLocationButton({}, QLatin1String(kCustomFolderTitle),
                                                             QStringLiteral("Search a folder of your choice"), bar);
    m_selectCustomFolderForSearchButton3p = new TrackingButton(QStringLiteral("folder"), {}, {}, bar);
    m_selectCustomFolderForSearchButton3p->setDrawsBackground(true);
    m_selectCustomFolderForSearchButton3p->setToolTip(QStringLiteral("Choose another folder"));
    m_selectCustomFolderForSearchButton3p->setAccessibleName(QStringLiteral("Choose another folder"));
    const std::pair<TrackingButton *, LocationButton> locations[] = {
        {m_selectMacForSearchButton, LocationButton::WholeDisk},
        {m_selectUserFolderForSearchButton, LocationButton::Home},
        {m_selectCustomFolderForSearchButton, LocationButton::Custom},
        {m_selectCustomFolderForSearchButton3p, LocationButton::ChooseCustom},
    };
    for (const auto &[button, which] : locations) {
        const LocationButton location = which;
        connect(button, &QAbstractButton::clicked, this, [this, location]() { locationButtonPressed(location); });
        layout->addWidget(button);
    }
    layout->addStretch(1);

    m_filterShowRegularButton = makeFilterButton(QStringLiteral("files_1"), QStringLiteral("files_hover_3"),
                                                 QStringLiteral("Show regular files"), bar);
    m_filterShowHiddenButton =
        makeFilterButton(QStringLiteral("hidden_files_1"), QStringLiteral("hidden_files_hover_3"),
                         QStringLiteral("Show hidden files"), bar);
    m_filterShowPackagedButton = makeFilterButton(QStringLiteral("box_1"), QStringLiteral("box_hover_3"),
                                                  QStringLiteral("Show package contents"), bar);
    const std::pair<TrackingButton *, unsigned> filters[] = {
        {m_filterShowRegularButton, kSearchCategoryRegular},
        {m_filterShowHiddenButton, kSearchCategoryHidden},
        {m_filterShowPackagedButton, kSearchCategoryPackageContents},
    };
    for (const auto &[button, category] : filters) {
        const unsigned bit = category;
        connect(button, &QAbstractButton::clicked, this, [this, bit](bool on) { filterButtonToggled(bit, on); });
        layout->addWidget(button);
    }

    // The pop-up offers the usual combinations of the filter in one step.
    m_filterHiddenPopupMenu = new QMenu(this);
    const std::pair<const char *, unsigned> presets[] = {
        {"Regular and hidden files", kSearchCategoryRegular | kSearchCategoryHidden},
        {"Hidden files only", kSearchCategoryHidden},
        {"Regular files only", kSearchCategoryRegular},
        {"Package contents only", kSearchCategoryPackageContents},
        {"All files", kSearchCategoryAll},
    };
    // The button shows the choice in force, the menu marks it.
    auto *presetGroup = new QActionGroup(m_filterHiddenPopupMenu);
    presetGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    for (const auto &[title, mask] : presets) {
        const unsigned preset = mask;
        QAction *action = m_filterHiddenPopupMenu->addAction(QLatin1String(title), this, [this, preset]() {
            performAutomaticSearchResultsFilteringWithFilterMask(preset);
        });
        action->setCheckable(true);
        action->setData(preset);
        presetGroup->addAction(action);
    }
    m_filterHiddenPopupButton = new QToolButton(bar);
    m_filterHiddenPopupButton->setToolTip(QStringLiteral("Which files the table shows"));
    m_filterHiddenPopupButton->setAccessibleName(QStringLiteral("Files shown"));
    m_filterHiddenPopupButton->setMenu(m_filterHiddenPopupMenu);
    m_filterHiddenPopupButton->setPopupMode(QToolButton::InstantPopup);
    m_filterHiddenPopupButton->setAutoRaise(true);
    m_filterHiddenPopupButton->setFocusPolicy(Qt::TabFocus);
    layout->addSpacing(6);
    layout->addWidget(m_filterHiddenPopupButton);
    return bar;
}

QWidget *SearchResultWC::buildStatusBar()
{
    auto *bar = new QWidget(this);
    bar->setFixedHeight(34);
    auto *layout = new QHBoxLayout(bar);
    layout->setContentsMargins(8, 0, 8, 0);
    layout->setSpacing(6);

    m_pathControl = new PathBreadcrumb(bar);
    m_pathControl->setRootTitle(volumeNameOfRoot());
    connect(m_pathControl, &PathBreadcrumb::componentClicked, this,
            [this](const BytePath &folder) { m_workspace->openFile(folder); });
    layout->addWidget(m_pathControl, 1);
    // Hidden (nothing selected, a search running), the path bar keeps its room: the buttons
    // at the right stay where they are.
    QSizePolicy pathPolicy = m_pathControl->sizePolicy();
    pathPolicy.setRetainSizeWhenHidden(true);
    m_pathControl->setSizePolicy(pathPolicy);

    m_nothingFoundStatLabel = new QLabel(bar);
    m_nothingFoundStatLabel->setForegroundRole(QPalette::PlaceholderText);
    layout->addWidget(m_nothingFoundStatLabel);

    m_searchStatView = new QWidget(bar);
    auto *stat = new QHBoxLayout(m_searchStatView);
    stat->setContentsMargins(0, 0, 0, 0);
    stat->setSpacing(6);
    m_searchIndicator = new ProgressSpinner(m_searchStatView);
    m_searchStatLabel = new QLabel(m_searchStatView);
    stat->addWidget(m_searchIndicator);
    stat->addWidget(m_searchStatLabel);
    layout->addWidget(m_searchStatView);

    m_stopSearchButton =
        new TrackingButton(QStringLiteral("stop"), QStringLiteral("stop_hover"), QStringLiteral("stop_click"), bar);
    m_stopSearchButton->setText(QStringLiteral("Stop"));
    m_stopSearchButton->setTitleColor(NamedColor::AccentText);
    m_stopSearchButton->setDrawsBackground(true);
    connect(m_stopSearchButton, &QAbstractButton::clicked, this, &SearchResultWC::stopSearchButtonPressed);
    layout->addWidget(m_stopSearchButton);
    layout->addSpacing(10);

    m_copyActionButton = makeActionButton(QStringLiteral("copy"), QStringLiteral("Copy to Folder..."), bar);
    m_moveActionButton = makeActionButton(QStringLiteral("move"), QStringLiteral("Move to Folder..."), bar);
    m_deleteActionButton = makeActionButton(QStringLiteral("delete"), QStringLiteral("Move to Trash"), bar);
    connect(m_copyActionButton, &QAbstractButton::clicked, this, &SearchResultWC::copyActionButtonPressed);
    connect(m_moveActionButton, &QAbstractButton::clicked, this, &SearchResultWC::moveActionButtonPressed);
    connect(m_deleteActionButton, &QAbstractButton::clicked, this, &SearchResultWC::deleteActionButtonPressed);
    layout->addWidget(m_copyActionButton);
    layout->addWidget(m_moveActionButton);
    layout->addWidget(m_deleteActionButton);
    return bar;
}

void SearchResultWC::buildContextMenu()
{
    m_contextMenu = new QMenu(this);
    const auto add = [this](const char *title, const QKeySequence &keys, void (SearchResultWC::*slot)()) {
        QAction *action = m_contextMenu->addAction(QLatin1String(title), this, slot);
        // Shown for reference: the keys themselves reach the table.
        action->setShortcut(keys);
        action->setShortcutContext(Qt::WidgetShortcut);
        action->setShortcutVisibleInContextMenu(true);
        return action;
    };
    add("Open", QKeySequence(Qt::Key_Return), &SearchResultWC::openMenuItemPressed);
    add("Preview", QKeySequence(Qt::Key_Space), &SearchResultWC::quickLookMenuItemPressed);
    add("Show in File Manager", QKeySequence(Qt::CTRL | Qt::Key_Return), &SearchResultWC::showInFinderMenuItemPressed);
    add("Properties", QKeySequence(Qt::CTRL | Qt::Key_I), &SearchResultWC::getInfoMenuItemPressed);
    m_contextMenu->addSeparator();
    add("Copy Name", QKeySequence(Qt::CTRL | Qt::Key_C), &SearchResultWC::copyNameMenuItemPressed);
    add("Copy Path", QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_C), &SearchResultWC::copyPathnameMenuItemPressed);
    m_contextMenu->addSeparator();
    m_copyToFolderMenuItem =
        add("Copy to Folder...", QKeySequence(Qt::CTRL | Qt::Key_D), &SearchResultWC::copyToFolderMenuItemPressed);
    m_moveToFolderMenuItem =
        add("Move to Folder...", QKeySequence(Qt::CTRL | Qt::Key_Right), &SearchResultWC::moveToFolderMenuItemPressed);
    m_removeMenuItem = add("Move to Trash", QKeySequence(Qt::Key_Delete), &SearchResultWC::removeMenuItemPressed);
    // The chosen action has run (synchronously) by the time the queued reset comes.
    connect(m_contextMenu, &QMenu::aboutToHide, this, [this]() {
        QMetaObject::invokeMethod(
            this,
            [this]() {
                m_contextMenuRowIndex = -1;
                m_selectedItemsIndexSet = m_searchResultTableView->selectedRowIndexes();
            },
            Qt::QueuedConnection);
    });
}

void SearchResultWC::registerObservers()
{
    NotificationCenter &center = *m_center;
    const auto observe = [this, &center](const QString &name, void (SearchResultWC::*slot)()) {
        center.addObserver(
            name, {}, [this, slot](const Notification &) { (this->*slot)(); }, this);
    };
    observe(PanelWindowDidBecomeActiveNotification(), &SearchResultWC::lurkelDidBecomeActive);
    observe(MyTableView::MyTableViewDidPressEnterKeyNotification(), &SearchResultWC::openMenuItemPressed);
    observe(MyTableView::MyTableViewDidPressSpaceKeyNotification(), &SearchResultWC::previewSelectedRow);
    observe(MyTableView::MyTableViewDidPressCmdEnterKeyNotification(), &SearchResultWC::showInFinderMenuItemPressed);
    observe(MyTableView::MyTableViewDidPressCmdIKeyNotification(), &SearchResultWC::getInfoMenuItemPressed);
    observe(MyTableView::MyTableViewDidPressCmdCKeyNotification(), &SearchResultWC::copyNameMenuItemPressed);
    observe(MyTableView::MyTableViewDidPressCmdOptCKeyNotification(), &SearchResultWC::copyPathnameMenuItemPressed);
    observe(MyTableView::MyTableViewDidPressCmdDKeyNotification(), &SearchResultWC::copyToFolderMenuItemPressed);
    observe(MyTableView::MyTableViewDidPressCmdRightArrowKeyNotification(),
            &SearchResultWC::moveToFolderMenuItemPressed);
    observe(MyTableView::MyTableViewDidPressCmdBackspaceKeyNotification(), &SearchResultWC::removeMenuItemPressed);
    center.addObserver(
        FileNameCellView::FileNameCellViewDidPressShowInFinderButtonNotification(), {},
        [this](const Notification &notification) {
            const SearchItemPtr item =
                notification.userInfo.value(FileNameCellView::searchItemKey()).value<SearchItemPtr>();
            if (item) m_operations->showInFinder({item});
        },
        this);
}

// ---- Window ---------------------------------------------------------------------------

void SearchResultWC::showWindow()
{
    show();
    raise();
    activateWindow();
    if (m_model->rowCount() > 0 && !m_searchBar->hasFocus()) m_searchResultTableView->setFocus();
}

void SearchResultWC::lurkelDidBecomeActive()
{
    if (isVisible()) raise();
}

bool SearchResultWC::isFloatingLevel() const
{
    return windowHandle() != nullptr && windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint);
}

void SearchResultWC::closeEvent(QCloseEvent *event)
{
    if (m_isSearchOn) m_manager->cancelSearchByButton();
    if (m_quickLook->isPreviewPanelVisible()) m_quickLook->closePreviewPanel();
    event->accept();
}

void SearchResultWC::changeEvent(QEvent *event)
{
    // Above other windows while it is the active window, back among them when it is not.
    if (event->type() == QEvent::ActivationChange && windowHandle() != nullptr) {
        windowHandle()->setFlag(Qt::WindowStaysOnTopHint, isActiveWindow());
    }
    QWidget::changeEvent(event);
}

QString SearchResultWC::displayName() const
{
    return QString::fromLatin1(Identity::kBundleDisplayName);
}

QString SearchResultWC::locationName(const BytePath &location) const
{
    const std::string_view last = location.fileName();
    if (last == "/") return volumeNameOfRoot();
    return BytePath(last).displayString();
}

void SearchResultWC::updateToolTip(const QString &toolTip)
{
    if (m_purgeController != nullptr) m_purgeController->updateStatusItemWithToolTip(toolTip);
}

void SearchResultWC::refreshTitle()
{
    updateEmptyTableMessage();
    if (m_isSearchOn) {
        setWindowTitle(QStringLiteral("%1 - Searching files").arg(displayName()));
        return;
    }
    if (!m_manager->reviewTitle().isEmpty()) {
        const std::size_t count = m_searchResultArray->size();
        setWindowTitle(QStringLiteral("%1 - %2, %3")
                           .arg(displayName(), m_manager->reviewTitle(),
                                count == 1 ? QStringLiteral("1 item") : QStringLiteral("%1 items").arg(count)));
        return;
    }
    setWindowTitle(QStringLiteral("%1 - Search results for \"%2\", found %3")
                       .arg(displayName(), m_manager->searchTemplate(), QString::number(m_searchResultArray->size())));
}

void SearchResultWC::updateEmptyTableMessage()
{
    // Items were found but the filter shows none of them: the empty table says why.
    const std::size_t found = m_searchResultArray ? m_searchResultArray->size() : 0;
    const bool allFilteredOut = !m_isSearchOn && found > 0 && m_model->rowCount() == 0;
    if (allFilteredOut) {
        m_emptyTableMessage->setText(
            found == 1
                ? QStringLiteral("1 item found, left out by the filter above")
                : QStringLiteral("%1 items found, all left out by the filter above").arg(QString::number(found)));
    }
    m_emptyTableMessage->setVisible(allFilteredOut);
}

void SearchResultWC::showPathBarAt(const BytePath &folder)
{
    if (m_pathControl->path() != folder) m_pathControl->setPath(folder);
}

// ---- The search manager's calls -------------------------------------------------------

void SearchResultWC::prepareForNewSearchResults()
{
    m_searchResultArray = m_manager->getSearchResultArray();
    m_filteredSearchResultArray = m_manager->getFilteredSearchResultArray();
    m_model->setList(m_filteredSearchResultArray);
    m_searchBar->setText(m_manager->searchTemplate());
    checkCustomFolderAndUpdateButtons();
    // A review shows every item it was given, whatever the category filter said before.
    if (!m_manager->reviewTitle().isEmpty()) performAutomaticSearchResultsFilteringWithFilterMask(kSearchCategoryAll);
}

void SearchResultWC::searchStarted()
{
    const BytePath location = m_manager->searchLocation();
    updateToolTip(QStringLiteral("%1\nSearching \"%2\"\nfor \"%3\"")
                      .arg(displayName(), m_manager->searchTemplate(), locationName(location)));
    m_startTime = m_clock->nowMs();
    m_isSearchOn = true;
    m_lastSearchStoppedForNew = false;

    m_stopSearchButton->show();
    m_stopSearchButton->setEnabled(true);
    setActionButtonsEnabled(false);
    setFilterControlsEnabled(false);

    refreshTitle();
    m_searchStatLabel->setText(QStringLiteral("Found 0 / 0"));
    m_nothingFoundStatLabel->hide();
    showPathBarAt(location);
    m_pathControl->hide();
    m_model->setList(m_filteredSearchResultArray);
    m_searchIndicator->show();
    m_searchIndicator->startAnimation();
    m_searchStatView->show();
    startTimers();
}

void SearchResultWC::searchCompleted()
{
    const std::size_t found = m_searchResultArray->size();
    const QString text = m_manager->searchTemplate();
    const QString where = locationName(m_manager->searchLocation());
    if (found == 0) {
        updateToolTip(QStringLiteral("%1\nNo file found by \"%2\"\nfor \"%3\"").arg(displayName(), text, where));
    } else if (found == 1) {
        updateToolTip(QStringLiteral("%1\n1 file found by \"%2\"\nfor \"%3\"").arg(displayName(), text, where));
    } else {
        updateToolTip(QStringLiteral("%1\n%2 files found by \"%3\"\nfor \"%4\"")
                          .arg(displayName(), QString::number(found), text, where));
    }

    m_isSearchOn = false;
    m_stopSearchButton->hide();
    m_stopSearchButton->setEnabled(false);
    setFilterControlsEnabled(true);
    updateSearchResults();
    refreshTitle();
    QStringList status;
    if (found == 0) status << QStringLiteral("Nothing found for \"%1\"").arg(text);
    if (const std::int64_t unreadable = m_manager->unreadableFolderCount(); unreadable > 0) {
        status << (unreadable == 1 ? QStringLiteral("1 folder could not be read")
                                   : QStringLiteral("%1 folders could not be read").arg(unreadable));
    }
    if (const QString notice = m_manager->abandonedScanNotice(); !notice.isEmpty()) status << notice;
    m_nothingFoundStatLabel->setText(status.join(QStringLiteral(" \u00b7 ")));
    m_nothingFoundStatLabel->setVisible(!status.isEmpty());
    showPathBarAt(m_manager->searchLocation());
    m_pathControl->show();

    // Every row now, keeping the selected rows (or the first one).
    std::vector<int> selected;
    for (const std::size_t row : m_searchResultTableView->selectedRowIndexes())
        selected.push_back(static_cast<int>(row));
    const int current = m_searchResultTableView->currentIndex().row();
    m_model->reload();
    if (selected.empty() && m_model->rowCount() > 0) selected.push_back(0);
    m_searchResultTableView->selectRows(selected, selected.empty() ? -1 : std::max(current, selected.front()));
    tableViewSelectionChanged();

    m_searchIndicator->stopAnimation();
    m_searchIndicator->hide();
    m_searchStatView->hide();
    stopTimers();
    ifFilteredNotFound();
}

void SearchResultWC::packageSizeArrived(const SearchItemPtr &)
{
    // The size shows when the row is drawn next; one redraw serves many sums.
    m_searchResultTableView->viewport()->update();
}

void SearchResultWC::ifFilteredNotFound()
{
    if (!m_filteredSearchResultArray->empty() || m_searchResultArray->empty() || m_lastSearchStoppedForNew) return;
    const unsigned found = m_manager->foundItemsMask();
    ResultSheet::Request request;
    unsigned category = 0;
    if ((found & kSearchCategoryRegular) != 0) {
        category = kSearchCategoryRegular;
        request.text = QStringLiteral("Regular files found");
        request.informativeText = QStringLiteral("Would you like to display regular files?");
    } else if ((found & kSearchCategoryHidden) != 0) {
        category = kSearchCategoryHidden;
        request.text = QStringLiteral("Hidden files found");
        request.informativeText = QStringLiteral("Would you like to display hidden files?");
    } else if ((found & kSearchCategoryPackageContents) != 0) {
        category = kSearchCategoryPackageContents;
        request.text = QStringLiteral("Package contents found only");
        request.informativeText = QStringLiteral("Would you like to display package contents files?");
    } else {
        return;
    }
    request.buttons = {QStringLiteral("Yes"), QStringLiteral("No")};
    QPointer<SearchResultWC> self(this);
    ResultSheet::show(this, request, [self, category](int button, bool) {
        if (self && button == 0) self->performAutomaticSearchResultsFilteringWithFilterMask(category);
    });
}

// ---- Timers ---------------------------------------------------------------------------

void SearchResultWC::startTimers()
{
    stopTimers();
    armRowTimer();
    armLabelTimer();
}

void SearchResultWC::stopTimers()
{
    if (m_rowTimer != 0) m_clock->cancel(m_rowTimer);
    if (m_labelTimer != 0) m_clock->cancel(m_labelTimer);
    m_rowTimer = 0;
    m_labelTimer = 0;
}

void SearchResultWC::armRowTimer()
{
    QPointer<SearchResultWC> self(this);
    m_rowTimer = m_clock->schedule(kRowTimerMs, [self]() {
        if (!self || self->m_rowTimer == 0) return;
        self->m_rowTimer = 0;
        self->addRowAtTableView();
        if (self->m_isSearchOn) self->armRowTimer();
    });
}

void SearchResultWC::armLabelTimer()
{
    QPointer<SearchResultWC> self(this);
    m_labelTimer = m_clock->schedule(kLabelTimerMs, [self]() {
        if (!self || self->m_labelTimer == 0) return;
        self->m_labelTimer = 0;
        self->updateSearchResults();
        if (self->m_isSearchOn) self->armLabelTimer();
    });
}

void SearchResultWC::addRowAtTableView()
{
    m_model->appendPendingRows();
    if (!m_filteredSearchResultArray->empty() && !m_searchResultTableView->selectionModel()->hasSelection()) {
        m_searchResultTableView->selectRows({0}, 0);
    }
}

void SearchResultWC::updateSearchResults()
{
    m_searchStatLabel->setText(
        QStringLiteral("Found %1 / %2")
            .arg(QString::number(m_searchResultArray->size()), QString::number(m_manager->totalFiles())));
}

std::size_t SearchResultWC::rowsAdded() const
{
    return static_cast<std::size_t>(m_model->rowsAdded());
}

// ---- Starting searches ----------------------------------------------------------------

BytePath SearchResultWC::currentSearchLocation() const
{
    if (!m_manager->searchLocation().empty()) return m_manager->searchLocation();
    return SearchFolder::choose({}, Settings(*m_defaults));
}

bool SearchResultWC::performSearchWithSelectedPath(const BytePath &folder)
{
    if (!isDirectory(folder)) {
        showMissingFolderSheet(folder);
        return false;
    }
    const QString text = m_searchBar->text();
    if (const auto refusal = SearchManager::refusalForText(text.isEmpty() ? m_manager->searchTemplate() : text)) {
        ResultSheet::Request request;
        request.icon = QMessageBox::Warning;
        request.text = QStringLiteral("This search can't be started.");
        request.informativeText = *refusal;
        request.buttons = {QStringLiteral("OK")};
        ResultSheet::show(this, request, {});
        return false;
    }
    m_manager->cancelSearchByButton();
    if (!text.isEmpty() && text != m_manager->searchTemplate()) m_manager->setSearchTemplate(text);
    m_manager->setSearchLocation(folder);
    Settings(*m_defaults).saveSearchLocation(folder);
    // The walkers of the stopped search have ended; the new one starts a moment later, as
    // every search start does.
    m_pendingSearch.cancel();
    QPointer<SearchResultWC> self(this);
    m_pendingSearch = MainQueue::after(
        kSearchStartDelayMs,
        [self, folder]() {
            if (!self) return;
            const std::string bytes = self->m_manager->searchTemplateBytes();
            self->m_manager->performSearchWithTemplateBytesAndFolder(bytes, folder);
        },
        *m_clock);
    return true;
}

void SearchResultWC::showMissingFolderSheet(const BytePath &folder)
{
    ResultSheet::Request request;
    request.icon = QMessageBox::Warning;
    request.text = QStringLiteral("Can't search for desired folder");
    request.informativeText = QStringLiteral("The folder %1 is not exist. Choose other folder to start searching.")
                                  .arg(BytePath(folder.fileName()).displayString());
    request.buttons = {QStringLiteral("OK"), QStringLiteral("Cancel")};
    QPointer<SearchResultWC> self(this);
    ResultSheet::show(this, request, [self](int button, bool) {
        if (!self) return;
        self->refreshCustomFolderButton();
        if (button == 0) {
            if (self->m_activeLocation == LocationButton::Custom) self->setLocationButtonOn(std::nullopt);
            const std::optional<LocationButton> previous = self->m_activeLocation;
            self->getDirForFind([self, previous](const std::optional<BytePath> &chosen) {
                if (!self) return;
                if (chosen) {
                    self->startLocationSearch(*chosen, LocationButton::Custom, true);
                } else {
                    self->setLocationButtonOn(previous);
                }
            });
            return;
        }
        self->m_manager->setSearchLocation(SearchFolder::home());
        self->setLocationButtonOn(LocationButton::Home);
    });
}

void SearchResultWC::stopSearchButtonPressed()
{
    // The button stops what it shows: a copy, move or Trash under way, else the search.
    if (m_operations->runningCount() > 0) {
        m_operations->cancelRunningOperation();
        return;
    }
    m_manager->cancelSearchByButton();
}

void SearchResultWC::operationProgressed(int action, std::size_t reported, std::size_t total)
{
    if (m_isSearchOn) return; // the search's counter keeps the status area
    m_searchStatLabel->setText(ResultFileOperations::progressText(action, reported, total));
    m_searchStatView->show();
    m_searchIndicator->show();
    m_searchIndicator->startAnimation();
    m_stopSearchButton->show();
    m_stopSearchButton->setEnabled(true);
}

void SearchResultWC::operationEnded()
{
    if (m_isSearchOn || m_operations->runningCount() > 0) return;
    m_searchIndicator->stopAnimation();
    m_searchIndicator->hide();
    m_searchStatView->hide();
    m_stopSearchButton->hide();
    m_stopSearchButton->setEnabled(false);
}

void SearchResultWC::openFailed(const QByteArray &uri, const QString &reason)
{
    if (!isVisible()) return;
    ResultSheet::Request request;
    request.icon = QMessageBox::Warning;
    // The URI holds the path's percent-encoded bytes after "file://".
    const BytePath path(QByteArray::fromPercentEncoding(uri.mid(7)).toStdString());
    request.text = QStringLiteral("\"%1\" could not be opened.").arg(BytePath(path.fileName()).displayString());
    request.informativeText = reason;
    request.buttons = {QStringLiteral("OK")};
    ResultSheet::show(this, request, {});
}

void SearchResultWC::showStatusNotice(const QString &notice)
{
    m_nothingFoundStatLabel->setText(notice);
    m_nothingFoundStatLabel->setToolTip(notice);
    m_nothingFoundStatLabel->setVisible(!notice.isEmpty());
}

void SearchResultWC::searchFieldEditingEnded()
{
    if (!m_isSearchOn) {
        performSearchWithSelectedPath(currentSearchLocation());
        return;
    }
    QPointer<SearchResultWC> self(this);
    showNewSearchAlertDialogWithCompletion([self](bool start) {
        if (!self) return;
        if (!start) {
            self->m_searchBar->setText(self->m_manager->searchTemplate());
            return;
        }
        self->m_lastSearchStoppedForNew = true;
        self->m_searchResultTableView->setFocus();
        self->performSearchWithSelectedPath(self->currentSearchLocation());
    });
}

void SearchResultWC::showNewSearchAlertDialogWithCompletion(std::function<void(bool start)> completion)
{
    if (Settings(*m_defaults).getBoolValueForKeyWithDefaultValue(SettingsKeys::kDontShowNewSearchAlertDialog, false)) {
        completion(true);
        return;
    }
    ResultSheet::Request request;
    request.text = QStringLiteral("Are you sure you want to start new search?");
    request.informativeText = QStringLiteral("Current search will be cancelled and new search will be started.");
    request.buttons = {QStringLiteral("Start"), QStringLiteral("Cancel")};
    request.suppressionText = ResultSheet::doNotShowAgainText();
    QPointer<SearchResultWC> self(this);
    ResultSheet::show(this, request, [self, completion = std::move(completion)](int button, bool suppress) {
        if (!self) return;
        if (suppress)
            Settings(*self->m_defaults).saveBoolValueForKey(true, SettingsKeys::kDontShowNewSearchAlertDialog);
        completion(button == 0);
    });
}

// ---- Location buttons -----------------------------------------------------------------

TrackingButton *SearchResultWC::locationButton(LocationButton button) const
{
    switch (button) {
    case LocationButton::WholeDisk:
        return m_selectMacForSearchButton;
    case LocationButton::Home:
        return m_selectUserFolderForSearchButton;
    case LocationButton::Custom:
        return m_selectCustomFolderForSearchButton;
    case LocationButton::ChooseCustom:
        return m_selectCustomFolderForSearchButton3p;
    }
    return nullptr;
}

void SearchResultWC::setLocationButtonOn(std::optional<LocationButton> button)
{
    m_activeLocation = button;
    m_selectMacForSearchButton->setChecked(button == LocationButton::WholeDisk);
    m_selectUserFolderForSearchButton->setChecked(button == LocationButton::Home);
    m_selectCustomFolderForSearchButton->setChecked(button == LocationButton::Custom);
}

void SearchResultWC::refreshCustomFolderButton()
{
    m_customFolderButtonSearchLocation = Settings(*m_defaults).getCustomFolderButtonSearchLocation();
    if (m_customFolderButtonSearchLocation && !isDirectory(*m_customFolderButtonSearchLocation)) {
        m_customFolderButtonSearchLocation.reset();
    }
    QString title = QLatin1String(kCustomFolderTitle);
    if (m_customFolderButtonSearchLocation) title = locationName(*m_customFolderButtonSearchLocation);
    m_selectCustomFolderForSearchButton->setText(title);
    m_selectCustomFolderForSearchButton->setToolTip(m_customFolderButtonSearchLocation
                                                        ? m_customFolderButtonSearchLocation->displayString()
                                                        : QStringLiteral("Search a folder of your choice"));
    const bool chosen = title != QLatin1String(kCustomFolderTitle);
    m_selectCustomFolderForSearchButton3p->setVisible(chosen);
    m_selectCustomFolderForSearchButton3p->setEnabled(chosen);
}

void SearchResultWC::checkCustomFolderAndUpdateButtons()
{
    refreshCustomFolderButton();
    const BytePath location =
        m_manager->searchLocation().empty() ? currentSearchLocation() : m_manager->searchLocation();
    const bool customOn = m_selectCustomFolderForSearchButton->isChecked();
    const BytePath home = SearchFolder::home();
    // The home as the custom folder too lights "Custom"; any other folder but the root does.
    if (!customOn && location == home) {
        setLocationButtonOn(LocationButton::Home);
    } else if (location != home && location == BytePath("/") && m_selectMacForSearchButton->isEnabled()) {
        setLocationButtonOn(LocationButton::WholeDisk);
    } else {
        setLocationButtonOn(LocationButton::Custom);
    }
}

void SearchResultWC::locationButtonPressed(LocationButton button)
{
    if (button != LocationButton::ChooseCustom && m_activeLocation == button) {
        setLocationButtonOn(button);
        return;
    }
    const std::optional<LocationButton> previous = m_activeLocation;
    // The button a click has turned on or off shows the group's state until it is decided.
    setLocationButtonOn(previous);
    if (!m_isSearchOn) {
        pressLocation(button, previous);
        return;
    }
    QPointer<SearchResultWC> self(this);
    showNewSearchAlertDialogWithCompletion([self, button, previous](bool start) {
        if (!self) return;
        if (!start) {
            self->m_searchBar->setText(self->m_manager->searchTemplate());
            self->setLocationButtonOn(previous);
            return;
        }
        self->m_lastSearchStoppedForNew = true;
        self->pressLocation(button, previous);
    });
}

void SearchResultWC::pressLocation(LocationButton button, std::optional<LocationButton> previous)
{
    switch (button) {
    case LocationButton::WholeDisk:
        startLocationSearch(BytePath("/"), LocationButton::WholeDisk, false);
        return;
    case LocationButton::Home:
        startLocationSearch(SearchFolder::home(), LocationButton::Home, false);
        return;
    case LocationButton::Custom:
        refreshCustomFolderButton();
        if (m_customFolderButtonSearchLocation) {
            startLocationSearch(*m_customFolderButtonSearchLocation, LocationButton::Custom, false);
            return;
        }
        break;
    case LocationButton::ChooseCustom:
        break;
    }
    QPointer<SearchResultWC> self(this);
    getDirForFind([self, previous](const std::optional<BytePath> &chosen) {
        if (!self) return;
        if (!chosen) {
            self->setLocationButtonOn(previous);
            return;
        }
        self->startLocationSearch(*chosen, LocationButton::Custom, true);
    });
}

void SearchResultWC::startLocationSearch(const BytePath &folder, LocationButton button, bool rememberCustom)
{
    if (!performSearchWithSelectedPath(folder)) return;
    setLocationButtonOn(button);
    if (rememberCustom) {
        Settings(*m_defaults).saveCustomFolderButtonSearchLocation(folder);
        refreshCustomFolderButton();
    }
}

void SearchResultWC::getDirForFind(std::function<void(std::optional<BytePath>)> chosen)
{
    auto *chooser = new QFileDialog(this);
    chooser->setAttribute(Qt::WA_DeleteOnClose);
    chooser->setOption(QFileDialog::DontUseNativeDialog);
    chooser->setOption(QFileDialog::ShowDirsOnly);
    chooser->setFileMode(QFileDialog::Directory);
    chooser->setFilter(QDir::AllDirs | QDir::Hidden | QDir::NoDotAndDotDot);
    chooser->setWindowTitle(QStringLiteral("Choose a Folder to Search"));
    chooser->setLabelText(QFileDialog::Accept, QStringLiteral("Choose"));
    chooser->setDirectory(
        (m_customFolderButtonSearchLocation ? *m_customFolderButtonSearchLocation : SearchFolder::home())
            .displayString());
    connect(chooser, &QDialog::finished, this, [chooser, chosen = std::move(chosen)](int result) {
        const QStringList files = chooser->selectedFiles();
        if (result != QDialog::Accepted || files.isEmpty()) {
            chosen(std::nullopt);
        } else {
            chosen(BytePath::fromText(files.first()));
        }
    });
    chooser->open();
}

// ---- Filter and sorting ---------------------------------------------------------------

TrackingButton *SearchResultWC::filterButton(unsigned bit) const
{
    switch (bit) {
    case kSearchCategoryRegular:
        return m_filterShowRegularButton;
    case kSearchCategoryHidden:
        return m_filterShowHiddenButton;
    case kSearchCategoryPackageContents:
        return m_filterShowPackagedButton;
    default:
        return nullptr;
    }
}

void SearchResultWC::showFilterButtonStates()
{
    m_filterShowRegularButton->setChecked((m_filterMask & kSearchCategoryRegular) != 0);
    m_filterShowHiddenButton->setChecked((m_filterMask & kSearchCategoryHidden) != 0);
    m_filterShowPackagedButton->setChecked((m_filterMask & kSearchCategoryPackageContents) != 0);
    QString shown = QStringLiteral("Custom filter");
    for (QAction *action : m_filterHiddenPopupMenu->actions()) {
        const bool current = action->data().toUInt() == m_filterMask;
        action->setChecked(current);
        if (current) shown = action->text();
    }
    m_filterHiddenPopupButton->setText(shown);
}

void SearchResultWC::setFilterControlsEnabled(bool enabled)
{
    m_filterShowRegularButton->setEnabled(enabled);
    m_filterShowHiddenButton->setEnabled(enabled);
    m_filterShowPackagedButton->setEnabled(enabled);
    m_filterHiddenPopupButton->setEnabled(enabled);
}

void SearchResultWC::filterButtonToggled(unsigned bit, bool on)
{
    if (m_isSearchOn) {
        showFilterButtonStates();
        return;
    }
    m_filterMask = on ? (m_filterMask | bit) : (m_filterMask & ~bit);
    m_manager->setFilterMask(m_filterMask);
    performSearchResultsFiltering();
    showFilterButtonStates();
}

void SearchResultWC::performAutomaticSearchResultsFilteringWithFilterMask(unsigned mask)
{
    m_filterMask = mask;
    m_manager->setFilterMask(mask);
    performSearchResultsFiltering();
    showFilterButtonStates();
}

void SearchResultWC::performSearchResultsFiltering()
{
    const std::vector<std::uint64_t> ids = selectedItemIDs();
    const SearchItemPtr current = m_model->itemAt(m_searchResultTableView->currentIndex().row());
    m_manager->performSearchResultsFiltering();
    m_model->reload();
    selectItemsWithIDs(ids, current ? std::optional<std::uint64_t>(current->itemID()) : std::nullopt);
    tableViewSelectionChanged();
}

void SearchResultWC::sortDescriptorsDidChange(int column)
{
    if (column < 0 || column >= SearchResultsTableModel::ColumnCount) return;
    const std::size_t key = static_cast<std::size_t>(column);
    const bool ascending = m_sortAscending[key];
    const std::vector<std::uint64_t> ids = selectedItemIDs();
    const SearchItemPtr current = m_model->itemAt(m_searchResultTableView->currentIndex().row());
    m_model->sortList(column, ascending);
    m_sortAscending[key] = !ascending;
    m_searchResultTableView->horizontalHeader()->setSortIndicator(column,
                                                                  ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
    selectItemsWithIDs(ids, current ? std::optional<std::uint64_t>(current->itemID()) : std::nullopt);
    tableViewSelectionChanged();
}

std::vector<std::uint64_t> SearchResultWC::selectedItemIDs() const
{
    std::vector<std::uint64_t> ids;
    for (const SearchItemPtr &item : itemsAtRows(m_searchResultTableView->selectedRowIndexes()))
        ids.push_back(item->itemID());
    return ids;
}

void SearchResultWC::selectItemsWithIDs(const std::vector<std::uint64_t> &ids, std::optional<std::uint64_t> currentID)
{
    const std::unordered_set<std::uint64_t> wanted(ids.begin(), ids.end());
    const std::vector<int> rows = m_model->rowsOfItemIDs(wanted);
    int currentRow = -1;
    if (currentID) {
        const std::vector<int> found = m_model->rowsOfItemIDs({*currentID});
        if (!found.empty()) currentRow = found.front();
    }
    if (currentRow < 0 && !rows.empty()) currentRow = rows.front();
    m_searchResultTableView->selectRows(rows, currentRow);
    if (currentRow >= 0) {
        m_searchResultTableView->scrollTo(m_model->index(currentRow, 0));
    } else {
        m_searchResultTableView->scrollToTop();
    }
}

// ---- Selection and the rows acted on --------------------------------------------------

void SearchResultWC::tableViewSelectionChanged()
{
    m_leftMouseSelectedItemsIndexSet = m_searchResultTableView->selectedRowIndexes();
    m_selectedItemsIndexSet = m_leftMouseSelectedItemsIndexSet;
    const int row = m_searchResultTableView->selectedRow();
    if (const SearchItemPtr item = m_model->itemAt(row)) {
        showPathBarAt(item->filePath());
        m_pathControl->show();
    } else {
        m_pathControl->hide();
    }
    // An open preview shows what is selected now.
    if (m_quickLook->isPreviewPanelVisible() && !m_selectedItemsIndexSet.empty())
        m_quickLook->setFileItemsByPaths(ResultFileOperations::pathsOf(itemsActedOn()));
    updateActionButtons();
}

void SearchResultWC::setActionButtonsEnabled(bool enabled)
{
    m_copyActionButton->setEnabled(enabled);
    m_moveActionButton->setEnabled(enabled);
    m_deleteActionButton->setEnabled(enabled);
}

void SearchResultWC::updateActionButtons()
{
    if (m_isSearchOn) return;
    setActionButtonsEnabled(!m_filteredSearchResultArray->empty() && !m_selectedItemsIndexSet.empty());
    const SearchItemList items = itemsActedOn();
    const bool anyOutsideTrash =
        std::any_of(items.begin(), items.end(), [this](const SearchItemPtr &item) { return !isInTrash(*item); });
    m_deleteActionButton->setEnabled(m_deleteActionButton->isEnabled() && anyOutsideTrash);
    m_removeMenuItem->setEnabled(anyOutsideTrash);
}

SearchItemList SearchResultWC::itemsAtRows(const std::vector<std::size_t> &rows) const
{
    SearchItemList items;
    items.reserve(rows.size());
    for (const std::size_t row : rows) {
        if (SearchItemPtr item = m_model->itemAt(static_cast<int>(row))) items.push_back(std::move(item));
    }
    return items;
}

SearchItemList SearchResultWC::itemsActedOn() const
{
    if (m_filteredSearchResultArray->empty()) return {};
    return itemsAtRows(m_selectedItemsIndexSet);
}

bool SearchResultWC::actionsBlocked() const
{
    // Copy, move and Trash wait for the search, and for the one before them, to end,
    // whichever way they are asked for.
    return m_isSearchOn || m_operations->runningCount() > 0;
}

void SearchResultWC::menuWillOpen(int row, const QPoint &globalPosition)
{
    m_contextMenuRowIndex = row;
    if (row < 0 || row >= m_model->rowCount()) {
        m_contextMenuRowIndex = -1;
        return;
    }
    std::vector<std::size_t> rows = m_searchResultTableView->selectedRowIndexes();
    const auto clicked = static_cast<std::size_t>(row);
    const auto at = std::lower_bound(rows.begin(), rows.end(), clicked);
    if (at == rows.end() || *at != clicked) rows.insert(at, clicked);
    m_selectedItemsIndexSet = std::move(rows);
    m_copyToFolderMenuItem->setEnabled(!m_isSearchOn);
    m_moveToFolderMenuItem->setEnabled(!m_isSearchOn);
    m_removeMenuItem->setEnabled(!m_isSearchOn);
    m_contextMenu->popup(globalPosition);
}

// ---- Actions --------------------------------------------------------------------------

void SearchResultWC::openMenuItemPressed()
{
    int row = m_searchResultTableView->selectedRow();
    // From the context menu of a row outside the selection: that row.
    if (m_contextMenuRowIndex >= 0 &&
        !m_searchResultTableView->selectionModel()->isRowSelected(m_contextMenuRowIndex, {})) {
        row = m_contextMenuRowIndex;
    }
    if (const SearchItemPtr item = m_model->itemAt(row)) m_workspace->openFile(item->fullFileNameWithPath());
}

void SearchResultWC::quickLookMenuItemPressed()
{
    m_quickLook->previewPaths(ResultFileOperations::pathsOf(itemsActedOn()));
}

void SearchResultWC::previewSelectedRow()
{
    BytePathList paths;
    if (const SearchItemPtr item = m_model->itemAt(m_searchResultTableView->selectedRow())) {
        paths.push_back(item->fullFileNameWithPath());
    }
    m_quickLook->previewPaths(paths);
}

void SearchResultWC::showInFinderMenuItemPressed()
{
    m_operations->showInFinder(itemsActedOn());
}

void SearchResultWC::getInfoMenuItemPressed()
{
    m_operations->getInfo(itemsActedOn());
}

void SearchResultWC::copyNameMenuItemPressed()
{
    ResultFileOperations::copyNamesToClipboard(itemsActedOn());
}

void SearchResultWC::copyPathnameMenuItemPressed()
{
    ResultFileOperations::copyPathnamesToClipboard(itemsActedOn());
}

void SearchResultWC::copyToFolderMenuItemPressed()
{
    if (!actionsBlocked()) m_operations->doCopyOrMoveActionWithPathes(ResultActionCopy, itemsActedOn());
}

void SearchResultWC::moveToFolderMenuItemPressed()
{
    if (!actionsBlocked()) m_operations->doCopyOrMoveActionWithPathes(ResultActionMove, itemsActedOn());
}

void SearchResultWC::removeMenuItemPressed()
{
    if (actionsBlocked()) return;
    // What is in the Trash already is shown, not offered again.
    SearchItemList items = itemsActedOn();
    std::erase_if(items, [this](const SearchItemPtr &item) { return isInTrash(*item); });
    if (items.empty()) {
        showStatusNotice(QStringLiteral("Already in the Trash."));
        return;
    }
    m_operations->deleteActionButtonPressed(items);
}

bool SearchResultWC::isInTrash(const SearchItem &item) const
{
    return !m_trashFolder.empty() && VolumeName::isParentPathForPath(m_trashFolder, item.fullFileNameWithPath());
}

void SearchResultWC::copyActionButtonPressed()
{
    copyToFolderMenuItemPressed();
}

void SearchResultWC::moveActionButtonPressed()
{
    moveToFolderMenuItemPressed();
}

void SearchResultWC::deleteActionButtonPressed()
{
    removeMenuItemPressed();
}

void SearchResultWC::updateSearchResultsAfterAction(int action, const SearchItemList &items, const BytePath &)
{
    if (action == ResultActionCopy) {
        refreshTitle();
        return;
    }
    // Where the items are now: the table may have been sorted or filtered meanwhile.
    std::unordered_set<const SearchItem *> acted;
    for (const SearchItemPtr &item : items)
        acted.insert(item.get());
    std::vector<std::size_t> indexes;
    for (std::size_t i = 0; i < m_filteredSearchResultArray->size(); ++i) {
        if (acted.count((*m_filteredSearchResultArray)[i].get()) != 0) indexes.push_back(i);
    }
    const SearchItemList removed = m_manager->removeItemsWithIndexSet(indexes);
    if (action == ResultActionTrash && !m_manager->reviewTag().isEmpty())
        m_center->post(ReviewItemsMovedToTrashNotification(), m_manager->reviewTag());
    QScrollBar *scroll = m_searchResultTableView->verticalScrollBar();
    const int position = scroll->value();
    if (!m_model->removeItems(removed)) scroll->setValue(position);
    refreshTitle();
    tableViewSelectionChanged();
}

} // namespace lurkel
