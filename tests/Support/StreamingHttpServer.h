#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <thread>

// An HTTP server on 127.0.0.1 that answers every request with one long body, sent in chunks
// without a length from a thread of its own as fast as the client takes it, as a real server
// would. How much it managed to send shows how far a client read before it stopped.
class StreamingHttpServer {
public:
    // The body starts with prefix and is padded to bodyBytes.
    StreamingHttpServer(QByteArray prefix, qint64 bodyBytes);
    ~StreamingHttpServer();
    StreamingHttpServer(const StreamingHttpServer&) = delete;
    StreamingHttpServer& operator=(const StreamingHttpServer&) = delete;

    QString url(const QString& path) const;
    // Bytes the clients' side took from the server so far, over every request.
    qint64 sent() const { return m_sent.load(); }
    int requests() const { return m_requests.load(); }

private:
    void run();
    void serve(int connection);
    // Waits until fd is ready for events, or the server stops (false).
    bool wait(int fd, short events) const;

    const QByteArray m_prefix;
    const qint64 m_bodyBytes;
    int m_listener = -1;
    int m_stop[2] = {-1, -1};
    quint16 m_port = 0;
    std::atomic<qint64> m_sent{0};
    std::atomic<int> m_requests{0};
    std::thread m_thread;
};
