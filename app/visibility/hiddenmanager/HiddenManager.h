#pragma once

#include "Clock.h"
#include "Error.h"
#include "Preferences.h"
#include "Settings.h"

#include <QObject>
#include <QString>
#include <QVariant>

#include <functional>
#include <optional>
#include <vector>

namespace lurkel {

class AccessAlertsPresenter;
class HiddenManagerListener;
class MacOSVersion;
class NotificationCenter;
class ScriptsManager;
class UserDefaults;

// How the switch talks to the file managers.
enum HiddenManagerScriptType : int {
    // One toggle script ("SwitchHiddenFilesVisibility2"); only on the 10.13 profile and later.
    HiddenManagerScriptTypeSingleSwitch = 0,
    // Two scripts that set the state and restart the file managers whose open windows would
    // not follow ("ShowHiddensAndRelaunchFinder", "HideHiddensAndRelaunchFinder").
    HiddenManagerScriptTypeRelaunchFinder = 1,
};

// What the manager works with. Every member left empty means the process's own: the shared
// script runner, the standard defaults, the suite shared with the file-manager integration,
// the system version profile, the process's clock (looked up when tracking starts) and the
// default notification centre.
struct HiddenManagerServices {
    ScriptsManager *scripts = nullptr;
    UserDefaults *defaults = nullptr;
    UserDefaults *sharedSuite = nullptr;
    const MacOSVersion *version = nullptr;
    Clock *clock = nullptr;
    NotificationCenter *notificationCenter = nullptr;
};

// The one place that knows whether the file manager shows hidden files, and that switches
// it. Every read and every switch is a named script run through the script runner; the
// manager keeps the last known state, tells the application about it by local
// notifications, and writes it into the shared suite ("AreHiddenFilesVisibleKey") for the
// file-manager integration.
//
// A switch is optimistic: the cached state flips at once, the script runs, and when it has
// ended the state is marked for reading again; the next tick of the 1-second tracking timer
// reads the confirmed state with the check script. A switch script that fails puts the
// old state back. While a script runs (isUpdating()), ticks do nothing and switch requests
// are dropped without calling their completion.
//
// On the 10.14 profile and later the switch is guarded by the information sheet (shown
// until access has been granted once) and a failed switch shows the access-error alert;
// both go through the AccessAlertsPresenter. Without a presenter nothing is shown, and a
// request that needed the sheet never completes. Linux answers "10.13", so the sheets stay
// off there.
//
// Everything happens on the main thread.
class HiddenManager : public QObject {
    Q_OBJECT
public:
    static inline constexpr const char kSwitchScriptName[] = "SwitchHiddenFilesVisibility2";
    static inline constexpr const char kShowAndRelaunchScriptName[] = "ShowHiddensAndRelaunchFinder";
    static inline constexpr const char kHideAndRelaunchScriptName[] = "HideHiddensAndRelaunchFinder";
    static inline constexpr const char kCheckScriptName[] = "CheckHiddenFilesFisibilityByAskingFinder";
    static inline constexpr const char kWriteShownScriptName[] = "WriteIntoSystemPreferencesShowHiddens";
    static inline constexpr const char kWriteHiddenScriptName[] = "WriteIntoSystemPreferencesHideHiddens";

    static inline constexpr const char kScriptTypeRefusedMessage[] =
        "Such scripts are not supported for 10.12 and earlier";

    // Gets the switch script's error, nullopt on success (or after the information sheet).
    using SwitchCompletion = std::function<void(const std::optional<Error> &error)>;

    // How the last state read ended.
    struct VisibilityLoad {
        bool read = false;          // the file manager was asked and answered
        std::optional<Error> error; // the check script failed
    };

    // The application's manager, created on first use and kept for the life of the process.
    static HiddenManager &sharedManager();
    // "HiddenManager stateUpdateNotificationName".
    static QString stateUpdateNotificationName();
    // "HiddenManager switchFailedNotificationName": a switch script failed (also by its time
    // limit); user info "description" says why, for the user. Posted with notificationObject()
    // after the old state is back.
    static QString switchFailedNotificationName();
    // "The hidden files could not be switched: <the error's description>".
    static QString switchFailureDescription(const Error &error);

    explicit HiddenManager(const HiddenManagerServices &services = {}, QObject *parent = nullptr);
    ~HiddenManager() override;

    // The object the manager posts its state-update notification with, for observers that
    // filter by object.
    QVariant notificationObject() const;

    // Not owned; a listener that goes away first clears itself (weak reference).
    void setListener(HiddenManagerListener *listener) { m_listener = listener; }
    HiddenManagerListener *listener() const { return m_listener; }

    // Not owned. The GUI installs the widget presenter; nullptr: no dialogs at all.
    void setAccessAlertsPresenter(AccessAlertsPresenter *presenter) { m_presenter = presenter; }
    AccessAlertsPresenter *accessAlertsPresenter() const { return m_presenter; }

