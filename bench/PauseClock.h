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
    void reset() { m_paused = {}; }
    double pausedMs() const { return std::chrono::duration<double, std::milli>(m_paused).count(); }

private:
    int m_sleeping = 0;
    TimePoint m_since{};
    std::chrono::steady_clock::duration m_paused{};
};

} // namespace bench
