#include "App/SingleInstance.h"
#include "Platform/Diagnostics.h"
#include "Support/TestPlatform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>

#include <qcoro/qcorotask.h>

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

class SingleInstanceTest : public ::testing::Test {
protected:
    QString name() const { return folder.filePath("ordella.socket"); }
    bool listen(
        SingleInstance& instance, std::optional<qint64> replaces = std::nullopt,
        SingleInstance::ProcessAlive alive = [](qint64) { return false; }) {
        socketTraffic = !replaces;
        const auto answer =
            test.clock().runUntilDone(instance.listen(test.clock(), replaces, std::move(alive)));
        socketTraffic = true;
        return answer.value_or(false);
    }
    SingleInstance::Answer ask(const QByteArray& request,
                               Clock::Duration timeout = SingleInstance::replyTimeout) {
        return test.clock()
            .runUntilDone(SingleInstance::send(name(), request, test.clock(), timeout))
            .value_or(SingleInstance::Answer{SingleInstance::Answer::Outcome::noAnswer, "(unfinished)"});
    }
    // The reply, when one came.
    std::optional<QByteArray> send(const QByteArray& request) {
        const SingleInstance::Answer answer = ask(request);
        return answer.outcome == SingleInstance::Answer::Outcome::replied ? std::optional(answer.reply)
                                                                          : std::nullopt;
    }
    static SingleInstance::Handler echo(const QByteArray& prefix) {
        return [prefix](QByteArray request) -> QCoro::Task<QByteArray> {
            return [](QByteArray p, QByteArray r) -> QCoro::Task<QByteArray> { co_return p + r; }(prefix,
                                                                                                  request);
        };
    }

    // What a client that sends these bytes (and hangs up, when asked) gets back before the
    // instance closes the connection, and how long that took.
    struct Exchange {
        QByteArray reply;
        Clock::Duration took;
    };
    Exchange exchange(const QByteArray& sent, bool hangUp, const QByteArray& later = {}) {
        QLocalSocket client;
        client.connectToServer(name());
        EXPECT_EQ(client.state(), QLocalSocket::ConnectedState);
        client.write(sent);
        if (!later.isEmpty()) {
            // The instance reads what came so far before the rest comes.
            client.flush();
            test.clock().drainEvents();
            client.write(later);
        }
        if (hangUp) {
            // Whatever fits is on its way before the hang-up: the instance reads it, then the end.
            client.flush();
            client.disconnectFromServer();
        }
        const auto start = test.clock().now();
        QByteArray reply;
        // Time stands while bytes are on their way, and moves as soon as the instance waits.
        test.clock().setRealWorkPending([&client] { return client.bytesToWrite() > 0; });
        const bool closed = test.clock().runUntil(
            [&] {
                reply += client.readAll();
                return client.state() == QLocalSocket::UnconnectedState;
            },
            std::chrono::minutes(1));
        test.clock().setRealWorkPending([this] { return socketTraffic; });
        EXPECT_TRUE(closed);
        return {reply, std::chrono::duration_cast<Clock::Duration>(test.clock().now() - start)};
    }

    SingleInstanceTest() {
        // Socket traffic is real: the driver waits for it instead of calling it a deadlock.
        test.clock().setRealWorkPending([this] { return socketTraffic; });
    }

    bool socketTraffic = true;
    QTemporaryDir folder;
    TestPlatform test;
};

TEST_F(SingleInstanceTest, ALaterStartHandsItsRequestToTheRunningInstance) {
    EXPECT_EQ(send("show"), std::nullopt);
    SingleInstance first(name());
    ASSERT_TRUE(listen(first));
    first.setHandler(echo("first: "));
    EXPECT_EQ(send("show"), QByteArray("first: show"));

    SingleInstance second(name());
    EXPECT_FALSE(listen(second));
    EXPECT_FALSE(second.isListening());
}

