#include "Support/TestHttpServer.h"

#include "Platform/Clock.h"
#include "Platform/Platform.h"

#include <QHostAddress>
#include <QTcpSocket>

namespace {

// The trickle of one connection, going with its socket.
class Trickle : public QObject {
public:
    using QObject::QObject;
    ClockTimer timer;
    QByteArray rest;
};

} // namespace

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
        m_waiting << socket;
        return;
    }
    if (!r.drop) {
        const qint64 length =
            r.announcedLength >= 0 ? r.announcedLength : r.body.size() + (r.truncate ? 1000 : 0);
        QByteArray head = "HTTP/1.1 " + QByteArray::number(r.status) + " Status\r\nConnection: close\r\n";
        if (!r.unannounced) {
            head += "Content-Length: " + QByteArray::number(length) + "\r\n";
        }
        if (!r.location.isEmpty()) {
            head += "Location: " + r.location + "\r\n";
        }
        if (r.trickle.count() > 0) {
            socket->write(head + "\r\n");
            auto* trickle = new Trickle(socket);
            trickle->rest = r.body;
            trickle->timer = Platform::current().clock->startTimer(r.trickle, true, [socket, trickle] {
                socket->write(trickle->rest.left(1));
                trickle->rest.remove(0, 1);
                if (trickle->rest.isEmpty()) {
                    trickle->timer.cancel();
                    socket->disconnectFromHost();
                }
            });
            m_waiting << socket;
            return;
        }
        socket->write(head + "\r\n" + r.body);
    }
    socket->disconnectFromHost();
}

int TestHttpServer::waiting() const {
    return static_cast<int>(
        std::count_if(m_waiting.begin(), m_waiting.end(), [](const QPointer<QTcpSocket>& s) {
            return s && s->state() == QAbstractSocket::ConnectedState;
        }));
}

void TestHttpServer::closeWaiting() {
    for (const QPointer<QTcpSocket>& socket : std::exchange(m_waiting, {})) {
        if (socket) {
            socket->abort();
            socket->deleteLater();
        }
    }
}
