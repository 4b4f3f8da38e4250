#include "App/SingleInstance.h"

#include "App/InstanceSocket.h"
#include "App/InstanceSocketFolder.h"
#include "Platform/Diagnostics.h"
#include "Platform/Platform.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QPointer>

namespace {

using Answer = SingleInstance::Answer;

// How long a reply may take to leave before the connection is dropped all the same.
constexpr std::chrono::seconds kReplyDrainTimeout{5};

void drop(QLocalSocket* socket) {
    socket->abort();
    socket->deleteLater();
}

} // namespace

SingleInstance::SingleInstance(QString serverName, std::shared_ptr<Clock> clock, QObject* parent)
    : QObject(parent)
    , m_serverName(std::move(serverName))
    , m_clock(clock ? std::move(clock) : Platform::current().clock)
    , m_server(new QLocalServer(this)) {
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            serve(socket, Connection{m_handler, m_refusal, m_clock});
        }
    });
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultServerName(bool demo) {
    return InstanceSocketFolder::locate(demo).serverName;
}

std::optional<qint64> SingleInstance::replacedPid() {
    bool ok = false;
    const qint64 pid = qEnvironmentVariable("ORDELLA_REPLACES_PID").toLongLong(&ok);
    return ok && pid > 0 ? std::optional<qint64>(pid) : std::nullopt;
}

bool SingleInstance::isListening() const {
    return m_server->isListening();
}

QCoro::Task<bool> SingleInstance::listen(Clock& clock, std::optional<qint64> replacesPid,
                                         ProcessAlive isAlive) {
    QPointer<SingleInstance> self(this);
    m_listenError.clear();
    if (replacesPid) {
        // The copy being replaced is quitting: its name is ours once it has gone (or has had
        // its time), so the update never ends with no Ordella running.
        auto ended = [isAlive, pid = *replacesPid] { return !isAlive(pid); };
        co_await clock.pollUntil(ended, replacedProcessTimeout, replacedProcessPoll);
    } else {
        // One of this user's that answers, or takes the line and then keeps silent (stopped,
        // say), is the instance; another user's is never listened to, and its name is replaced.
        const Answer answer = co_await send(m_serverName, QByteArray(), clock, connectTimeout);
        if (answer.outcome == Answer::Outcome::replied || answer.outcome == Answer::Outcome::noAnswer) {
            co_return false;
        }
    }
    if (!self) {
        co_return false;
    }
    // Two starts at the same moment both find no instance: the lock lets one of them listen. It
    // is held for the life of the instance; one left by a process that has ended is taken over.
    m_lock = std::make_unique<QLockFile>(m_serverName + QStringLiteral(".lock"));
    m_lock->setStaleLockTime(0);
    if (!m_lock->tryLock(0)) {
        m_lock.reset();
        // The copy being replaced may still hold it when its time is up: the name is taken over
        // all the same, as before.
        if (!replacesPid) {
            co_return false;
        }
    }
    QLocalServer::removeServer(m_serverName);
    if (!m_server->listen(m_serverName)) {
        m_listenError = m_server->errorString();
        co_return false;
    }
    co_return true;
}

