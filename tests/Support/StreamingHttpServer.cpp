#include "Support/StreamingHttpServer.h"

#include <QFile>
#include <QList>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

namespace {

constexpr qint64 kChunk = 16 * 1024;

} // namespace

StreamingHttpServer::StreamingHttpServer(QByteArray prefix, qint64 bodyBytes)
    : m_prefix(std::move(prefix))
    , m_bodyBytes(bodyBytes) {
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(m_listener, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
        ::listen(m_listener, 8) == 0 &&
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        m_port = ntohs(address.sin_port);
    }
    if (::pipe2(m_stop, O_CLOEXEC) == 0) {
        m_thread = std::thread([this] { run(); });
    }
}

StreamingHttpServer::~StreamingHttpServer() {
    if (m_thread.joinable()) {
        const char stop = 0;
        [[maybe_unused]] const ssize_t written = ::write(m_stop[1], &stop, 1);
        m_thread.join();
    }
    for (int fd : {m_listener, m_stop[0], m_stop[1]}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

QString StreamingHttpServer::url(const QString& path) const {
    return QStringLiteral("http://127.0.0.1:") + QString::number(m_port) + path;
}

bool StreamingHttpServer::wait(int fd, short events) const {
    pollfd fds[2] = {{fd, events, 0}, {m_stop[0], POLLIN, 0}};
    while (::poll(fds, 2, -1) < 0) {
        if (errno != EINTR) {
            return false;
        }
    }
    return fds[1].revents == 0;
}

void StreamingHttpServer::setServing(bool serving) {
    {
        const std::lock_guard lock(m_servingMutex);
        m_serving = serving;
    }
    m_servingChanged.notify_all();
}

bool StreamingHttpServer::waitUntilIdle(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_servingMutex);
    return m_servingChanged.wait_for(lock, timeout, [this] { return !m_serving; });
}

void StreamingHttpServer::run() {
    while (wait(m_listener, POLLIN)) {
        const int connection = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (connection >= 0) {
            setServing(true);
            serve(connection);
            ::close(connection);
            setServing(false);
        }
    }
}

qint64 StreamingHttpServer::readAhead() {
    // The third figure of tcp_rmem is how far the kernel lets a receive buffer grow.
    qint64 kernel = qint64(6) << 20;
    QFile rmem(QStringLiteral("/proc/sys/net/ipv4/tcp_rmem"));
    if (rmem.open(QIODevice::ReadOnly)) {
        const QList<QByteArray> figures = rmem.readAll().simplified().split(' ');
        bool ok = false;
        const qint64 most = figures.size() == 3 ? figures.at(2).toLongLong(&ok) : 0;
        if (ok) {
            kernel = most;
        }
    }
    return std::max(kernel, qint64(16) << 20) + (qint64(2) << 20);
}

void StreamingHttpServer::serve(int connection) {
    // A small send buffer, so that what was sent is close to what the client took.
    const int sendBuffer = 16 * 1024;
    ::setsockopt(connection, SOL_SOCKET, SO_SNDBUF, &sendBuffer, sizeof sendBuffer);
    QByteArray request;
    while (!request.contains("\r\n\r\n") && request.size() < 65536) {
        char buffer[4096];
        if (!wait(connection, POLLIN)) {
            return;
        }
        const ssize_t got = ::recv(connection, buffer, sizeof buffer, 0);
        if (got <= 0 && !(got < 0 && (errno == EAGAIN || errno == EINTR))) {
            return;
        }
        request.append(buffer, std::max<ssize_t>(got, 0));
    }
    ++m_requests;
    QByteArray pending = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n";
    qint64 body = 0;
    bool ended = false;
    while (true) {
        if (pending.isEmpty()) {
            if (ended) {
                return;
            }
            const qint64 size = std::min(kChunk, m_bodyBytes - body);
            QByteArray chunk = body == 0 ? m_prefix.left(int(size)) : QByteArray();
            chunk.append(QByteArray(int(size - chunk.size()), 'x'));
            body += size;
            pending = QByteArray::number(size, 16) + "\r\n" + chunk + "\r\n";
            if (body >= m_bodyBytes) {
                pending += "0\r\n\r\n";
                ended = true;
            }
        }
        if (!wait(connection, POLLOUT)) {
            return;
        }
        const ssize_t put = ::send(connection, pending.constData(), size_t(pending.size()), MSG_NOSIGNAL);
        if (put < 0) {
            if (errno == EAGAIN || errno == EINTR) {
                continue;
            }
            return; // the client closed the connection
        }
        m_sent += put;
        pending.remove(0, qsizetype(put));
    }
}
