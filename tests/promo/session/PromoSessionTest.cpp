// The promotion manager as the running application has it, against a local server playing
// the maker's host and a notification server on the private bus: news arrive, are
// announced, and a click on the announcement opens what it carries.
#include "PromoSession.h"

#include "EventWait.h"
#include "FakeNotificationServer.h"
#include "FeedServer.h"
#include "HTMLDownloader.h"
#include "ManualClock.h"
#include "NewsManager.h"
#include "NotificationCenter.h"
#include "PrivateBus.h"
#include "PromoNotifications.h"
#include "PromoSettings.h"
#include "RecordingUrlOpener.h"
#include "SettingsKeys.h"
#include "TestEnvironment.h"
#include "TestPackages.h"
#include "UserDefaults.h"
#include "UserNotificationCenter.h"

#include "QtPrinters.h"

#include <QDBusConnection>

#include <gtest/gtest.h>

#include <memory>

namespace lurkel::test {
namespace {

class PromoSessionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(PrivateBus::shared().isRunning());
        home = TestEnvironment::freshHome();
        notificationServer = std::make_unique<FakeNotificationServer>();
        ASSERT_TRUE(notificationServer->isServing());
        defaults.setString(SettingsKeys::kWebHost, host.host());
        PromoSettings::reloadFromDefaults(defaults);
        session = std::make_unique<PromoSession>(std::make_unique<UserNotificationCenter>(
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("promo-session"))));
        PromoManagerServices services = session->services();
        services.defaults = &defaults;
        services.notificationCenter = &center;
        services.clock = &clock;
        services.urlOpener = &opener;
        services.openApplication = [this](const QString &id) {
            started << id;
            return true;
        };
        services.cacheFolder = home / "cache";
        manager = std::make_unique<PromoManager>(std::move(services));
        session->attach(*manager);
    }
    void TearDown() override
    {
        manager.reset();
        session.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("promo-session"));
        PromoSettings::reloadFromDefaults(UserDefaults::standardUserDefaults());
    }

    // The notification server's newest notification, once it has one more than before.
    const FakeNotificationServer::Shown *waitForNotification(std::size_t before)
    {
        if (!waitUntil([&] { return notificationServer->shown().size() > before; })) return nullptr;
        return &notificationServer->shown().back();
    }

    BytePath home;
    FeedServer host;
    std::unique_ptr<FakeNotificationServer> notificationServer;
    UserDefaults defaults{QStringLiteral("test.promo-session")};
    NotificationCenter center;
    ManualClock clock;
    RecordingUrlOpener opener;
    QStringList started;
    std::unique_ptr<PromoSession> session;
    std::unique_ptr<PromoManager> manager;
};

TEST_F(PromoSessionTest, FreshNewsAreAnnouncedOnceAndTheClickOpensTheNewsPage)
{
    host.routes["/pro-support/lurkel/news2.xml"] = {
        R"(<?xml version="1.0"?><news><version>3</version><majorVersion>0</majorVersion>)"
        R"(<url>/packages/news-3.zip</url><width>420</width><height>300</height></news>)",
        "200 OK", true};
    host.routes["/packages/news-3.zip"] = {makePackage(PackageFormat::Zip, {{"news2.html", "<h1>What is new</h1>"}}),
                                           "200 OK", true};

    NewsManager *news = manager->newsManager();
    ASSERT_NE(news, nullptr);
    EXPECT_FALSE(news->hasFreshNews()); // the built-in page, and the feed asked for now
    EXPECT_TRUE(news->isNewsContentEmbedded());
    clock.advance(HTMLDownloader::kFirstCheckDelayMs);
    const FakeNotificationServer::Shown *shown = waitForNotification(0);
    ASSERT_NE(shown, nullptr);
    EXPECT_TRUE(news->hasFreshNews());
    EXPECT_FALSE(news->isNewsContentEmbedded());
    EXPECT_EQ(news->contentSize(), QSize(420, 300));
    EXPECT_EQ(shown->summary, QStringLiteral("News from Lurkel"));

    // The click opens the news page on the maker's site.
    notificationServer->click(shown->id);
    ASSERT_TRUE(waitUntil([&] { return !opener.opened.isEmpty(); }));
    EXPECT_EQ(
        opener.openedAddresses(),
        QStringList{host.host() + QStringLiteral("/pro-support/lurkel/news/?utm_source=Lurkel&utm_medium=from%20app")});

    // The same news changed again are not announced twice: the next notification the
    // server sees is the one posted after it.
    center.post(NewsManager::NewsHtmlChangedNotificationName());
    session->notifications().post(QStringLiteral("marker"), QString());
    const FakeNotificationServer::Shown *next = waitForNotification(1);
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(next->summary, QStringLiteral("marker"));
}

TEST_F(PromoSessionTest, ClicksBringThePanelForwardOrStartTheNamedApplication)
{
    int panelRequests = 0;
    center.addObserver(QStringLiteral("ShowMainWindowAndMakeActive"), {},
                       [&](const Notification &) { ++panelRequests; });
    const auto post = [this](const QVariantMap &userInfo) {
        const std::size_t before = notificationServer->shown().size();
        session->notifications().post(QStringLiteral("Lurkel"), QStringLiteral("body"), userInfo);
        const FakeNotificationServer::Shown *shown = waitForNotification(before);
        EXPECT_NE(shown, nullptr);
        if (shown != nullptr) notificationServer->click(shown->id);
    };

    post({});
    ASSERT_TRUE(waitUntil([&] { return panelRequests == 1; }));
    post({{PromoNotifications::KEY_NEED_OPEN_BUNDLE(), QStringLiteral("org.example.Tool.desktop")}});
    ASSERT_TRUE(waitUntil([&] { return !started.isEmpty(); }));
    EXPECT_EQ(started, QStringList{QStringLiteral("org.example.Tool.desktop")});
    // A link wins over an application; neither opens the panel.
    post({{PromoNotifications::KEY_NEED_OPEN_LINK(), QStringLiteral("https://brendix.example/x")},
          {PromoNotifications::KEY_NEED_OPEN_BUNDLE(), QStringLiteral("org.example.Other.desktop")}});
    ASSERT_TRUE(waitUntil([&] { return !opener.opened.isEmpty(); }));
    EXPECT_EQ(opener.openedAddresses(), QStringList{QStringLiteral("https://brendix.example/x")});
    EXPECT_EQ(started.size(), 1);
    EXPECT_EQ(panelRequests, 1);
}

} // namespace
} // namespace lurkel::test
