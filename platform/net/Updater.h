#pragma once

#include "Clock.h"
#include "MainQueue.h"

#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>

class QNetworkAccessManager;
class QNetworkReply;

namespace lurkel {

// What a check for updates found.
struct UpdateCheckResult {
    enum class Kind { UpToDate, NewerVersion, Failed };
    Kind kind = Kind::Failed;
    QString version;      // the newest version of the feed (as shown to people)
    QUrl downloadUrl;     // its enclosure
    QUrl releaseNotesUrl; // its release notes, when the feed names them
    QString message;      // one sentence for the user
};

// Reads the appcast feed (RSS items with an enclosure and a version) from the maker's host
// and tells whether a newer version than this build exists. The request runs on Qt's network
// thread; the completion runs once, on the main thread. A feed that does not answer within
// the timeout (on the injectable clock) ends as a failure, never as a hang.
class Updater : public QObject {
    Q_OBJECT
public:
    static inline constexpr const char kFeedPath[] = "/pro-support/lurkel/appcast.xml";
    static inline constexpr int kDefaultTimeoutMs = 15000;

    explicit Updater(QObject *parent = nullptr);
    ~Updater() override;

    void setTimeoutMs(int ms) { m_timeoutMs = ms; }
    void setClock(Clock &clock) { m_clock = &clock; }
    // The version this build compares with (its build number and its version text).
    void setCurrentVersion(const QString &buildVersion, const QString &shortVersion);

    using Completion = std::function<void(const UpdateCheckResult &)>;
    // One check at a time: a second call while one runs is answered "in progress" at once.
    void checkForUpdates(const QUrl &feed, Completion completion);
    bool isChecking() const { return m_reply != nullptr; }

    // The parsing and the decision, without the network.
    static UpdateCheckResult evaluateFeed(const QByteArray &xml, const QString &buildVersion,
                                          const QString &shortVersion);
    // Compares dotted versions number by number ("1.10" > "1.9"); text after the digits of a
    // part compares as text. Negative, 0 or positive.
    static int compareVersions(const QString &a, const QString &b);

private:
    void finish(const UpdateCheckResult &result);

    QNetworkAccessManager *m_network = nullptr;
    QNetworkReply *m_reply = nullptr;
    Completion m_completion;
    DelayedCall m_timeout;
    Clock *m_clock = &Clock::instance();
    int m_timeoutMs = kDefaultTimeoutMs;
    QString m_buildVersion;
    QString m_shortVersion;
};

} // namespace lurkel
