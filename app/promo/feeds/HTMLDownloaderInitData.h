#pragma once

#include "BytePath.h"

#include <QSize>
#include <QString>
#include <QUrl>

#include <cstdint>

namespace lurkel {

// How one promotion page is fetched, unpacked and remembered: the feed that describes its
// package, the page built into the program, and where packages and state are kept.
//
// The feed is an XML document whose root element is xmlRootElement and whose children name
// the package's version and major version (integers), its address (absolute, or relative to
// the feed), the page's width and height, and optionally the highest application index.
struct HTMLDownloaderInitData {
    // The defaults keys of the downloader's state begin with this (see configureKeysWithPrefix).
    QString keyPrefix;
    // Posted on the local notification centre (main thread) when a new package is in place.
    QString changedNotificationName;

    // The page built into the program, used until a feed has been loaded.
    int embeddedVersion = 0;
    int embeddedMajorVersion = 0; // also the only major version this program understands
    QSize embeddedSize;
    QString embeddedFileName; // looked up among the built-in pages; none there: no page

    std::int64_t secondsBetweenUpdates = 86400;

    QUrl xmlUrl;
    QString xmlRootElement;
    QString versionElement = QStringLiteral("version");
    QString majorVersionElement = QStringLiteral("majorVersion");
    QString urlElement = QStringLiteral("url");
    QString widthElement = QStringLiteral("width");
    QString heightElement = QStringLiteral("height");
    QString maxAppIndexElement; // empty: the feed carries none

    // The page inside the package.
    QString fileToLoad;
    // Where packages are unpacked, each into <cacheFolder>/<packageFolderPrefix><version>.
    // Empty: no cache, so only the built-in page is ever shown.
    BytePath cacheFolder;
    QString packageFolderPrefix;

    void configureKeysWithPrefix(const QString &prefix) { keyPrefix = prefix; }

    // The address of the built-in page (qrc:), or an empty address when the program has none
    // by that name.
    QUrl embeddedUrl() const;

    // The pages' change notifications, posted on the local centre when a new package is in use.
    static QString macToolsHtmlChangedNotificationName();
    static QString newsHtmlChangedNotificationName();
    static QString advertisementHtmlChangedNotificationName();

    // The three pages of the application, each with its feed's address and the cache folder.
    static HTMLDownloaderInitData macTools(const BytePath &cacheFolder, const QUrl &xmlUrl);
    static HTMLDownloaderInitData news(const BytePath &cacheFolder, const QUrl &xmlUrl);
    static HTMLDownloaderInitData advertisement(const BytePath &cacheFolder, const QUrl &xmlUrl);
};

} // namespace lurkel
