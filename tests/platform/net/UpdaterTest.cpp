#include "Updater.h"
#include "EventWait.h"
#include "FeedServer.h"
#include "ManualClock.h"

#include <gtest/gtest.h>

using namespace lurkel;
using test::feed;
using test::FeedServer;
using test::item;
using test::waitUntil;

namespace {

UpdateCheckResult check(Updater &updater, const QUrl &url)
{
    std::optional<UpdateCheckResult> result;
    int calls = 0;
    updater.checkForUpdates(url, [&](const UpdateCheckResult &r) {
        result = r;
        ++calls;
    });
    EXPECT_TRUE(waitUntil([&]() { return result.has_value(); }));
    test::drainMainQueue();
    EXPECT_EQ(calls, 1);
    return result.value_or(UpdateCheckResult{});
}

} // namespace

TEST(Updater, NewerEqualAndOlderFeeds)
{
    FeedServer server;
    Updater updater;
    updater.setCurrentVersion(QStringLiteral("100"), QStringLiteral("1.0.0"));

    server.body =
        feed(item(QStringLiteral("99"), QStringLiteral("0.9")) + item(QStringLiteral("120"), QStringLiteral("1.2.0")) +
             item(QStringLiteral("110"), QStringLiteral("1.1.0")));
    UpdateCheckResult r = check(updater, server.url());
    EXPECT_EQ(r.kind, UpdateCheckResult::Kind::NewerVersion);
    EXPECT_EQ(r.version, QStringLiteral("1.2.0"));
    EXPECT_EQ(r.downloadUrl, QUrl(QStringLiteral("https://brendix.example/download/Lurkel-1.2.0.AppImage")));
    EXPECT_TRUE(r.message.contains(QStringLiteral("1.2.0")));

    server.body = feed(item(QStringLiteral("100"), QStringLiteral("1.0.0")));
    r = check(updater, server.url());
    EXPECT_EQ(r.kind, UpdateCheckResult::Kind::UpToDate);
    EXPECT_TRUE(r.message.startsWith(QStringLiteral("You're up to date")));
    EXPECT_EQ(server.requests, 2);
}

TEST(Updater, MalformedFeedsAndServerErrorsAreClearFailures)
{
    FeedServer server;
    Updater updater;
    for (const QByteArray &body : {QByteArray("<rss><channel><item>"), QByteArray("not xml at all"), feed(QString())}) {
        server.body = body;
        const UpdateCheckResult r = check(updater, server.url());
        EXPECT_EQ(r.kind, UpdateCheckResult::Kind::Failed) << body.constData();
        EXPECT_FALSE(r.message.isEmpty());
    }
    server.status = "404 Not Found";
    server.body = "gone";
    EXPECT_EQ(check(updater, server.url()).kind, UpdateCheckResult::Kind::Failed);
    EXPECT_EQ(check(updater, QUrl(QStringLiteral("ftp://example/feed"))).kind, UpdateCheckResult::Kind::Failed);
}

TEST(Updater, AServerThatNeverAnswersEndsAtTheTimeout)
{
    FeedServer server;
    server.answer = false;
    ManualClock clock;
    Updater updater;
    updater.setClock(clock);
    updater.setTimeoutMs(15000);
    std::optional<UpdateCheckResult> result;
    updater.checkForUpdates(server.url(), [&](const UpdateCheckResult &r) { result = r; });
    ASSERT_TRUE(waitUntil([&]() { return server.requests == 1; })); // the request is in flight
    clock.advance(14999);
    EXPECT_FALSE(result.has_value());
    EXPECT_TRUE(updater.isChecking());
    clock.advance(1);
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->kind, UpdateCheckResult::Kind::Failed);
    EXPECT_TRUE(result->message.contains(QStringLiteral("did not answer")));
    EXPECT_FALSE(updater.isChecking());
    // the next check works again
    server.answer = true;
    server.body = feed(item(QStringLiteral("1"), QStringLiteral("0.1")));
    EXPECT_EQ(check(updater, server.url()).kind, UpdateCheckResult::Kind::UpToDate);
}

TEST(Updater, VersionOrder)
{
    EXPECT_LT(Updater::compareVersions(QStringLiteral("1.9"), QStringLiteral("1.10")), 0);
    EXPECT_EQ(Updater::compareVersions(QStringLiteral("1.0"), QStringLiteral("1.0.0")), 0);
    EXPECT_GT(Updater::compareVersions(QStringLiteral("2"), QStringLiteral("1.99.99")), 0);
    EXPECT_LT(Updater::compareVersions(QStringLiteral("1.2b"), QStringLiteral("1.2c")), 0);
}
