#include "Platform/Simulated/VirtualClock.h"
#include "Support/TestPlatform.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <qcoro/qcorosignal.h>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

QCoro::Task<int> pollFor15Seconds(Clock* clock, int* checks) {
    const bool found = co_await clock->pollUntil([checks] { return ++*checks < 0; }, 15s, 100ms);
    co_return found ? 1 : 0;
}

QCoro::Task<void> sleeper(Clock* clock, Clock::Duration d, QString name, QStringList* order) {
    co_await clock->sleep(d);
    order->append(name);
}

QCoro::Task<void> waitForever(QObject* never) { co_await qCoro(never, &QObject::objectNameChanged); }

} // namespace

TEST(VirtualClock, PollingFifteenSecondsTakesNoRealTime) {
    TestPlatform tp;
    int checks = 0;
    QElapsedTimer real;
    real.start();
    const auto before = tp.clock().now();
    auto result = tp.clock().runUntilDone(pollFor15Seconds(&tp.clock(), &checks));
    ASSERT_TRUE(result.has_value()) << tp.clock().lastFailure().toStdString();
    EXPECT_EQ(*result, 0);
    EXPECT_EQ(tp.clock().now() - before, 15s);
    EXPECT_EQ(checks, 151); // at 0, 0.1, ..., 15.0 s
    EXPECT_LT(real.elapsed(), 1000);
}

TEST(VirtualClock, InterleavedSleepersWakeInOrder) {
    TestPlatform tp;
    QStringList order;
    auto all = [](Clock* c, QStringList* o) -> QCoro::Task<void> {
        auto a = sleeper(c, 300ms, "a", o);
        auto b = sleeper(c, 100ms, "b", o);
        auto d = sleeper(c, 200ms, "d", o);
        auto e = sleeper(c, 100ms, "e", o); // same instant as b: started later, wakes later
        co_await std::move(a);
        co_await std::move(b);
        co_await std::move(d);
        co_await std::move(e);
    };
    ASSERT_TRUE(tp.clock().runUntilDone(all(&tp.clock(), &order)));
    EXPECT_EQ(order, (QStringList{"b", "e", "d", "a"}));
    EXPECT_EQ(tp.clock().elapsed(), 300ms);
}

TEST(VirtualClock, TaskWaitingForNothingIsADeadlock) {
    TestPlatform tp;
    QObject never;
    EXPECT_FALSE(tp.clock().runUntilDone(waitForever(&never)));
    EXPECT_TRUE(tp.clock().lastFailure().startsWith("deadlock"));
}

TEST(VirtualClock, RepeatingTimerDoesNotHideADeadlock) {
    TestPlatform tp;
    int ticks = 0;
    ClockTimer timer = tp.clock().startTimer(24h, true, [&ticks] { ++ticks; });
    QObject never;
    EXPECT_FALSE(tp.clock().runUntilDone(waitForever(&never), 72h));
    EXPECT_EQ(ticks, 3);
    EXPECT_TRUE(tp.clock().lastFailure().contains("still unfinished"));
}

TEST(VirtualClock, TimersFireInOrderAndStopWhenCancelled) {
    TestPlatform tp;
    QStringList fired;
    ClockTimer once = tp.clock().startTimer(1500ms, false, [&] { fired << "debounce"; });
    ClockTimer repeat = tp.clock().startTimer(1000ms, true, [&] { fired << "tick"; });
    tp.clock().advanceBy(2500ms);
    EXPECT_EQ(fired, (QStringList{"tick", "debounce", "tick"}));
    repeat.cancel();
    fired.clear();
    tp.clock().advanceBy(10s);
    EXPECT_TRUE(fired.isEmpty());
    EXPECT_EQ(tp.clock().pendingCount(), 0);
}

TEST(VirtualClock, RestartingADebounceReplacesTheEarlierTimer) {
    TestPlatform tp;
    int fired = 0;
    ClockTimer debounce;
    for (int i = 0; i < 5; ++i) {
        debounce = tp.clock().startTimer(1500ms, false, [&fired] { ++fired; });
        tp.clock().advanceBy(1000ms);
    }
    EXPECT_EQ(fired, 0);
    tp.clock().advanceBy(500ms);
    EXPECT_EQ(fired, 1);
}

TEST(VirtualClock, WallTimeFollowsVirtualTime) {
    TestPlatform tp;
    const QDateTime start(QDate(2026, 3, 1), QTime(23, 59, 59), Qt::UTC);
    tp.clock().setWallNow(start);
    tp.clock().advanceBy(2s);
    EXPECT_EQ(tp.clock().wallNow(), start.addSecs(2));
}

TEST(VirtualClock, EventsPostedBySleepersAreProcessedBeforeTimeMoves) {
    TestPlatform tp;
    QObject target;
    int seenAt = -1;
    auto task = [](Clock* c, QObject* t, int* seen) -> QCoro::Task<void> {
        co_await c->sleep(100ms);
        QTimer::singleShot(0, t, [c, seen] { *seen = static_cast<int>(static_cast<VirtualClock*>(c)->elapsed().count()); });
        co_await c->sleep(1s);
    };
    ASSERT_TRUE(tp.clock().runUntilDone(task(&tp.clock(), &target, &seenAt)));
    EXPECT_EQ(seenAt, 100);
}
