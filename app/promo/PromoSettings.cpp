#include "PromoSettings.h"

#include "Log.h"
#include "SettingsKeys.h"
#include "UserDefaults.h"

#include <QMutex>
#include <QUrl>

namespace lurkel {
namespace {

struct Addresses {
    QString webHost;
    QString macToolsXml;
    QString newsXml;
    QString advertisementXml;
    QString newsPage;
    QString rateTheApp;
    QString quenbyLabOnStore;
    QString showHiddenInstruction;
    QString gettingStarted;
    QString readme;
};

struct Store {
    QMutex mutex;
    bool loaded = false;
    Addresses addresses;
};

Store &store()
{
    static Store s;
    return s;
}

Addresses buildAddresses(const QString &host)
{
    const QString feeds = host + QStringLiteral("/pro-support/lurkel/");
    Addresses a;
    a.webHost = host;
    a.macToolsXml = feeds + QStringLiteral("tools2.xml");
    a.newsXml = feeds + QStringLiteral("news2.xml");
    a.advertisementXml = feeds + QStringLiteral("messages.xml");
    a.newsPage = feeds + QStringLiteral("news/");
    a.rateTheApp = host + QStringLiteral("/catalogue/lurkel");
    a.quenbyLabOnStore = host + QStringLiteral("/store/quenbylab");
    a.showHiddenInstruction = host + QStringLiteral("/how-to/show-hidden-files-on-mac"
                                                    "?utm_source=Show%20Hidden%20Files&utm_medium=from%20app");
    a.gettingStarted = host + QStringLiteral("/lurkel/getting-started");
    a.readme = host + QStringLiteral("/lurkel/readme");
    return a;
}

QString hostFromDefaults(UserDefaults &defaults)
{
    const QString key = SettingsKeys::kWebHost;
    const QVariant stored = defaults.objectForKey(key);
    if (stored.isValid()) {
        // Unlike the numeric "ATEST:" overrides this one is a string.
        const QString text = defaults.stringForKey(key);
        if (auto host = PromoSettings::parseWebHost(text)) return *host;
        qCWarning(lcPromo, "%s: not an http(s) scheme://host[:port], using %s", qUtf8Printable(key),
                  PromoSettings::kDefaultWebHost);
    }
    return QString::fromLatin1(PromoSettings::kDefaultWebHost);
}

Addresses current()
{
    PromoSettings::LoadMemoryCleanerXData();
    Store &s = store();
    QMutexLocker lock(&s.mutex);
    return s.addresses;
}

} // namespace

void PromoSettings::LoadMemoryCleanerXData()
{
    Store &s = store();
    {
        QMutexLocker lock(&s.mutex);
        if (s.loaded) return;
    }
    // Read outside our lock: the defaults store has its own.
    Addresses addresses = buildAddresses(hostFromDefaults(UserDefaults::standardUserDefaults()));
    QMutexLocker lock(&s.mutex);
    if (s.loaded) return; // another thread was quicker; both read the same store
    s.addresses = std::move(addresses);
    s.loaded = true;
}

void PromoSettings::reloadFromDefaults(UserDefaults &defaults)
{
    Addresses addresses = buildAddresses(hostFromDefaults(defaults));
    Store &s = store();
    QMutexLocker lock(&s.mutex);
    s.addresses = std::move(addresses);
    s.loaded = true;
}

std::optional<QString> PromoSettings::parseWebHost(const QString &text)
{
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    if (!url.isValid()) return std::nullopt;
    const QString scheme = url.scheme().toLower();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https")) return std::nullopt;
    if (url.host().isEmpty() || !url.userInfo().isEmpty()) return std::nullopt;
    if (!url.path().isEmpty() && url.path() != QLatin1String("/")) return std::nullopt;
    if (url.hasQuery() || url.hasFragment()) return std::nullopt;
    return scheme + QStringLiteral("://") + url.authority(QUrl::FullyEncoded);
}

QString PromoSettings::webHost()
{
    return current().webHost;
}

QString PromoSettings::getMacToolsXMLWebURL()
{
    return current().macToolsXml;
}

QString PromoSettings::getNewsXMLWebURL()
{
    return current().newsXml;
}

QString PromoSettings::getAdvertisimentXMLWebURL()
{
    return current().advertisementXml;
}

QString PromoSettings::getNewsWebPageURL()
{
    return current().newsPage;
}

QString PromoSettings::getRateTheAppLink()
{
    return current().rateTheApp;
}

QString PromoSettings::getQuenbyLabProductURLonAppStore()
{
    return current().quenbyLabOnStore;
}

QString PromoSettings::getShowHiddenInFinderInstructionURLonBrendix()
{
    return current().showHiddenInstruction;
}

QString PromoSettings::getGettingStartedURLonBrendix()
{
    return current().gettingStarted;
}

QString PromoSettings::getReadmeURLonBrendix()
{
    return current().readme;
}

bool PromoSettings::IS_NEED_SHOW_CALCULATION_LOG()
{
    static const bool on = []() {
        UserDefaults &defaults = UserDefaults::standardUserDefaults();
        const QString key = SettingsKeys::kIsNeedShowCalculationLog;
        return defaults.isNumber(key) && defaults.doubleForKey(key) != 0.0;
    }();
    return on;
}

} // namespace lurkel
