#pragma once

#include "Models/DisplaySnapshot.h"
#include "Models/WindowRestoreResult.h"
#include "Models/WindowSnapshot.h"
#include "Platform/Accessibility.h"
#include "Platform/RunningApplications.h"
#include "Services/Restore/WindowPlacer.h"

#include <QHash>
#include <QList>
#include <QRectF>

#include <qcoro/qcorotask.h>

// Puts the windows of applications back where and as they stood before a restore: each on its
// saved frame, mapped to a current display and kept within its visible area, minimised or shown
// as it was. Every step is asked of all the windows at once and read back together, so that a
// revert of many windows waits about as long as its slowest window alone. Main thread.
class RevertWindowPlacer {
public:
    RevertWindowPlacer() = delete;

    // One result per saved window, in their order: "Window positioned" only when the window reads
    // back shown within 50 points of its frame (within a second), "Window minimized" only when it
    // reads back minimised. Each saved window is found as a restore finds it (the window itself
    // first, then the matcher's clues); with byPosition its place in the saved list stands for its
    // saved index, the last resort.
    static QCoro::Task<QList<WindowRestoreResult>> placeWindows(RunningApplication app,
                                                                QList<WindowSnapshot> snapshots,
                                                                QList<DisplaySnapshot> savedDisplays,
                                                                bool byPosition);

    // The saved windows of one running application.
    struct Application {
        RunningApplication app;
        QList<WindowSnapshot> snapshots;
        bool byPosition = false;
    };
    // The same for the windows of several applications at once, each paired with its own
    // application's windows; one list of results per application, in their order. No application
    // may be listed twice: a window is placed for one saved window only.
    static QCoro::Task<QList<QList<WindowRestoreResult>>> placeTogether(QList<Application> applications,
                                                                        QList<DisplaySnapshot> savedDisplays);

private:
    // A live window on its way back, already on its desktop.
    struct Placing {
        AXElement window;
        QRectF target;
        // Where it stood before the revert touched it (at rest, once shown again).
        WindowPlacer::Whereabouts before;
        bool wasMinimized = false;
    };
    // Puts each on its frame without showing it and minimises it again.
    static QCoro::Task<QHash<AXElement, WindowRestoreResult>> placeMinimised(QList<Placing> windows);
    // Shows each that is minimised, then sends every move and reads them all back together.
    static QCoro::Task<QHash<AXElement, WindowRestoreResult>> placeShown(QList<Placing> windows);
    static QRectF targetFrame(const WindowSnapshot& window, const QList<DisplaySnapshot>& savedDisplays);
};
