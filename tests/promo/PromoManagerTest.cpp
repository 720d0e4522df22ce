#include "PromoManager.h"

#include "FeedServer.h"
#include "ManualClock.h"
#include "NotificationCenter.h"
#include "PromoSettings.h"
#include "RecordingUrlOpener.h"
#include "SettingsKeys.h"
#include "TestEnvironment.h"
#include "UserDefaults.h"

#include "QtPrinters.h"

#include <QDir>

#include <gtest/gtest.h>

using lurkel::PromoManager;

namespace {

QString s(const char *text)
{
    return QString::fromUtf8(text);
}
} // namespace

TEST(PromoManagerIdentity, VersionHelpersAndCampaignQuery)
{
    EXPECT_EQ(PromoManager::getAppReleaseVersionWithBuildNumber(s("3.1"), s("3.1")), s("3.1"));
    EXPECT_EQ(PromoManager::getAppReleaseVersionWithBuildNumber(s("3.1"), s("310")), s("3.1 (310)"));
    EXPECT_EQ(PromoManager::getAppReleaseVersionWithBuildNumber(s("3.1"), QString()), s("3.1"));
    EXPECT_EQ(PromoManager::getAppReleaseVersionWithBuildNumber(QString(), s("310")), QString());
    const struct {
        int count;
        const char *version, *expected;
    } cases[] = {{2, "3", "3"}, {2, "3.1.4", "3.1"}, {1, "10.13.2", "10"}, {9, "3.1.4", "3.1.4"}, {0, "3.1.4", ""}};
    for (const auto &c : cases)
        EXPECT_EQ(PromoManager::buildAppVersionWithNumbersCount(c.count, s(c.version)), s(c.expected)) << c.version;
    EXPECT_EQ(PromoManager::buildAppVersionWith1Number(),
              PromoManager::getAppVersion().section(QLatin1Char('.'), 0, 0));
    // Appended blindly: an address that already has a query gets a second "?".
    EXPECT_EQ(PromoManager::appendUtmSourceAndUtmFromAppTo(s("https://brendix.example/p?a=1")),
              s("https://brendix.example/p?a=1?utm_source=Lurkel&utm_medium=from%20app"));
}

TEST(UrlOpener, OpensOnlyAddressesThatParse)
{
    lurkel::test::RecordingUrlOpener opener;
    EXPECT_TRUE(opener.openAddress(s("https://brendix.example/a?utm_medium=from%20app#finder")));
    EXPECT_FALSE(opener.openAddress(s("http://exa mple.com/")));
    EXPECT_FALSE(opener.openAddress(s("no scheme at all")));
    EXPECT_EQ(opener.openedAddresses(), QStringList{s("https://brendix.example/a?utm_medium=from%20app#finder")});
}

TEST(PromoManagerTools, ShowsItselfOncePerNewerPackageAndAtMostWeekly)
{
    using namespace lurkel;
    namespace Keys = SettingsKeys;
    const BytePath home = test::TestEnvironment::freshHome();
    UserDefaults defaults(s("test.promo-manager"));
    // The maker's host is a local server that knows no feed.
    test::FeedServer server;
    server.status = "404 Not Found";
    defaults.setString(Keys::kWebHost, server.host());
    PromoSettings::reloadFromDefaults(defaults);
    // A tools package of version 6 in use; the one shown by itself last was 5, a week ago.
    const BytePath cache = home / "cache";
    const auto writePackage = [&cache](int version) {
        const BytePath folder = cache / ("MacTools_v" + std::to_string(version));
        ASSERT_TRUE(QDir().mkpath(folder.displayString()));
        test::writeFile(folder / "mactools.html", "<p>tools</p>");
    };
    writePackage(6);
    const QString prefix = Keys::kPromoMacToolsPrefix;
    defaults.setInteger(prefix + s("version"), 6);
    defaults.setString(prefix + s("file"), s("mactools.html"));
    ManualClock clock;
    defaults.setInteger(Keys::kMacToolsDialogShowedVersion, 5);
    defaults.setObject(Keys::kMacToolsDialogNextShowDate, clock.currentDateTime().addDays(-1));

    NotificationCenter center;
    int shown = 0;
    PromoManagerServices services;
    services.defaults = &defaults;
    services.notificationCenter = &center;
    services.clock = &clock;
    services.showToolsWindow = [&] { ++shown; };
    services.withFeeds = true;
    services.cacheFolder = cache;
    PromoManager manager(std::move(services));
    ASSERT_EQ(manager.macToolsContent().content().version, 6);

    manager.showToolsAutomatically();
    clock.advance(PromoManager::kToolsAutoShowDelayMs - 1);
    EXPECT_EQ(shown, 0);
    clock.advance(1);
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(defaults.integerForKey(Keys::kMacToolsDialogShowedVersion), 6);
    EXPECT_EQ(defaults.objectForKey(Keys::kMacToolsDialogNextShowDate).toDateTime(),
              clock.currentDateTime().addSecs(PromoManager::kToolsAutoShowIntervalSeconds));

    // The same package again, even once the week is over: not by itself.
    clock.advance(std::int64_t{8} * 86400 * 1000);
    manager.showToolsAutomatically();
    clock.advance(PromoManager::kToolsAutoShowDelayMs);
    EXPECT_EQ(shown, 1);
    // A newer one, but within the week: neither.
    defaults.setObject(Keys::kMacToolsDialogNextShowDate, clock.currentDateTime().addDays(3));
    writePackage(7);
    defaults.setInteger(prefix + s("version"), 7);
    manager.showToolsAutomatically();
    clock.advance(PromoManager::kToolsAutoShowDelayMs);
    EXPECT_EQ(shown, 1);

    // Without an advertisement package there is no advertisement; the process's manager is
    // made once.
    EXPECT_FALSE(manager.isCanShowAds());
    EXPECT_EQ(&PromoManager::GetInstance(), &PromoManager::GetInstance());
    PromoSettings::reloadFromDefaults(UserDefaults::standardUserDefaults());
}