TEST_F(SingleInstanceTest, ANameLeftBehindIsTakenOver) {
    QFile stale(name());
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.close();
    SingleInstance instance(name());
    EXPECT_TRUE(listen(instance));
}

TEST_F(SingleInstanceTest, AnUpdatedCopyWaitsForTheCopyItReplaces) {
    SingleInstance old(name());
    ASSERT_TRUE(listen(old));
    old.setHandler(echo("old: "));

    // The old copy quits 3 seconds later; the new one takes the name over then.
    const auto start = test.clock().now();
    SingleInstance updated(name());
    const auto alive = [this, start](qint64 pid) { return pid == 4242 && test.clock().now() - start < 3s; };
    ASSERT_TRUE(listen(updated, 4242, alive));
    EXPECT_GE(test.clock().now() - start, 3s);
    EXPECT_LT(test.clock().now() - start, 4s);
    updated.setHandler(echo("updated: "));
    EXPECT_EQ(send("show"), QByteArray("updated: show"));

    // One that never ends has its time, then is replaced all the same.
    const auto again = test.clock().now();
    SingleInstance next(name());
    ASSERT_TRUE(listen(next, 4242, [](qint64) { return true; }));
    EXPECT_GE(test.clock().now() - again, SingleInstance::replacedProcessTimeout);
}

TEST_F(SingleInstanceTest, OnlyTheStartThatHoldsTheLockListens) {
    // Another start took the lock and is about to listen: this one must not remove its socket.
    QLockFile other(name() + ".lock");
    ASSERT_TRUE(other.tryLock(0));
    SingleInstance late(name());
    EXPECT_FALSE(listen(late));
    EXPECT_FALSE(late.isListening());
    other.unlock();

    SingleInstance first(name());
    ASSERT_TRUE(listen(first));
    // While it runs, its lock keeps out a start that finds no answer on the name (it cannot
    // reach it yet, say).
    QLocalServer::removeServer(name());
    SingleInstance second(name());
    EXPECT_FALSE(listen(second));
}

TEST_F(SingleInstanceTest, ANameThatCannotBeListenedOnSaysWhy) {
    // A folder with something in it where the socket must go: it is not removed, and not taken.
    ASSERT_TRUE(QDir(folder.path()).mkpath("ordella.socket/kept"));
    SingleInstance instance(name());
    EXPECT_FALSE(listen(instance));
    EXPECT_FALSE(instance.listenError().isEmpty());
    EXPECT_TRUE(QFileInfo::exists(name() + "/kept"));

    SingleInstance free(folder.filePath("other.socket"));
    EXPECT_TRUE(listen(free));
    EXPECT_TRUE(free.listenError().isEmpty());
}

