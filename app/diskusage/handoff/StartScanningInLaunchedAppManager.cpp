#include "StartScanningInLaunchedAppManager.h"

#include "Clock.h"
#include "DistributedNotificationCenter.h"
#include "Log.h"
#include "MessageNames.h"

#include <cmath>

namespace lurkel {

StartScanningInLaunchedAppManager &StartScanningInLaunchedAppManager::shared()
{
    // Never destroyed: at exit its observations would be taken off a bus connection that is
    // already gone.
    static auto *manager =
        new StartScanningInLaunchedAppManager(DistributedNotificationCenter::defaultCenter(), Clock::instance());
    return *manager;
}

StartScanningInLaunchedAppManager::StartScanningInLaunchedAppManager(DistributedNotificationCenter &center,
                                                                     Clock &clock)
    : m_center(center), m_clock(clock)
{}

StartScanningInLaunchedAppManager::~StartScanningInLaunchedAppManager()
{
    for (const auto &[token, observation] : m_observations) {
        m_center.removeObserver(token);
        m_clock.cancel(observation.timer);
    }
}

QString StartScanningInLaunchedAppManager::startScanningIdentifierWithType(int viewType)
{
    switch (viewType) {
    case 1:
        return QStringLiteral("com.brendix.SorvelStartScanning");
    case 2:
        return QStringLiteral("com.brendix.FerrowKitIdentifierToStartScanning");
    case 3:
        return QStringLiteral("com.brendix.VantorScopeIdentifierToStartScanning");
    case 4:
        return QStringLiteral("com.brendix.GemmetPairIdentifierToStartScanning");
    default:
        return {};
    }
}

void StartScanningInLaunchedAppManager::observeFor(
    double seconds, const QString &name, const QString &identifier,
    void (StartScanningInLaunchedAppManager::*handler)(const Notification &))
{
    const Token token =
        m_center.addObserver(name, identifier, [this, handler](const Notification &note) { (this->*handler)(note); });
    // Each observation ends on its own timer, whatever happened meanwhile.
    const auto delayMs = static_cast<std::int64_t>(std::llround(seconds * 1000.0));
    const std::uint64_t timer = m_clock.schedule(delayMs, [this, token]() {
        if (m_observations.erase(token) != 0) m_center.removeObserver(token);
    });
    m_observations.emplace(token, Observation{name, identifier, timer});
}

void StartScanningInLaunchedAppManager::removeObservations(const QString &name, const QString &identifier)
{
    for (auto it = m_observations.begin(); it != m_observations.end();) {
        if (it->second.name == name && it->second.identifier == identifier) {
            m_center.removeObserver(it->first);
            m_clock.cancel(it->second.timer);
            it = m_observations.erase(it);
        } else {
            ++it;
        }
    }
}

void StartScanningInLaunchedAppManager::prepareToAppLaunchingWithType(int viewType)
{
    const QString identifier = startScanningIdentifierWithType(viewType);
    if (identifier.isEmpty()) return;
    subscribeToLaunchedAppDidFinishLaunchingForDurationAppIdentifierToStartScanning(kSubscriptionSeconds, identifier);
}

void StartScanningInLaunchedAppManager::subscribeToLaunchedAppDidFinishLaunchingForDurationAppIdentifierToStartScanning(
    double seconds, const QString &identifier)
{
    observeFor(seconds, QString::fromLatin1(MessageNames::kLaunchedAppDidFinishLaunching), identifier,
               &StartScanningInLaunchedAppManager::launchedAppDidFinishLaunchingEvent);
}

void StartScanningInLaunchedAppManager::launchedAppDidFinishLaunchingEvent(const Notification &notification)
{
    const QString identifier = notification.object.toString();
    removeObservations(QString::fromLatin1(MessageNames::kLaunchedAppDidFinishLaunching), identifier);
    qCInfo(lcPromo, "%s has started: asking it to scan", qUtf8Printable(identifier));
    m_center.post(QString::fromLatin1(MessageNames::kLaunchedAppAskToStartScanning), identifier);
}

void StartScanningInLaunchedAppManager::appWithTypeDidFinishLaunching(int viewType)
{
    m_launchedAppType = viewType;
    const QString identifier = startScanningIdentifierWithType(viewType);
    if (identifier.isEmpty()) return;
    subscribeToStartScanningForDuration(kSubscriptionSeconds);
    m_center.post(QString::fromLatin1(MessageNames::kLaunchedAppDidFinishLaunching), identifier);
}

void StartScanningInLaunchedAppManager::subscribeToStartScanningForDuration(double seconds)
{
    observeFor(seconds, QString::fromLatin1(MessageNames::kLaunchedAppAskToStartScanning),
               startScanningIdentifierWithType(m_launchedAppType),
               &StartScanningInLaunchedAppManager::startScanningNotificationHandler);
}

void StartScanningInLaunchedAppManager::startScanningNotificationHandler(const Notification &notification)
{
    removeObservations(QString::fromLatin1(MessageNames::kLaunchedAppAskToStartScanning),
                       notification.object.toString());
    if (startScaningBlock) startScaningBlock();
}

} // namespace lurkel
