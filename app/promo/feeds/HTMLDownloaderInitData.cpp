#include "HTMLDownloaderInitData.h"

#include <QFile>

namespace lurkel {
namespace {

constexpr QLatin1StringView kResourceFolder{":/promo-feeds/"};

HTMLDownloaderInitData common(const BytePath &cacheFolder, const QUrl &xmlUrl)
{
    HTMLDownloaderInitData data;
    data.embeddedVersion = 0;
    data.embeddedMajorVersion = 0;
    data.xmlUrl = xmlUrl;
    data.cacheFolder = cacheFolder;
    return data;
}

} // namespace

QUrl HTMLDownloaderInitData::embeddedUrl() const
{
    if (embeddedFileName.isEmpty() || embeddedFileName.contains(QLatin1Char('/'))) return {};
    const QString path = kResourceFolder + embeddedFileName;
    if (!QFile::exists(path)) return {};
    return QUrl(QStringLiteral("qrc") + path);
}

QString HTMLDownloaderInitData::macToolsHtmlChangedNotificationName()
{
    return QStringLiteral("MacToolsHtmlChangedNotification");
}

QString HTMLDownloaderInitData::newsHtmlChangedNotificationName()
{
    return QStringLiteral("NewsHtmlChangedNotification");
}

QString HTMLDownloaderInitData::advertisementHtmlChangedNotificationName()
{
    return QStringLiteral("adsdialog-html-changed-notification");
}

HTMLDownloaderInitData HTMLDownloaderInitData::macTools(const BytePath &cacheFolder, const QUrl &xmlUrl)
{
    HTMLDownloaderInitData data = common(cacheFolder, xmlUrl);
    data.configureKeysWithPrefix(QStringLiteral("PROMO_MANAGER:mac_tools:"));
    data.changedNotificationName = macToolsHtmlChangedNotificationName();
    data.embeddedSize = QSize(713, 407);
    data.embeddedFileName = QStringLiteral("mactools.html");
    data.secondsBetweenUpdates = 604800;
    data.xmlRootElement = QStringLiteral("mac_tools");
    data.fileToLoad = QStringLiteral("mactools.html");
    data.packageFolderPrefix = QStringLiteral("MacTools_v");
    return data;
}

HTMLDownloaderInitData HTMLDownloaderInitData::news(const BytePath &cacheFolder, const QUrl &xmlUrl)
{
    HTMLDownloaderInitData data = common(cacheFolder, xmlUrl);
    data.configureKeysWithPrefix(QStringLiteral("PROMO_MANAGER:news:"));
    data.changedNotificationName = newsHtmlChangedNotificationName();
    data.embeddedSize = QSize(400, 376);
    data.embeddedFileName = QStringLiteral("news.html");
    data.secondsBetweenUpdates = 86400;
    data.xmlRootElement = QStringLiteral("news");
    data.fileToLoad = QStringLiteral("news2.html");
    data.packageFolderPrefix = QStringLiteral("News2_v");
    return data;
}

HTMLDownloaderInitData HTMLDownloaderInitData::advertisement(const BytePath &cacheFolder, const QUrl &xmlUrl)
{
    HTMLDownloaderInitData data = common(cacheFolder, xmlUrl);
    data.configureKeysWithPrefix(QStringLiteral("PROMO_MANAGER:ads:"));
    data.changedNotificationName = advertisementHtmlChangedNotificationName();
    data.embeddedSize = QSize(1120, 502);
    // No advertisement page is built in, so none shows until a package has arrived.
    data.embeddedFileName = QStringLiteral("advertisement.htm");
    data.secondsBetweenUpdates = 86400;
    data.xmlRootElement = QStringLiteral("messages");
    data.maxAppIndexElement = QStringLiteral("maxappindex");
    data.fileToLoad = QStringLiteral("advertisement.htm");
    data.packageFolderPrefix = QStringLiteral("Advertisement_v");
    return data;
}

} // namespace lurkel
