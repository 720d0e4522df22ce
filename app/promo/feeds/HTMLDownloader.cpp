#include "HTMLDownloader.h"

#include "Identity.h"
#include "Log.h"
#include "NotificationCenter.h"
#include "PackageUnpacker.h"
#include "PosixFile.h"
#include "UserDefaults.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QXmlStreamReader>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <utility>
#include <vector>

namespace lurkel {
namespace {

constexpr const char kStagingMark[] = ".staging-";

bool isWebAddress(const QUrl &url)
{
    return url.isValid() && (url.scheme() == QLatin1String("https") || url.scheme() == QLatin1String("http"));
}

// The integer text of an element, or nothing.
std::optional<int> integerOf(const QString &text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok) return std::nullopt;
    return value;
}

bool isPackageFolderName(std::string_view name, std::string_view prefix)
{
    if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix) return false;
    return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(),
                       [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

// What the unpacking thread needs, by value.
struct HTMLDownloader::Install {
    BytePath cacheFolder;
    std::string packagePrefix;
    std::string keepName;  // the package in use: left alone
    std::string finalName; // where the new package goes
    std::string fileToLoad;
    QByteArray archive;

    // Removes what earlier runs left behind (staging folders, packages no state refers to).
    static void removeLeftovers(int cacheFd, const std::string &prefix, const std::string &keepName)
    {
        const int listFd = ::openat(cacheFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (listFd < 0) return;
        DIR *listing = ::fdopendir(listFd);
        if (listing == nullptr) {
            ::close(listFd);
            return;
        }
        const std::string staging = kStagingMark + prefix;
        std::vector<std::string> names;
        while (const dirent *item = ::readdir(listing)) {
            const std::string_view name(item->d_name);
            if (name.starts_with(staging) || (isPackageFolderName(name, prefix) && name != keepName))
                names.emplace_back(name);
        }
        ::closedir(listing);
        for (const std::string &name : names)
            PackageUnpacker::removeTree(cacheFd, name.c_str());
    }

    std::optional<Error> run() const
    {
        if (const int error = makePath(cacheFolder, 0700))
            return Error::posix(error, QStringLiteral("create %1").arg(cacheFolder.displayString()));
        const UniqueFd cacheFd(::open(cacheFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!cacheFd.valid()) return Error::posix(errno, QStringLiteral("open %1").arg(cacheFolder.displayString()));
        removeLeftovers(cacheFd.get(), packagePrefix, keepName);

        std::string path = (cacheFolder / (kStagingMark + packagePrefix + "XXXXXX")).bytes();
        if (::mkdtemp(path.data()) == nullptr)
            return Error::posix(errno, QStringLiteral("create a folder in %1").arg(cacheFolder.displayString()));
        const std::string stagingName(BytePath(path).fileName());

        std::optional<Error> error;
        {
            const UniqueFd stagingFd(
                ::openat(cacheFd.get(), stagingName.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (!stagingFd.valid()) error = Error::posix(errno, QStringLiteral("open the unpacking folder"));
            if (!error) error = PackageUnpacker::unpack(archive, stagingFd.get());
            struct stat page {};
            if (!error && (::fstatat(stagingFd.get(), fileToLoad.c_str(), &page, AT_SYMLINK_NOFOLLOW) != 0 ||
                           !S_ISREG(page.st_mode))) {
                error = Error::app(QStringLiteral("The package was refused: it lacks the page %1.")
                                       .arg(QString::fromStdString(fileToLoad)));
            }
        }
        if (!error) {
            if (const int renamed =
                    renameNoReplace(cacheFd.get(), stagingName.c_str(), cacheFd.get(), finalName.c_str()))
                error = Error::posix(renamed, QStringLiteral("put the package in place"));
        }
        if (error) PackageUnpacker::removeTree(cacheFd.get(), stagingName.c_str());
        return error;
    }
};

HTMLDownloader::HTMLDownloader(HTMLDownloaderInitData data, UserDefaults &defaults, NotificationCenter &center,
                               Clock &clock, QObject *parent)
    : QObject(parent), m_data(std::move(data)), m_defaults(defaults), m_center(center), m_clock(clock),
      m_network(new QNetworkAccessManager(this))
{
    const QDateTime last = lastCheckDate();
    std::int64_t delay = kFirstCheckDelayMs;
    if (last.isValid()) {
        const std::int64_t interval = m_data.secondsBetweenUpdates * 1000;
        const std::int64_t due =
            std::min<std::int64_t>(m_clock.currentDateTime().msecsTo(last.addMSecs(interval)), interval);
        delay = std::max(delay, due);
    }
    scheduleCheck(delay);
}

HTMLDownloader::HTMLDownloader(HTMLDownloaderInitData data, QObject *parent)
    : HTMLDownloader(std::move(data), UserDefaults::standardUserDefaults(), NotificationCenter::defaultCenter(),
                     Clock::instance(), parent)
{}

HTMLDownloader::~HTMLDownloader()
{
    m_nextCheck.cancel();
    m_timeout.cancel();
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
    }
    if (m_worker.joinable()) m_worker.join();
}

QString HTMLDownloader::key(const char *name) const
{
    return m_data.keyPrefix + QLatin1String(name);
}

QDateTime HTMLDownloader::lastCheckDate() const
{
    return m_defaults.objectForKey(key("last_check_date")).toDateTime();
}

HTMLContentData HTMLDownloader::buildContentData() const
{
    if (!m_data.cacheFolder.empty() && m_defaults.isNumber(key("version"))) {
        HTMLContentData content;
        content.version = static_cast<int>(m_defaults.integerForKey(key("version")));
        content.majorVersion = static_cast<int>(m_defaults.integerForKey(key("majorVersion")));
        content.size = QSize(static_cast<int>(m_defaults.integerForKey(key("width"))),
                             static_cast<int>(m_defaults.integerForKey(key("height"))));
        content.maxAppIndex = static_cast<int>(m_defaults.integerForKey(key("maxappindex")));
        QString file = m_defaults.stringForKey(key("file"));
        if (file.isEmpty() || file.startsWith(QLatin1Char('/')) ||
            file.split(QLatin1Char('/')).contains(QLatin1String("..")))
            file = m_data.fileToLoad;
        const BytePath page = m_data.cacheFolder /
                              (m_data.packageFolderPrefix + QString::number(content.version)).toStdString() /
                              file.toStdString();
        struct stat info {};
        // A package removed from the disk behind our back: back to the built-in page.
        if (::lstat(page.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
            content.htmlURL = QUrl::fromEncoded(page.toFileUri());
            content.isEmbedded = false;
            return content;
        }
    }
    HTMLContentData embedded;
    embedded.version = m_data.embeddedVersion;
    embedded.majorVersion = m_data.embeddedMajorVersion;
    embedded.size = m_data.embeddedSize;
    embedded.htmlURL = m_data.embeddedUrl();
    embedded.isEmbedded = true;
    return embedded;
}

std::optional<HTMLDownloader::FeedEntry> HTMLDownloader::parseFeed(const QByteArray &xml,
                                                                   const HTMLDownloaderInitData &data, QString *why)
{
    auto fail = [why](const QString &reason) -> std::optional<FeedEntry> {
        if (why != nullptr) *why = reason;
        return std::nullopt;
    };
    QXmlStreamReader reader(xml);
    if (!reader.readNextStartElement())
        return fail(QStringLiteral("not an XML document (%1)").arg(reader.errorString()));
    if (reader.name() != data.xmlRootElement)
        return fail(QStringLiteral("the root element is <%1>, not <%2>").arg(reader.name(), data.xmlRootElement));

    QMap<QString, QString> values;
    while (reader.readNextStartElement()) {
        const QString name = reader.name().toString();
        const QString text = reader.readElementText(QXmlStreamReader::SkipChildElements).trimmed();
        if (!values.contains(name)) values.insert(name, text);
    }
    if (reader.hasError()) return fail(QStringLiteral("broken XML (%1)").arg(reader.errorString()));

    FeedEntry entry;
    for (const auto &[element, target] :
         {std::pair{&data.versionElement, &entry.version}, std::pair{&data.majorVersionElement, &entry.majorVersion}}) {
        const std::optional<int> value = integerOf(values.value(*element));
        if (!value) return fail(QStringLiteral("<%1> is missing or not an integer").arg(*element));
        *target = *value;
    }
    const std::optional<int> width = integerOf(values.value(data.widthElement));
    const std::optional<int> height = integerOf(values.value(data.heightElement));
    if (!width || !height || *width <= 0 || *height <= 0)
        return fail(QStringLiteral("<%1> or <%2> is missing or not a size").arg(data.widthElement, data.heightElement));
    entry.size = QSize(*width, *height);
    entry.url = QUrl(values.value(data.urlElement));
    if (entry.url.isEmpty() || !entry.url.isValid())
        return fail(QStringLiteral("<%1> is missing").arg(data.urlElement));
    if (!data.maxAppIndexElement.isEmpty())
        entry.maxAppIndex = integerOf(values.value(data.maxAppIndexElement)).value_or(0);
    return entry;
}

void HTMLDownloader::scheduleCheck(std::int64_t delayMs)
{
    m_nextCheck.cancel();
    if (m_data.cacheFolder.empty()) return;
    m_nextCheck = MainQueue::after(
        std::max<std::int64_t>(delayMs, 0), [this]() { checkNow(); }, m_clock);
}

void HTMLDownloader::checkNow()
{
    if (m_busy || m_data.cacheFolder.empty()) return;
    m_nextCheck.cancel();
    m_busy = true;
    if (!isWebAddress(m_data.xmlUrl)) {
        finish(CheckResult::Failed,
               Error::app(QStringLiteral("The feed address is not valid: %1").arg(m_data.xmlUrl.toString())));
        return;
    }
    fetch(m_data.xmlUrl, kMaxFeedBytes, kFeedTimeoutMs,
          [this](const std::optional<Error> &error, const QByteArray &body) {
              if (error) {
                  finish(CheckResult::Failed, error);
                  return;
              }
              onFeed(body);
          });
}

void HTMLDownloader::fetch(const QUrl &url, qint64 maxBytes, std::int64_t timeoutMs, Received received)
{
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setHeader(QNetworkRequest::UserAgentHeader,
                      QStringLiteral("%1/%2").arg(QLatin1String(Identity::kBundleDisplayName),
                                                  QLatin1String(Identity::kShortVersion)));
    QNetworkReply *reply = m_network->get(request);
    m_reply = reply;
    auto why = std::make_shared<QString>();
    m_timeout = MainQueue::after(
        timeoutMs,
        [reply, why, url, timeoutMs]() {
            *why = QStringLiteral("%1 did not answer within %2 s").arg(url.toString()).arg(timeoutMs / 1000);
            reply->abort();
        },
        m_clock);
    connect(reply, &QNetworkReply::downloadProgress, this, [reply, why, url, maxBytes](qint64 got, qint64 total) {
        if (got <= maxBytes && total <= maxBytes) return;
        *why = QStringLiteral("%1 is larger than %2 bytes").arg(url.toString()).arg(maxBytes);
        reply->abort();
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply, why, url, received = std::move(received)]() {
        m_timeout.cancel();
        m_reply = nullptr;
        reply->deleteLater();
        std::optional<Error> error;
        if (!why->isEmpty()) {
            error = Error::app(*why);
        } else if (reply->error() != QNetworkReply::NoError) {
            error = Error::app(QStringLiteral("%1 could not be loaded: %2").arg(url.toString(), reply->errorString()));
        }
        received(error, error ? QByteArray() : reply->readAll());
    });
}

void HTMLDownloader::onFeed(const QByteArray &body)
{
    QString why;
    const std::optional<FeedEntry> entry = parseFeed(body, m_data, &why);
    if (!entry) {
        finish(CheckResult::Rejected,
               Error::app(QStringLiteral("The feed %1 was not accepted: %2").arg(m_data.xmlUrl.toString(), why)));
        return;
    }
    if (entry->majorVersion != m_data.embeddedMajorVersion) {
        finish(CheckResult::Rejected,
               Error::app(QStringLiteral("The feed %1 names major version %2, which this version does not understand")
                              .arg(m_data.xmlUrl.toString())
                              .arg(entry->majorVersion)));
        return;
    }
    if (entry->version <= buildContentData().version) {
        finish(CheckResult::UpToDate);
        return;
    }
    const QUrl package = m_data.xmlUrl.resolved(entry->url);
    if (!isWebAddress(package)) {
        finish(CheckResult::Rejected,
               Error::app(QStringLiteral("The package address is not a web address: %1").arg(package.toString())));
        return;
    }
    fetch(package, kMaxPackageBytes, kPackageTimeoutMs,
          [this, entry = *entry](const std::optional<Error> &error, const QByteArray &archive) {
              if (error) {
                  finish(CheckResult::Failed, error);
                  return;
              }
              installPackage(entry, archive);
          });
}

void HTMLDownloader::installPackage(const FeedEntry &entry, const QByteArray &archive)
{
    Install install;
    install.cacheFolder = m_data.cacheFolder;
    install.packagePrefix = m_data.packageFolderPrefix.toStdString();
    const HTMLContentData current = buildContentData();
    if (!current.isEmbedded) install.keepName = install.packagePrefix + std::to_string(current.version);
    install.finalName = install.packagePrefix + std::to_string(entry.version);
    install.fileToLoad = m_data.fileToLoad.toStdString();
    install.archive = archive;

    if (m_worker.joinable()) m_worker.join(); // the last one has ended: it reported
    QPointer<HTMLDownloader> self(this);
    m_worker = std::thread([self, entry, install = std::move(install)]() {
        std::optional<Error> error = install.run();
        MainQueue::async([self, entry, error = std::move(error)]() {
            if (self) self->commit(entry, error);
        });
    });
}

void HTMLDownloader::commit(const FeedEntry &entry, const std::optional<Error> &error)
{
    if (error) {
        finish(CheckResult::Rejected, error);
        return;
    }
    const HTMLContentData previous = buildContentData();
    m_defaults.setInteger(key("version"), entry.version);
    m_defaults.setInteger(key("majorVersion"), entry.majorVersion);
    m_defaults.setInteger(key("width"), entry.size.width());
    m_defaults.setInteger(key("height"), entry.size.height());
    m_defaults.setInteger(key("maxappindex"), entry.maxAppIndex);
    m_defaults.setString(key("file"), m_data.fileToLoad);
    m_defaults.synchronize();

    if (!previous.isEmbedded && previous.version != entry.version) {
        const UniqueFd cacheFd(::open(m_data.cacheFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        const std::string old = (m_data.packageFolderPrefix + QString::number(previous.version)).toStdString();
        if (const int removed = cacheFd.valid() ? PackageUnpacker::removeTree(cacheFd.get(), old.c_str()) : errno)
            logFailure(lcPromo, "HTMLDownloader", Error::posix(removed, QStringLiteral("remove the old package")));
    }
    m_center.post(m_data.changedNotificationName, {}, {{QStringLiteral("version"), entry.version}});
    finish(CheckResult::Installed);
}

void HTMLDownloader::finish(CheckResult result, const std::optional<Error> &error)
{
    if (error) logFailure(lcPromo, "HTMLDownloader", *error);
    m_busy = false;
    const std::int64_t interval = m_data.secondsBetweenUpdates * 1000;
    if (result == CheckResult::Failed) {
        scheduleCheck(std::min(kRetryAfterFailureMs, interval));
    } else {
        m_defaults.setObject(key("last_check_date"), m_clock.currentDateTime());
        m_defaults.synchronize();
        scheduleCheck(interval);
    }
    Q_EMIT checkFinished(result);
}

} // namespace lurkel
