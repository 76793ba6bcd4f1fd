#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

// A small HTTP/1.0 server on 127.0.0.1 for the network tests. Each path
// has a canned response; a response can omit its length (the body then
// ends when the connection closes), redirect, stop half-way, or hold after
// the first half until released.
class LoopbackHttpServer : public QObject
{
public:
    struct Response
    {
        Response(int status = 200, const QByteArray &body = {}, bool announceLength = true)
            : status(status), body(body), announceLength(announceLength)
        {
        }

        int status = 200;
        QByteArray body;
        bool announceLength = true;
        QByteArray location;     // sent as Location: for a redirect
        bool breakOff = false;   // closes after half of the body
        bool holdHalfway = false; // waits for release() after half of the body
    };

    LoopbackHttpServer()
    {
        m_server.listen(QHostAddress::LocalHost);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { answer(socket); });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }

    void serve(const QString &path, const Response &response) { m_responses.insert(path, response); }
    QUrl url(const QString &path) const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path));
    }
    int requestCount(const QString &path) const { return m_requests.count(path); }
    bool isHolding() const { return !m_held.isEmpty(); }
    void release()
    {
        for (const auto &[socket, rest] : std::as_const(m_held)) {
            if (socket) {
                socket->write(rest);
                socket->disconnectFromHost();
            }
        }
        m_held.clear();
    }

    // An address where nothing listens.
    static QUrl closedPortURL()
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost);
        const quint16 port = probe.serverPort();
        probe.close();
        return QUrl(QStringLiteral("http://127.0.0.1:%1/VNL_Versions.xml").arg(port));
    }

private:
    void answer(QTcpSocket *socket)
    {
        QByteArray &request = m_pending[socket];
        request += socket->readAll();
        if (!request.contains("\r\n\r\n"))
            return;
        const QString path = QString::fromLatin1(request.split(' ').value(1));
        m_pending.remove(socket);
        m_requests.append(path);

        const Response response = m_responses.value(path, Response { 404, "not found" });
        QByteArray head = "HTTP/1.0 " + QByteArray::number(response.status) + " Canned\r\n";
        if (response.announceLength)
            head += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
        if (!response.location.isEmpty())
            head += "Location: " + response.location + "\r\n";
        head += "Connection: close\r\n\r\n";
        const qsizetype half = response.body.size() / 2;
        if (response.holdHalfway) {
            socket->write(head + response.body.left(half));
            m_held.append({ socket, response.body.mid(half) });
            return;
        }
        socket->write(head + (response.breakOff ? response.body.left(half) : response.body));
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
    QHash<QString, Response> m_responses;
    QHash<QTcpSocket *, QByteArray> m_pending;
    QList<QString> m_requests;
    QList<std::pair<QPointer<QTcpSocket>, QByteArray>> m_held;
};
