#pragma once

#include "Models/RestoreReport.h"

#include <QList>
#include <QSet>
#include <QString>

#include <optional>

// One restore request as a whole: the engine runs more than once (the later runs check and mend
// what the first did), and the report kept is the last run's. What the user is told of the
// request - what was started, moved and minimised, and how long it all took - needs the others.
struct RestoreRun {
    // The last run's report: the status, the summary, the notification and the log use it.
    RestoreReport report;
    // Every run's report, in order.
    QList<RestoreReport> passes;
    // Seconds from the start of the request's turn to its end, every run and step included.
    double duration = 0;
    // The bundle identifiers running when the turn began; nothing when they could not be read.
    std::optional<QSet<QString>> runningBefore;
};
