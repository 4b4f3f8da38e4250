#pragma once

#include <QString>

#include <qcoro/qcorotask.h>

// Starts a coroutine that nobody awaits (a restore started by a trigger, a revert, an update check,
// the queue's next run). A coroutine left to itself loses whatever it throws; one started here has
// its failure printed as "[<owner>] <what> ended unexpectedly: <reason>", so it is never silent.
class DetachedTask {
public:
    DetachedTask() = delete;

    static void start(const QString& owner, const QString& what, QCoro::Task<void> task);
};
