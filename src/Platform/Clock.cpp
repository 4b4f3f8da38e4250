#include "Platform/Clock.h"

#include <cmath>
#include <utility>

Clock::Clock(QObject* parent)
    : QObject(parent) {
}

Clock::~Clock() = default;

ClockTimer Clock::startTimer(Duration interval, bool repeating, std::function<void()> callback) {
    return ClockTimer(this, scheduleTimer(interval, repeating, std::move(callback)));
}

QCoro::Task<bool> Clock::pollUntil(std::function<bool()> check, Duration timeout, Duration step) {
    const TimePoint deadline = now() + timeout;
    while (true) {
        if (check()) {
            co_return true;
        }
        if (now() >= deadline) {
            co_return false;
        }
        co_await sleep(step);
    }
}

QCoro::Task<bool> Clock::pollUntilAsync(std::function<QCoro::Task<bool>()> check, Duration timeout,
                                        Duration step) {
    const TimePoint deadline = now() + timeout;
    while (true) {
        if (co_await check()) {
            co_return true;
        }
        if (now() >= deadline) {
            co_return false;
        }
        co_await sleep(step);
    }
}

Clock::Duration Clock::seconds(double s) {
    if (!std::isfinite(s) || s <= 0) {
        return Duration::zero();
    }
    // A day is far beyond any wait the system makes; clamp so the cast is always defined.
    const double ms = std::min(s * 1000.0, 86400.0 * 1000.0 * 365.0);
    return Duration(static_cast<Duration::rep>(std::llround(ms)));
}

ClockTimer::ClockTimer(Clock* clock, int id)
    : m_clock(clock)
    , m_id(id) {
}

ClockTimer::ClockTimer(ClockTimer&& other) noexcept
    : m_clock(std::exchange(other.m_clock, nullptr))
    , m_id(std::exchange(other.m_id, 0)) {
}

ClockTimer& ClockTimer::operator=(ClockTimer&& other) noexcept {
    if (this != &other) {
        cancel();
        m_clock = std::exchange(other.m_clock, nullptr);
        m_id = std::exchange(other.m_id, 0);
    }
    return *this;
}

ClockTimer::~ClockTimer() {
    cancel();
}

void ClockTimer::cancel() {
    if (m_clock && m_id != 0) {
        m_clock->cancelTimer(m_id);
    }
    m_clock = nullptr;
    m_id = 0;
}
