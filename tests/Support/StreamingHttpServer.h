#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

// An HTTP server on 127.0.0.1 that answers every request with one long body, sent in chunks
// without a length from a thread of its own as fast as the client takes it, as a real server
// would. How much it managed to send shows how far a client read before it stopped.
class StreamingHttpServer {
public:
    // The body starts with prefix and is padded to bodyBytes.
    StreamingHttpServer(QByteArray prefix, qint64 bodyBytes);
    // What may be taken from the server ahead of a client that decides to stop reading: its
    // network thread's buffer and the kernel's receive buffer, which grows up to the system's
    // bound while the client is slow to read (on a loaded machine). An endless body is made far
    // longer than this.
    static qint64 readAhead();
    ~StreamingHttpServer();
    StreamingHttpServer(const StreamingHttpServer&) = delete;
    StreamingHttpServer& operator=(const StreamingHttpServer&) = delete;

    QString url(const QString& path) const;
    // Bytes the clients' side took from the server so far, over every request.
    qint64 sent() const { return m_sent.load(); }
    int requests() const { return m_requests.load(); }
    // Waits until no request is being answered: a client that stopped may take a moment to close
    // its connection, and what the server sends meanwhile still counts for that request.
    bool waitUntilIdle(std::chrono::milliseconds timeout);

private:
    void run();
    void serve(int connection);
    void setServing(bool serving);
    // Waits until fd is ready for events, or the server stops (false).
    bool wait(int fd, short events) const;

    const QByteArray m_prefix;
    const qint64 m_bodyBytes;
    int m_listener = -1;
    int m_stop[2] = {-1, -1};
    quint16 m_port = 0;
    std::atomic<qint64> m_sent{0};
    std::atomic<int> m_requests{0};
    std::mutex m_servingMutex;
    std::condition_variable m_servingChanged;
    bool m_serving = false;
    std::thread m_thread;
};
