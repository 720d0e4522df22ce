#pragma once

#include "Updater.h"

#include <QByteArray>
#include <QHostAddress>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

#include <memory>

namespace lurkel::test {

// A one-route HTTP server on the loopback address: answers every request with the body
// given (or not at all), and keeps the request line of each.
class FeedServer {
public:
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
                    requestLines.append(received->left(received->indexOf("\r\n")));
                    received->clear();
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
    // The host as "http://127.0.0.1:PORT" (what the web-host setting takes).
    QString host() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()); }
    QUrl url() const
    {
        return QUrl(
            QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(QLatin1String(Updater::kFeedPath)));
    }

    QByteArray body;
    QByteArray status = "200 OK";
    bool answer = true;
    int requests = 0;
    QList<QByteArray> requestLines; // "GET /path?query HTTP/1.1", one per request

private:
    QTcpServer m_server;
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
