#include "Services/Scripting/ScriptQueue.h"

#include "Platform/Platform.h"

#include <coroutine>
#include <deque>
#include <utility>

struct ScriptQueue::Job {
    QString source;
    std::shared_ptr<ScriptRunner> runner;
    std::optional<ScriptResult> result;
    bool settled = false; // answered or given up; the waiter no longer cares after this
    bool started = false;
    std::coroutine_handle<> waiter;
    ClockTimer deadline;

    void settle(std::optional<ScriptResult> outcome) {
        if (settled) {
            return;
        }
        settled = true;
        result = std::move(outcome);
        deadline.cancel();
        if (auto handle = std::exchange(waiter, {})) {
            handle.resume();
        }
    }
};

struct ScriptQueue::Lane {
    std::weak_ptr<ScriptRunner> runner;
    std::deque<std::shared_ptr<Job>> waiting;
    bool busy = false;
};

namespace {

// Holds a plain pointer (the awaiting coroutine keeps the job alive): GCC 12 releases an awaiter
// temporary with a non-trivial destructor twice when it does not suspend, which freed the job early.
struct SettledAwaiter {
    ScriptQueue::Job* job;

    bool await_ready() const noexcept { return job->settled; }
    void await_suspend(std::coroutine_handle<> handle) const noexcept { job->waiter = handle; }
    void await_resume() const noexcept {}
};

void pump(const std::shared_ptr<ScriptQueue::Lane>& lane);

// Runs one job to its real end, however long that takes, and only then frees the lane.
QCoro::Task<void> execute(std::shared_ptr<ScriptQueue::Lane> lane, std::shared_ptr<ScriptQueue::Job> job) {
    job->started = true;
    ScriptResult outcome = co_await job->runner->run(job->source);
    lane->busy = false;
    job->settle(std::move(outcome));
    pump(lane);
}

void pump(const std::shared_ptr<ScriptQueue::Lane>& lane) {
    while (!lane->busy && !lane->waiting.empty()) {
        std::shared_ptr<ScriptQueue::Job> job = std::move(lane->waiting.front());
        lane->waiting.pop_front();
        if (job->settled) {
            continue; // its caller gave up before its turn
        }
        lane->busy = true;
        execute(lane, std::move(job)); // detached: it frees the lane itself when the script ends
    }
}

} // namespace

ScriptQueue::ScriptQueue(Clock::Duration timeout)
    : m_timeout(timeout) {
}

ScriptQueue::~ScriptQueue() = default;

std::shared_ptr<ScriptQueue::Lane> ScriptQueue::laneForCurrentRunner() {
    const std::shared_ptr<ScriptRunner>& runner = Platform::current().scriptRunner;
    if (!m_lane || m_lane->runner.lock() != runner) {
        m_lane = std::make_shared<Lane>();
        m_lane->runner = runner;
    }
    return m_lane;
}

bool ScriptQueue::isBusy() const {
    return m_lane && m_lane->runner.lock() == Platform::current().scriptRunner && m_lane->busy;
}

QCoro::Task<std::optional<ScriptResult>> ScriptQueue::run(QString source) {
    std::shared_ptr<ScriptRunner> runner = Platform::current().scriptRunner;
    if (!runner) {
        co_return ScriptResult{};
    }
    std::shared_ptr<Lane> lane = laneForCurrentRunner();
    auto job = std::make_shared<Job>();
    job->source = std::move(source);
    job->runner = std::move(runner);
    // Keeps the clock alive while this call waits on it.
    std::shared_ptr<Clock> clock = Platform::current().clock;
    std::weak_ptr<Job> weakJob = job;
    job->deadline = clock->startTimer(m_timeout, false, [weakJob] {
        if (std::shared_ptr<Job> j = weakJob.lock()) {
            j->settle(std::nullopt);
        }
    });
    lane->waiting.push_back(job);
    pump(lane);
    co_await SettledAwaiter{job.get()};
    co_return std::move(job->result);
}
