#pragma once

#include "AppIdentity.h"
#include "BytePath.h"
#include "MainQueue.h"
#include "NotificationCenter.h"
#include "PromoContentSource.h"

#include <QString>
#include <QUrl>
#include <QVariantMap>

#include <functional>
#include <memory>

namespace lurkel {

class Clock;
class FreshChecker;
class HTMLDownloader;
struct HTMLDownloaderInitData;
class NewsManager;
class PromoManager;
class UrlOpener;
class UserDefaults;

// What the promotion manager works with. Members left empty mean the process's own (the
// standard defaults, the default notification centre, the process's clock); the others
// are what the windowed application lends it, and without them the manager does without.
struct PromoManagerServices {
    UserDefaults *defaults = nullptr;
    NotificationCenter *notificationCenter = nullptr;
    Clock *clock = nullptr;
    // Opens addresses in the browser and the mail client.
    UrlOpener *urlOpener = nullptr;
    // Starts the application of a desktop entry id; false when none is installed.
    std::function<bool(const QString &desktopEntryId)> openApplication;
    // Posts a desktop notification; a click on it comes back to processNotification().
    std::function<void(const QString &title, const QString &body, const QVariantMap &userInfo)> postUserNotification;
    // Makes the news manager (its popup is a window); asked once, at the start.
    std::function<std::unique_ptr<NewsManager>(PromoManager &)> makeNewsManager;
    // Shows the tools page.
    std::function<void()> showToolsWindow;
    // Load the three pages from the maker's feeds. Off, the manager keeps the built-in pages
    // and asks nothing of the network (tests of other windows, tools without windows).
    bool withFeeds = false;
    // Where the packages are kept; empty means subfolderNameInApplicationSupport().
    BytePath cacheFolder;
};

// The promotion manager: the application's identity (name, versions, its data folder, the
// campaign source of the addresses it opens), the maker's three pages (the tools page, the
// news, the advertisement) with their feeds, the automatic showing of the tools page, the
// rating bookkeeping, and what a click on one of the application's desktop notifications
// opens.
class PromoManager {
public:
    // Seconds the automatic tools page waits after the start, and between two showings.
    static constexpr std::int64_t kToolsAutoShowDelayMs = std::int64_t{300} * 1000;
    static constexpr std::int64_t kToolsAutoShowIntervalSeconds = 604800;

    // What the process's promotion manager is made with; call before the first
    // GetInstance() (the windowed application does, in main). Later calls change nothing.
    static void configure(PromoManagerServices services);
    // The one promotion manager, created on first use (the maker's addresses are loaded
    // first). Later calls return the same object and start nothing.
    static PromoManager &GetInstance();
    // A manager of its own (tests); the process's one is GetInstance().
    explicit PromoManager(PromoManagerServices services);
    ~PromoManager();

    PromoManager(const PromoManager &) = delete;
    PromoManager &operator=(const PromoManager &) = delete;

    // The application's identity (AppIdentity says what each is).
    static QString getAppName() { return AppIdentity::getAppName(); }
    static QString getAppVersion() { return AppIdentity::getAppVersion(); }
    static QString getAppBuildVersion() { return AppIdentity::getAppBuildVersion(); }
    static QString getAppReleaseVersionWithBuildNumber() { return AppIdentity::getAppReleaseVersionWithBuildNumber(); }
    static QString getAppReleaseVersionWithBuildNumber(const QString &version, const QString &build)
    {
        return AppIdentity::getAppReleaseVersionWithBuildNumber(version, build);
    }
    static QString buildAppVersionWithNumbersCount(int count)
    {
        return AppIdentity::buildAppVersionWithNumbersCount(count);
    }
    static QString buildAppVersionWithNumbersCount(int count, const QString &version)
    {
        return AppIdentity::buildAppVersionWithNumbersCount(count, version);
    }
    static QString buildAppVersionWith1Number() { return AppIdentity::buildAppVersionWith1Number(); }
    static BytePath getApplicationSupportAppFolder() { return AppIdentity::getApplicationSupportAppFolder(); }
    static QString utmSource() { return AppIdentity::utmSource(); }
    static QString appendUtmSourceAndUtmFromAppTo(const QString &address)
    {
        return AppIdentity::appendUtmSourceAndUtmFromAppTo(address);
    }
    static BytePath subfolderNameInApplicationSupport() { return AppIdentity::subfolderNameInApplicationSupport(); }

    // The feeds and the news.
    HTMLDownloader *getMacToolsDownloader() const { return m_pMacToolsDownloader.get(); }
    HTMLDownloader *getAdsDownloader() const { return m_pAdsDownloader.get(); }
    // The news downloader, made the first time the news manager asks for it (never nullptr).
    HTMLDownloader *createNewsDownloader();
    NewsManager *newsManager() const { return m_newsManager.get(); }
    FreshChecker &freshChecker() const { return *m_freshChecker; }

    // What each page shows now, and the notification posted when it changes: the built-in
    // page (none for the advertisement) until a package has been loaded.
    PromoContentSource macToolsContent();
    PromoContentSource newsContent();
    PromoContentSource adsContent();

    // An advertisement page is available: the panel shows its promotion window only then.
    bool isCanShowAds() const;

    // After kToolsAutoShowDelayMs, shows the tools page when it is due: at most once in
    // seven days, and only for a tools package newer than the last one shown this way.
    // Returns at once.
    void showToolsAutomatically();

    // A click on one of the application's desktop notifications: without user info the
    // panel comes forward; "need_open_link" opens the address in the browser;
    // "need_open_bundle" starts the application of that desktop entry id.
    void processNotification(const QVariantMap &userInfo);

    // The rating's two outcomes: a concern report to the maker's support address in the
    // mail client, and the product's page in the software catalogue.
    void createConcernEmail();
    void openPageInAppStore();

private:
    using PageData = HTMLDownloaderInitData (*)(const BytePath &cacheFolder, const QUrl &xmlUrl);
    BytePath feedCacheFolder() const;
    std::unique_ptr<HTMLDownloader> makeDownloader(const PageData &page, const QString &xmlAddress);
    void createMacToolsDownloader();
    void createAdsDownloader();
    void newsHtmlChanged();
    UrlOpener *urlOpener() const;

    PromoManagerServices m_services;
    UserDefaults &m_defaults;
    NotificationCenter &m_center;
    Clock &m_clock;
    std::unique_ptr<HTMLDownloader> m_pMacToolsDownloader;
    std::unique_ptr<HTMLDownloader> m_pAdsDownloader;
    std::unique_ptr<HTMLDownloader> m_pNewsDownloader;
    std::unique_ptr<FreshChecker> m_freshChecker;
    std::unique_ptr<NewsManager> m_newsManager;
    DelayedCall m_toolsAutoShow;
    NotificationCenter::Token m_newsObserver = 0;
    int m_lastAnnouncedNewsVersion = 0;
};

} // namespace lurkel
