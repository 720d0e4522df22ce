#include "PromoManager.h"
#include "RecordingUrlOpener.h"

#include "QtPrinters.h"

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
