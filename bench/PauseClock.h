// The real clock, keeping count of the time during which at least one coroutine sleeps on it, so a
// desktop benchmark can set a restore's wall time against the pauses it was made to take.
#pragma once

#include "Platform/SystemClock.h"

#include <qcoro/qcorotask.h>

#include <chrono>

namespace bench {

class PauseClock : public SystemClock {
public:
    QCoro::Task<void> sleep(Duration d) override {
        if (m_sleeping++ == 0) {
            m_since = now();
        }
        co_await SystemClock::sleep(d);
        if (--m_sleeping == 0) {
            m_paused += now() - m_since;
        }
    }
    // Counting starts afresh, also for a sleep that began before and goes on.
    void reset() {
        m_paused = {};
        m_since = now();
    }
    // Including the part of a sleep that still goes on.
    double pausedMs() const {
        const auto paused =
            m_paused + (m_sleeping > 0 ? now() - m_since : std::chrono::steady_clock::duration{});
        return std::chrono::duration<double, std::milli>(paused).count();
    }

private:
    int m_sleeping = 0;
    TimePoint m_since{};
    std::chrono::steady_clock::duration m_paused{};
};

} // namespace bench
