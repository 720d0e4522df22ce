#pragma once

#include "NotificationCenter.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <map>

namespace lurkel {

class Clock;
class DistributedNotificationCenter;

// The start-scanning handshake between this application and a sibling tool it launches from
// the disk-usage panel. The launcher side listens for a few seconds for the tool's "did
// finish launching" and answers it with "ask to start scanning"; the launched side (a tool
// built on this code) announces itself and scans when asked within the same few seconds.
// Main thread only; the expiry timers run on the clock.
class StartScanningInLaunchedAppManager {
public:
    static inline constexpr double kSubscriptionSeconds = 5.0;

    static StartScanningInLaunchedAppManager &shared();
    StartScanningInLaunchedAppManager(DistributedNotificationCenter &center, Clock &clock);
    ~StartScanningInLaunchedAppManager();
    StartScanningInLaunchedAppManager(const StartScanningInLaunchedAppManager &) = delete;
    StartScanningInLaunchedAppManager &operator=(const StartScanningInLaunchedAppManager &) = delete;

    // The identifier of a view type's tool (1-4), or an empty string.
    static QString startScanningIdentifierWithType(int viewType);

    // Launcher side: arms the handshake for the tool of the view type (nothing without one).
    void prepareToAppLaunchingWithType(int viewType);
    void subscribeToLaunchedAppDidFinishLaunchingForDurationAppIdentifierToStartScanning(double seconds,
                                                                                         const QString &identifier);
    void launchedAppDidFinishLaunchingEvent(const Notification &notification);

    // Launched side: announces that the tool of the view type has started and waits for the ask.
    void appWithTypeDidFinishLaunching(int viewType);
    void subscribeToStartScanningForDuration(double seconds);
    void startScanningNotificationHandler(const Notification &notification);

    int launchedAppType() const { return m_launchedAppType; }
    std::function<void()> startScaningBlock;

    // Observations still armed (both sides), for tests and the log.
    std::size_t observationCount() const { return m_observations.size(); }

private:
    using Token = NotificationCenter::Token;
    void observeFor(double seconds, const QString &name, const QString &identifier,
                    void (StartScanningInLaunchedAppManager::*handler)(const Notification &));
    void removeObservations(const QString &name, const QString &identifier);

    DistributedNotificationCenter &m_center;
    Clock &m_clock;
    int m_launchedAppType = 0;
    struct Observation {
        QString name;
        QString identifier;
        std::uint64_t timer = 0;
    };
    std::map<Token, Observation> m_observations;
};

} // namespace lurkel
