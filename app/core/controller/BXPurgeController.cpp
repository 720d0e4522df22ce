#include "BXPurgeController.h"
#include "DesktopAnchor.h"
#include "MessageNames.h"
#include "VisibilityRequest.h"

#include "AboutWC.h"
#include "AdBasedOnSpotlightVC.h"
#include "ApplicationActivity.h"
#include "CleanMemoryButton.h"
#include "DesktopUrlOpener.h"
#include "DiskAccessRestoreManager.h"
#include "FileManagerSettingsWatcher.h"
#include "HiddenItemsUpdater.h"
#include "HiddenManager.h"
#include "Identity.h"
#include "Log.h"
#include "LurkelProjectRunAtLoginManager.h"
#include "MacToolsDialogWC.h"
#include "MainWindowProvider.h"
#include "MemoryController.h"
#include "NewsManager.h"
#include "OnOffSwitch.h"
#include "PanelWindow.h"
#include "PanelWindowContextualMenuStrings.h"
#include "PreferencesWindow.h"
#include "PreferencesWindowStrings.h"
#include "ProgramPaths.h"
#include "PromoManager.h"
#include "PromoSettings.h"
#include "PromoWindowPlacement.h"
#include "RateDialgoWC.h"
#include "RunningApplications.h"
#include "ScriptsManager.h"
#include "SearchManager.h"
#include "SearchResultWC.h"
#include "Settings.h"
#include "SettingsKeys.h"
#include "Spawn.h"
#include "StatusItemAnchor.h"
#include "StatusNotifierItem.h"
#include "UserDefaults.h"
#include "VisibilityRestorerAtLaunch.h"
#include "WelcomeDialogOpener.h"
#include "WidgetAccessAlertsPresenter.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QStandardPaths>
#include <QStyleHints>
#include <QSvgRenderer>
#include <QSystemTrayIcon>

#include <cstdio>
#include <utility>

// Q_INIT_RESOURCE must be used outside any namespace.
static void initTrayIconResources()
{
    Q_INIT_RESOURCE(icons);
}

