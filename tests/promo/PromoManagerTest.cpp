#include "PromoManager.h"
#include "PromoSettings.h"
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

TEST(PromoManagerIdentity, ReleaseVersionWithBuildNumber)
{
    EXPECT_EQ(PromoManager::getAppReleaseVersionWithBuildNumber(s("3.1"), s("3.1")), s("3.1"));
    EXPECT_EQ(PromoManager::getAppReleaseVersionWithBuildNumber(s("3.1"), s("310")), s("3.1 (310)"));
    EXPECT_EQ(PromoManager::getAppReleaseVersionWithBuildNumber(s("3.1"), QString()), s("3.1"));
    EXPECT_EQ(PromoManager::getAppReleaseVersionWithBuildNumber(QString(), s("310")), QString());
}

TEST(PromoManagerIdentity, VersionWithNumbersCount)
{
    EXPECT_EQ(PromoManager::buildAppVersionWithNumbersCount(2, s("3")), s("3"));
    EXPECT_EQ(PromoManager::buildAppVersionWithNumbersCount(2, s("3.1.4")), s("3.1"));
    EXPECT_EQ(PromoManager::buildAppVersionWithNumbersCount(1, s("10.13.2")), s("10"));
    EXPECT_EQ(PromoManager::buildAppVersionWithNumbersCount(9, s("3.1.4")), s("3.1.4"));
    EXPECT_EQ(PromoManager::buildAppVersionWithNumbersCount(0, s("3.1.4")), QString());
    EXPECT_EQ(PromoManager::buildAppVersionWith1Number(),
              PromoManager::getAppVersion().section(QLatin1Char('.'), 0, 0));
}

TEST(PromoManagerIdentity, CampaignQueryIsAppendedBlindly)
{
    EXPECT_EQ(PromoManager::utmSource(), s("Lurkel"));
    EXPECT_EQ(PromoManager::appendUtmSourceAndUtmFromAppTo(s("https://brendix.example/page")),
              s("https://brendix.example/page?utm_source=Lurkel&utm_medium=from%20app"));
    // An address that already has a query gets a second "?".
    EXPECT_EQ(PromoManager::appendUtmSourceAndUtmFromAppTo(s("https://brendix.example/p?a=1")),
              s("https://brendix.example/p?a=1?utm_source=Lurkel&utm_medium=from%20app"));
}

TEST(PromoManager, GetInstanceIsOneObjectAndLoadsTheAddresses)
{
    PromoManager &first = PromoManager::GetInstance();
    EXPECT_EQ(&first, &PromoManager::GetInstance());
    EXPECT_TRUE(lurkel::PromoSettings::getNewsXMLWebURL().endsWith(s("/pro-support/lurkel/news2.xml")));
}

TEST(UrlOpener, OpensOnlyAddressesThatParse)
{
    lurkel::test::RecordingUrlOpener opener;
    EXPECT_TRUE(opener.openAddress(s("https://brendix.example/a?utm_medium=from%20app#finder")));
    EXPECT_FALSE(opener.openAddress(s("http://exa mple.com/")));
    EXPECT_FALSE(opener.openAddress(s("no scheme at all")));
    EXPECT_EQ(opener.openedAddresses(), QStringList{s("https://brendix.example/a?utm_medium=from%20app#finder")});
}
