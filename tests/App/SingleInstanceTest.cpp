#include "App/SingleInstance.h"
#include "Support/TestPlatform.h"

#include <QLocalServer>
#include <QLockFile>
#include <QSysInfo>
#include <QTemporaryDir>

#include <qcoro/qcorotask.h>

#include <gtest/gtest.h>

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
    std::optional<QByteArray> send(const QByteArray& request) {
        return test.clock().runUntilDone(SingleInstance::send(name(), request)).value_or(std::nullopt);
    }
    static SingleInstance::Handler echo(const QByteArray& prefix) {
        return [prefix](QByteArray request) -> QCoro::Task<QByteArray> {
            return [](QByteArray p, QByteArray r) -> QCoro::Task<QByteArray> { co_return p + r; }(prefix,
                                                                                                  request);
        };
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

TEST_F(SingleInstanceTest, ALockLeftByAnEndedProcessIsTakenOver) {
    QFile stale(name() + ".lock");
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    // The lock file's form: pid, application name, host name.
    stale.write("2147483000\nordella\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    stale.close();
    SingleInstance instance(name());
    EXPECT_TRUE(listen(instance));
}

} // namespace
