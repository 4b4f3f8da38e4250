#pragma once

#include "Platform/Clock.h"
#include "Platform/ScriptRunner.h"

#include <QString>

#include <qcoro/qcorotask.h>

#include <memory>
#include <optional>

// One application's line of automation scripts: first in, first out, one script at a time, all
// on the main thread. A caller waits at most the queue's time-out, counted from its call, for the
// scripts before it and then its own. A script that overruns is not cancelled (nothing can cancel
// it): it keeps the queue busy until it really ends, and later scripts wait behind it. A script
// whose caller gave up before its turn came is dropped instead of running unasked later.
//
// The queue serves the script runner of the current Platform; when another runner is installed
// (a test's fresh simulated desktop) it starts a new, empty line for it.
class ScriptQueue {
public:
    explicit ScriptQueue(Clock::Duration timeout);
    ~ScriptQueue();
    ScriptQueue(const ScriptQueue&) = delete;
    ScriptQueue& operator=(const ScriptQueue&) = delete;

    Clock::Duration timeout() const { return m_timeout; }

    // The script's outcome, or nothing when it did not come within the time-out. Without any
    // script runner the source cannot be made into a script: an outcome with neither answer nor
    // error.
    QCoro::Task<std::optional<ScriptResult>> run(QString source);

    // Whether a script of the current runner is running now (an overrunning one included).
    bool isBusy() const;

    struct Job;
    struct Lane;

private:
    std::shared_ptr<Lane> laneForCurrentRunner();

    Clock::Duration m_timeout;
    std::shared_ptr<Lane> m_lane;
};