    // The 1-second tracking timer on the clock; starting twice keeps one timer.
    void startTrackingSystemValue();
    void stopTrackingSystemValue();
    bool isTrackingSystemValue() const { return m_timerRunning; }

    // The last known state: true when hidden files are shown.
    bool isHiddenShown() const { return m_cachedIsHiddenShownValue; }
    bool isHiddenShouldDisplay() const { return m_cachedIsHiddenShownValue; }
    bool cachedIsHiddenShownValue() const { return m_cachedIsHiddenShownValue; }
    // Stores a new state: writes it into the shared suite and, unless a script is running,
    // posts the state-update notification. The same value again does nothing.
    void setCachedIsHiddenShownValue(bool value);

    bool isUpdating() const { return m_isUpdating; }
    bool needsLoadVisibilityState() const { return m_needsLoadVisibilityState; }

    // Switches with an empty completion (so the listener is told).
    void switchHiddenFilesVisibility();
    // Switches; completion (may be empty) gets the script's error. An empty completion
    // means "nobody waits": the listener is not told then.
    void switchHiddenFilesVisibilityWithCompletion(SwitchCompletion completion);

    // Reads the state and then calls block (with every other waiting block, in order).
    void loadVisibilityWithCompletion(std::function<void()> block);
    // Reads the state with the check script (when checking is enabled).
    void loadVisibilityState();
    // How the last read ended (read: false before the first one, or when checking is off).
    const VisibilityLoad &lastVisibilityLoad() const { return m_lastLoad; }

    // Marks the state for reading at the next tick.
    void setNeedsLoadVisibilityState();
    // The GUI calls this whenever the application becomes active: the user may have changed
    // the file manager's setting meanwhile.
    void applicationDidBecomeActiveAction();

    // Consulted by the search results window: always true.
    bool isAllowedToWorkWithHiddenFiles() const { return true; }

    // Runs a switch script: isUpdating() for its whole run; when it has ended the state is
    // marked for reading, and then, on the main thread, completion gets its error before
    // isUpdating() returns to false.
    void executeAppleScriptForSwitchingVisibilityCompletion(const QString &name, SwitchCompletion completion);

    // The information sheet (completion(granted) once it has been answered) and the
    // access-error alert for a failed switch script (shown only when the error points at
    // a permission problem). Nothing without a presenter.
    void displayInformationAboutAccessibilityAlertsWithCompletion(std::function<void(bool granted)> completion);
    void displayInformationAboutAccessError(const Error &error);

    // The preferences window's "restart the file managers" switch.
    // Enabled on the 10.13 profile and later.
    bool forceSwitchHiddenFilesVisibilityEnableSwitcher() const;
    // On when the relaunch scripts are used.
    bool forceSwitchHiddenFilesVisibilitySwitcherState() const;
    // state: the switch control's state (0 off, anything else on). On stores option 2 and
    // uses the relaunch scripts, off stores option 1 and uses the single switch.
    void applySwitcherStateForForceSwitchHiddenFilesVisibility(int state);
    // Applies the stored option: not chosen keeps the script type, 1 single switch,
    // 2 relaunch.
    void applyStoredValue();

    HiddenManagerScriptType scriptType() const { return m_scriptType; }
    // The single switch is refused before 10.13 (logged); the relaunch type is used instead.
    void setScriptType(HiddenManagerScriptType type);

    // The settings the manager reads and writes, with its version profile's defaults.
    Settings settings() const;
    ScriptsManager &scriptsManager() const { return *m_scripts; }
    const MacOSVersion &version() const { return *m_version; }

private:
    Clock &clock() const;
    void scheduleTick();
    void tick();
    void setIsUpdating(bool value);
    void postStateUpdate();
    void finishLoad(bool read, bool shown, std::optional<Error> error);
    void informationSheetEnded(bool granted, bool oldValue, bool newValue, const SwitchCompletion &completion);

    ScriptsManager *m_scripts;
    UserDefaults *m_defaults;
    UserDefaults *m_sharedSuite;
    const MacOSVersion *m_version;
    Clock *m_clock;
    NotificationCenter *m_center;
    Preferences m_preferences;

    HiddenManagerListener *m_listener = nullptr;
    AccessAlertsPresenter *m_presenter = nullptr;

    bool m_isUpdating = false;
    bool m_cachedIsHiddenShownValue = false;
    bool m_needsLoadVisibilityState = true;
    HiddenManagerScriptType m_scriptType = HiddenManagerScriptTypeSingleSwitch;
    std::vector<std::function<void()>> m_stateLoadingCompletionBlocksArray;
    VisibilityLoad m_lastLoad;

    bool m_timerRunning = false;
    Clock *m_timerClock = nullptr;
    Clock::TimerId m_timer = 0;
};

} // namespace lurkel
