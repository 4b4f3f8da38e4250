#include "App/InstanceSocket.h"

#include <QCoreApplication>
#include <QList>
#include <QLocalSocket>
#include <QPointer>

#include <coroutine>
#include <memory>

#include <QFile>

#include <cerrno>
#include <cstring>

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// One wait: whichever comes first, a signal of the socket or the clock's timer, wakes it; the
// coroutine is resumed from a queued call, never from inside the socket's own signal.
struct SocketEventAwaiter {
    struct State {
        std::coroutine_handle<> handle;
        QList<QMetaObject::Connection> connections;
        ClockTimer timer;
        bool woken = false;
        bool timedOut = false;
    };

    SocketEventAwaiter(QLocalSocket* socket, Clock* clock, Clock::Duration left)
        : socket(socket)
        , clock(clock)
        , left(left)
        , state(std::make_shared<State>()) {}

    QPointer<QLocalSocket> socket;
    Clock* clock;
    Clock::Duration left;
    std::shared_ptr<State> state;

    bool await_ready() const noexcept { return false; }
    void await_suspend(std::coroutine_handle<> handle) {
        state->handle = handle;
        const std::weak_ptr<State> weak = state;
        const auto wake = [weak](bool timedOut) {
            const std::shared_ptr<State> s = weak.lock();
            if (!s || s->woken) {
                return;
            }
            s->woken = true;
            s->timedOut = timedOut;
            for (const QMetaObject::Connection& c : s->connections) {
                QObject::disconnect(c);
            }
            QMetaObject::invokeMethod(
                QCoreApplication::instance(), [s] { s->handle.resume(); }, Qt::QueuedConnection);
        };
        const auto news = [wake] { wake(false); };
        QLocalSocket* s = socket.data();
        QObject* context = QCoreApplication::instance();
        state->connections = {
            QObject::connect(s, &QLocalSocket::readyRead, context, news),
            QObject::connect(s, &QLocalSocket::bytesWritten, context, news),
            QObject::connect(s, &QLocalSocket::stateChanged, context, news),
            QObject::connect(s, &QLocalSocket::errorOccurred, context, news),
            QObject::connect(s, &QObject::destroyed, context, news),
        };
        state->timer = clock->startTimer(left, false, [wake] { wake(true); });
    }
    bool await_resume() {
        state->timer.cancel();
        return !state->timedOut;
    }
};

} // namespace

QCoro::Task<bool> InstanceSocket::nextEvent(QLocalSocket* socket, Clock& clock, Clock::TimePoint deadline) {
    const auto left = std::chrono::duration_cast<Clock::Duration>(deadline - clock.now());
    if (!socket || left <= Clock::Duration::zero()) {
        co_return false;
    }
    SocketEventAwaiter awaiter{socket, &clock, left};
    co_return co_await awaiter;
}

std::optional<uid_t> InstanceSocket::peerUser(const QLocalSocket& socket) {
    const qintptr descriptor = socket.socketDescriptor();
    if (descriptor < 0) {
        return std::nullopt;
    }
    ucred credentials{};
    socklen_t length = sizeof(credentials);
    if (getsockopt(int(descriptor), SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0 ||
        length != sizeof(credentials)) {
        return std::nullopt;
    }
    return credentials.uid;
}

bool InstanceSocket::peerIsThisUser(const QLocalSocket& socket) {
    const std::optional<uid_t> peer = peerUser(socket);
    return peer && *peer == geteuid();
}

bool InstanceSocket::peerHasHungUp(const QLocalSocket& socket) {
    const qintptr descriptor = socket.socketDescriptor();
    if (socket.state() != QLocalSocket::ConnectedState || descriptor < 0) {
        return true;
    }
    // A hang-up is told apart from a sender that only shut its sending side (and still reads).
    pollfd events{int(descriptor), 0, 0};
    return poll(&events, 1, 0) > 0 && (events.revents & (POLLHUP | POLLERR)) != 0;
}

void InstanceSocket::removeIfDeadSocketOfThisUser(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    struct stat status {};
    sockaddr_un address{};
    if (lstat(name.constData(), &status) != 0 || !S_ISSOCK(status.st_mode) || status.st_uid != geteuid() ||
        name.size() >= qsizetype(sizeof(address.sun_path))) {
        return;
    }
    const int probe = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (probe < 0) {
        return;
    }
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    const int connected = ::connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof(address));
    // Refused: nobody listens. A full backlog (EAGAIN) is a listener all the same.
    const bool dead = connected != 0 && errno == ECONNREFUSED;
    close(probe);
    if (dead) {
        unlink(name.constData());
    }
}
