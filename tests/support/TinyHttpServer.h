#pragma once
// A web server on 127.0.0.1 for tests of the real web view.

#include <QHash>
#include <QObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace tallowmere::test {

// Answers GET requests from a fixed table; a route may answer late.
class TinyHttpServer : public QObject {
public:
    struct Route {
        int status = 200;
        QByteArray body;
        int delayMs = 0;
    };

    bool start()
    {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection())
                serve(socket);
        });
        return m_server.listen(QHostAddress::LocalHost, 0);
    }
    QString url(const QString& path) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path);
    }
    QHash<QString, Route> routes;

private:
    void serve(QTcpSocket* socket)
    {
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
            QByteArray& request = m_pending[socket];
            request += socket->readAll();
            if (!request.contains("\r\n\r\n"))
                return;
            const QString path = QString::fromLatin1(request.split(' ').value(1));
            m_pending.remove(socket);
            const Route route = routes.value(path, Route{404, "<p>not here</p>", 0});
            QTimer::singleShot(route.delayMs, socket, [socket, route] {
                socket->write("HTTP/1.1 " + QByteArray::number(route.status) + " X\r\n"
                              "Content-Type: text/html; charset=utf-8\r\n"
                              "Content-Length: " + QByteArray::number(route.body.size()) + "\r\n"
                              "Connection: close\r\n\r\n" + route.body);
                socket->disconnectFromHost();
            });
        });
    }
    QTcpServer m_server;
    QHash<QTcpSocket*, QByteArray> m_pending;
};

} // namespace tallowmere::test
