#pragma once

#include "Updater.h"

#include <QByteArray>
#include <QHostAddress>
#include <QMap>
#include <QPointer>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

#include <memory>
#include <utility>

namespace lurkel::test {

// An HTTP server on the loopback address. Each path may have a route of its own (status,
// body, whether it answers); other paths get the default answer below. A request that is not
// answered keeps its connection open and silent until answerHeld(). The request line of each
// request is kept.
class FeedServer {
public:
    struct Route {
        QByteArray body;
        QByteArray status = "200 OK";
        bool answer = true;
    };

    FeedServer()
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, [this]() {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                auto received = std::make_shared<QByteArray>();
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, received]() {
                    *received += socket->readAll();
                    if (!received->contains("\r\n\r\n")) return;
                    ++requests;
                    const QByteArray line = received->left(received->indexOf("\r\n"));
                    requestLines.append(line);
                    received->clear();
                    const QByteArray path = pathOf(line);
                    if (!routeFor(path).answer) {
                        m_held.append({socket, path}); // keeps the connection open and silent
                        return;
                    }
                    respond(socket, routeFor(path));
                });
            }
        });
    }
    // The host as "http://127.0.0.1:PORT" (what the web-host setting takes).
    QString host() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()); }
    QUrl url() const { return QUrl(host() + QLatin1String(Updater::kFeedPath)); }

    // Answers the requests held so far with what their routes say now.
    void answerHeld()
    {
        const auto held = std::exchange(m_held, {});
        for (const auto &[socket, path] : held) {
            if (socket) respond(socket, routeFor(path));
        }
    }
    // How many requests asked for path (without query).
    int requestsFor(const QByteArray &path) const
    {
        int count = 0;
        for (const QByteArray &line : requestLines)
            count += pathOf(line) == path ? 1 : 0;
        return count;
    }

    // The default answer, for paths without a route.
    QByteArray body;
    QByteArray status = "200 OK";
    bool answer = true;
    QMap<QByteArray, Route> routes; // by path, without query

    int requests = 0;
    QList<QByteArray> requestLines; // "GET /path?query HTTP/1.1", one per request

private:
    static QByteArray pathOf(const QByteArray &requestLine)
    {
        const QList<QByteArray> parts = requestLine.split(' ');
        return parts.size() < 2 ? QByteArray() : parts[1].split('?').front();
    }
    Route routeFor(const QByteArray &path) const { return routes.value(path, Route{body, status, answer}); }
    static void respond(QTcpSocket *socket, const Route &route)
    {
        const QByteArray head = "HTTP/1.1 " + route.status +
                                "\r\nContent-Type: application/octet-stream\r\n"
                                "Content-Length: " +
                                QByteArray::number(route.body.size()) + "\r\nConnection: close\r\n\r\n";
        socket->write(head + route.body);
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
    QList<std::pair<QPointer<QTcpSocket>, QByteArray>> m_held;
};

inline QByteArray feed(const QString &items)
{
    return QStringLiteral(R"(<?xml version="1.0" encoding="utf-8"?>
<rss version="2.0" xmlns:sparkle="http://www.andymatuschak.org/xml-namespaces/sparkle">
<channel><title>Lurkel</title>%1</channel></rss>)")
        .arg(items)
        .toUtf8();
}

inline QString item(const QString &build, const QString &version)
{
    return QStringLiteral(R"(<item><title>Lurkel %2</title>
<sparkle:releaseNotesLink>https://brendix.example/notes/%2.html</sparkle:releaseNotesLink>
<enclosure url="https://brendix.example/download/Lurkel-%2.AppImage" sparkle:version="%1"
 sparkle:shortVersionString="%2" length="1" type="application/octet-stream"/></item>)")
        .arg(build, version);
}

} // namespace lurkel::test
