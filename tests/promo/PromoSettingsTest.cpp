#include "PromoSettings.h"
#include "SettingsKeys.h"
#include "UserDefaults.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

using lurkel::PromoSettings;
using lurkel::UserDefaults;

namespace {

QString s(const char *text)
{
    return QString::fromUtf8(text);
}

const QString kWebHostKey = lurkel::SettingsKeys::kWebHost;

// Fills the addresses from a private store holding the given "ATEST:WEB_HOST" value
// (invalid: key absent).
void loadWithHost(const QVariant &host)
{
    UserDefaults defaults(s("com.brendix.Lurkel-SII.promo-test"));
    defaults.setObject(kWebHostKey, host);
    PromoSettings::reloadFromDefaults(defaults);
}

} // namespace

TEST(PromoSettings, WebHostOverrideMovesEveryAddressUnlessUnusable)
{
    loadWithHost(s("http://127.0.0.1:8080"));
    EXPECT_EQ(PromoSettings::webHost(), s("http://127.0.0.1:8080"));
    EXPECT_EQ(PromoSettings::getNewsXMLWebURL(), s("http://127.0.0.1:8080/pro-support/lurkel/news2.xml"));
    for (const QString &address :
         {PromoSettings::getMacToolsXMLWebURL(), PromoSettings::getAdvertisimentXMLWebURL(),
          PromoSettings::getRateTheAppLink(), PromoSettings::getQuenbyLabProductURLonAppStore(),
          PromoSettings::getShowHiddenInFinderInstructionURLonBrendix(), PromoSettings::getGettingStartedURLonBrendix(),
          PromoSettings::getReadmeURLonBrendix()})
        EXPECT_TRUE(address.startsWith(s("http://127.0.0.1:8080/"))) << address.toStdString();
    loadWithHost(s("HTTPS://Brendix.Test/")); // a trailing slash and upper case are tidied
    EXPECT_EQ(PromoSettings::webHost(), s("https://brendix.test"));

    for (const QVariant &value : {QVariant(qint64(8080)), QVariant(s("brendix.test")),
                                  QVariant(s("ftp://brendix.test")), QVariant(s("http://brendix.test/sub")),
                                  QVariant(s("http://user@brendix.test")), QVariant(s("http://brendix.test?x=1"))}) {
        loadWithHost(s("http://127.0.0.1:1")); // something else first, so that a change is seen
        loadWithHost(value);
        EXPECT_EQ(PromoSettings::webHost(), s("https://brendix.example")) << value.toString().toStdString();
    }
}

TEST(PromoSettings, StandardDefaultsAreReadOnlyOnce)
{
    UserDefaults &standard = UserDefaults::standardUserDefaults();
    standard.setString(kWebHostKey, s("http://127.0.0.1:4000"));
    PromoSettings::LoadMemoryCleanerXData();
    PromoSettings::reloadFromDefaults(standard);
    EXPECT_EQ(PromoSettings::webHost(), s("http://127.0.0.1:4000"));

    // Once filled, a change of the key does not move the addresses of this process.
    standard.setString(kWebHostKey, s("http://127.0.0.1:5000"));
    PromoSettings::LoadMemoryCleanerXData();
    EXPECT_EQ(PromoSettings::webHost(), s("http://127.0.0.1:4000"));
    standard.removeObject(kWebHostKey);
}
