#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <qcoro/qcorotask.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class Clock;
class QLocalServer;
class QLocalSocket;
class QLockFile;

// Keeps Ordella to one running instance per user and desktop: the first instance listens on a
// local socket in the user's runtime folder; a later start sends it one request (a line of text)
// and prints its answer instead of starting again. A copy started by the updater to replace the
// running one is told its predecessor's pid and waits for it to end instead of handing over.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    // Answers one request; the reply is sent back as it is.
    using Handler = std::function<QCoro::Task<QByteArray>(QByteArray request)>;
    using ProcessAlive = std::function<bool(qint64 pid)>;

    static constexpr std::chrono::seconds replacedProcessTimeout{15};
    static constexpr std::chrono::milliseconds replacedProcessPoll{100};

    explicit SingleInstance(QString serverName, QObject* parent = nullptr);
    ~SingleInstance() override;

    // The socket of the instance: "ordella.socket" (or "ordella-demo.socket") in the runtime folder.
    static QString defaultServerName(bool demo);
    // The pid named by ORDELLA_REPLACES_PID, if it names one.
    static std::optional<qint64> replacedPid();

    // Becomes the running instance. With replacesPid, first waits on clock until that process has
    // ended (at most replacedProcessTimeout) and then takes the name over. Without it, answers
    // false when another instance answers on the name or holds its lock (it is starting); a name
    // left behind by an instance that is gone is taken over.
    QCoro::Task<bool> listen(Clock& clock, std::optional<qint64> replacesPid, ProcessAlive isAlive);
    bool isListening() const;
    // Answers the requests of later starts, one at a time per connection.
    void setHandler(Handler handler) { m_handler = std::move(handler); }

    // From a later start: sends the request to the running instance and awaits its whole reply;
    // nothing when no instance answers.
    static QCoro::Task<std::optional<QByteArray>> send(QString serverName, QByteArray request);

private:
    static QCoro::Task<void> serve(QLocalSocket* socket, Handler handler);

    QString m_serverName;
    QLocalServer* m_server;
    // "<name>.lock", held while this is the instance.
    std::unique_ptr<QLockFile> m_lock;
    Handler m_handler;
};
