#pragma once

#include "Platform/Clock.h"

#include <coroutine>
#include <map>
#include <memory>
#include <optional>
#include <utility>

// A clock whose time moves only when nothing is left to do: the driver processes every pending
// Qt event, then jumps to the earliest sleeper or timer and wakes it. A 15-second time-out costs
// microseconds, and every run interleaves the same way.
class VirtualClock : public Clock {
    Q_OBJECT
public:
    explicit VirtualClock(QObject* parent = nullptr);
    ~VirtualClock() override;

    TimePoint now() const override { return m_now; }
    QDateTime wallNow() const override;
    QCoro::Task<void> sleep(Duration d) override;

    // The wall time that corresponds to the current virtual instant.
    void setWallNow(const QDateTime& utc);
    // Virtual time passed since the clock was made.
    Duration elapsed() const;

    // Processes Qt events until none is pending.
    void drainEvents();
    // Lets time pass by d: wakes every sleeper and timer due meanwhile, in order.
    void advanceBy(Duration d);
    // Sleepers and timers still waiting.
    int pendingCount() const { return static_cast<int>(m_queue.size()); }

    // Runs a task to completion in virtual time. Fails (answer empty, lastFailure() set) when the
    // task is unfinished and nothing is left to wake it, or when more than horizon of virtual
    // time passes (a repeating timer can keep time moving for ever).
    template <typename T>
    std::optional<T> runUntilDone(QCoro::Task<T> task, Duration horizon = std::chrono::hours(1));
    bool runUntilDone(QCoro::Task<void> task, Duration horizon = std::chrono::hours(1));
    // Drives the same way until condition holds.
    bool runUntil(const std::function<bool()>& condition, Duration horizon = std::chrono::hours(1)) {
        return drive(condition, horizon);
    }

    // Real work that virtual time must wait for, such as a network reply in flight or a child
    // process running: while pending() holds and no event is queued, the driver blocks until the
    // next real event instead of moving time on. Unset, time moves as soon as Qt is idle.
    void setRealWorkPending(std::function<bool()> pending) { m_realWorkPending = std::move(pending); }

    const QString& lastFailure() const { return m_lastFailure; }

protected:
    int scheduleTimer(Duration interval, bool repeating, std::function<void()> callback) override;
    void cancelTimer(int id) override;

private:
    struct Entry {
        std::coroutine_handle<> handle;
        std::function<void()> callback;
        int timerId = 0;
        Duration interval{};
        bool repeating = false;
    };
    using Key = std::pair<TimePoint, quint64>;

    friend struct VirtualSleepAwaiter;
    void addSleeper(Duration d, std::coroutine_handle<> handle);
    Key insert(TimePoint when, Entry entry);
    // Wakes the earliest entry if it is due no later than limit; false when there is none.
    bool fireNext(TimePoint limit);
    bool drive(const std::function<bool()>& done, Duration horizon);

    TimePoint m_now;
    TimePoint m_start;
    QDateTime m_wallAtStart;
    std::map<Key, Entry> m_queue;
    std::map<int, Key> m_timerKeys;
    quint64 m_sequence = 0;
    int m_nextTimerId = 1;
    QString m_lastFailure;
    std::function<bool()> m_realWorkPending;
};

template <typename T> std::optional<T> VirtualClock::runUntilDone(QCoro::Task<T> task, Duration horizon) {
    struct State {
        std::optional<T> result;
        bool done = false;
    };
    auto state = std::make_shared<State>();
    auto wrapper = [](QCoro::Task<T> inner, std::shared_ptr<State> s) -> QCoro::Task<void> {
        s->result.emplace(co_await std::move(inner));
        s->done = true;
    }(std::move(task), state);
    if (!drive([state] { return state->done; }, horizon)) {
        return std::nullopt;
    }
    return std::move(state->result);
}
