#include "Updater.h"

#include "Identity.h"
#include "Log.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QXmlStreamReader>

namespace lurkel {
namespace {

constexpr QLatin1StringView kSparkleNamespace{"http://www.andymatuschak.org/xml-namespaces/sparkle"};

struct FeedItem {
    QString version;      // compared with the build number
    QString shortVersion; // shown to people
    QUrl enclosure;
    QUrl releaseNotes;
};

QString displayName()
{
    return QString::fromLatin1(Identity::kBundleDisplayName);
}

} // namespace

Updater::Updater(QObject *parent) : QObject(parent), m_network(new QNetworkAccessManager(this))
{
    m_buildVersion = QString::fromLatin1(Identity::kBuildVersion);
    m_shortVersion = QString::fromLatin1(Identity::kShortVersion);
}

Updater::~Updater()
{
    m_timeout.cancel();
    if (m_reply != nullptr) {
        m_reply->disconnect(this);
        m_reply->abort();
    }
}

void Updater::setCurrentVersion(const QString &buildVersion, const QString &shortVersion)
{
    m_buildVersion = buildVersion;
    m_shortVersion = shortVersion;
}

int Updater::compareVersions(const QString &a, const QString &b)
{
    const QStringList left = a.split(QLatin1Char('.'));
    const QStringList right = b.split(QLatin1Char('.'));
    static const QRegularExpression leadingDigits(QStringLiteral("^(\\d*)(.*)$"));
    for (qsizetype i = 0; i < std::max(left.size(), right.size()); ++i) {
        const QString l = i < left.size() ? left[i] : QStringLiteral("0");
        const QString r = i < right.size() ? right[i] : QStringLiteral("0");
        const auto lm = leadingDigits.match(l);
        const auto rm = leadingDigits.match(r);
        const qulonglong ln = lm.captured(1).toULongLong();
        const qulonglong rn = rm.captured(1).toULongLong();
        if (ln != rn) return ln < rn ? -1 : 1;
        const int text = QString::compare(lm.captured(2), rm.captured(2));
        if (text != 0) return text < 0 ? -1 : 1;
    }
    return 0;
}

UpdateCheckResult Updater::evaluateFeed(const QByteArray &xml, const QString &buildVersion, const QString &shortVersion)
{
    QXmlStreamReader reader(xml);
    std::vector<FeedItem> items;
    bool sawChannel = false;
    while (!reader.atEnd()) {
        reader.readNext();
        if (!reader.isStartElement()) continue;
        if (reader.name() == QLatin1String("channel")) sawChannel = true;
        if (reader.name() != QLatin1String("item")) continue;
        FeedItem item;
        while (!(reader.isEndElement() && reader.name() == QLatin1String("item")) && !reader.atEnd()) {
            reader.readNext();
            if (!reader.isStartElement()) continue;
            const bool sparkle = reader.namespaceUri() == kSparkleNamespace;
            if (reader.name() == QLatin1String("enclosure")) {
                const QXmlStreamAttributes attributes = reader.attributes();
                item.enclosure = QUrl(attributes.value(QLatin1String("url")).toString());
                if (item.version.isEmpty())
                    item.version = attributes.value(kSparkleNamespace, QLatin1String("version")).toString();
                if (item.shortVersion.isEmpty()) {
                    item.shortVersion =
                        attributes.value(kSparkleNamespace, QLatin1String("shortVersionString")).toString();
                }
            } else if (sparkle && reader.name() == QLatin1String("version")) {
                item.version = reader.readElementText().trimmed();
            } else if (sparkle && reader.name() == QLatin1String("shortVersionString")) {
                item.shortVersion = reader.readElementText().trimmed();
            } else if (sparkle && reader.name() == QLatin1String("releaseNotesLink")) {
                item.releaseNotes = QUrl(reader.readElementText().trimmed());
            }
        }
        if (!item.version.isEmpty() || !item.shortVersion.isEmpty()) items.push_back(item);
    }

    UpdateCheckResult result;
    if (reader.hasError() || !sawChannel) {
        result.message = QStringLiteral("The update information could not be read (%1). Please try again later.")
                             .arg(reader.hasError() ? reader.errorString() : QStringLiteral("no feed"));
        return result;
    }
    if (items.empty()) {
        result.message = QStringLiteral("The update information names no version. Please try again later.");
        return result;
    }
    // Items with a build number compare with ours; items with only a version text compare with our version text.
    auto newerThanUs = [&](const FeedItem &item) {
        if (!item.version.isEmpty()) return compareVersions(item.version, buildVersion) > 0;
        return compareVersions(item.shortVersion, shortVersion) > 0;
    };
    const FeedItem *best = nullptr;
    for (const FeedItem &item : items) {
        if (!newerThanUs(item)) continue;
        const QString key = item.version.isEmpty() ? item.shortVersion : item.version;
        if (best == nullptr || compareVersions(key, best->version.isEmpty() ? best->shortVersion : best->version) > 0) {
            best = &item;
        }
    }
    if (best == nullptr) {
        result.kind = UpdateCheckResult::Kind::UpToDate;
        result.version = shortVersion;
        result.message = QStringLiteral("You're up to date! %1 %2 is the newest version available.")
                             .arg(displayName(), shortVersion);
        return result;
    }
    result.kind = UpdateCheckResult::Kind::NewerVersion;
    result.version = best->shortVersion.isEmpty() ? best->version : best->shortVersion;
    result.downloadUrl = best->enclosure;
    result.releaseNotesUrl = best->releaseNotes;
    result.message = QStringLiteral("A new version of %1 is available: %2 (you have %3).")
                         .arg(displayName(), result.version, shortVersion);
    return result;
}

void Updater::checkForUpdates(const QUrl &feed, Completion completion)
{
    if (m_reply != nullptr) {
        UpdateCheckResult busy;
        busy.message = QStringLiteral("A check for updates is already running.");
        if (completion) completion(busy);
        return;
    }
    if (!feed.isValid() || (feed.scheme() != QLatin1String("https") && feed.scheme() != QLatin1String("http"))) {
        UpdateCheckResult bad;
        bad.message = QStringLiteral("The update address is not valid: %1").arg(feed.toString());
        if (completion) completion(bad);
        return;
    }
    m_completion = std::move(completion);
    QNetworkRequest request(feed);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("%1/%2").arg(displayName(), m_shortVersion));
    m_reply = m_network->get(request);
    m_timeout = MainQueue::after(
        m_timeoutMs,
        [this]() {
            UpdateCheckResult late;
            late.message =
                QStringLiteral("The update server did not answer. Please check your connection and try again later.");
            finish(late);
        },
        *m_clock);
    connect(m_reply, &QNetworkReply::finished, this, [this]() {
        QNetworkReply *reply = m_reply;
        if (reply == nullptr) return;
        UpdateCheckResult result;
        if (reply->error() != QNetworkReply::NoError) {
            result.message = QStringLiteral("The update information could not be loaded: %1").arg(reply->errorString());
        } else {
            result = evaluateFeed(reply->readAll(), m_buildVersion, m_shortVersion);
        }
        finish(result);
    });
}

void Updater::finish(const UpdateCheckResult &result)
{
    m_timeout.cancel();
    if (m_reply != nullptr) {
        QNetworkReply *reply = m_reply;
        m_reply = nullptr;
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
    if (result.kind == UpdateCheckResult::Kind::Failed)
        logFailure(lcCore, "checkForUpdates", Error::app(result.message));
    Completion completion = std::move(m_completion);
    m_completion = nullptr;
    if (completion) completion(result);
}

} // namespace lurkel
