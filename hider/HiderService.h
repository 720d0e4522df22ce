#pragma once

#include "HiderRequest.h"

#include "Clock.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QObject>
#include <QVariantMap>

#include <cstdint>
#include <deque>
#include <functional>

namespace lurkel {

class DistributedNotificationCenter;
class ScriptsManager;

// The helper service's one method, Request(a{sv}) -> a{sv} (see MessageNames.h for the keys).
//
// An item request takes the hide/unhide rule that lurkel and lurkelctl share
// (HiddenItemsUpdater) and then has the file managers redraw the items that changed. A
// "doShowHidden" request runs the relaunch script of the wanted state through the script
// runner, waits for its end, and on success posts "xpcNote" with the state. The answer says
// what happened: "success" false, with an "error" text, when the request was refused or the
// file or script work failed.
//
// Requests are carried out one at a time, in the order they came; the answer to each is sent
// when its work has ended. When no request has come for idleMs and none is in hand, onIdle is
// called (the service ends, as services started by the bus do).
class HiderService : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.brendix.Lurkel_SII.hiderXPC")
public:
    static inline constexpr std::int64_t kIdleMs = 30000;
    static inline constexpr const char kShowScriptName[] = "ShowHiddensAndRelaunchFinder";
    static inline constexpr const char kHideScriptName[] = "HideHiddensAndRelaunchFinder";
    static inline constexpr const char kRefreshScriptName[] = "UpdateFinderFolderRepresentation";
    static inline constexpr const char kRefreshHandler[] = "refresh";

    struct Services {
        ScriptsManager *scripts = nullptr;
        DistributedNotificationCenter *center = nullptr;
        Clock *clock = nullptr; // nullptr: Clock::instance()
        std::int64_t idleMs = kIdleMs;
        std::function<void()> onIdle;
    };

    explicit HiderService(Services services, QObject *parent = nullptr);
    ~HiderService() override;
    HiderService(const HiderService &) = delete;
    HiderService &operator=(const HiderService &) = delete;

    // Exports this object at MessageNames::kHiderPath; false (logged) when that failed.
    bool registerOn(QDBusConnection bus);

public Q_SLOTS:
    // The answer is sent later (a delayed reply); the value returned here is not used.
    QVariantMap Request(const QVariantMap &request);

private:
    struct Pending {
        QDBusConnection connection;
        QDBusMessage message;
        QVariantMap request;
    };

    void takeNext();
    void showHidden(bool shown, const Pending &pending);
    void setItemHidden(const HiderRequest &request, const Pending &pending);
    void answer(const Pending &pending, bool success, const QString &error = {});
    void armIdleTimer();
    void cancelIdleTimer();
    Clock &clock() const;

    Services m_services;
    std::deque<Pending> m_queue;
    bool m_busy = false;
    Clock::TimerId m_idleTimer = 0;
};

} // namespace lurkel
