#pragma once

#include "Clock.h"
#include "Error.h"
#include "HTMLContentData.h"
#include "HTMLDownloaderInitData.h"
#include "MainQueue.h"

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QPointer>

#include <cstdint>
#include <functional>
#include <optional>
#include <thread>

class QNetworkAccessManager;
class QNetworkReply;

namespace lurkel {

class NotificationCenter;
class UserDefaults;

// Keeps one promotion page up to date: reads its XML feed, and when the feed names a newer
// package of the major version this program understands, downloads it, unpacks it next to the
// current one in the cache folder and switches over only once it is complete. Until a feed has
// been loaded (or when the package in use has gone from the disk) the built-in page is shown.
//
// The network work runs through QtNetwork (asynchronous, with timeouts on the clock), the
// unpacking on a thread of its own; results, the stored state and the change notification
// come on the main thread. A check happens a few seconds after creation when one is due, and
// then every secondsBetweenUpdates after the last check that reached the feed (also across
// runs: the date is stored). A check that could not reach the server is tried again within
// the hour.
//
// State under the key prefix: "version", "majorVersion", "width", "height", "maxappindex",
// "file" (the package in use) and "last_check_date".
class HTMLDownloader : public QObject {
    Q_OBJECT
public:
    enum class CheckResult {
        Installed, // a newer package is in use now (and the notification was posted)
        UpToDate,  // the feed names no newer package
        Rejected,  // the feed or its package was not accepted; the current page stays
        Failed,    // the server could not be reached, or did not answer in time
    };
    Q_ENUM(CheckResult)

    struct FeedEntry {
        int version = 0;
        int majorVersion = 0;
        QUrl url; // as written in the feed
        QSize size;
        int maxAppIndex = 0;
    };

    static constexpr std::int64_t kFirstCheckDelayMs = 5000;
    static constexpr std::int64_t kFeedTimeoutMs = 30000;
    static constexpr std::int64_t kPackageTimeoutMs = 120000;
    static constexpr std::int64_t kRetryAfterFailureMs = 3600000;
    static constexpr qint64 kMaxFeedBytes = qint64{1024} * 1024;
    static constexpr qint64 kMaxPackageBytes = qint64{32} * 1024 * 1024;

    // Starts the schedule of checks (none without a cache folder). Made and used on the main
    // thread.
    explicit HTMLDownloader(HTMLDownloaderInitData data, UserDefaults &defaults, NotificationCenter &center,
                            Clock &clock = Clock::instance(), QObject *parent = nullptr);
    // With the application's defaults and notification centre.
    explicit HTMLDownloader(HTMLDownloaderInitData data, QObject *parent = nullptr);
    ~HTMLDownloader() override;

    const HTMLDownloaderInitData &initData() const { return m_data; }

    // What the page shows now: the package in use, or the built-in page.
    HTMLContentData buildContentData() const;

    // Checks the feed now, unless a check is running (no cache folder: nothing).
    void checkNow();
    bool isChecking() const { return m_busy; }
    // The last check that reached the feed (invalid: none yet).
    QDateTime lastCheckDate() const;

    // Reads a feed of this page: the right root element with integer version, major version,
    // width and height and an address. Nothing (and why) otherwise.
    static std::optional<FeedEntry> parseFeed(const QByteArray &xml, const HTMLDownloaderInitData &data,
                                              QString *why = nullptr);

Q_SIGNALS:
    void checkFinished(lurkel::HTMLDownloader::CheckResult result);

private:
    struct Install;

    QString key(const char *name) const;
    void scheduleCheck(std::int64_t delayMs);
    using Received = std::function<void(const std::optional<Error> &error, const QByteArray &body)>;
    void fetch(const QUrl &url, qint64 maxBytes, std::int64_t timeoutMs, Received received);
    void onFeed(const QByteArray &body);
    void installPackage(const FeedEntry &entry, const QByteArray &archive);
    void commit(const FeedEntry &entry, const std::optional<Error> &error);
    void finish(CheckResult result, const std::optional<Error> &error = std::nullopt);

    HTMLDownloaderInitData m_data;
    UserDefaults &m_defaults;
    NotificationCenter &m_center;
    Clock &m_clock;
    QNetworkAccessManager *m_network = nullptr;
    QPointer<QNetworkReply> m_reply;
    DelayedCall m_timeout;
    DelayedCall m_nextCheck;
    bool m_busy = false;
    std::thread m_worker;
};

} // namespace lurkel
