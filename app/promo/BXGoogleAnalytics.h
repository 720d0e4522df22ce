#pragma once

#include "BXGAEvent.h"

#include <QString>
#include <QUrl>

#include <functional>
#include <memory>

class QNetworkAccessManager;

namespace lurkel {

class BXGooglePayload;
class UserDefaults;

// Reports an event to the maker's analytics collector with the Measurement Protocol (version
// 1, "event" hits): one GET of "<web host>/collect?<query>", carried by Qt's network thread,
// fire and forget; no queue, no retry. Main thread only. The installation is known by a random identifier kept in the
// settings ("ga:user_id"), made on first use.
class BXGoogleAnalytics {
public:
    static inline constexpr char kTrackingId[] = "UA-48291730-1";
    static inline constexpr char kCollectPath[] = "/collect";

    static BXGoogleAnalytics &shared();

    // Builds the hit and hands the request over; returns at once.
    void send(BXGAEvent event);

    // The hit's query string without its cache buster "z" (the order of the parameters is
    // part of the protocol).
    QString payloadFor(BXGAEvent event) const;
    const QString &clientID() const { return m_clientID; }

    // Where requests go; the default GETs the address in the background. Tests replace it
    // or point the web host at a local server.
    using Fetch = std::function<void(const QUrl &)>;
    void setFetch(Fetch fetch) { m_fetch = std::move(fetch); }

    // Requests sent by the default fetch that have not ended yet.
    int requestsInFlight() const { return m_inFlight; }

    explicit BXGoogleAnalytics(UserDefaults &defaults);
    ~BXGoogleAnalytics();
    BXGoogleAnalytics(const BXGoogleAnalytics &) = delete;
    BXGoogleAnalytics &operator=(const BXGoogleAnalytics &) = delete;

private:
    void fetchInBackground(const QUrl &address);

    QString m_protocolVersion = QStringLiteral("1");
    QString m_trackingID = QString::fromLatin1(kTrackingId);
    QString m_clientID;
    QString m_applicationName;
    QString m_applicationVersion;
    Fetch m_fetch;
    std::unique_ptr<QNetworkAccessManager> m_network; // made on the first request
    int m_inFlight = 0;
};

} // namespace lurkel
