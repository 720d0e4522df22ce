#pragma once

#include "BytePath.h"
#include "DistributedNotificationCenter.h"
#include "HiddenFilesState.h"
#include "MainQueue.h"
#include "NotificationCenter.h"
#include "SearchResultWindowInterface.h"
#include "Spawn.h"
#include "StatusItemAnchor.h"
#include "StatusItemToolTip.h"
#include "Updater.h"

#include <QIcon>
#include <QObject>
#include <QPoint>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QAction;
class QMenu;
class QMessageBox;
class QSystemTrayIcon;

namespace lurkel {

class Clock;
class DiskAccessRestoreManager;
class FileManagerSettingsWatcher;
class HiddenManager;
class MainWindowProvider;
class MemoryController;
class PanelWindow;
class PreferencesWindow;
class RunAtLoginManager;
class ScriptsManager;
class SearchManager;
class SearchResultWC;
class StatusNotifierItem;
class NewsManager;
class UrlOpener;
class UserDefaults;
class VisibilityRestorerAtLaunch;
class WelcomeDialogOpener;
class WidgetAccessAlertsPresenter;

// What the controller works with. Every member left empty means the process's own.
struct PurgeControllerServices {
    HiddenManager *hiddenManager = nullptr;               // HiddenManager::sharedManager()
    SearchManager *searchManager = nullptr;               // SearchManager::sharedManager()
    ScriptsManager *scripts = nullptr;                    // ScriptsManager::sharedManager()
    DiskAccessRestoreManager *diskAccess = nullptr;       // DiskAccessRestoreManager::sharedManager()
    RunAtLoginManager *runAtLogin = nullptr;              // LurkelProjectRunAtLoginManager::shared()
    UserDefaults *defaults = nullptr;                     // UserDefaults::standardUserDefaults()
    NotificationCenter *notificationCenter = nullptr;     // NotificationCenter::defaultCenter()
    DistributedNotificationCenter *distributed = nullptr; // DistributedNotificationCenter::defaultCenter()
    UrlOpener *urlOpener = nullptr;                       // DesktopUrlOpener::shared()
    Clock *clock = nullptr;                               // Clock::instance()
    // The file-manager integration tool; empty: lurkel-pluginkit beside the running program.
    BytePath pluginKit;
    // Asks the program owning a bus name to quit (RunningApplications::quit).
    std::function<bool(const QString &busName)> quitApplication;
    // Ends this application's event loop (QCoreApplication::quit).
    std::function<void()> terminate;
    // Whether the session has a tray to show the icon in (QSystemTrayIcon::isSystemTrayAvailable).
    std::function<bool()> trayAvailable;
    // Tells the user that no tray came up (the line on stderr and a message box whose
    // second button quits).
    std::function<void(const QString &message)> noTrayAlert;
    // Whether the application has the focus (QGuiApplication::applicationState), for the
    // panel's close on focus loss.
    std::function<bool()> isApplicationActive;
    // The promotion windows: the tools page (shown, and whether it is on screen), the rate
    // dialog, and the about box's controller; empty means the application's own.
    std::function<void()> showToolsWindow;
    std::function<bool()> isToolsWindowVisible;
    std::function<void()> showRateWindow;
    std::function<QWidget *()> makeAboutWindow;
    // The news (empty: the promotion manager's).
    std::function<NewsManager *()> newsManager;
};

// The central controller of the tray application. It owns the tray icon with its menu,
// the panel under the icon, the preferences window, the results window (made on first
// use) and the memory cleaner; it answers the file-manager integration's requests (switch,
// hide and unhide single items) and the helper service's state notes, and it keeps the
// file-manager integration's election in step at every start.
//
// awakeFromNib() runs the start sequence; every observer is registered there, before the
// first notification it waits for can be posted. Main thread only.
class BXPurgeController : public QObject,
                          public StatusItemToolTip,
                          public HiddenFilesState,
                          public SearchResultWindowInterface {
    Q_OBJECT

public:
    // Names of the tray images (icon theme names are these + "-symbolic").
    static inline constexpr const char kImageHiddenShown[] = "offon_91";
    static inline constexpr const char kImageHiddenInvisible[] = "offon_90";
    static inline constexpr const char kRefreshScriptName[] = "UpdateFinderFolderRepresentation";
    static inline constexpr const char kRefreshHandler[] = "refresh";
    // Distributed notification names.

    // "ShowMainWindowAndMakeActive", and a post of it (object nil) on the centre.
    static QString ShowMainWindowAndMakeActiveNotificationName();
    static void ShowMainWindowAndMakeActive(NotificationCenter &center = NotificationCenter::defaultCenter());

    explicit BXPurgeController(PurgeControllerServices services = {}, QObject *parent = nullptr);
    ~BXPurgeController() override;

    // The start sequence.
    void awakeFromNib();

    // A tray host may come up after us at login: the icon is shown as soon as there is a
    // tray, looked for every kTrayWaitStepMs; after kTrayWaitLimitMs without one the user is
    // told (whatever windows are open), and Lurkel keeps running, its panel reachable by
    // starting lurkel again.
    static constexpr std::int64_t kTrayWaitStepMs = 1000;
    static constexpr std::int64_t kTrayWaitLimitMs = 30000;
    void waitForTray();
    static QString noTrayMessage();

    // ---- Tray icon.

    // "offon_91" (shown) or "offon_90" (hidden) from the icon theme where the desktop finds
    // it by name (the panel then draws it in its own colours); otherwise the built-in copy,
    // drawn in the palette's text colour.
    QIcon statusIconImageForState(bool shown) const;
    void updateStatusIconWithImage(const QIcon &image);
    // The state image for shown (true: hidden files shown), remembered as statusIconState().
    void showStatusIconForState(bool shown);
    void prepareUpdateStatusIcon();
    void updateStatusIcon_Lurkel();
    // After every memory refresh: the tool tip from the confirmed state.
    void updateStatusItem();
    // A left click on the icon (clicked) or a request to open the panel (not clicked).
    void statusItemAction(bool clicked);
    // What the tray reports as a left click, at point when the tray tells (otherwise the
    // pointer where it can be trusted). The second click of a double click (XEmbed trays
    // report it as a double click, StatusNotifierItem hosts as a second Activate) toggles
    // nothing: one toggle per double click. The place is remembered: the panel opened
    // without a click (the menu, a second start, the welcome dialog) opens there too.
    void statusItemClicked(std::optional<QPoint> point = std::nullopt);
    std::optional<QPoint> lastClickPoint() const { return m_lastClickPoint; }
    void showMainWindowAndMakeActive();
    // StatusItemToolTip
    void updateStatusItemWithToolTip(const QString &toolTip) override;
    // The state the tray icon shows (true: hidden files shown).
    std::optional<bool> statusIconState() const { return m_iconState; }

    // ---- Requests of the file-manager integration and the helper service.

    void hideSelectedFilesNotificationHandler(const Notification &note);
    void showSelectedFilesNotificationHandler(const Notification &note);
    void switchVisibility(const Notification &note);
    void callbackWithNotification(const Notification &note);
    void getUserFolderAccessWithCompletion(const std::function<void(bool granted)> &completion);
    void setVisibilityForFilesArray(bool visible, const BytePathList &paths);
    void performSetVisibilityForFilesArray(bool visible, const BytePathList &paths);

    // ---- Windows.

    void openSearchResultDialog();
    SearchResultWC *searchResultDialog() const { return m_searchResultDialog.get(); }
    PanelWindow *window() const { return m_wndInfo.get(); }
    PreferencesWindow *preferencesWindow() const { return m_wndPreferences.get(); }
    // Qt's tray icon, shown in XEmbed trays; under a StatusNotifierItem host our own item
    // stands for it (null without a session bus).
    QSystemTrayIcon *statusItem() const { return m_statusItem.get(); }
    StatusNotifierItem *notifierItem() const { return m_notifierItem.get(); }
    QMenu *theMenu() const { return m_theMenu.get(); }
    MemoryController &memory() const { return *m_memory; }
    HiddenManager &hiddenManager() const { return m_hidden; }
    WelcomeDialogOpener &welcome() const { return *m_welcome; }
    VisibilityRestorerAtLaunch *visibilityRestorerAtLaunch() const { return m_visibilityRestorerAtLaunch.get(); }
    FileManagerSettingsWatcher *settingsWatcher() const { return m_settingsWatcher.get(); }
    bool isWelcomeScreenVisible() const;

    // HiddenFilesState (for the results window)
    bool isAllowedToWorkWithHiddenFiles() const override;
    bool isHiddenShown() const override;
    bool switchRelaunchesFileManager() const override;
    void switchHiddenFilesVisibilityWithCompletion(HiddenFilesState::SwitchCompletion completion) override;
    // SearchResultWindowInterface (for the panel)
    bool isSearchResultWindowVisible() const override;
    void showNewSearchAlertDialogWithCompletion(std::function<void(bool start)> completion) override;

    // ---- Preferences window and the file-manager integration.

    void onPreferences();
    void finderIntegration();
    // The integration's election as the tool reports it (its answer begins with "+").
    void getHinderIntegrationEnabledWithCompletion(const std::function<void(bool enabled)> &completion);
    void enableFinderSyncExtension();
    void disableFinderSyncExtension();
    void toggleFinderIntegration(int value);
    void toggleForceSwitchHiddenVisibility(int state);
    void onPrefShowInfo(bool on);
    void prefVisionComboBoxPressed(int index);
    std::int64_t getVisionPrefIndex() const;
    // The launch-at-login check box: the change itself is the application delegate's.
    void setLaunchAtStartupToggle(std::function<void(int value)> toggle)
    {
        m_toggleLaunchAtStartup = std::move(toggle);
    }
    void updateLaunchAtStartupButton();

    // ---- Menu and other actions.

    // Titles, visibility and enabled state of the menu's items (run before it shows).
    void validateMenu();
    void onTogglePanelInfo();
    void onPanelInfoClosed();
    void onFreeMemory();
    void preferencesButtonPressed();
    // The news popup beside the settings button (under the tray icon when the panel is
    // closed), then the buttons' badges.
    void newsButtonPressed();
    // The news have changed or were read: the badges, and fresh news from a package pop up
    // by themselves 0.3 s later unless the tools page is on screen.
    void updatePreferencesButton();
    static constexpr std::int64_t kNewsAutoShowDelayMs = 300;
    // The tools page ("Help Desk"), the rate dialog and the about box.
    void showOptimizationTools();
    void rateButtonPressed();
    void showAboutScreen();
    QWidget *aboutWindow() const { return m_aboutWC; }
    void checkForUpdates();
    void resetUserDefaults();
    void onQuitLurkel();

    QAction *preferencesItem() const { return m_preferencesItem; }
    QAction *aboutItem() const { return m_aboutItem; }
    QAction *quitItem() const { return m_quitItem; }
    QAction *togglePanelInfoItem() const { return m_togglePanelInfoItem; }
    QAction *newsItem() const { return m_newsItem; }
    QAction *checkForUpdatesItem() const { return m_checkForUpdatesItem; }
    QAction *helpDeskItem() const { return m_helpDeskItem; }
    QAction *rateItem() const { return m_rateItem; }
    QAction *emailItem() const { return m_emailItem; }
    QAction *resetUserDefaultsItem() const { return m_pResetUserDefaultsMenuItem; }

    Updater &updater() const { return *m_updater; }
    // The last answer of a check for updates (kept, not modal).
    QMessageBox *updateAlert() const { return m_updateAlert; }

Q_SIGNALS:
    // A check for updates has ended (its answer is in updateAlert()).
    void updateCheckFinished();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct ApplicationActivityAdapter;

    void buildMenu();
    // The toggle's title from the panel's state now; kept in step whenever the panel shows
    // or hides, so the menu says what choosing it does even when the panel closed (on focus
    // loss) after the menu was opened.
    void updateTogglePanelInfoItem();
    void trayWaitStep(std::int64_t startMs);
    void startNotifierItem();
    bool notifierItemRegistered() const;
    void setToolTipOnIcons(const QString &toolTip);
    StatusItemAnchor currentAnchor() const;
    void connectPreferencesWindow();
    void registerLocalObservers();
    void registerDistributedObservers();
    void saveShowInfoState();
    SpawnResult runPluginKit(const std::vector<std::string> &arguments) const;
    void switchFinderSyncExtension(bool enabled);
    void showUpdateResult(const UpdateCheckResult &result);

    HiddenManager &m_hidden;
    SearchManager &m_search;
    ScriptsManager &m_scripts;
    DiskAccessRestoreManager &m_diskAccess;
    RunAtLoginManager &m_runAtLogin;
    UserDefaults &m_defaults;
    NotificationCenter &m_center;
    DistributedNotificationCenter &m_distributed;
    UrlOpener &m_urlOpener;
    Clock &m_clock;
    BytePath m_pluginKit;
    std::function<bool(const QString &)> m_quitApplication;
    std::function<void()> m_terminate;
    std::function<void(int)> m_toggleLaunchAtStartup;
    std::function<bool()> m_trayAvailable;
    std::function<void(const QString &)> m_noTrayAlert;
    std::function<void()> m_showToolsWindow;
    std::function<bool()> m_isToolsWindowVisible;
    std::function<void()> m_showRateWindow;
    std::function<QWidget *()> m_makeAboutWindow;
    std::function<NewsManager *()> m_newsManager;
    NewsManager *newsManager() const;
    DelayedCall m_trayWait;
    std::optional<std::int64_t> m_lastTrayClickMs;

    std::unique_ptr<QSystemTrayIcon> m_statusItem;
    std::unique_ptr<StatusNotifierItem> m_notifierItem;
    std::optional<QPoint> m_lastClickPoint;
    std::unique_ptr<QMenu> m_theMenu;
    std::unique_ptr<PanelWindow> m_wndInfo;
    std::unique_ptr<PreferencesWindow> m_wndPreferences;
    std::unique_ptr<MemoryController> m_memory;
    std::unique_ptr<WelcomeDialogOpener> m_welcome;
    std::unique_ptr<VisibilityRestorerAtLaunch> m_visibilityRestorerAtLaunch;
    std::unique_ptr<FileManagerSettingsWatcher> m_settingsWatcher;
    std::unique_ptr<SearchResultWC> m_searchResultDialog;
    std::unique_ptr<MainWindowProvider> m_mainWindowProvider;
    std::unique_ptr<WidgetAccessAlertsPresenter> m_accessAlerts;
    std::unique_ptr<ApplicationActivityAdapter> m_activity;
    std::unique_ptr<Updater> m_updater;
    QMessageBox *m_updateAlert = nullptr;
    std::optional<UpdateCheckResult> m_lastUpdateResult;
    std::optional<bool> m_iconState;
    bool m_started = false;
    bool m_preferencesPlaced = false;

    QAction *m_togglePanelInfoItem = nullptr;
    QAction *m_freeMemoryItem = nullptr;
    QAction *m_preferencesItem = nullptr;
    QAction *m_checkForUpdatesItem = nullptr;
    QAction *m_emailItem = nullptr;
    QAction *m_aboutItem = nullptr;
    QAction *m_newsItem = nullptr;
    QWidget *m_aboutWC = nullptr; // the about box, made on first use and kept
    DelayedCall m_newsAutoShow;
    QAction *m_helpDeskItem = nullptr;
    QAction *m_rateItem = nullptr;
    QAction *m_pResetUserDefaultsMenuItem = nullptr;
    QAction *m_pResetUserDefaultsMenuItemSeparator = nullptr;
    QAction *m_quitItem = nullptr;
};

} // namespace lurkel
