#include "PromoManager.h"

#include "Clock.h"
#include "ConcernEmail.h"
#include "FreshChecker.h"
#include "HTMLDownloader.h"
#include "HTMLDownloaderInitData.h"
#include "Log.h"
#include "NewsManager.h"
#include "PromoNotifications.h"
#include "PromoSettings.h"
#include "Settings.h"
#include "SettingsKeys.h"
#include "UrlOpener.h"
#include "UserDefaults.h"

#include <QMutex>
#include <QUrl>

#include <optional>
#include <utility>

namespace lurkel {
namespace {

struct Configuration {
    QMutex mutex;
    std::optional<PromoManagerServices> services;
    bool instanceMade = false;
};

Configuration &configuration()
{
    static Configuration c;
    return c;
}

} // namespace

void PromoManager::configure(PromoManagerServices services)
{
    Configuration &c = configuration();
    QMutexLocker lock(&c.mutex);
    if (c.instanceMade) {
        qCWarning(lcPromo, "the promotion manager exists already: its services stay as they are");
        return;
    }
    c.services = std::move(services);
}

PromoManager &PromoManager::GetInstance()
{
    // Never destroyed: windows and timers may still ask for it while the process ends.
    static PromoManager *instance = [] {
        PromoSettings::LoadMemoryCleanerXData();
        Configuration &c = configuration();
        PromoManagerServices services;
        {
            QMutexLocker lock(&c.mutex);
            c.instanceMade = true;
            if (c.services) services = std::move(*c.services);
        }
        return new PromoManager(std::move(services));
    }();
    return *instance;
}

PromoManager::PromoManager(PromoManagerServices services)
    : m_services(std::move(services)),
      m_defaults(m_services.defaults != nullptr ? *m_services.defaults : UserDefaults::standardUserDefaults()),
      m_center(m_services.notificationCenter != nullptr ? *m_services.notificationCenter
                                                        : NotificationCenter::defaultCenter()),
      m_clock(m_services.clock != nullptr ? *m_services.clock : Clock::instance())
{
    PromoSettings::LoadMemoryCleanerXData();
    if (m_services.cacheFolder.empty()) m_services.cacheFolder = subfolderNameInApplicationSupport();
    // 1: the news: what was read last, and the manager that shows them.
    m_freshChecker = std::make_unique<FreshChecker>(m_defaults, QString(SettingsKeys::kPromoNewsLastReadedVersion));
    if (m_services.makeNewsManager) m_newsManager = m_services.makeNewsManager(*this);
    // 3: clicks on notifications come through processNotification(); a news package with
    // something new is announced with one.
    m_newsObserver = m_center.addObserver(NewsManager::NewsHtmlChangedNotificationName(), QVariant(),
                                          [this](const Notification &) { newsHtmlChanged(); });
    // 4.
    createAdsDownloader();
    // 5.
    Settings(m_defaults).notifyRateDialogDataThatAppStarted(getAppVersion(), m_clock.currentDateTime());
    // 6.
    createMacToolsDownloader();
}

PromoManager::~PromoManager()
{
    m_toolsAutoShow.cancel();
    m_center.removeObserver(m_newsObserver);
    // The news manager may still ask for its downloader while it goes.
    m_newsManager.reset();
}

// Without feeds the downloaders have no cache folder: they keep the built-in pages and never
// go to the network.
BytePath PromoManager::feedCacheFolder() const
{
    return m_services.withFeeds ? m_services.cacheFolder : BytePath();
}

std::unique_ptr<HTMLDownloader> PromoManager::makeDownloader(const PageData &page, const QString &xmlAddress)
{
    return std::make_unique<HTMLDownloader>(page(feedCacheFolder(), QUrl(xmlAddress)), m_defaults, m_center, m_clock);
}

void PromoManager::createMacToolsDownloader()
{
    m_pMacToolsDownloader = makeDownloader(&HTMLDownloaderInitData::macTools, PromoSettings::getMacToolsXMLWebURL());
}

void PromoManager::createAdsDownloader()
{
    m_pAdsDownloader =
        makeDownloader(&HTMLDownloaderInitData::advertisement, PromoSettings::getAdvertisimentXMLWebURL());
}

HTMLDownloader *PromoManager::createNewsDownloader()
{
    if (!m_pNewsDownloader)
        m_pNewsDownloader = makeDownloader(&HTMLDownloaderInitData::news, PromoSettings::getNewsXMLWebURL());
    return m_pNewsDownloader.get();
}

namespace {

PromoContentSource sourceOf(HTMLDownloader &downloader)
{
    return {[&downloader] { return downloader.buildContentData(); }, downloader.initData().changedNotificationName};
}

} // namespace

PromoContentSource PromoManager::macToolsContent()
{
    return sourceOf(*m_pMacToolsDownloader);
}

PromoContentSource PromoManager::newsContent()
{
    return sourceOf(*createNewsDownloader());
}

PromoContentSource PromoManager::adsContent()
{
    return sourceOf(*m_pAdsDownloader);
}

bool PromoManager::isCanShowAds() const
{
    return m_pAdsDownloader->buildContentData().hasPage();
}

// ---- The tools page, shown by itself.

void PromoManager::showToolsAutomatically()
{
    m_toolsAutoShow.cancel();
    m_toolsAutoShow = MainQueue::after(
        kToolsAutoShowDelayMs,
        [this] {
            const int version = macToolsContent().content().version;
            const QDateTime now = m_clock.currentDateTime();
            const QVariant next = m_defaults.objectForKey(SettingsKeys::kMacToolsDialogNextShowDate);
            const bool dateDue = !next.isValid() || !next.canConvert<QDateTime>() || next.toDateTime() <= now;
            const QVariant shown = m_defaults.objectForKey(SettingsKeys::kMacToolsDialogShowedVersion);
            const bool versionDue =
                !shown.isValid() || m_defaults.integerForKey(SettingsKeys::kMacToolsDialogShowedVersion) < version;
            if (!dateDue || !versionDue) return;
            m_defaults.setObject(SettingsKeys::kMacToolsDialogNextShowDate, now.addSecs(kToolsAutoShowIntervalSeconds));
            m_defaults.setInteger(SettingsKeys::kMacToolsDialogShowedVersion, version);
            m_defaults.synchronize();
            if (m_services.showToolsWindow) m_services.showToolsWindow();
        },
        m_clock);
}

// ---- Notifications.

void PromoManager::newsHtmlChanged()
{
    if (!m_newsManager || !m_newsManager->hasFreshNews() || !m_services.postUserNotification) return;
    const int version = createNewsDownloader()->buildContentData().version;
    if (version <= m_lastAnnouncedNewsVersion) return;
    m_lastAnnouncedNewsVersion = version;
    m_services.postUserNotification(QStringLiteral("News from %1").arg(getAppName()),
                                    QStringLiteral("Click to read what is new."),
                                    {{PromoNotifications::KEY_NEED_OPEN_LINK(),
                                      appendUtmSourceAndUtmFromAppTo(PromoSettings::getNewsWebPageURL())}});
}

void PromoManager::processNotification(const QVariantMap &userInfo)
{
    if (userInfo.isEmpty()) {
        m_center.post(QStringLiteral("ShowMainWindowAndMakeActive"));
        return;
    }
    if (userInfo.contains(PromoNotifications::KEY_NEED_OPEN_LINK())) {
        if (UrlOpener *opener = urlOpener())
            opener->openAddress(userInfo.value(PromoNotifications::KEY_NEED_OPEN_LINK()).toString());
        return;
    }
    if (userInfo.contains(PromoNotifications::KEY_NEED_OPEN_BUNDLE())) {
        const QString id = userInfo.value(PromoNotifications::KEY_NEED_OPEN_BUNDLE()).toString();
        if (!m_services.openApplication || !m_services.openApplication(id))
            qCInfo(lcPromo, "notification: no application %s to open", qUtf8Printable(id));
    }
}

// ---- Rating.

UrlOpener *PromoManager::urlOpener() const
{
    if (m_services.urlOpener == nullptr) qCWarning(lcPromo, "no browser to open addresses with");
    return m_services.urlOpener;
}

void PromoManager::createConcernEmail()
{
    if (UrlOpener *opener = urlOpener()) opener->openUrl(ConcernEmail::createConcernEmail());
}

void PromoManager::openPageInAppStore()
{
    if (UrlOpener *opener = urlOpener()) opener->openAddress(PromoSettings::getRateTheAppLink());
}

} // namespace lurkel
