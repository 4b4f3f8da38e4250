#include "App/SingleInstance.h"

#include "App/InstanceSocket.h"
#include "App/InstanceSocketFolder.h"
#include "Platform/Diagnostics.h"
#include "Platform/Platform.h"

#include <QEvent>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QPointer>

namespace {

using Answer = SingleInstance::Answer;

// How long a reply may take to leave before the connection is dropped all the same.
constexpr std::chrono::seconds kReplyDrainTimeout{5};
const QString kDeadline = QStringLiteral("deadline");
// The latest deadline taken as one, in milliseconds since the epoch (exact in a JSON number).
constexpr double kLatestDeadline = 9007199254740992.0;

void drop(QLocalSocket* socket) {
    socket->abort();
    socket->deleteLater();
}

// request with the time by which its sender gives up, when it is a JSON object; other requests
// (the empty line that only asks whether an instance runs) go as they are.
QByteArray withDeadline(const QByteArray& request, const QDateTime& deadline) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(request, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        return request;
    }
    QJsonObject object = document.object();
    object.insert(kDeadline, double(deadline.toMSecsSinceEpoch()));
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

// The deadline a request names; nothing when it names none that can be one.
std::optional<QDateTime> deadlineOf(const QByteArray& request) {
    if (!request.startsWith('{')) {
        return std::nullopt;
    }
    const QJsonValue value = QJsonDocument::fromJson(request).object().value(kDeadline);
    const double milliseconds = value.toDouble(-1);
    if (!value.isDouble() || milliseconds < 0 || milliseconds > kLatestDeadline) {
        return std::nullopt;
    }
    return QDateTime::fromMSecsSinceEpoch(qint64(milliseconds), Qt::UTC);
}

// The command of a request, for the log: letters only.
QString commandOf(const QByteArray& request) {
    QString command = QJsonDocument::fromJson(request).object().value(QStringLiteral("command")).toString();
    command.removeIf([](QChar c) { return !(c.isLetter() && c.unicode() < 128); });
    return command.left(20);
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
            admit(socket);
        }
    });
    // The server closes itself, and removes its socket, when it fails to take a connection in
    // (too many open files, say) and says nothing of it; what it listened with goes with it.
    m_server->installEventFilter(this);
}

SingleInstance::~SingleInstance() {
    m_serving = false;
    m_server->removeEventFilter(this);
}

bool SingleInstance::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_server && event->type() == QEvent::ChildRemoved && m_serving && !m_checkQueued) {
        m_checkQueued = true;
        QMetaObject::invokeMethod(this, &SingleInstance::keepListening, Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
}

void SingleInstance::keepListening() {
    m_checkQueued = false;
    if (!m_serving || m_server->isListening() || m_relisten.isActive()) {
        return;
    }
    const QString why = m_server->errorString();
    // Whatever stopped it may be a lack of open files: the connections that only wait go first.
    const qsizetype closed = closeIdle(m_held.size());
    if (listenAgain()) {
        Diagnostics::print(QStringLiteral("[SingleInstance] Stopped listening (%1); listening again on %2 "
                                          "(%3 idle connections closed)")
                               .arg(why, m_serverName, QString::number(closed)));
        return;
    }
    Diagnostics::print(
        QStringLiteral("[SingleInstance] Stopped listening (%1) and cannot listen again yet (%2); trying "
                       "again every second")
            .arg(why, m_server->errorString()));
    m_relisten = m_clock->startTimer(relistenRetry, true, [this] {
        if (listenAgain()) {
            Diagnostics::print(QStringLiteral("[SingleInstance] Listening again on ") + m_serverName);
            m_relisten.cancel();
        }
    });
}

bool SingleInstance::listenAgain() {
    // The name was ours: only a socket of this user on which nobody listens is removed.
    InstanceSocket::removeIfDeadSocketOfThisUser(m_serverName);
    return m_server->listen(m_serverName);
}

void SingleInstance::admit(QLocalSocket* socket) {
    m_held.removeIf([](const Held& held) {
        return !held.socket || held.socket->state() == QLocalSocket::UnconnectedState;
    });
    if (m_held.size() >= maxConnections && closeIdle(1) == 0) {
        // Every one held is at work on a request: the new one is not taken.
        drop(socket);
        return;
    }
    const auto working = std::make_shared<bool>(false);
    m_held.append(Held{socket, working});
    serve(socket, Connection{m_handler, m_refusal, m_clock, working});
}

qsizetype SingleInstance::closeIdle(qsizetype most) {
    qsizetype closed = 0;
    for (auto held = m_held.begin(); held != m_held.end() && closed < most;) {
        if (held->socket && *held->working) {
            ++held;
            continue;
        }
        if (held->socket) {
            drop(held->socket);
            ++closed;
        }
        held = m_held.erase(held);
    }
    return closed;
}

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
    m_serving = true;
    co_return true;
}

