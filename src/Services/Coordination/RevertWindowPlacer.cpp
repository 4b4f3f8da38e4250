#include "Services/Coordination/RevertWindowPlacer.h"

#include "Services/Restore/WindowPlacer.h"

namespace {

// The revert's words for what the placer read back.
WindowRestoreResult inRevertWords(WindowRestoreResult placed, const WindowSnapshot& recorded) {
    const bool back = placed.status == RestoreStatus::restored;
    placed.status = back ? RestoreStatus::restored : RestoreStatus::failed;
    if (recorded.isMinimized) {
        placed.reason =
            back ? QStringLiteral("Window minimized") : QStringLiteral("Failed to minimize window");
    } else {
        placed.reason =
            back ? QStringLiteral("Window positioned") : QStringLiteral("Failed to position window");
    }
    return placed;
}

} // namespace

QCoro::Task<QList<WindowRestoreResult>> RevertWindowPlacer::placeWindows(RunningApplication app,
                                                                         QList<WindowSnapshot> snapshots,
                                                                         QList<DisplaySnapshot> savedDisplays,
                                                                         bool byPosition) {
    const QList<Application> one{{app, snapshots, byPosition}};
    const QList<QList<WindowRestoreResult>> results = co_await placeTogether(one, savedDisplays);
    co_return results.value(0);
}

QCoro::Task<QList<QList<WindowRestoreResult>>>
RevertWindowPlacer::placeTogether(QList<Application> applications, QList<DisplaySnapshot> savedDisplays) {
    // The list position is the last resort only: the restore raised windows, so the list is in
    // another order than when it was recorded.
    QList<WindowPlacer::Application> placing;
    for (const Application& application : std::as_const(applications)) {
        QList<WindowSnapshot> clues = application.snapshots;
        if (application.byPosition) {
            for (qsizetype i = 0; i < clues.size(); ++i) {
                clues[i].windowIndex = i;
            }
        }
        placing.append({application.app, clues});
    }
    QList<QList<WindowRestoreResult>> results = co_await WindowPlacer::placeTogether(placing, savedDisplays);
    for (qsizetype a = 0; a < results.size(); ++a) {
        for (qsizetype i = 0; i < results[a].size(); ++i) {
            results[a][i] = inRevertWords(results[a][i], applications[a].snapshots.value(i));
        }
    }
    co_return results;
}
