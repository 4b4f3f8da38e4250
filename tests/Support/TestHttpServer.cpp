#include "Support/TestHttpServer.h"

#include <QHostAddress>
#include <QTcpSocket>

TestHttpServer::TestHttpServer() {
    m_server.listen(QHostAddress::LocalHost);
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

QString TestHttpServer::url(const QString& path) const {
    return QStringLiteral("http://127.0.0.1:") + QString::number(m_server.serverPort()) + path;
}

void TestHttpServer::serve(QTcpSocket* socket) {
    QByteArray request = socket->property("request").toByteArray() + socket->readAll();
    socket->setProperty("request", request);
    if (!request.contains("\r\n\r\n")) {
        return;
    }
    const QString path = QString::fromLatin1(request.left(request.indexOf("\r\n")).split(' ').value(1));
    m_requests << path;
    const QString route = path.section(u'?', 0, 0);
    QList<Response>& queue = m_routes[route];
    const auto handler = m_handlers.constFind(route);
    const Response r = handler != m_handlers.cend() ? (*handler)(path)
                       : queue.isEmpty()            ? Response::ok("not found", 404)
                       : queue.size() > 1           ? queue.takeFirst()
                                                    : queue.first();
    if (r.hold) {
        return;
    }
    if (!r.drop) {
        QByteArray head = "HTTP/1.1 " + QByteArray::number(r.status) + " Status\r\nConnection: close\r\n" +
                          "Content-Length: " + QByteArray::number(r.body.size() + (r.truncate ? 1000 : 0)) +
                          "\r\n";
        if (!r.location.isEmpty()) {
            head += "Location: " + r.location + "\r\n";
        }
        socket->write(head + "\r\n" + r.body);
    }
    socket->disconnectFromHost();
}
