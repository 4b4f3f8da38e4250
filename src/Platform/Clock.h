#pragma once

#include <QDateTime>
#include <QObject>
#include <QPointer>

#include <qcoro/qcorotask.h>

#include <chrono>
#include <functional>

class ClockTimer;

// Every wait and every timer of the system goes through a Clock, so that tests can run
// minutes of polling, debouncing and time-outs in virtual time.
class Clock : public QObject {
    Q_OBJECT
public:
    using Duration = std::chrono::milliseconds;
    using TimePoint = std::chrono::steady_clock::time_point;

    explicit Clock(QObject* parent = nullptr);
    ~Clock() override;

    // Monotonic time; only differences are meaningful.
    virtual TimePoint now() const = 0;
    // Wall-clock time (UTC), for stamps shown to users and written to files.
    virtual QDateTime wallNow() const = 0;
    // Suspends the calling coroutine for d. Always suspends: sleep(0) yields to queued work.
    virtual QCoro::Task<void> sleep(Duration d) = 0;

    // Calls callback once after interval (or every interval when repeating) until cancelled.
    // The returned handle cancels the timer when destroyed.
    [[nodiscard]] ClockTimer startTimer(Duration interval, bool repeating, std::function<void()> callback);

    // Checks at once, then every step until check() holds or timeout has passed; the check
    // is made once more at the deadline. A time-out is not an error: the answer is false.
    QCoro::Task<bool> pollUntil(std::function<bool()> check, Duration timeout, Duration step);
    QCoro::Task<bool> pollUntilAsync(std::function<QCoro::Task<bool>()> check, Duration timeout,
                                     Duration step);

    static Duration seconds(double s);

protected:
    friend class ClockTimer;
    virtual int scheduleTimer(Duration interval, bool repeating, std::function<void()> callback) = 0;
    virtual void cancelTimer(int id) = 0;
};

// Move-only handle of a timer started on a Clock; cancels it when destroyed or reset.
class ClockTimer {
public:
    ClockTimer() = default;
    ClockTimer(Clock* clock, int id);
    ClockTimer(ClockTimer&& other) noexcept;
    ClockTimer& operator=(ClockTimer&& other) noexcept;
    ClockTimer(const ClockTimer&) = delete;
    ClockTimer& operator=(const ClockTimer&) = delete;
    ~ClockTimer();

    bool isActive() const { return m_clock && m_id != 0; }
    void cancel();

private:
    QPointer<Clock> m_clock;
    int m_id = 0;
};