TEST_F(SingleInstanceTest, ALockLeftByAnEndedProcessIsTakenOver) {
    QFile stale(name() + ".lock");
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    // The lock file's form: pid, application name, host name.
    stale.write("2147483000\nordella\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    stale.close();
    SingleInstance instance(name());
    EXPECT_TRUE(listen(instance));
}

TEST_F(SingleInstanceTest, ARequestIsOneBoundedLineSentInTime) {
    SingleInstance instance(name());
    ASSERT_TRUE(listen(instance));
    instance.setHandler(echo("first: "));
    instance.setRefusal("refused");
    const qsizetype bound = SingleInstance::maxRequestLine;
    struct Case {
        const char* what;
        QByteArray sent;
        bool hangUp;
        QByteArray reply;
        Clock::Duration took;
        // Sent once the instance has read the first part.
        QByteArray later = {};
    };
    const QList<Case> cases{
        // A request taken is said to be taken at once, by a line break before its reply.
        {"a whole line", "show\n", false, "\nfirst: show", 0s},
        {"a line at the bound", QByteArray(bound, 'a') + "\n", false, "\nfirst: " + QByteArray(bound, 'a'),
         0s},
        {"a line at the bound in two parts", QByteArray(bound, 'a'), false,
         "\nfirst: " + QByteArray(bound, 'a'), 0s, "\n"},
        {"one byte more", QByteArray(bound + 1, 'a') + "\n", false, "refused", 0s},
        {"10 MB", QByteArray(10 * 1024 * 1024, 'a') + "\n", false, "refused", 0s},
        {"one byte without its line break", "{", false, "refused", SingleInstance::requestTimeout},
        {"a long line never ended", QByteArray(bound + 2, 'a'), false, "refused",
         SingleInstance::requestTimeout},
        {"one byte, then a hang-up", "{", true, "", 0s},
        {"a long line, then a hang-up", QByteArray(3 * bound, 'a'), true, "", 0s},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Exchange got = exchange(c.sent, c.hangUp, c.later);
        EXPECT_EQ(got.reply.size(), c.reply.size());
        EXPECT_TRUE(got.reply == c.reply) << got.reply.left(80).toStdString();
        EXPECT_GE(got.took, c.took);
        EXPECT_LT(got.took, c.took + 1s);
        // Whatever the last one did, the instance goes on answering.
        EXPECT_EQ(send("show"), QByteArray("first: show"));
    }
}

TEST_F(SingleInstanceTest, AnAskingStartWaitsForAnInstanceAtWorkAndNotForASilentOne) {
    // Time moves whenever nothing is ready: every wait below is the clock's.
    test.clock().setRealWorkPending({});
    VirtualClock& clock = test.clock();
    int served = 0;
    const auto working = [&clock, &served](std::chrono::seconds time) -> SingleInstance::Handler {
        return [&clock, &served, time](QByteArray request) -> QCoro::Task<QByteArray> {
            ++served;
            return [](VirtualClock& c, std::chrono::seconds t, QByteArray r) -> QCoro::Task<QByteArray> {
                co_await c.sleep(t);
                co_return "done: " + QJsonDocument::fromJson(r).object().value("command").toString().toUtf8();
            }(clock, time, request);
        };
    };
    using Outcome = SingleInstance::Answer::Outcome;
    struct Case {
        const char* what;
        // The instance's work per request; none: a listener that takes the connection and
        // never reads it (a stopped instance).
        std::optional<std::chrono::seconds> work;
        Clock::Duration timeout;
        SingleInstance::Answer answer;
        Clock::Duration took;
        // How long the instance takes no connection in (it is stopped) after the request is sent.
        Clock::Duration stopped = 0s;
    };
    // Whether it runs is what the asking start says: taken, it waits for the outcome.
    const Clock::Duration lastChance = SingleInstance::silenceTimeout - SingleInstance::acceptMargin;
    const QList<Case> cases{
        {"nobody listens", std::nullopt, 60s, {Outcome::notRunning, {}}, 0s},
        {"a silent listener", 0s, 60s, {Outcome::noAnswer, {}}, SingleInstance::silenceTimeout},
        {"work longer than any silence", 40s, 60s, {Outcome::replied, "done: restore"}, 40s},
        {"work past the whole time", 40s, 25s, {Outcome::accepted, {}}, 25s},
        {"stopped until the margin is all that is left",
         5s,
         60s,
         {Outcome::replied, "done: restore"},
         lastChance + 5s,
         lastChance},
        {"stopped a millisecond longer",
         5s,
         60s,
         {Outcome::noAnswer, {}},
         lastChance + 1ms,
         lastChance + 1ms},
        {"stopped past the sender's patience",
         5s,
         60s,
         {Outcome::noAnswer, {}},
         SingleInstance::silenceTimeout,
         SingleInstance::silenceTimeout + 2s},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<SingleInstance> instance;
        QLocalServer silent;
        ClockTimer resume;
        bool resumed = c.stopped == 0s;
        if (c.work && *c.work > 0s) {
            instance = std::make_unique<SingleInstance>(name());
            ASSERT_TRUE(listen(*instance));
            instance->setHandler(working(*c.work));
            test.clock().setRealWorkPending({});
            if (c.stopped > 0s) {
                // Connections wait in the server's queue until it goes on.
                auto* server = instance->findChild<QLocalServer*>();
                ASSERT_NE(server, nullptr);
                server->blockSignals(true);
                resume = clock.startTimer(c.stopped, false, [server, &resumed] {
                    resumed = true;
                    server->blockSignals(false);
                    emit server->newConnection();
                });
            }
        } else if (c.work) {
            QLocalServer::removeServer(name());
            ASSERT_TRUE(silent.listen(name()));
        }
        served = 0;
        const auto start = clock.now();
        EXPECT_EQ(ask(R"({"command":"restore"})", c.timeout), c.answer);
        EXPECT_EQ(clock.now() - start, c.took);
        if (c.work && *c.work > 0s) {
            // Once the instance has gone on and done what it would, it ran the request only when
            // the asking start heard it was taken.
            ASSERT_TRUE(clock.runUntil([&resumed] { return resumed; }));
            clock.advanceBy(*c.work);
            clock.drainEvents();
            EXPECT_EQ(served, c.answer.outcome == Outcome::noAnswer ? 0 : 1);
        }
        instance.reset();
        silent.close();
        QFile::remove(name() + ".lock");
    }
}

// An asking start that gave up reported a failure: its request never runs after that, be it
// read late (the instance was stopped) or found without anyone left to answer. An older sender's
// request, which names no deadline, is served as before.
TEST_F(SingleInstanceTest, ARequestWhoseSenderGaveUpIsNotCarriedOut) {
    SingleInstance instance(name());
    ASSERT_TRUE(listen(instance));
    int served = 0;
    instance.setHandler([&served](QByteArray) -> QCoro::Task<QByteArray> {
        ++served;
        return []() -> QCoro::Task<QByteArray> { co_return "done"; }();
    });
    QStringList log;
    const Diagnostics::Sink previous = Diagnostics::setSink([&log](const QString& line) { log << line; });

    // What an asking start sends to an instance that has stopped, which it gives up on.
    const QString stoppedName = folder.filePath("stopped.socket");
    QLocalServer stopped;
    ASSERT_TRUE(stopped.listen(stoppedName));
    const QDateTime sentAt = test.clock().wallNow();
    test.clock().setRealWorkPending({});
    const auto answer = test.clock().runUntilDone(
        SingleInstance::send(stoppedName, R"({"command":"restore","name":"Desk"})", test.clock()));
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->outcome, SingleInstance::Answer::Outcome::noAnswer);
    QLocalSocket* held = stopped.nextPendingConnection();
    ASSERT_NE(held, nullptr);
    test.clock().setRealWorkPending([this] { return socketTraffic; });
    ASSERT_TRUE(test.clock().runUntil([held] { return held->canReadLine(); }, 1min));
    const QByteArray sent = held->readLine();

    const qint64 lastChance =
        Clock::Duration(SingleInstance::silenceTimeout - SingleInstance::acceptMargin).count();
    struct Case {
        const char* what;
        QByteArray sent;
        // The wall-clock time the instance reads it at.
        QDateTime readAt;
        bool hangUp;
        bool served;
    };
    const QList<Case> cases{
        {"read at once", sent, sentAt, false, true},
        {"read once its sender had given up", sent, sentAt.addSecs(10), false, false},
        {"read just before, too late for a heartbeat", sent, sentAt.addMSecs(9500), false, false},
        // The sender hears that it was taken at once, and waits for that up to its deadline.
        {"read with the margin left", sent, sentAt.addMSecs(lastChance), false, true},
        {"read a millisecond later", sent, sentAt.addMSecs(lastChance + 1), false, false},
        {"read at once from a sender that hung up", sent, sentAt, true, false},
        {"an older sender's request", "{\"command\":\"restore\",\"name\":\"Desk\"}\n", sentAt.addDays(1),
         false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        served = 0;
        log.clear();
        test.clock().setWallNow(c.readAt);
        const Exchange got = exchange(c.sent, c.hangUp);
        EXPECT_EQ(served, c.served ? 1 : 0);
        EXPECT_EQ(got.reply, c.served && !c.hangUp ? QByteArray("\ndone") : QByteArray());
        EXPECT_EQ(log.filter("whose sender had given up").size(), c.served ? 0 : 1)
            << log.join('\n').toStdString();
    }
    Diagnostics::setSink(previous);
}

// Should Qt's server stop (it closes itself and removes its socket when taking a connection in
// fails for want of open files), the instance listens again at once.
TEST_F(SingleInstanceTest, AnInstanceWhoseServerStopsListensAgain) {
    SingleInstance instance(name());
    ASSERT_TRUE(listen(instance));
    instance.setHandler(echo("first: "));
    QStringList log;
    const Diagnostics::Sink previous = Diagnostics::setSink([&log](const QString& line) { log << line; });
    std::vector<std::unique_ptr<QLocalSocket>> clients;
    // Every open file taken by connections the server has yet to take in.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
    rlimit low = saved;
    low.rlim_cur = QDir("/proc/self/fd").entryList(QDir::Files | QDir::System).size() + 8;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
    while (clients.size() < 64) {
        clients.push_back(std::make_unique<QLocalSocket>());
        clients.back()->connectToServer(name());
        if (clients.back()->state() == QLocalSocket::UnconnectedState) {
            break;
        }
    }
    test.clock().drainEvents();
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &saved), 0);
    EXPECT_EQ(clients.back()->state(), QLocalSocket::UnconnectedState);
    clients.clear();
    EXPECT_EQ(send("show"), QByteArray("first: show"));
    EXPECT_EQ(log.filter("Stopped listening (").size(), 1) << log.join('\n').toStdString();
    EXPECT_TRUE(instance.isListening());
    Diagnostics::setSink(previous);
}

