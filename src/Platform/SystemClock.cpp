#include "Platform/SystemClock.h"

#include <QTimer>

#include <coroutine>

namespace {

// Resumes the awaiting coroutine from a single-shot Qt timer owned by the clock, so a clock
// destroyed first never resumes into freed state.
struct TimerAwaiter {
    QObject* context;
    Clock::Duration duration;

    // Always suspends, even for a zero duration, so a sleep(0) lets queued work run first.
    bool await_ready() const noexcept { return false; }
    void await_suspend(std::coroutine_handle<> handle) const {
        QTimer::singleShot(std::max(duration, Clock::Duration::zero()), Qt::PreciseTimer, context,
                           [handle] { handle.resume(); });
    }
    void await_resume() const noexcept {}
};

} // namespace

SystemClock::SystemClock(QObject* parent)
    : Clock(parent) {
}

SystemClock::~SystemClock() {
    qDeleteAll(m_timers);
}

Clock::TimePoint SystemClock::now() const {
    return std::chrono::steady_clock::now();
}

QDateTime SystemClock::wallNow() const {
    return QDateTime::currentDateTimeUtc();
}

QCoro::Task<void> SystemClock::sleep(Duration d) {
    co_await TimerAwaiter{this, d};
}

int SystemClock::scheduleTimer(Duration interval, bool repeating, std::function<void()> callback) {
    const int id = m_nextId++;
    auto* timer = new QTimer(this);
    // Qt's default timers may fire 5 % early: a wait of 10 s given up after 9.5 s ends before the
    // deadline the other end was promised.
    timer->setTimerType(Qt::PreciseTimer);
    timer->setSingleShot(!repeating);
    timer->setInterval(interval);
    connect(timer, &QTimer::timeout, this, [this, id, repeating, callback = std::move(callback)] {
        if (!repeating) {
            if (QTimer* t = m_timers.take(id)) {
                t->deleteLater();
            }
        }
        callback();
    });
    m_timers.insert(id, timer);
    timer->start();
    return id;
}

void SystemClock::cancelTimer(int id) {
    if (QTimer* t = m_timers.take(id)) {
        t->stop();
        t->deleteLater();
    }
}
