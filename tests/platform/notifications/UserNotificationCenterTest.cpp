#include "UserNotificationCenter.h"
#include "EventWait.h"
#include "FakeNotificationServer.h"
#include "PrivateBus.h"

#include <QDBusConnection>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace lurkel::test {
namespace {

struct Click {
    QVariantMap userInfo;
    bool hadUserInfo;
};

// A centre on a connection of its own, recording what comes out of it.
class UserNotificationCenterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(PrivateBus::shared().isRunning());
        server = std::make_unique<FakeNotificationServer>();
        ASSERT_TRUE(server->isServing());
        center = makeCenter(QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("center")));
    }
    void TearDown() override
    {
        center.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("center"));
    }

    std::unique_ptr<UserNotificationCenter> makeCenter(const QDBusConnection &bus)
    {
        auto made = std::make_unique<UserNotificationCenter>(bus);
        QObject::connect(made.get(), &UserNotificationCenter::activated, [this](const QVariantMap &info, bool had) {
            clicks.push_back({info, had});
        });
        QObject::connect(made.get(), &UserNotificationCenter::posted, [this](uint id) { ids.push_back(id); });
        QObject::connect(made.get(), &UserNotificationCenter::postFailed, [this](const QString &) { ++failures; });
        return made;
    }

    // Posts and waits until the server has answered with the id.
    uint postAndWait(const QVariantMap &userInfo = {}, const QStringList &extraActions = {})
    {
        const std::size_t before = ids.size();
        center->post(QStringLiteral("Title"), QStringLiteral("Body"), userInfo, extraActions);
        EXPECT_TRUE(waitUntil([&] { return ids.size() > before; }));
        return ids.empty() ? 0 : ids.back();
    }

    // Signals of one sender arrive in order: once a click on a fresh notification is seen,
    // every signal sent before it has been handled.
    void settle()
    {
        const std::size_t before = clicks.size();
        server->click(postAndWait({{QStringLiteral("marker"), true}}));
        ASSERT_TRUE(waitUntil([&] { return clicks.size() > before; }));
        ASSERT_EQ(clicks.size(), before + 1);
        EXPECT_TRUE(clicks.back().userInfo.contains(QStringLiteral("marker")));
        clicks.pop_back();
    }

    std::unique_ptr<FakeNotificationServer> server;
    std::unique_ptr<UserNotificationCenter> center;
    std::vector<Click> clicks;
    std::vector<uint> ids;
    int failures = 0;
};

TEST_F(UserNotificationCenterTest, PostsAsTheApplicationAndAClickReturnsItsUserInfoOnce)
{
    const QVariantMap link{{QStringLiteral("need_open_link"), QStringLiteral("https://example.test/news")}};
    const uint withInfo = postAndWait(link, {QStringLiteral("later"), QStringLiteral("Later")});
    const uint without = postAndWait();
    ASSERT_EQ(server->shown().size(), 2U);
    const FakeNotificationServer::Shown &shown = server->shown().front();
    EXPECT_EQ(shown.appName, QStringLiteral("Lurkel"));
    EXPECT_EQ(shown.appIcon, QStringLiteral("com.brendix.Lurkel-SII"));
    EXPECT_EQ(shown.summary, QStringLiteral("Title"));
    EXPECT_EQ(shown.body, QStringLiteral("Body"));
    EXPECT_EQ(shown.actions, (QStringList{QStringLiteral("default"), QStringLiteral("Open"), QStringLiteral("later"),
                                          QStringLiteral("Later")}));
    EXPECT_EQ(shown.hints.value(QStringLiteral("desktop-entry")).toString(), QStringLiteral("com.brendix.Lurkel-SII"));
    EXPECT_EQ(shown.expireTimeout, -1);
    EXPECT_EQ(server->capabilityQueries(), 1);

    server->click(withInfo, QStringLiteral("later"));
    server->click(withInfo); // kept no longer
    server->click(without);
    ASSERT_TRUE(waitUntil([&] { return clicks.size() >= 2; }));
    settle();
    ASSERT_EQ(clicks.size(), 2U);
    EXPECT_EQ(clicks[0].userInfo, link);
    EXPECT_TRUE(clicks[0].hadUserInfo);
    EXPECT_TRUE(clicks[1].userInfo.isEmpty());
    EXPECT_FALSE(clicks[1].hadUserInfo);
    EXPECT_EQ(center->waitingCount(), 0U);
}

TEST_F(UserNotificationCenterTest, ClicksOnIdsNotOursOrClosedAreIgnored)
{
    const uint id = postAndWait({{QStringLiteral("k"), 1}});
    server->click(id + 100);
    server->close(id);
    server->click(id);
    settle();
    EXPECT_TRUE(clicks.empty());

    // A new server numbers from 1 again: what the old one showed is gone with it.
    postAndWait({{QStringLiteral("k"), 2}});
    server.reset();
    ASSERT_TRUE(waitUntil([&] { return center->waitingCount() == 0; }));
    server = std::make_unique<FakeNotificationServer>();
    ASSERT_TRUE(server->isServing());
    server->click(1);
    settle();
    EXPECT_TRUE(clicks.empty());
    EXPECT_EQ(server->capabilityQueries(), 1);
}

TEST_F(UserNotificationCenterTest, AServerWithoutActionsGetsNone)
{
    server.reset();
    server = std::make_unique<FakeNotificationServer>(QStringList{QStringLiteral("body")});
    ASSERT_TRUE(server->isServing());
    postAndWait({{QStringLiteral("k"), 1}}, {QStringLiteral("later"), QStringLiteral("Later")});
    ASSERT_EQ(server->shown().size(), 1U);
    EXPECT_TRUE(server->shown().front().actions.isEmpty());
}

TEST_F(UserNotificationCenterTest, WithoutAnsweringServerPostsFailAndNothingHangs)
{
    server.reset();
    center->post(QStringLiteral("a"), QStringLiteral("b"));
    center->post(QStringLiteral("a"), QStringLiteral("b"));
    ASSERT_TRUE(waitUntil([&] { return failures == 2; }));

    server = std::make_unique<FakeNotificationServer>();
    server->setSilent(true);
    center->setCallTimeout(1);
    center->post(QStringLiteral("a"), QStringLiteral("b"));
    ASSERT_TRUE(waitUntil([&] { return failures == 3; }));

    auto alone = makeCenter(
        QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"), QStringLiteral("nowhere")));
    alone->post(QStringLiteral("a"), QStringLiteral("b"));
    ASSERT_TRUE(waitUntil([&] { return failures == 4; }));
    EXPECT_TRUE(ids.empty());
    EXPECT_TRUE(clicks.empty());
    alone.reset();
    QDBusConnection::disconnectFromBus(QStringLiteral("nowhere"));
}

} // namespace
} // namespace lurkel::test
