#include "Updater.h"
#include "EventWait.h"
#include "ManualClock.h"

#include <QTcpServer>
#include <QTcpSocket>

#include <gtest/gtest.h>

using namespace lurkel;
using test::waitUntil;

namespace {

// A one-route HTTP server on the loopback address: answers every request with the body
// given (or not at all).
class FeedServer {
public:
    FeedServer()
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, [this]() {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket]() {
                    m_request += socket->readAll();
                    if (!m_request.contains("\r\n\r\n")) return;
                    ++requests;
                    if (!answer) return; // keeps the connection open and silent
                    const QByteArray head = "HTTP/1.1 " + status +
                                            "\r\nContent-Type: application/rss+xml\r\n"
                                            "Content-Length: " +
                                            QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n";
                    socket->write(head + body);
                    socket->disconnectFromHost();
                });
            }
        });
    }
    QUrl url() const
    {
        return QUrl(
            QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(QLatin1String(Updater::kFeedPath)));
    }

    QByteArray body;
    QByteArray status = "200 OK";
    bool answer = true;
    int requests = 0;

private:
    QTcpServer m_server;
    QByteArray m_request;
};

QByteArray feed(const QString &items)
{
    return QStringLiteral(R"(<?xml version="1.0" encoding="utf-8"?>
<rss version="2.0" xmlns:sparkle="http://www.andymatuschak.org/xml-namespaces/sparkle">
<channel><title>Lurkel</title>%1</channel></rss>)")
        .arg(items)
        .toUtf8();
}

QString item(const QString &build, const QString &version)
{
    return QStringLiteral(R"(<item><title>Lurkel %2</title>
<sparkle:releaseNotesLink>https://brendix.example/notes/%2.html</sparkle:releaseNotesLink>
<enclosure url="https://brendix.example/download/Lurkel-%2.AppImage" sparkle:version="%1"
 sparkle:shortVersionString="%2" length="1" type="application/octet-stream"/></item>)")
        .arg(build, version);
}

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
