#include "App/SingleInstance.h"

#include "Platform/Clock.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QPointer>
#include <QStandardPaths>

#include <qcoro/qcorolocalsocket.h>

namespace {

constexpr std::chrono::seconds kConnectTimeout{5};
constexpr std::chrono::seconds kRequestTimeout{5};

} // namespace

SingleInstance::SingleInstance(QString serverName, QObject* parent)
    : QObject(parent)
    , m_serverName(std::move(serverName))
    , m_server(new QLocalServer(this)) {
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            serve(socket, m_handler);
        }
    });
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultServerName(bool demo) {
    QString folder = QString::fromLocal8Bit(qgetenv("XDG_RUNTIME_DIR"));
    if (folder.isEmpty()) {
        folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    }
    if (folder.isEmpty()) {
        folder = QDir::tempPath();
    }
    return QDir(folder).filePath(demo ? QStringLiteral("ordella-demo.socket")
                                      : QStringLiteral("ordella.socket"));
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
    if (replacesPid) {
        // The copy being replaced is quitting: its name is ours once it has gone (or has had
        // its time), so the update never ends with no Ordella running.
        auto ended = [isAlive, pid = *replacesPid] { return !isAlive(pid); };
        co_await clock.pollUntil(ended, replacedProcessTimeout, replacedProcessPoll);
    } else {
        const std::optional<QByteArray> answer = co_await send(m_serverName, QByteArray());
        if (answer) {
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
    co_return m_server->listen(m_serverName);
}

QCoro::Task<std::optional<QByteArray>> SingleInstance::send(QString serverName, QByteArray request) {
    QLocalSocket socket;
    // A local connection is made or refused at once; only a busy listener makes it wait.
    socket.connectToServer(serverName);
    if (socket.state() == QLocalSocket::UnconnectedState) {
        co_return std::nullopt;
    }
    if (socket.state() != QLocalSocket::ConnectedState &&
        !co_await qCoro(socket).waitForConnected(kConnectTimeout)) {
        co_return std::nullopt;
    }
    socket.write(request + '\n');
    // The reply ends when the instance closes the connection; a restore may take its time.
    QByteArray reply;
    while (socket.state() == QLocalSocket::ConnectedState) {
        if (!co_await qCoro(socket).waitForReadyRead(std::chrono::milliseconds(-1))) {
            break;
        }
        reply += socket.readAll();
    }
    reply += socket.readAll();
    co_return reply;
}

QCoro::Task<void> SingleInstance::serve(QLocalSocket* socket, Handler handler) {
    QPointer<QLocalSocket> guard(socket);
    while (guard && !guard->canReadLine() && guard->state() == QLocalSocket::ConnectedState) {
        if (!co_await qCoro(guard.data()).waitForReadyRead(kRequestTimeout)) {
            break;
        }
    }
    if (!guard) {
        co_return;
    }
    const QByteArray request = guard->readLine().trimmed();
    QByteArray reply;
    // An empty line only asks whether an instance runs.
    if (!request.isEmpty() && handler) {
        reply = co_await handler(request);
    }
    if (guard) {
        guard->write(reply);
        guard->flush();
        guard->disconnectFromServer();
        guard->deleteLater();
    }
}
