#include "HiddenManager.h"
#include "MessageNames.h"

#include "AccessAlertsPresenter.h"
#include "AccessErrorCase.h"
#include "HiddenManagerListener.h"
#include "Log.h"
#include "MacOSVersion.h"
#include "NotificationCenter.h"
#include "ScriptsManager.h"
#include "SettingsKeys.h"
#include "UserDefaults.h"

#include <QPointer>

#include <utility>

namespace lurkel {
namespace {

constexpr std::int64_t kTrackingIntervalMs = 1000;

QString latin1(const char *text)
{
    return QString::fromLatin1(text);
}

// The check script lists names; a name beginning with "." anywhere in the list means that
// the file manager shows hidden files.
bool listShowsHiddenFiles(const ScriptResult &items)
{
    for (const std::string &item : items) {
        if (!item.empty() && item.front() == '.') return true;
    }
    return false;
}

} // namespace

HiddenManager &HiddenManager::sharedManager()
{
    // Lives until the process ends; never destroyed, so that no script completion or
    // timer can outlive it.
    static HiddenManager *const instance = new HiddenManager();
    return *instance;
}

QString HiddenManager::stateUpdateNotificationName()
{
    return latin1(MessageNames::kHiddenManagerStateUpdate);
}

QString HiddenManager::switchFailedNotificationName()
{
    return latin1(MessageNames::kHiddenManagerSwitchFailed);
}

QString HiddenManager::switchFailureDescription(const Error &error)
{
    return QStringLiteral("The hidden files could not be switched: %1").arg(error.localizedDescription());
}

HiddenManager::HiddenManager(const HiddenManagerServices &services, QObject *parent)
    : QObject(parent), m_scripts(services.scripts ? services.scripts : &ScriptsManager::sharedManager()),
      m_defaults(services.defaults ? services.defaults : &UserDefaults::standardUserDefaults()),
      m_sharedSuite(services.sharedSuite ? services.sharedSuite : &Settings::shfGroup()),
      m_version(services.version ? services.version : &MacOSVersion::GetInstance()), m_clock(services.clock),
      m_center(services.notificationCenter ? services.notificationCenter : &NotificationCenter::defaultCenter()),
      m_preferences(*m_defaults)
{
    m_stateLoadingCompletionBlocksArray.reserve(2);
    m_scriptType =
        m_version->is_10_13_orHigher() ? HiddenManagerScriptTypeSingleSwitch : HiddenManagerScriptTypeRelaunchFinder;
}

HiddenManager::~HiddenManager()
{
    stopTrackingSystemValue();
}

QVariant HiddenManager::notificationObject() const
{
    return QVariant::fromValue(static_cast<QObject *>(const_cast<HiddenManager *>(this)));
}

Settings HiddenManager::settings() const
{
    return Settings(*m_defaults, *m_version);
}

Clock &HiddenManager::clock() const
{
    return m_clock ? *m_clock : Clock::instance();
}

// ---- tracking

void HiddenManager::startTrackingSystemValue()
{
    if (m_timerRunning) return;
    m_timerRunning = true;
    m_timerClock = &clock();
    scheduleTick();
}

void HiddenManager::stopTrackingSystemValue()
{
    if (!m_timerRunning) return;
    m_timerRunning = false;
    m_timerClock->cancel(m_timer);
    m_timer = 0;
}

void HiddenManager::scheduleTick()
{
    QPointer<HiddenManager> self(this);
    m_timer = m_timerClock->schedule(kTrackingIntervalMs, [self]() {
        if (!self || !self->m_timerRunning) return;
        // The next tick is armed first, so that the cadence holds whatever this one does.
        self->scheduleTick();
        self->tick();
    });
}

void HiddenManager::tick()
{
    if (m_isUpdating) return;
    if (m_needsLoadVisibilityState) {
        loadVisibilityState();
        m_needsLoadVisibilityState = false;
    }
}

void HiddenManager::setNeedsLoadVisibilityState()
{
    m_needsLoadVisibilityState = true;
}

void HiddenManager::applicationDidBecomeActiveAction()
{
    m_needsLoadVisibilityState = true;
}

// ---- state and notifications

void HiddenManager::postStateUpdate()
{
    m_center->post(stateUpdateNotificationName(), notificationObject());
}

void HiddenManager::setIsUpdating(bool value)
{
    if (m_isUpdating == value) return;
    m_isUpdating = value;
    postStateUpdate();
}

void HiddenManager::setCachedIsHiddenShownValue(bool value)
{
    if (m_cachedIsHiddenShownValue == value) return;
    m_cachedIsHiddenShownValue = value;
    m_sharedSuite->setBool(SettingsKeys::kAreHiddenFilesVisible, value);
    m_sharedSuite->synchronize();
    if (!m_isUpdating) postStateUpdate();
}

// ---- reading

void HiddenManager::loadVisibilityWithCompletion(std::function<void()> block)
{
    if (block) m_stateLoadingCompletionBlocksArray.push_back(std::move(block));
    loadVisibilityState();
}

void HiddenManager::loadVisibilityState()
{
    setIsUpdating(true);
    if (!settings().shouldCheckHiddenFilesVisibility()) {
        QMetaObject::invokeMethod(
            this, [this]() { finishLoad(false, false, std::nullopt); }, Qt::QueuedConnection);
        return;
    }
    QPointer<HiddenManager> self(this);
    m_scripts->executeAppleScriptCompletion(
        latin1(kCheckScriptName), [self](const std::optional<ScriptResult> &result, const std::optional<Error> &error) {
            if (!self) return;
            bool read = false;
            bool shown = false;
            if (!error) {
                read = true;
                shown = result && listShowsHiddenFiles(*result);
            }
            // A failure found before the script started arrives before the runner returns:
            // finishing always waits for the main loop, as it does after a real run.
            HiddenManager *manager = self.data();
            QMetaObject::invokeMethod(
                manager, [manager, read, shown, error]() { manager->finishLoad(read, shown, error); },
                Qt::QueuedConnection);
        });
}

void HiddenManager::finishLoad(bool read, bool shown, std::optional<Error> error)
{
    m_lastLoad = VisibilityLoad{read, std::move(error)};
    if (read) {
        setCachedIsHiddenShownValue(shown);
        // The suite may still hold what an earlier run last saw; the integration titles its
        // menu from it, so a confirmed state always ends up there.
        const QString key = SettingsKeys::kAreHiddenFilesVisible;
        if (!m_sharedSuite->contains(key) || m_sharedSuite->boolForKey(key) != shown) {
            m_sharedSuite->setBool(key, shown);
            m_sharedSuite->synchronize();
        }
    }
    setIsUpdating(false);
    // Blocks added while these run wait for the next read.
    std::vector<std::function<void()>> blocks;
    blocks.swap(m_stateLoadingCompletionBlocksArray);
    m_stateLoadingCompletionBlocksArray.reserve(2);
    for (const std::function<void()> &block : blocks)
        block();
}

// ---- switching

void HiddenManager::switchHiddenFilesVisibility()
{
    switchHiddenFilesVisibilityWithCompletion([](const std::optional<Error> &) {});
}

void HiddenManager::switchHiddenFilesVisibilityWithCompletion(SwitchCompletion completion)
{
    if (m_isUpdating) {
        qCInfo(lcVisibility, "switch request ignored: a visibility script is still running");
        return;
    }
    const bool oldValue = isHiddenShown();
    const bool newValue = !oldValue;
    setCachedIsHiddenShownValue(newValue);
    m_center->post(latin1(MessageNames::kShowHiddenStatusChanged));

    if (settings().shouldShowInformationAboutAccessibilityAlerts()) {
        QPointer<HiddenManager> self(this);
        displayInformationAboutAccessibilityAlertsWithCompletion(
            [self, oldValue, newValue, completion = std::move(completion)](bool granted) {
                if (self) self->informationSheetEnded(granted, oldValue, newValue, completion);
            });
        return;
    }

    QString script;
    if (m_scriptType == HiddenManagerScriptTypeSingleSwitch) {
        script = latin1(kSwitchScriptName);
    } else {
        script = latin1(oldValue ? kHideAndRelaunchScriptName : kShowAndRelaunchScriptName);
    }
    executeAppleScriptForSwitchingVisibilityCompletion(
        script, [this, oldValue, completion = std::move(completion)](const std::optional<Error> &error) {
            if (error) {
                // Nothing was switched: the optimistic state goes back whatever the system, so
                // that the listener and the lasting preference get the state that holds.
                setCachedIsHiddenShownValue(oldValue);
                if (m_version->is_10_14_orHigher()) displayInformationAboutAccessError(*error);
                // Whoever asked, the user is told why (the panel shows it).
                m_center->post(switchFailedNotificationName(), notificationObject(),
                               {{QStringLiteral("description"), switchFailureDescription(*error)}});
            } else if (m_version->is_10_14_orHigher()) {
                // Access works now: from here on the state is read from the file manager.
                settings().setShouldCheckHiddenFilesVisibility(true);
                m_needsLoadVisibilityState = true;
            }
            if (completion) {
                if (m_listener) m_listener->hiddenManagerAttemptToChangeVisibilityCompleted(*this);
                completion(error);
            }
        });
}

void HiddenManager::informationSheetEnded(bool granted, bool oldValue, bool newValue,
                                          const SwitchCompletion &completion)
{
    setCachedIsHiddenShownValue(oldValue);
    if (completion) {
        if (m_listener) m_listener->hiddenManagerAttemptToChangeVisibilityCompleted(*this);
        completion(std::nullopt);
    }
    if (!granted) return; // the sheet comes again with the next switch

    Settings store = settings();
    store.setShouldShowInformationAboutAccessibilityAlerts(false);
    store.setShouldCheckHiddenFilesVisibility(true);
    // The system asks its own questions while these scripts run. Once the real state is
    // known, the switch the user asked for is made if it is still needed; nobody waits for
    // that one, so the listener is not told about it.
    loadVisibilityWithCompletion([this, newValue]() {
        if (isHiddenShown() != newValue) switchHiddenFilesVisibilityWithCompletion(SwitchCompletion());
    });
}

void HiddenManager::executeAppleScriptForSwitchingVisibilityCompletion(const QString &name, SwitchCompletion completion)
{
    setIsUpdating(true);
    QPointer<HiddenManager> self(this);
    m_scripts->executeAppleScriptCompletion(
        name, [self, completion = std::move(completion)](const std::optional<ScriptResult> &,
                                                         const std::optional<Error> &error) {
            if (!self) return;
            self->m_needsLoadVisibilityState = true;
            HiddenManager *manager = self.data();
            QMetaObject::invokeMethod(
                manager,
                [manager, completion, error]() {
                    if (completion) completion(error);
                    manager->setIsUpdating(false);
                },
                Qt::QueuedConnection);
        });
}

// ---- dialogs

void HiddenManager::displayInformationAboutAccessibilityAlertsWithCompletion(
    std::function<void(bool granted)> completion)
{
    if (m_presenter == nullptr) {
        qCInfo(lcVisibility, "no window for the information sheet: not shown");
        return;
    }
    m_presenter->displayInformationAboutAccessibilityAlerts(std::move(completion));
}

void HiddenManager::displayInformationAboutAccessError(const Error &error)
{
    if (m_presenter == nullptr) return;
    if (const auto accessCase = accessErrorCaseForDescription(error.localizedDescription())) {
        m_presenter->displayAccessError(*accessCase);
    }
}

// ---- preferences

bool HiddenManager::forceSwitchHiddenFilesVisibilityEnableSwitcher() const
{
    return m_version->is_10_13_orHigher();
}

bool HiddenManager::forceSwitchHiddenFilesVisibilitySwitcherState() const
{
    return m_scriptType == HiddenManagerScriptTypeRelaunchFinder;
}

void HiddenManager::applySwitcherStateForForceSwitchHiddenFilesVisibility(int state)
{
    if (state != 0) {
        m_preferences.setSwitchHiddenFilesVisibilityOption(SwitchHiddenFilesVisibilityOption::ForceSwitchOn);
        setScriptType(HiddenManagerScriptTypeRelaunchFinder);
    } else {
        m_preferences.setSwitchHiddenFilesVisibilityOption(SwitchHiddenFilesVisibilityOption::ForceSwitchOff);
        setScriptType(HiddenManagerScriptTypeSingleSwitch);
    }
}

void HiddenManager::applyStoredValue()
{
    switch (m_preferences.switchHiddenFilesVisibilityOption()) {
    case SwitchHiddenFilesVisibilityOption::NotChosen:
        break;
    case SwitchHiddenFilesVisibilityOption::ForceSwitchOff:
        setScriptType(HiddenManagerScriptTypeSingleSwitch);
        break;
    case SwitchHiddenFilesVisibilityOption::ForceSwitchOn:
        setScriptType(HiddenManagerScriptTypeRelaunchFinder);
        break;
    }
}

void HiddenManager::setScriptType(HiddenManagerScriptType type)
{
    if (type == HiddenManagerScriptTypeSingleSwitch && !m_version->is_10_13_orHigher()) {
        qCWarning(lcVisibility, "%s", kScriptTypeRefusedMessage);
        type = HiddenManagerScriptTypeRelaunchFinder;
    }
    m_scriptType = type;
}

} // namespace lurkel
