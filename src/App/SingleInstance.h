#pragma once

#include "Platform/Clock.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <qcoro/qcorotask.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class QLocalServer;
class QLocalSocket;
class QLockFile;

// Keeps Ordella to one running instance per user and desktop: the first instance listens on a
// local socket in a folder private to the user; a later start sends it one request (a line of
// text) and prints its answer instead of starting again. A copy started by the updater to replace
// the running one is told its predecessor's pid and waits for it to end instead of handing over.
// Both ends talk only to a process of the same user, and neither waits without a bound: a request
// line is at most maxRequestLine bytes and must arrive within requestTimeout. A request that is a
// JSON object carries the wall-clock time by which its sender gives up on hearing nothing
// ("deadline", milliseconds since the epoch). The instance takes a request only while at least
// acceptMargin is left before it, and says so at once with a line break; after that it sends one
// every heartbeatInterval while it works. The sender waits for that word until its deadline, never
// less, and once it has it, for the outcome: a request that runs is never reported as failed, and
// one reported as not answered never runs. A request without a deadline (an older sender's) is
// served.
// No number of connections makes the instance unreachable: it holds at most maxConnections at once,
// closing the oldest idle one for a new one (never one whose request it took, until its outcome is
// out), and it listens again at once should its server stop.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    // Answers one request; the reply is sent back as it is.
    using Handler = std::function<QCoro::Task<QByteArray>(QByteArray request)>;
    using ProcessAlive = std::function<bool(qint64 pid)>;

    // What a later start learnt from the name.
    struct Answer {
        enum class Outcome {
            // The instance's reply, heartbeats left out.
            replied,
            // Nobody listens on the name.
            notRunning,
            // Someone listens but did not take the request in time: it does not run.
            noAnswer,
            // The instance took the request (it runs, or ran) but its outcome did not come: not
            // within the whole time, beyond its bounds, or the instance ended first.
            accepted,
            // A process of another user listens on the name: nothing is sent to it.
            otherUser,
        };
        Outcome outcome = Outcome::notRunning;
        QByteArray reply;

        bool operator==(const Answer&) const = default;
    };

    static constexpr std::chrono::seconds replacedProcessTimeout{15};
    static constexpr std::chrono::milliseconds replacedProcessPoll{100};
    static constexpr qsizetype maxRequestLine = 64 * 1024;
    static constexpr std::chrono::seconds requestTimeout{5};
    static constexpr std::chrono::seconds heartbeatInterval{1};
    // The least time a request's deadline must leave when the instance reads it for the request to
    // be taken: the word that it was taken reaches the sender well before the sender gives up.
    static constexpr std::chrono::seconds acceptMargin{1};
    // An asking start: time to connect and to hand over its request, how long it waits for the
    // request to be taken, and the largest reply it reads.
    static constexpr std::chrono::seconds connectTimeout{5};
    static constexpr std::chrono::seconds silenceTimeout{10};
    static constexpr qsizetype maxReply = 16 * 1024 * 1024;
    // The longest an asking start waits for the whole reply: a restore waits its turn behind
    // the restores before it, and each may wait minutes for slow applications.
    static constexpr std::chrono::minutes replyTimeout{15};
    // The connections held at once: a request is one line, and each holds an open file.
    static constexpr qsizetype maxConnections = 64;
    // How soon listening is tried again when it failed after the server stopped.
    static constexpr std::chrono::seconds relistenRetry{1};

    explicit SingleInstance(QString serverName, std::shared_ptr<Clock> clock = nullptr,
                            QObject* parent = nullptr);
    ~SingleInstance() override;

    // The socket of the instance: "ordella.socket" (or "ordella-demo.socket") in the user's
    // private socket folder; empty when there is none (InstanceSocketFolder says why).
    static QString defaultServerName(bool demo);
    // The pid named by ORDELLA_REPLACES_PID, if it names one.
    static std::optional<qint64> replacedPid();

    // Becomes the running instance. With replacesPid, first waits on clock until that process has
    // ended (at most replacedProcessTimeout) and then takes the name over. Without it, answers
    // false when another instance answers on the name or holds its lock (it is starting); a name
    // left behind by an instance that is gone is taken over.
    QCoro::Task<bool> listen(Clock& clock, std::optional<qint64> replacesPid, ProcessAlive isAlive);
    bool isListening() const;
    // Why the last listen() could not listen although the name was free; empty otherwise.
    QString listenError() const { return m_listenError; }
    // Answers the requests of later starts, one at a time per connection.
    void setHandler(Handler handler) { m_handler = std::move(handler); }
    // The reply to a request that cannot be read (too long, or not sent in time).
    void setRefusal(QByteArray refusal) { m_refusal = std::move(refusal); }

    // From a later start: sends the request to the running instance and awaits its whole reply,
    // on clock, at most timeout.
    static QCoro::Task<Answer> send(QString serverName, QByteArray request, Clock& clock,
                                    Clock::Duration timeout = replyTimeout);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Connection {
        Handler handler;
        QByteArray refusal;
        std::shared_ptr<Clock> clock;
        // Set from when its request is taken until the outcome is out: the connection is not idle.
        std::shared_ptr<bool> working;
    };
    struct Held {
        QPointer<QLocalSocket> socket;
        std::shared_ptr<bool> working;
    };
    // Takes a new connection in, within the bound.
    void admit(QLocalSocket* socket);
    // Closes the oldest held connections that are not at work, at most most of them; how many.
    qsizetype closeIdle(qsizetype most);
    // Listens again when the server has stopped while this is the instance.
    void keepListening();
    bool listenAgain();
    static QCoro::Task<void> serve(QLocalSocket* socket, Connection connection);
    // Sends the reply and closes the connection once it is out (or has had its time).
    static QCoro::Task<void> finish(QLocalSocket* socket, QByteArray reply, std::shared_ptr<Clock> clock);

    QString m_serverName;
    std::shared_ptr<Clock> m_clock;
    QLocalServer* m_server;
    // "<name>.lock", held while this is the instance.
    std::unique_ptr<QLockFile> m_lock;
    Handler m_handler;
    QByteArray m_refusal;
    QString m_listenError;
    // Whether this is the instance: set once listen() has listened.
    bool m_serving = false;
    bool m_checkQueued = false;
    ClockTimer m_relisten;
    // The connections held, oldest first.
    QList<Held> m_held;
};
