#include "Services/Restore/FinderWindowRestorer.h"

#include "Extensions/RectConversion.h"
#include "Services/Restore/RestoreGeometry.h"
#include "Services/Restore/RestoreLog.h"
#include "Services/Scripting/FinderScriptService.h"

#include <QSet>

bool FinderWindowRestorer::framesMatch(const SnapshotRect& current, const SnapshotRect& saved) {
    return RestoreGeometry::withinTolerance(RectConversion::toRectF(current), RectConversion::toRectF(saved));
}

QCoro::Task<void> FinderWindowRestorer::restoreFinderWindows(QStringList paths, QList<SnapshotRect> bounds,
                                                             bool closeOtherWindows) {
    RestoreLog::log(QStringLiteral("Restoring ") + QString::number(paths.size()) +
                    QStringLiteral(" Finder windows"));
    if (closeOtherWindows) {
        co_await FinderScriptService::batchRestoreWindows(paths, bounds);
        co_return;
    }
    const QList<FinderScriptService::FinderWindowInfo> current =
        co_await FinderScriptService::captureWindows();
    const QSet<QString> saved(paths.begin(), paths.end());
    QSet<QString> shown;
    QStringList toClose;
    for (const FinderScriptService::FinderWindowInfo& window : current) {
        shown.insert(window.path);
        if (!saved.contains(window.path)) {
            toClose.append(window.path);
        }
    }
    QStringList toOpen;
    QStringList toReposition;
    for (const QString& path : paths) {
        (shown.contains(path) ? toReposition : toOpen).append(path);
    }
    co_await FinderScriptService::batchOperations(toClose, toOpen, paths, bounds, current, toReposition,
                                                  framesMatch);
}