namespace lurkel {

namespace {

namespace Keys = SettingsKeys;

QString displayName()
{
    return QString::fromLatin1(Identity::kBundleDisplayName);
}

QString iconThemeName(bool shown)
{
    return QString::fromLatin1(shown ? BXPurgeController::kImageHiddenShown
                                     : BXPurgeController::kImageHiddenInvisible) +
           QStringLiteral("-symbolic");
}

// True when the desktop itself can load the icon by name: it is installed in the hicolor
// theme of one of the data folders (a tray host reads those, not our build folder).
bool desktopFindsIcon(const QString &name)
{
    return !QStandardPaths::locate(QStandardPaths::GenericDataLocation,
                                   QStringLiteral("icons/hicolor/scalable/status/%1.svg").arg(name))
                .isEmpty();
}

// The built-in symbolic image drawn in one colour, at the sizes trays ask for.
QIcon tintedIcon(const QString &resource, const QColor &color)
{
    QSvgRenderer renderer(resource);
    QIcon icon;
    if (!renderer.isValid()) return icon;
    for (const int size : {16, 22, 24, 32, 48, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        renderer.render(&painter);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(pixmap.rect(), color);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

// The theme folder (the one holding "hicolor") where this program finds the icon by name:
// the build tree's share/icons before installation.
QString iconFolderOf(const QString &name)
{
    for (const QString &folder : QIcon::themeSearchPaths()) {
        const QFileInfo icon(folder + QStringLiteral("/hicolor/scalable/status/%1.svg").arg(name));
        if (icon.exists()) return QFileInfo(folder).canonicalFilePath();
    }
    return {};
}

QString toolTipForState(bool shown)
{
    return shown ? QStringLiteral("Lurkel\nHidden files are visible in the file manager")
                 : QStringLiteral("Lurkel\nHidden files are invisible in the file manager");
}

} // namespace

// The script runner's view of the application: active while one of its windows has the
// focus; activating it gives the panel (or the window in front) the focus again.
struct BXPurgeController::ApplicationActivityAdapter final : public ApplicationActivity {
    explicit ApplicationActivityAdapter(BXPurgeController &controller) : m_controller(controller) {}
    bool isActive() const override { return QGuiApplication::applicationState() == Qt::ApplicationActive; }
    void activateIgnoringOtherApps() override
    {
        QWidget *window = QApplication::activeWindow();
        if (window == nullptr && m_controller.window() != nullptr && m_controller.window()->isVisible())
            window = m_controller.window();
        if (window == nullptr) return;
        window->raise();
        window->activateWindow();
    }
    BXPurgeController &m_controller;
};

QString BXPurgeController::ShowMainWindowAndMakeActiveNotificationName()
{
    return QString::fromLatin1(MessageNames::kShowMainWindowAndMakeActive);
}

void BXPurgeController::ShowMainWindowAndMakeActive(NotificationCenter &center)
{
    center.post(ShowMainWindowAndMakeActiveNotificationName());
}

BXPurgeController::BXPurgeController(PurgeControllerServices services, QObject *parent)
    : QObject(parent), m_hidden(services.hiddenManager ? *services.hiddenManager : HiddenManager::sharedManager()),
      m_search(services.searchManager ? *services.searchManager : SearchManager::sharedManager()),
      m_scripts(services.scripts ? *services.scripts : ScriptsManager::sharedManager()),
      m_diskAccess(services.diskAccess ? *services.diskAccess : DiskAccessRestoreManager::sharedManager()),
      m_runAtLogin(services.runAtLogin ? *services.runAtLogin : LurkelProjectRunAtLoginManager::shared()),
      m_defaults(services.defaults ? *services.defaults : UserDefaults::standardUserDefaults()),
      m_center(services.notificationCenter ? *services.notificationCenter : NotificationCenter::defaultCenter()),
      m_distributed(services.distributed ? *services.distributed : DistributedNotificationCenter::defaultCenter()),
      m_urlOpener(services.urlOpener ? *services.urlOpener : DesktopUrlOpener::shared()),
      m_clock(services.clock ? *services.clock : Clock::instance()), m_pluginKit(std::move(services.pluginKit)),
      m_quitApplication(services.quitApplication ? std::move(services.quitApplication)
                                                 : std::function<bool(const QString &)>(&RunningApplications::quit)),
      m_terminate(services.terminate ? std::move(services.terminate) : std::function<void()>(&QCoreApplication::quit)),
      m_trayAvailable(services.trayAvailable ? std::move(services.trayAvailable)
                                             : std::function<bool()>(&QSystemTrayIcon::isSystemTrayAvailable)),
      m_noTrayAlert(std::move(services.noTrayAlert)), m_showToolsWindow(std::move(services.showToolsWindow)),
      m_isToolsWindowVisible(std::move(services.isToolsWindowVisible)),
      m_showRateWindow(std::move(services.showRateWindow)), m_makeAboutWindow(std::move(services.makeAboutWindow)),
      m_newsManager(std::move(services.newsManager))
{
    // The application's own promotion windows.
    if (!m_showToolsWindow) m_showToolsWindow = [] { MacToolsDialogWC::sharedController().pleaseShowWindow(); };
    if (!m_isToolsWindowVisible)
        m_isToolsWindowVisible = [] { return MacToolsDialogWC::sharedController().isVisible(); };
    if (!m_showRateWindow) m_showRateWindow = [] { RateDialgoWC::showWindowByUser(); };
    if (!m_makeAboutWindow) m_makeAboutWindow = []() -> QWidget * { return new AboutWC(); };
    initTrayIconResources();

    // What the interface file makes: the panel, the preferences window, the menu.
    PanelWindowServices panelServices;
    panelServices.hiddenManager = &m_hidden;
    panelServices.searchManager = &m_search;
    panelServices.defaults = &m_defaults;
    panelServices.notificationCenter = &m_center;
    panelServices.clock = &m_clock;
    panelServices.isApplicationActive = services.isApplicationActive;
    panelServices.newsManager = [this] { return newsManager(); };
    panelServices.diskUsageSection = [this](QWidget *container) -> DiskUsageSection * {
        AdBasedOnSpotlightVCServices section;
        section.defaults = &m_defaults;
        section.notificationCenter = &m_center;
        section.urlOpener = &m_urlOpener;
        section.searchManager = &m_search;
        return new AdBasedOnSpotlightVC(section, container);
    };
    m_wndInfo = std::make_unique<PanelWindow>(panelServices);
    m_wndInfo->setSearchResultWindow(this);
    m_wndPreferences = std::make_unique<PreferencesWindow>();
    m_memory = std::make_unique<MemoryController>(Settings(m_defaults), PurgeManager::GetInstance(), m_clock);
    m_welcome = std::make_unique<WelcomeDialogOpener>(&m_defaults, &m_clock);
    m_updater = std::make_unique<Updater>();
    m_updater->setClock(m_clock);
    m_updater->setCurrentVersion(PromoManager::getAppBuildVersion(), PromoManager::getAppVersion());
    buildMenu();
    connectPreferencesWindow();

    m_memory->setInfoPanel(m_wndInfo.get());
    m_memory->setCleanButton(m_wndInfo->cleanMemoryButton());
    m_memory->setPreferencesView(m_wndPreferences.get());
    m_memory->setStatusItemUpdate([this] { updateStatusItem(); });

    // The hidden manager's dialogs appear over the panel; the script runner gives the focus
    // back to the application after a script that took it.
    m_mainWindowProvider = std::make_unique<FunctionMainWindowProvider>(
        [this]() -> QWidget * { return m_wndInfo && m_wndInfo->isVisible() ? m_wndInfo.get() : nullptr; });
    m_accessAlerts = std::make_unique<WidgetAccessAlertsPresenter>(*m_mainWindowProvider, m_urlOpener);
    m_hidden.setAccessAlertsPresenter(m_accessAlerts.get());
    m_activity = std::make_unique<ApplicationActivityAdapter>(*this);
    m_scripts.setApplicationActivity(m_activity.get());

    // The welcome dialog of the first start points at the tray icon; its close button
    // opens the panel.
    m_welcome->setStatusItemAnchor([this] { return currentAnchor(); });
    m_welcome->setShowMainWindowAndMakeActive([this] { showMainWindowAndMakeActive(); });

    connect(m_wndInfo.get(), &PanelWindow::preferencesButtonPressed, this, [this] { preferencesButtonPressed(); });
    connect(m_wndInfo.get(), &PanelWindow::newsButtonPressed, this, [this] { newsButtonPressed(); });
    connect(m_wndInfo.get(), &PanelWindow::cleanMemoryButtonPressed, this, [this] { onFreeMemory(); });
    connect(m_wndInfo.get(), &PanelWindow::panelClosedByUser, this, [this] { onPanelInfoClosed(); });
    m_wndInfo->installEventFilter(this);
}

BXPurgeController::~BXPurgeController()
{
    if (m_hidden.accessAlertsPresenter() == m_accessAlerts.get()) m_hidden.setAccessAlertsPresenter(nullptr);
    m_scripts.setApplicationActivity(nullptr);
    m_memory->setInfoPanel(nullptr);
    m_memory->setCleanButton(nullptr);
    m_memory->setPreferencesView(nullptr);
    if (qApp != nullptr) qApp->removeEventFilter(this);
    m_wndInfo->removeEventFilter(this);
    m_trayWait.cancel();
    m_newsAutoShow.cancel();
    delete m_aboutWC;
    m_notifierItem.reset();
}

void BXPurgeController::awakeFromNib()
{
    if (m_started) return;
    m_started = true;

    m_visibilityRestorerAtLaunch = std::make_unique<VisibilityRestorerAtLaunch>(m_hidden);
    m_wndPreferences->setWindowTitle(PanelWindowContextualMenuStrings::preferencesWithoutDots());
    PromoManager::GetInstance();
    m_memory->initValues();

    m_statusItem = std::make_unique<QSystemTrayIcon>();
    m_statusItem->setToolTip(displayName());
    m_statusItem->setContextMenu(m_theMenu.get());
    connect(m_statusItem.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        // A left click toggles the panel; a right click opens the menu (Qt shows the
        // context menu itself); a middle click does nothing, and so does the double click
        // an XEmbed tray reports after the first click's Trigger.
        if (reason == QSystemTrayIcon::Trigger) statusItemClicked();
    });
    qCInfo(lcCore, "tray icon created");
    // Under a StatusNotifierItem host our own item stands for Qt's icon (it registers as
    // soon as a watcher is on the bus, also one that comes up later); Qt's is shown at once
    // in an XEmbed tray (the welcome dialog of the first start points at it). main() waits
    // for a tray that comes up later.
    startNotifierItem();
    showStatusIconForState(m_hidden.isHiddenShown());
    if (!StatusNotifierItem::watcherIsOnBus() && m_trayAvailable()) m_statusItem->show();

    m_hidden.startTrackingSystemValue();
    m_hidden.applyStoredValue();
    // The file managers' own settings are followed where they change (no polling).
    m_settingsWatcher = std::make_unique<FileManagerSettingsWatcher>(m_hidden);
    m_settingsWatcher->start();

    registerLocalObservers();

    m_memory->scheduleCheckMemory(true, 0);

    m_wndInfo->updateWindowFrameAndItems();
    // A detached panel goes back to its place; whether it opens is the start's decision
    // (BXAppDelegate), as for a locked one.
    m_wndInfo->restoreDetachedPlace();

    const std::int64_t vision = getVisionPrefIndex();
    if (vision >= 0 && vision < m_wndPreferences->m_visionComboBox()->count())
        m_wndPreferences->m_visionComboBox()->setCurrentIndex(static_cast<int>(vision));

    m_pResetUserDefaultsMenuItem->setVisible(false);
    m_pResetUserDefaultsMenuItemSeparator->setVisible(false);

    registerDistributedObservers();
    finderIntegration();

    // News of an earlier run not read yet show on the buttons (they pop up by themselves
    // only when they arrive); the tools page comes by itself later, unless the news are on
    // screen.
    NewsManager *news = newsManager();
    m_wndInfo->setHasFreshNews(news != nullptr && news->hasFreshNews());
    if (news == nullptr || !news->isNewsDialogVisible()) PromoManager::GetInstance().showToolsAutomatically();
}

void BXPurgeController::waitForTray()
{
    m_trayWait.cancel();
    trayWaitStep(m_clock.nowMs());
}

void BXPurgeController::startNotifierItem()
{
    m_notifierItem = std::make_unique<StatusNotifierItem>(QString::fromLatin1(Identity::kBundleName), m_theMenu.get());
    if (!m_notifierItem->start()) {
        m_notifierItem.reset();
        return;
    }
    connect(m_notifierItem.get(), &StatusNotifierItem::registered, this, [this] {
        qCInfo(lcCore, "tray icon registered with the StatusNotifierItem host");
        if (m_statusItem) m_statusItem->hide();
        m_trayWait.cancel();
    });
    connect(m_notifierItem.get(), &StatusNotifierItem::activated, this, [this](QPoint point) {
        // Hosts that do not know where the click was send 0, 0.
        statusItemClicked(point.isNull() ? std::nullopt : std::optional<QPoint>(point));
    });
    connect(m_notifierItem.get(), &StatusNotifierItem::contextMenuRequested, this, [this](QPoint point) {
        if (!point.isNull()) m_lastClickPoint = point;
        m_theMenu->popup(point.isNull() ? QCursor::pos() : point);
    });
}

bool BXPurgeController::notifierItemRegistered() const
{
    return m_notifierItem && m_notifierItem->isRegistered();
}

StatusItemAnchor BXPurgeController::currentAnchor() const
{
    StatusItemAnchor anchor = DesktopAnchor::fromTrayIcon(m_statusItem.get(), false);
    anchor.clickPoint = m_lastClickPoint;
    return anchor;
}

void BXPurgeController::setToolTipOnIcons(const QString &toolTip)
{
    if (m_statusItem) m_statusItem->setToolTip(toolTip);
    if (m_notifierItem) {
        const qsizetype newline = toolTip.indexOf(QLatin1Char('\n'));
        m_notifierItem->setToolTip(newline < 0 ? toolTip : toolTip.left(newline),
                                   newline < 0 ? QString() : toolTip.mid(newline + 1));
    }
}

void BXPurgeController::trayWaitStep(std::int64_t startMs)
{
    if (notifierItemRegistered()) return;
    if (!StatusNotifierItem::watcherIsOnBus() && m_trayAvailable()) {
        if (m_statusItem) m_statusItem->show();
        return;
    }
    if (m_clock.nowMs() - startMs >= kTrayWaitLimitMs) {
        const QString message = noTrayMessage();
        std::fprintf(stderr, "lurkel: %s\n", qPrintable(message));
        if (m_noTrayAlert) {
            m_noTrayAlert(message);
            return;
        }
        auto *alert = new QMessageBox(QMessageBox::Warning, displayName(), message);
        alert->setAttribute(Qt::WA_DeleteOnClose);
        alert->addButton(QStringLiteral("Keep Running"), QMessageBox::AcceptRole);
        QAbstractButton *quit = alert->addButton(QStringLiteral("Quit Lurkel"), QMessageBox::RejectRole);
        QPointer<BXPurgeController> self(this);
        connect(alert, &QMessageBox::buttonClicked, this, [self, quit](QAbstractButton *button) {
            if (self && button == quit) self->onQuitLurkel();
        });
        alert->show();
        return;
    }
    m_trayWait = MainQueue::after(
        kTrayWaitStepMs, [this, startMs] { trayWaitStep(startMs); }, m_clock);
}

QString BXPurgeController::noTrayMessage()
{
    return QStringLiteral(
        "No system tray is available in this session, so Lurkel's icon cannot be shown. Lurkel keeps running: "
        "start lurkel again (from the applications menu or a terminal) to open its panel. On GNOME, install and "
        "enable the AppIndicator extension (gnome-shell-extension-appindicator) for the tray icon.");
}

// ---- Tray icon.

QIcon BXPurgeController::statusIconImageForState(bool shown) const
{
    const QString name = iconThemeName(shown);
    if (desktopFindsIcon(name) && QIcon::hasThemeIcon(name)) return QIcon::fromTheme(name);
    return tintedIcon(QStringLiteral(":/icons/%1.svg").arg(name),
                      QGuiApplication::palette().color(QPalette::WindowText));
}

void BXPurgeController::updateStatusIconWithImage(const QIcon &image)
{
    if (m_statusItem) m_statusItem->setIcon(image);
}

void BXPurgeController::showStatusIconForState(bool shown)
{
    m_iconState = shown;
    const QIcon image = statusIconImageForState(shown);
    updateStatusIconWithImage(image);
    if (m_notifierItem) {
        // By name, so that the host draws it in the panel's colours: from the desktop's
        // themes once installed, otherwise from the icon folder this program found it in.
        const QString name = iconThemeName(shown);
        m_notifierItem->setIcon(name, desktopFindsIcon(name) ? QString() : iconFolderOf(name), image);
    }
}

void BXPurgeController::prepareUpdateStatusIcon()
{
    showStatusIconForState(m_hidden.isHiddenShouldDisplay());
}

void BXPurgeController::updateStatusIcon_Lurkel()
{
    prepareUpdateStatusIcon();
    setToolTipOnIcons(toolTipForState(m_hidden.isHiddenShown()));
}

void BXPurgeController::updateStatusItem()
{
    setToolTipOnIcons(toolTipForState(m_hidden.isHiddenShown()));
    m_memory->updateLastFreeLabel();
}

void BXPurgeController::updateStatusItemWithToolTip(const QString &toolTip)
{
    setToolTipOnIcons(toolTip);
}

bool BXPurgeController::isWelcomeScreenVisible() const
{
    return m_welcome->isWelcomeScreenVisible();
}

void BXPurgeController::statusItemAction(bool clicked)
{
    if (m_welcome->isWelcomeScreenVisible()) m_welcome->closeWelcomeDialogAndStopModal();
    // A click, or a request without one, opens where the last click was.
    m_wndInfo->processActionOfStatusItem([this] { return currentAnchor(); }, true, clicked);
}

void BXPurgeController::statusItemClicked(std::optional<QPoint> point)
{
    const std::int64_t now = m_clock.nowMs();
    const std::int64_t doubleClickMs = QGuiApplication::styleHints()->mouseDoubleClickInterval();
    if (m_lastTrayClickMs && now - *m_lastTrayClickMs < doubleClickMs) {
        // The second click of a double click; the third starts afresh.
        m_lastTrayClickMs.reset();
        return;
    }
    m_lastTrayClickMs = now;
    if (!point) point = DesktopAnchor::pointerIfReliable();
    if (point) m_lastClickPoint = point;
    statusItemAction(true);
}

void BXPurgeController::showMainWindowAndMakeActive()
{
    QPointer<BXPurgeController> self(this);
    m_welcome->openWelcomeDialog([self] {
        if (!self) return;
        if (!self->m_wndInfo->isVisible())
            self->statusItemAction(false);
        else
            self->m_wndInfo->makeKeyAndOrderFront();
    });
}

bool BXPurgeController::eventFilter(QObject *watched, QEvent *event)
{
    // The desktop's colours changed (light or dark): the memory figures and a tray image
    // drawn by us follow.
    if (watched == qApp && event->type() == QEvent::ApplicationPaletteChange) {
        m_memory->fillInfoPanel();
        prepareUpdateStatusIcon();
    }
    if (watched == m_wndInfo.get() && (event->type() == QEvent::Show || event->type() == QEvent::Hide))
        updateTogglePanelInfoItem();
    return QObject::eventFilter(watched, event);
}

void BXPurgeController::registerLocalObservers()
{
    const auto showMain = [this](const Notification &) { showMainWindowAndMakeActive(); };
    m_center.addObserver(ShowMainWindowAndMakeActiveNotificationName(), {}, showMain, this);
    m_center.addObserver(QString::fromLatin1(MessageNames::kShowWindowAfterStart), {}, showMain, this);
    m_center.addObserver(
        QString::fromLatin1(MessageNames::kShowHiddenStatusChanged), {},
        [this](const Notification &) { prepareUpdateStatusIcon(); }, this);
    m_center.addObserver(
        HiddenManager::stateUpdateNotificationName(), {}, [this](const Notification &) { updateStatusIcon_Lurkel(); },
        this);
    m_center.addObserver(
        SearchManager::openSearchResultDialogNotification(), {},
        [this](const Notification &) { openSearchResultDialog(); }, this);
    for (const QString &news :
         {NewsManager::NewsHtmlChangedNotificationName(), NewsManager::NewsWasReadedNotificationName()})
        m_center.addObserver(
            news, {}, [this](const Notification &) { updatePreferencesButton(); }, this);
    if (qApp != nullptr) qApp->installEventFilter(this);
}

void BXPurgeController::registerDistributedObservers()
{
    m_distributed.addObserver(
        QString::fromLatin1(MessageNames::kSwitchVisibility), QString::fromLatin1(MessageNames::kSwitchObject),
        [this](const Notification &note) { switchVisibility(note); }, this);
    m_distributed.addObserver(
        QString::fromLatin1(MessageNames::kHideSelectedFiles), std::nullopt,
        [this](const Notification &note) { hideSelectedFilesNotificationHandler(note); }, this);
    m_distributed.addObserver(
        QString::fromLatin1(MessageNames::kUnhideSelectedFiles), std::nullopt,
        [this](const Notification &note) { showSelectedFilesNotificationHandler(note); }, this);
    m_distributed.addObserver(
        QString::fromLatin1(MessageNames::kXpcNote), QString::fromLatin1(Identity::kBundleIdentifier),
        [this](const Notification &note) { callbackWithNotification(note); }, this);
}

// ---- Requests of the file-manager integration and the helper service.

void BXPurgeController::hideSelectedFilesNotificationHandler(const Notification &note)
{
    if (const std::optional<BytePathList> paths = VisibilityRequest::pathsOfVisibilityRequest(note))
        setVisibilityForFilesArray(false, *paths);
}

void BXPurgeController::showSelectedFilesNotificationHandler(const Notification &note)
{
    if (const std::optional<BytePathList> paths = VisibilityRequest::pathsOfVisibilityRequest(note))
        setVisibilityForFilesArray(true, *paths);
}

void BXPurgeController::switchVisibility(const Notification &note)
{
    // The centre delivers only object "n"; a request arriving some other way is checked again.
    if (note.object.toString() != QLatin1String(MessageNames::kSwitchObject)) return;
    getUserFolderAccessWithCompletion([this](bool granted) {
        if (granted) m_hidden.switchHiddenFilesVisibility();
    });
}

void BXPurgeController::callbackWithNotification(const Notification &note)
{
    m_hidden.setNeedsLoadVisibilityState();
    const bool shown = note.userInfo.value(QString::fromLatin1(MessageNames::kShowHiddenStateKey)).toBool();
    showStatusIconForState(shown);
}

void BXPurgeController::getUserFolderAccessWithCompletion(const std::function<void(bool granted)> &completion)
{
    (void)m_diskAccess.isUserFolderAccessible();
    completion(true);
}

void BXPurgeController::setVisibilityForFilesArray(bool visible, const BytePathList &paths)
{
    getUserFolderAccessWithCompletion([this, visible, paths](bool granted) {
        if (granted) performSetVisibilityForFilesArray(visible, paths);
    });
}

void BXPurgeController::performSetVisibilityForFilesArray(bool visible, const BytePathList &paths)
{
    if (!m_diskAccess.isUserFolderAccessible()) {
        qCWarning(lcCore, "Something has gone wrong.");
        return;
    }
    const VisibilityUpdate update = HiddenItemsUpdater::performSetVisibilityForFilesArray(visible, paths);
    m_scripts.executeAppleScriptHandlerCompletion(
        QString::fromLatin1(kRefreshScriptName), kRefreshHandler, update.changed,
        [](const std::optional<ScriptResult> &, const std::optional<Error> &error) {
            if (error) logFailure(lcCore, "performSetVisibilityForFilesArray", *error);
        });
}

// ---- Windows.

void BXPurgeController::openSearchResultDialog()
{
    if (!m_searchResultDialog) {
        SearchResultServices services;
        services.searchManager = &m_search;
        services.hiddenFiles = this;
        services.urlOpener = &m_urlOpener;
        services.defaults = &m_defaults;
        services.clock = &m_clock;
        services.notificationCenter = &m_center;
        m_searchResultDialog = std::make_unique<SearchResultWC>(services);
        m_searchResultDialog->setPurgeController(this);
    }
    m_searchResultDialog->showWindow();
}

bool BXPurgeController::isAllowedToWorkWithHiddenFiles() const
{
    return m_hidden.isAllowedToWorkWithHiddenFiles();
}

bool BXPurgeController::isHiddenShown() const
{
    return m_hidden.isHiddenShown();
}

bool BXPurgeController::switchRelaunchesFileManager() const
{
    return m_hidden.forceSwitchHiddenFilesVisibilitySwitcherState();
}

void BXPurgeController::switchHiddenFilesVisibilityWithCompletion(HiddenFilesState::SwitchCompletion completion)
{
    m_hidden.switchHiddenFilesVisibilityWithCompletion(std::move(completion));
}

bool BXPurgeController::isSearchResultWindowVisible() const
{
    return m_searchResultDialog && m_searchResultDialog->isVisible();
}

void BXPurgeController::showNewSearchAlertDialogWithCompletion(std::function<void(bool start)> completion)
{
    if (!m_searchResultDialog) {
        completion(true);
        return;
    }
    m_searchResultDialog->showNewSearchAlertDialogWithCompletion(std::move(completion));
}

// ---- Preferences window and the file-manager integration.

void BXPurgeController::connectPreferencesWindow()
{
    PreferencesWindow *w = m_wndPreferences.get();
    connect(w, &PreferencesWindow::autoStartToggled, this, [this](bool on) {
        if (m_toggleLaunchAtStartup) m_toggleLaunchAtStartup(on ? 1 : 0);
        updateLaunchAtStartupButton();
    });
    connect(w, &PreferencesWindow::finderIntegrationToggled, this, [this](bool on) { toggleFinderIntegration(on); });
    connect(w, &PreferencesWindow::forceSwitchToggled, this,
            [this](int state) { toggleForceSwitchHiddenVisibility(state); });
    connect(w, &PreferencesWindow::showInfoToggled, this, [this](bool on) { onPrefShowInfo(on); });
    connect(w, &PreferencesWindow::purgeAfterHugeAppQuitToggled, this,
            [this](bool on) { m_memory->onPrefPurgeAfterHugeApplicationQuit(on); });
    connect(w, &PreferencesWindow::autoFreeToggled, this, [this](bool on) { m_memory->onPrefAutoFree(on); });
    connect(w, &PreferencesWindow::memUsageChanged, this, [this](double limit) { m_memory->onPrefMemUsage(limit); });
    connect(w, &PreferencesWindow::freqChanged, this, [this](int index) { m_memory->onPrefFreq(index); });
    connect(w, &PreferencesWindow::visionIndexChanged, this, [this](int index) { prefVisionComboBoxPressed(index); });
}

void BXPurgeController::onPreferences()
{
    PreferencesWindow *w = m_wndPreferences.get();
    w->enableFinderIntegrationButton()->setVisible(true);
    w->enableFinderIntegrationButton()->setEnabled(true);
    getHinderIntegrationEnabledWithCompletion(
        [w](bool enabled) { w->enableFinderIntegrationButton()->setChecked(enabled); });

    w->enableForceSwitchHiddenVisibilityButton()->setChecked(m_hidden.forceSwitchHiddenFilesVisibilitySwitcherState());
    w->enableForceSwitchHiddenVisibilityButton()->setEnabled(m_hidden.forceSwitchHiddenFilesVisibilityEnableSwitcher());

    updateLaunchAtStartupButton();
    w->btnPrefAutoStart()->setText(PreferencesWindowStrings::launchAtSystemStartup(displayName()));
    w->enableFinderIntegrationButton()->setText(PreferencesWindowStrings::enableFinderIntegration());

    w->btnPrefPurgeAfterHugeAppQuit()->setChecked(m_memory->purgeAfterHugeAppQuit());
    w->btnPrefShowInfo()->setChecked(m_memory->showInfo());
    w->btnPrefAutoFree()->setChecked(m_memory->autoFree());
    w->setUsageLimit(m_memory->usageLimit());
    w->pupPrefFreq()->setCurrentIndex(m_memory->frequencyIndex());
    w->setAutoFreeControlsEnabled(m_memory->autoFree());
    m_memory->updatePrefDesc();

    if (w->isVisible()) {
        w->blink();
    } else if (!m_preferencesPlaced) {
        // The first time in the middle of the screen the pointer is on.
        m_preferencesPlaced = true;
        w->adjustSize();
        QScreen *screen = QGuiApplication::screenAt(QCursor::pos());
        if (screen == nullptr) screen = QGuiApplication::primaryScreen();
        if (screen != nullptr) {
            QRect frame(QPoint(), w->size());
            frame.moveCenter(screen->availableGeometry().center());
            w->move(frame.topLeft());
        }
    }
    w->show();
    w->raise();
    w->activateWindow();
}

void BXPurgeController::updateLaunchAtStartupButton()
{
    m_wndPreferences->btnPrefAutoStart()->setChecked(m_runAtLogin.isEnabledToAutoLaunchWithHelperApp());
}

SpawnResult BXPurgeController::runPluginKit(const std::vector<std::string> &arguments) const
{
    SpawnRequest request;
    request.argv = {m_pluginKit.empty() ? ProgramPaths::besideThisProgram("lurkel-pluginkit").bytes()
                                        : m_pluginKit.bytes()};
    request.argv.insert(request.argv.end(), arguments.begin(), arguments.end());
    SpawnResult result = Spawn::run(request);
    if (!result.started && result.error) logFailure(lcCore, "pluginkit", *result.error);
    return result;
}

void BXPurgeController::getHinderIntegrationEnabledWithCompletion(const std::function<void(bool enabled)> &completion)
{
    const SpawnResult result = runPluginKit({"-m", "-A", "-i", Identity::kFinderSyncIdentifier});
    completion(!result.standardOutput.empty() && result.standardOutput.front() == '+');
}

void BXPurgeController::switchFinderSyncExtension(bool enabled)
{
    // The tool answers at once; its result is only logged.
    const SpawnResult result = runPluginKit({"-e", enabled ? "use" : "ignore", "-i", Identity::kFinderSyncIdentifier});
    if (result.started && !result.succeeded()) logFailure(lcCore, "pluginkit", Error::app(result.failureDescription()));
    Settings(m_defaults).saveBoolValueForKey(enabled, Keys::kFinderIntegration);
    m_wndPreferences->enableFinderIntegrationButton()->setChecked(enabled);
}

void BXPurgeController::enableFinderSyncExtension()
{
    switchFinderSyncExtension(true);
}

void BXPurgeController::disableFinderSyncExtension()
{
    switchFinderSyncExtension(false);
}

void BXPurgeController::finderIntegration()
{
    Settings settings(m_defaults);
    const bool firstLaunch = !settings.getBoolValueForKeyWithDefaultValue(Keys::kIsNotFirstLaunch, false);
    bool wanted = true;
    if (firstLaunch)
        settings.saveBoolValueForKey(true, Keys::kIsNotFirstLaunch);
    else
        wanted = settings.getBoolValueForKeyWithDefaultValue(Keys::kFinderIntegration, false);
    getHinderIntegrationEnabledWithCompletion([this, firstLaunch, wanted](bool enabled) {
        // On the first launch the integration is switched on whatever the tool reports;
        // later the reported state is kept (the user may have changed it elsewhere).
        const bool state = firstLaunch ? wanted : enabled;
        if (state)
            enableFinderSyncExtension();
        else
            disableFinderSyncExtension();
    });
}

void BXPurgeController::toggleFinderIntegration(int value)
{
    if (value == 1)
        enableFinderSyncExtension();
    else
        disableFinderSyncExtension();
}

void BXPurgeController::toggleForceSwitchHiddenVisibility(int state)
{
    m_hidden.applySwitcherStateForForceSwitchHiddenFilesVisibility(state);
}

void BXPurgeController::onPrefShowInfo(bool on)
{
    m_memory->setShowInfo(on);
    if (on) {
        if (!m_wndInfo->isVisible()) statusItemAction(false);
    } else if (m_wndInfo->isVisible()) {
        m_wndInfo->close();
    }
}

void BXPurgeController::prefVisionComboBoxPressed(int index)
{
    Settings(m_defaults).saveIntegerValueForKey(index, Keys::kVisionPrefIndex);
}

std::int64_t BXPurgeController::getVisionPrefIndex() const
{
    return Settings(m_defaults).getIntegerValueForKeyWithDefaultValue(Keys::kVisionPrefIndex, 1);
}

// ---- Menu and other actions.

void BXPurgeController::buildMenu()
{
    m_theMenu = std::make_unique<QMenu>();
    QMenu *menu = m_theMenu.get();
    m_togglePanelInfoItem = menu->addAction(QString(), this, [this] { onTogglePanelInfo(); });
    m_freeMemoryItem = menu->addAction(QStringLiteral("Free Memory"), this, [this] { onFreeMemory(); });
    menu->addSeparator();
    m_preferencesItem = menu->addAction(QString(), this, [this] { onPreferences(); });
    m_checkForUpdatesItem = menu->addAction(QString(), this, [this] { checkForUpdates(); });
    m_emailItem = menu->addAction(QStringLiteral("Recommend by E-mail..."));
    m_newsItem = menu->addAction(QString(), this, [this] { newsButtonPressed(); });
    m_helpDeskItem = menu->addAction(QString(), this, [this] { showOptimizationTools(); });
    m_rateItem = menu->addAction(QStringLiteral("Rate Lurkel..."), this, [this] { rateButtonPressed(); });
    m_aboutItem = menu->addAction(QString(), this, [this] { showAboutScreen(); });
    m_pResetUserDefaultsMenuItemSeparator = menu->addSeparator();
    m_pResetUserDefaultsMenuItem =
        menu->addAction(QStringLiteral("Reset Settings"), this, [this] { resetUserDefaults(); });
    menu->addSeparator();
    m_quitItem = menu->addAction(QString(), this, [this] { onQuitLurkel(); });
    connect(menu, &QMenu::aboutToShow, this, [this] { validateMenu(); });
    validateMenu();
}

void BXPurgeController::validateMenu()
{
    m_preferencesItem->setText(PanelWindowContextualMenuStrings::preferences());
    m_aboutItem->setText(PanelWindowContextualMenuStrings::about(displayName()));
    m_quitItem->setText(PanelWindowContextualMenuStrings::quit(displayName()));
    updateTogglePanelInfoItem();
    m_togglePanelInfoItem->setEnabled(true);
    m_freeMemoryItem->setEnabled(!m_memory->isPurging());
    m_newsItem->setText(PanelWindowContextualMenuStrings::news());
    m_newsItem->setVisible(true);
    m_newsItem->setEnabled(true);
    m_rateItem->setVisible(true);
    m_checkForUpdatesItem->setText(PanelWindowContextualMenuStrings::checkForUpdates());
    m_checkForUpdatesItem->setVisible(true);
    m_checkForUpdatesItem->setEnabled(!m_updater->isChecking());
    m_helpDeskItem->setText(PanelWindowContextualMenuStrings::helpDesk());
}

void BXPurgeController::updateTogglePanelInfoItem()
{
    if (m_togglePanelInfoItem == nullptr) return;
    m_togglePanelInfoItem->setText(m_wndInfo->isVisible() ? QStringLiteral("Hide Information")
                                                          : QStringLiteral("Show Information"));
}

void BXPurgeController::onTogglePanelInfo()
{
    const bool show = !m_wndInfo->isVisible();
    if (show)
        statusItemAction(false);
    else
        m_wndInfo->close();
    m_memory->setShowInfo(show);
    if (m_wndPreferences->isVisible()) m_wndPreferences->btnPrefShowInfo()->setChecked(show);
}

void BXPurgeController::onPanelInfoClosed()
{
    m_memory->setShowInfo(false);
    if (m_wndPreferences->isVisible()) m_wndPreferences->btnPrefShowInfo()->setChecked(false);
}

void BXPurgeController::onFreeMemory()
{
    m_memory->onFreeMemory();
}

void BXPurgeController::preferencesButtonPressed()
{
    QAbstractButton *button = m_wndInfo->preferencesButton();
    if (button == nullptr) return;
    const QPoint bottomLeft = button->mapToGlobal(QPoint(0, button->height()));
    m_theMenu->popup(QPoint(bottomLeft.x() - 2, bottomLeft.y() + 5));
    NewsManager *news = newsManager();
    m_wndInfo->setHasFreshNews(news != nullptr && news->hasFreshNews());
}

// ---- Promotion.

NewsManager *BXPurgeController::newsManager() const
{
    return m_newsManager ? m_newsManager() : PromoManager::GetInstance().newsManager();
}

void BXPurgeController::newsButtonPressed()
{
    NewsManager *news = newsManager();
    if (news == nullptr) return;
    QAbstractButton *settings = m_wndInfo->preferencesButton();
    std::optional<QRect> settingsRect;
    if (m_wndInfo->isVisible() && settings != nullptr)
        settingsRect = QRect(settings->mapToGlobal(QPoint(0, 0)), settings->size());
    QScreen *screen = m_wndInfo->screen() != nullptr ? m_wndInfo->screen() : QGuiApplication::primaryScreen();
    const QRect screenRect = screen != nullptr ? screen->geometry() : QRect();
    const QRect anchor = PromoWindowPlacement::newsAnchor(settingsRect, currentAnchor().iconGeometry, screenRect);
    news->showAtPosition(PromoWindowPlacement::newsPosition(anchor, news->contentSize(), screenRect), 0);
    updatePreferencesButton();
}

void BXPurgeController::updatePreferencesButton()
{
    NewsManager *news = newsManager();
    const bool fresh = news != nullptr && news->hasFreshNews();
    m_wndInfo->setHasFreshNews(fresh);
    if (!fresh || news->isNewsContentEmbedded() || !news->canAutoShowNews() || m_isToolsWindowVisible()) return;
    m_newsAutoShow.cancel();
    m_newsAutoShow = MainQueue::after(
        kNewsAutoShowDelayMs, [this] { newsButtonPressed(); }, m_clock);
}

void BXPurgeController::showOptimizationTools()
{
    m_showToolsWindow();
}

void BXPurgeController::rateButtonPressed()
{
    m_showRateWindow();
}

void BXPurgeController::showAboutScreen()
{
    if (m_aboutWC == nullptr) m_aboutWC = m_makeAboutWindow();
    if (m_aboutWC == nullptr) return;
    m_aboutWC->show();
    m_aboutWC->raise();
    m_aboutWC->activateWindow();
}

void BXPurgeController::checkForUpdates()
{
    const QUrl feed(PromoSettings::webHost() + QString::fromLatin1(Updater::kFeedPath));
    QPointer<BXPurgeController> self(this);
    m_updater->checkForUpdates(feed, [self](const UpdateCheckResult &result) {
        if (self) self->showUpdateResult(result);
    });
}

void BXPurgeController::showUpdateResult(const UpdateCheckResult &result)
{
    m_lastUpdateResult = result;
    if (m_updateAlert == nullptr) {
        m_updateAlert = new QMessageBox(QMessageBox::Information, displayName(), QString(), QMessageBox::Ok);
        m_updateAlert->setAttribute(Qt::WA_DeleteOnClose, false);
        m_updateAlert->setTextFormat(Qt::RichText);
        m_updateAlert->setTextInteractionFlags(Qt::TextBrowserInteraction);
        connect(this, &QObject::destroyed, m_updateAlert, &QObject::deleteLater);
    }
    QString text = result.message.toHtmlEscaped();
    if (result.kind == UpdateCheckResult::Kind::NewerVersion) {
        const auto link = [](const QUrl &url, const QString &title) {
            return QStringLiteral("<a href=\"%1\">%2</a>")
                .arg(QString::fromUtf8(url.toEncoded()).toHtmlEscaped(), title.toHtmlEscaped());
        };
        QStringList links;
        if (result.downloadUrl.isValid())
            links << link(result.downloadUrl, QStringLiteral("Download %1 %2").arg(displayName(), result.version));
        if (result.releaseNotesUrl.isValid()) links << link(result.releaseNotesUrl, QStringLiteral("What's new"));
        if (!links.isEmpty()) text += QStringLiteral("<br>") + links.join(QStringLiteral(" &middot; "));
    }
    m_updateAlert->setIcon(result.kind == UpdateCheckResult::Kind::Failed ? QMessageBox::Warning
                                                                          : QMessageBox::Information);
    m_updateAlert->setText(text);
    m_updateAlert->show();
    m_updateAlert->raise();
    Q_EMIT updateCheckFinished();
}

void BXPurgeController::resetUserDefaults()
{
    m_defaults.removePersistentDomain();
    m_defaults.synchronize();
}

void BXPurgeController::onQuitLurkel()
{
    m_quitApplication(QString::fromLatin1(Identity::kFinderSyncIdentifier));
    m_quitApplication(QString::fromLatin1(Identity::kHiderIdentifier));
    m_wndInfo->appWillTerminate();
    // Whatever is still only in memory reaches the disk before the loop ends.
    m_defaults.synchronize();
    m_terminate();
}

} // namespace lurkel
