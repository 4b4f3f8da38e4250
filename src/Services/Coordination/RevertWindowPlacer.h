#pragma once

#include "Models/DisplaySnapshot.h"
#include "Models/WindowRestoreResult.h"
#include "Models/WindowSnapshot.h"
#include "Platform/RunningApplications.h"

#include <QList>

#include <qcoro/qcorotask.h>

// Puts the windows of applications back where and as they stood before a restore: a revert is a
// restore of the state it recorded, and its windows are placed by the restore's placer, with its
// guards. What is the revert's own: each recorded window found as itself (its identity first, then
// the matcher's clues; with byPosition its place in the recorded list stands for its index, the
// last resort), and the words of its report. Main thread.
class RevertWindowPlacer {
public:
    RevertWindowPlacer() = delete;

    // One result per recorded window, in their order: "Window positioned" only when the window
    // reads back shown on its frame, "Window minimized" only when it reads back minimised.
    static QCoro::Task<QList<WindowRestoreResult>> placeWindows(RunningApplication app,
                                                                QList<WindowSnapshot> snapshots,
                                                                QList<DisplaySnapshot> savedDisplays,
                                                                bool byPosition);

    // The recorded windows of one running application.
    struct Application {
        RunningApplication app;
        QList<WindowSnapshot> snapshots;
        bool byPosition = false;
    };
    // The same for the windows of several applications at once, each paired with its own
    // application's windows; one list of results per application, in their order. No application
    // may be listed twice: a window is placed for one recorded window only.
    static QCoro::Task<QList<QList<WindowRestoreResult>>> placeTogether(QList<Application> applications,
                                                                        QList<DisplaySnapshot> savedDisplays);
};
