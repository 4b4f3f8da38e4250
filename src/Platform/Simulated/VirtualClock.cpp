#include "Platform/Simulated/VirtualClock.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QThread>

struct VirtualSleepAwaiter {
    VirtualClock* clock;
    Clock::Duration duration;

    bool await_ready() const noexcept { return false; }
    void await_suspend(std::coroutine_handle<> handle) const { clock->addSleeper(duration, handle); }
    void await_resume() const noexcept {}
};

VirtualClock::VirtualClock(QObject* parent)
    : Clock(parent)
    , m_now(std::chrono::steady_clock::time_point{} + std::chrono::hours(1000))
    , m_start(m_now)
    , m_wallAtStart(QDateTime(QDate(2026, 1, 15), QTime(9, 30, 0), Qt::UTC)) {
}

VirtualClock::~VirtualClock() = default;

QDateTime VirtualClock::wallNow() const {
    return m_wallAtStart.addMSecs(elapsed().count());
}

void VirtualClock::setWallNow(const QDateTime& utc) {
    m_wallAtStart = utc.toUTC().addMSecs(-elapsed().count());
}

Clock::Duration VirtualClock::elapsed() const {
    return std::chrono::duration_cast<Duration>(m_now - m_start);
}

QCoro::Task<void> VirtualClock::sleep(Duration d) {
    co_await VirtualSleepAwaiter{this, d};
}

void VirtualClock::addSleeper(Duration d, std::coroutine_handle<> handle) {
    Entry entry;
    entry.handle = handle;
    insert(m_now + std::max(d, Duration::zero()), std::move(entry));
}

VirtualClock::Key VirtualClock::insert(TimePoint when, Entry entry) {
    const Key key{when, m_sequence++};
    if (entry.timerId != 0) {
        m_timerKeys[entry.timerId] = key;
    }
    m_queue.emplace(key, std::move(entry));
    return key;
}

int VirtualClock::scheduleTimer(Duration interval, bool repeating, std::function<void()> callback) {
    Entry entry;
    entry.callback = std::move(callback);
    entry.timerId = m_nextTimerId++;
    entry.interval = std::max(interval, repeating ? Duration(1) : Duration::zero());
    entry.repeating = repeating;
    const int id = entry.timerId;
    insert(m_now + entry.interval, std::move(entry));
    return id;
}

void VirtualClock::cancelTimer(int id) {
    const auto it = m_timerKeys.find(id);
    if (it == m_timerKeys.end()) {
        return;
    }
    m_queue.erase(it->second);
    m_timerKeys.erase(it);
}

void VirtualClock::drainEvents() {
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance(QThread::currentThread());
    for (int round = 0; round < 1'000'000; ++round) {
        QCoreApplication::sendPostedEvents();
        bool processed = dispatcher && dispatcher->processEvents(QEventLoop::AllEvents);
        if (!processed) {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            processed = dispatcher && dispatcher->processEvents(QEventLoop::AllEvents);
        }
        if (!processed) {
            return;
        }
    }
}

bool VirtualClock::fireNext(TimePoint limit) {
    if (m_queue.empty() || m_queue.begin()->first.first > limit) {
        return false;
    }
    auto node = m_queue.extract(m_queue.begin());
    Entry entry = std::move(node.mapped());
    m_now = std::max(m_now, node.key().first);
    if (entry.handle) {
        entry.handle.resume();
        return true;
    }
    const int id = entry.timerId;
    if (entry.repeating) {
        // Re-armed before the callback runs, so the callback may cancel its own timer.
        std::function<void()> callback = entry.callback;
        insert(m_now + entry.interval, std::move(entry));
        callback();
    } else {
        m_timerKeys.erase(id);
        entry.callback();
    }
    return true;
}

void VirtualClock::advanceBy(Duration d) {
    const TimePoint target = m_now + d;
    drainEvents();
    while (fireNext(target)) {
        drainEvents();
    }
    m_now = std::max(m_now, target);
    drainEvents();
}

bool VirtualClock::drive(const std::function<bool()>& done, Duration horizon) {
    m_lastFailure.clear();
    const TimePoint limit = m_now + horizon;
    while (true) {
        drainEvents();
        if (done()) {
            return true;
        }
        if (m_realWorkPending && m_realWorkPending()) {
            if (QAbstractEventDispatcher* dispatcher =
                    QAbstractEventDispatcher::instance(QThread::currentThread())) {
                dispatcher->processEvents(QEventLoop::WaitForMoreEvents);
                continue;
            }
        }
        if (m_queue.empty()) {
            m_lastFailure = QStringLiteral("deadlock: the task is unfinished and nothing is left to wake it");
            qWarning("%s", qPrintable(m_lastFailure));
            return false;
        }
        if (!fireNext(limit)) {
            m_lastFailure =
                QStringLiteral("deadlock: the task is still unfinished after %1 ms of virtual time")
                    .arg(horizon.count());
            qWarning("%s", qPrintable(m_lastFailure));
            return false;
        }
    }
}

bool VirtualClock::runUntilDone(QCoro::Task<void> task, Duration horizon) {
    auto done = std::make_shared<bool>(false);
    auto wrapper = [](QCoro::Task<void> inner, std::shared_ptr<bool> flag) -> QCoro::Task<void> {
        co_await std::move(inner);
        *flag = true;
    }(std::move(task), done);
    return drive([done] { return *done; }, horizon);
}
