#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTcpServer>

#include <chrono>
#include <functional>

// A small HTTP server on 127.0.0.1 for tests of network clients: each path answers with scripted
// responses (one per request, the last one repeating) or from a handler that reads the request's
// query, and every requested path is recorded. A response can also be held back or trickled
// out on the current platform's clock, for clients that must give up on a slow server.
class TestHttpServer : public QObject {
public:
    struct Response {
        int status = 200;
        QByteArray body;
        // Closes the connection without answering.
        bool drop = false;
        // Announces more than the body, so the transfer breaks off.
        bool truncate = false;
        // Keeps the connection open without answering, for as long as the server lives.
        bool hold = false;
        // Sends the head and then one byte of the body every interval of the platform's clock.
        std::chrono::milliseconds trickle{0};
        // The length announced instead of the body's own; -1 announces the body's.
        qint64 announcedLength = -1;
        // Announces no length: the body ends when the connection does.
        bool unannounced = false;
        QByteArray location;

        static Response ok(QByteArray body, int status = 200) {
            Response r;
            r.status = status;
            r.body = std::move(body);
            return r;
        }
        static Response dropped() {
            Response r;
            r.drop = true;
            return r;
        }
        static Response held() {
            Response r;
            r.hold = true;
            return r;
        }
        static Response truncated(QByteArray body) {
            Response r = ok(std::move(body));
            r.truncate = true;
            return r;
        }
        static Response trickled(QByteArray body, std::chrono::milliseconds interval) {
            Response r = ok(std::move(body));
            r.trickle = interval;
            return r;
        }
        static Response announcing(QByteArray body, qint64 length) {
            Response r = ok(std::move(body));
            r.announcedLength = length;
            return r;
        }
        static Response withoutLength(QByteArray body) {
            Response r = ok(std::move(body));
            r.unannounced = true;
            return r;
        }
        static Response redirect(QByteArray location) {
            Response r = ok({}, 302);
            r.location = std::move(location);
            return r;
        }
    };

    TestHttpServer();

    QString url(const QString& path) const;
    void route(const QString& path, QList<Response> responses) {
        m_handlers.remove(path);
        m_routes.insert(path, std::move(responses));
    }
    void route(const QString& path, const QByteArray& body) { route(path, {Response::ok(body)}); }
    // Every request of path is answered by handler, which gets the path with its query.
    void route(const QString& path, std::function<Response(const QString& request)> handler) {
        m_handlers.insert(path, std::move(handler));
    }
    // The requested paths (with their query), in order.
    const QStringList& requests() const { return m_requests; }
    int count(const QString& path) const { return static_cast<int>(m_requests.count(path)); }
    // Connections still open that are held or trickled: the client waits on the server's clock.
    int waiting() const;
    // Closes the connections that are held or trickled.
    void closeWaiting();

private:
    void serve(QTcpSocket* socket);

    QTcpServer m_server;
    QHash<QString, QList<Response>> m_routes;
    QHash<QString, std::function<Response(const QString&)>> m_handlers;
    QStringList m_requests;
    QList<QPointer<QTcpSocket>> m_waiting;
};
