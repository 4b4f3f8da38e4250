#pragma once

#include "Platform/Clock.h"

#include <QHash>

class QTimer;

// The real clock: std::chrono::steady_clock and Qt's precise timers (never early) on the calling
// thread's event loop.
class SystemClock : public Clock {
    Q_OBJECT
public:
    explicit SystemClock(QObject* parent = nullptr);
    ~SystemClock() override;

    TimePoint now() const override;
    QDateTime wallNow() const override;
    QCoro::Task<void> sleep(Duration d) override;

protected:
    int scheduleTimer(Duration interval, bool repeating, std::function<void()> callback) override;
    void cancelTimer(int id) override;

private:
    QHash<int, QTimer*> m_timers;
    int m_nextId = 1;
};