QCoro::Task<SingleInstance::Answer> SingleInstance::send(QString serverName, QByteArray request, Clock& clock,
                                                         Clock::Duration timeout) {
    QLocalSocket socket;
    const Clock::TimePoint end = clock.now() + timeout;
    // A local connection is made or refused at once; only a full backlog makes it wait.
    socket.connectToServer(serverName);
    const Clock::TimePoint connected = std::min(end, clock.now() + connectTimeout);
    while (socket.state() == QLocalSocket::ConnectingState) {
        if (!co_await InstanceSocket::nextEvent(&socket, clock, connected)) {
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
    // The deadline sent and the one this end keeps are the same moment: the instance takes the
    // request only with acceptMargin left before it, and this end waits for its word until then.
    const Clock::Duration patience = std::min(std::chrono::duration_cast<Clock::Duration>(end - clock.now()),
                                              Clock::Duration(silenceTimeout));
    const Clock::TimePoint givesUp = clock.now() + patience;
    socket.write(withDeadline(request, clock.wallNow().addMSecs(patience.count())) + '\n');
    // The instance's first word, a line break at once, says it took the request: from then on the
    // request runs, and only its outcome is waited for, within the whole time. Until then this end
    // waits for that word, up to the deadline it sent. Heartbeats and the reply follow.
    bool taken = false;
    QByteArray reply;
    while (true) {
        const QByteArray bytes = socket.readAll();
        if (!bytes.isEmpty()) {
            taken = true;
            reply += bytes;
            if (reply.size() > maxReply) {
                co_return Answer{Answer::Outcome::accepted, {}};
            }
        }
        if (socket.state() != QLocalSocket::ConnectedState) {
            reply += socket.readAll();
            taken = taken || !reply.isEmpty();
            break;
        }
        if (!co_await InstanceSocket::nextEvent(&socket, clock, taken ? end : std::min(end, givesUp))) {
            // The word may have come with the time: what has arrived is read before giving up.
            if (socket.bytesAvailable() > 0 || socket.waitForReadyRead(0)) {
                continue;
            }
            co_return Answer{taken ? Answer::Outcome::accepted : Answer::Outcome::noAnswer, {}};
        }
    }
    qsizetype start = 0;
    while (start < reply.size() && reply.at(start) == '\n') {
        ++start;
    }
    if (start == reply.size() && !request.isEmpty()) {
        // Closed without a reply: not taken (nothing runs), or taken and ended before its outcome.
        co_return Answer{taken ? Answer::Outcome::accepted : Answer::Outcome::noAnswer, {}};
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
        if (!guard->isOpen()) {
            // Closed by the instance, to make room for a newer connection.
            co_return;
        }
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
    // A sender that has given up, or may have before the word that the request was taken reaches
    // it, reports a failure: the request must not run after all (a restore at a moment nobody
    // expects).
    const std::optional<QDateTime> givesUpAt = deadlineOf(request);
    const bool late =
        givesUpAt && connection.clock->wallNow().addMSecs(Clock::Duration(acceptMargin).count()) > *givesUpAt;
    if (!request.isEmpty() && (late || InstanceSocket::peerHasHungUp(*guard))) {
        Diagnostics::print(
            QStringLiteral("[SingleInstance] Dropped a request (%1) whose sender had given up: %2")
                .arg(commandOf(request),
                     late ? QStringLiteral("its deadline had passed") : QStringLiteral("it had hung up")));
        drop(guard);
        co_return;
    }
    QByteArray reply;
    // An empty line only asks whether an instance runs.
    if (!request.isEmpty() && connection.handler) {
        // Taken: the sender hears it now, before the handler's first step, which may take long.
        guard->write("\n");
        guard->flush();
        const ClockTimer heartbeat = connection.clock->startTimer(heartbeatInterval, true, [guard] {
            if (guard && guard->state() == QLocalSocket::ConnectedState) {
                guard->write("\n");
            }
        });
        // From here until its outcome is out the connection is at work: closing it for a newcomer
        // would leave its sender with a request that ran and no word of how it ended.
        *connection.working = true;
        reply = co_await connection.handler(request);
    }
    co_await finish(guard, reply, connection.clock);
    *connection.working = false;
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