// A flood of connections that send nothing makes the instance close idle ones for newcomers, never
// one whose request it took: that one's sender hears how it ended, be it still at work or its long
// reply on its way when the flood comes.
TEST_F(SingleInstanceTest, AFloodOfConnectionsClosesOnlyIdleOnes) {
    SingleInstance instance(name());
    ASSERT_TRUE(listen(instance));
    instance.setRefusal("refused");
    const QByteArray big(4 * 1024 * 1024, 'r');
    instance.setHandler([this, big](QByteArray request) -> QCoro::Task<QByteArray> {
        return [](VirtualClock& clock, QByteArray r, QByteArray b) -> QCoro::Task<QByteArray> {
            if (r == "work") {
                co_await clock.sleep(5s);
            }
            co_return r == "big" ? b : QByteArray("done");
        }(test.clock(), request, big);
    });
    struct Case {
        const char* what;
        QByteArray sent;
        // What the sender reads once the flood is over, heartbeats left out.
        QByteArray reply;
    };
    const QList<Case> cases{
        {"a request at work", "work\n", "done"},
        {"an outcome on its way", "big\n", big},
        {"a connection that sent nothing yet", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QLocalSocket client;
        // It reads no more than it is asked for: the rest of a long reply waits on the way.
        client.setReadBufferSize(64 * 1024);
        client.connectToServer(name());
        ASSERT_EQ(client.state(), QLocalSocket::ConnectedState);
        client.write(c.sent);
        client.flush();
        test.clock().drainEvents();
        std::vector<std::unique_ptr<QLocalSocket>> flood;
        for (qsizetype i = 0; i <= SingleInstance::maxConnections; ++i) {
            flood.push_back(std::make_unique<QLocalSocket>());
            flood.back()->connectToServer(name());
            test.clock().drainEvents();
        }
        QByteArray reply;
        // Time moves for the work, never while the long reply is on its way.
        const bool replyOnItsWay = c.reply.size() > 4;
        test.clock().setRealWorkPending([replyOnItsWay] { return replyOnItsWay; });
        EXPECT_TRUE(test.clock().runUntil(
            [&] {
                reply += client.readAll();
                return client.state() == QLocalSocket::UnconnectedState;
            },
            1min));
        test.clock().setRealWorkPending([this] { return socketTraffic; });
        while (reply.startsWith('\n')) {
            reply.remove(0, 1);
        }
        EXPECT_EQ(reply.size(), c.reply.size());
        EXPECT_TRUE(reply == c.reply) << reply.left(80).toStdString();
        flood.clear();
        test.clock().drainEvents();
    }
    EXPECT_EQ(send("show"), QByteArray("done"));
}

TEST_F(SingleInstanceTest, AnInstanceThatAnswersTheProbeIsRunningEvenWithoutTheLock) {
    QLocalServer other;
    ASSERT_TRUE(other.listen(name()));
    QObject::connect(&other, &QLocalServer::newConnection, &other, [&other] {
        QLocalSocket* socket = other.nextPendingConnection();
        QObject::connect(socket, &QLocalSocket::readyRead, socket, [socket] {
            if (socket->canReadLine()) {
                socket->disconnectFromServer();
            }
        });
    });
    EXPECT_EQ(send(""), QByteArray());
    SingleInstance late(name());
    EXPECT_FALSE(listen(late));
    EXPECT_FALSE(late.isListening());
}

// Run as root, the tests can be another user too (id 65534, "nobody").
TEST_F(SingleInstanceTest, NeitherEndTalksToAnotherUser) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "another user's process needs root to start";
    }
    const QString peer = QStringLiteral(ORDELLA_BINARY_DIR "/programs/ordella-test-peer");
    const auto finish = [this](QProcess& process) {
        return test.clock().runUntil([&process] { return process.state() == QProcess::NotRunning; },
                                     std::chrono::minutes(1));
    };

    // Another user's client, had it got past the folder, is not served.
    SingleInstance instance(name());
    ASSERT_TRUE(listen(instance));
    bool served = false;
    instance.setHandler([&served](QByteArray) -> QCoro::Task<QByteArray> {
        served = true;
        return []() -> QCoro::Task<QByteArray> { co_return "Saved"; }();
    });
    QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                             QFile::ExeGroup | QFile::ExeOther);
    ASSERT_EQ(chmod(QFile::encodeName(name()).constData(), 0777), 0);
    QProcess client;
    client.start(peer, {"65534", "send", name(), R"({"command":"show"})"});
    ASSERT_TRUE(finish(client));
    EXPECT_EQ(QString::fromUtf8(client.readAllStandardOutput()).trimmed(), "reply:");
    EXPECT_FALSE(served);

    // Another user's listener is never handed a request, and a start takes its name over.
    QTemporaryDir shared;
    ASSERT_EQ(chmod(QFile::encodeName(shared.path()).constData(), 0777), 0);
    const QString sharedName = shared.filePath("ordella.socket");
    QProcess listener;
    listener.start(peer, {"65534", "listen", sharedName});
    ASSERT_TRUE(listener.waitForReadyRead(10'000));
    EXPECT_EQ(listener.readAllStandardOutput().trimmed(), "listening");
    const auto answer = test.clock().runUntilDone(
        SingleInstance::send(sharedName, R"({"command":"save","name":"secret"})", test.clock()));
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->outcome, SingleInstance::Answer::Outcome::otherUser);
    SingleInstance mine(sharedName);
    EXPECT_TRUE(test.clock().runUntilDone(mine.listen(test.clock(), std::nullopt, {})).value_or(false));
    listener.kill();
    listener.waitForFinished();
    EXPECT_FALSE(listener.readAllStandardOutput().contains("got:"));
}

} // namespace