QCoro::Task<SingleInstance::Answer> SingleInstance::send(QString serverName, QByteArray request, Clock& clock,
                                                         Clock::Duration timeout) {
    QLocalSocket socket;
    // A local connection is made or refused at once; only a full backlog makes it wait.
    socket.connectToServer(serverName);
    Clock::TimePoint deadline = clock.now() + connectTimeout;
    while (socket.state() == QLocalSocket::ConnectingState) {
        if (!co_await InstanceSocket::nextEvent(&socket, clock, deadline)) {
            co_return Answer{Answer::Outcome::noAnswer, {}};
        }
    }
    if (socket.state() != QLocalSocket::ConnectedState) {
        co_return Answer{Answer::Outcome::notRunning, {}};
    }
    if (!InstanceSocket::peerIsThisUser(socket)) {
        socket.abort();
        co_return Answer{Answer::Outcome::otherUser, {}};
    }
    socket.write(request + '\n');
    while (socket.bytesToWrite() > 0 && socket.state() == QLocalSocket::ConnectedState) {
        if (!co_await InstanceSocket::nextEvent(&socket, clock, deadline)) {
            co_return Answer{Answer::Outcome::noAnswer, {}};
        }
    }
    // The reply ends when the instance closes the connection; until then it sends a line break
    // now and then to show it is at work.
    const Clock::TimePoint end = clock.now() + timeout;
    Clock::TimePoint silentUntil = clock.now() + silenceTimeout;
    QByteArray reply;
    while (true) {
        const QByteArray bytes = socket.readAll();
        if (!bytes.isEmpty()) {
            silentUntil = clock.now() + silenceTimeout;
            reply += bytes;
            if (reply.size() > maxReply) {
                co_return Answer{Answer::Outcome::noAnswer, {}};
            }
        }
        if (socket.state() != QLocalSocket::ConnectedState) {
            reply += socket.readAll();
            break;
        }
        if (!co_await InstanceSocket::nextEvent(&socket, clock, std::min(end, silentUntil))) {
            co_return Answer{Answer::Outcome::noAnswer, {}};
        }
    }
    qsizetype start = 0;
    while (start < reply.size() && reply.at(start) == '\n') {
        ++start;
    }
    co_return Answer{Answer::Outcome::replied, reply.mid(start)};
}

QCoro::Task<void> SingleInstance::serve(QLocalSocket* socket, Connection connection) {
    QPointer<QLocalSocket> guard(socket);
    // The folder keeps other users out; should one get in all the same, it is not served.
    if (!InstanceSocket::peerIsThisUser(*socket)) {
        const std::optional<uid_t> peer = InstanceSocket::peerUser(*socket);
        Diagnostics::print(QStringLiteral("[SingleInstance] Refused a connection of user id ") +
                           (peer ? QString::number(*peer) : QStringLiteral("unknown")));
        drop(socket);
        co_return;
    }
    // Never more than one line is held, nor anything beyond the line's bound.
    socket->setReadBufferSize(maxRequestLine + 1);
    const Clock::TimePoint deadline = connection.clock->now() + requestTimeout;
    QByteArray line;
    qsizetype end = -1;
    // A line past the bound is read to its end and dropped, so that its sender can read the
    // refusal; it has the same time as any other.
    bool tooLong = false;
    while (true) {
        const QByteArray bytes = guard->read(maxRequestLine + 1);
        if (!tooLong) {
            line += bytes;
            end = line.indexOf('\n');
            if (end >= 0) {
                break;
            }
            if (line.size() > maxRequestLine) {
                tooLong = true;
                line.clear();
            }
        } else if (bytes.contains('\n')) {
            break;
        }
        if (guard->bytesAvailable() > 0) {
            continue;
        }
        if (guard->state() != QLocalSocket::ConnectedState) {
            // Hung up before its line was whole: nobody is left to answer.
            drop(guard);
            co_return;
        }
        if (!co_await InstanceSocket::nextEvent(guard, *connection.clock, deadline)) {
            break;
        }
        if (!guard) {
            co_return;
        }
    }
    if (end < 0) {
        co_await finish(guard, connection.refusal, connection.clock);
        co_return;
    }
    const QByteArray request = line.left(end).trimmed();
    QByteArray reply;
    // An empty line only asks whether an instance runs.
    if (!request.isEmpty() && connection.handler) {
        const ClockTimer heartbeat = connection.clock->startTimer(heartbeatInterval, true, [guard] {
            if (guard && guard->state() == QLocalSocket::ConnectedState) {
                guard->write("\n");
            }
        });
        reply = co_await connection.handler(request);
    }
    co_await finish(guard, reply, connection.clock);
}

QCoro::Task<void> SingleInstance::finish(QLocalSocket* socket, QByteArray reply,
                                         std::shared_ptr<Clock> clock) {
    QPointer<QLocalSocket> guard(socket);
    if (!guard) {
        co_return;
    }
    // Whatever the client still sends is left unread.
    guard->write(reply);
    guard->disconnectFromServer();
    const Clock::TimePoint deadline = clock->now() + kReplyDrainTimeout;
    while (guard && guard->state() != QLocalSocket::UnconnectedState) {
        if (!co_await InstanceSocket::nextEvent(guard, *clock, deadline)) {
            break;
        }
    }
    if (guard) {
        drop(guard);
    }
}
