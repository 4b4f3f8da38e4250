#include "Services/Restore/FinderWindowRestorer.h"

#include "Extensions/RectConversion.h"
#include "Platform/Platform.h"
#include "Platform/RunningApplications.h"
#include "Services/Restore/HandedFolders.h"
#include "Services/Restore/RestoreGeometry.h"
#include "Services/Restore/RestoreLog.h"
#include "Services/Scripting/FinderScriptService.h"

#include <QFileInfo>
#include <QSet>
#include <QUrl>

bool FinderWindowRestorer::framesMatch(const SnapshotRect& current, const SnapshotRect& saved) {
    return RestoreGeometry::withinTolerance(RectConversion::toRectF(current), RectConversion::toRectF(saved));
}

QString FinderWindowRestorer::folderPath(const QString& saved) {
    if (!saved.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)) {
        return saved;
    }
    const QUrl url(saved, QUrl::TolerantMode);
    const bool here =
        url.host().isEmpty() || url.host().compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0;
    QString path = url.path(QUrl::FullyDecoded);
    if (!url.isValid() || !here || url.hasQuery() || url.hasFragment() || !path.startsWith(u'/')) {
        return saved;
    }
    while (path.size() > 1 && path.endsWith(u'/')) {
        path.chop(1);
    }
    return path;
}

QString FinderWindowRestorer::folderKey(const QString& folder) {
    QString path = folderPath(folder);
    while (path.size() > 1 && path.endsWith(u'/')) {
        path.chop(1);
    }
    return path;
}

QStringList FinderWindowRestorer::startingFolder(const AppSnapshot& snapshot) {
    const std::shared_ptr<RunningApplications> port = Platform::current().runningApplications;
    for (const WindowSnapshot& window : snapshot.windowSnapshots) {
        const QString path = folderPath(window.documentURL.value_or(QString()));
        // Refusals are said once, by the folder step.
        if (path.startsWith(u'/') && QFileInfo(path).isDir() && port &&
            port->documentRefusal(path, snapshot.bundleIdentifier).isEmpty()) {
            return {QUrl::fromLocalFile(path).toString()};
        }
    }
    return {};
}

QCoro::Task<FinderWindowRestorer::Outcome> FinderWindowRestorer::restoreSavedFolders(AppSnapshot snapshot,
                                                                                     bool closeOtherWindows,
                                                                                     HandedFolders* handed) {
    const std::shared_ptr<RunningApplications> port = Platform::current().runningApplications;
    const QString& id = snapshot.bundleIdentifier;
    Outcome outcome;
    // Paths and frames come from the same saved windows, so a window without a folder does not
    // hand its frame to the next folder.
    QStringList paths;
    QList<SnapshotRect> bounds;
    QList<qsizetype> windowOf;
    QSet<QString> refused;
    QSet<QString> handedBefore;
    for (qsizetype i = 0; i < snapshot.windowSnapshots.size(); ++i) {
        const WindowSnapshot& window = snapshot.windowSnapshots[i];
        if (!window.documentURL || window.documentURL->isEmpty()) {
            continue;
        }
        const QString path = folderPath(*window.documentURL);
        const QString refusal = port ? port->documentRefusal(path, id) : QString();
        if (!refusal.isEmpty()) {
            RestoreLog::log(QStringLiteral("restoreFinderWindows: refusing ") + path +
                            QStringLiteral(" for ") + id + QStringLiteral(": ") + refusal);
            outcome.refused.insert(i, refusal);
            refused.insert(path);
        }
        if (handed && handed->handed(id, folderKey(path))) {
            handedBefore.insert(path);
        }
        paths.append(path);
        bounds.append(window.frame);
        windowOf.append(i);
    }
    if (paths.size() == outcome.refused.size()) {
        co_return outcome;
    }
    // Closing every window would close those of the folders handed already, which are not handed
    // again.
    const Steps steps = co_await restoreFinderWindows(
        paths, bounds, closeOtherWindows && handedBefore.isEmpty(), refused, handedBefore);
    for (const qsizetype at : steps.moved) {
        outcome.moved.insert(windowOf[at]);
    }
    for (const QString& path : steps.opened) {
        if (handed) {
            handed->take(id, folderKey(path));
        }
    }
    outcome.closed = steps.closed;
    co_return outcome;
}

AppPlan FinderWindowRestorer::withoutRefused(AppPlan plan, const Outcome& outcome) {
    for (auto it = outcome.refused.keyEnd(); it != outcome.refused.keyBegin();) {
        const qsizetype i = *--it;
        if (i < plan.appSnapshot.windowSnapshots.size()) {
            plan.appSnapshot.windowSnapshots.removeAt(i);
        }
        if (i < plan.windowPlans.size()) {
            plan.windowPlans.removeAt(i);
        }
    }
    return plan;
}

QList<WindowRestoreResult> FinderWindowRestorer::completed(QList<WindowRestoreResult> placed,
                                                           const Outcome& outcome,
                                                           const AppSnapshot& snapshot) {
    for (auto it = outcome.refused.constBegin(); it != outcome.refused.constEnd(); ++it) {
        if (it.key() > placed.size() || it.key() >= snapshot.windowSnapshots.size()) {
            continue;
        }
        const WindowSnapshot& window = snapshot.windowSnapshots[it.key()];
        placed.insert(it.key(), WindowRestoreResult{
                                    window.windowTitle, RestoreStatus::failed,
                                    QStringLiteral("Folder not handed to the file manager: ") + it.value(),
                                    RectConversion::toRectF(window.frame), std::nullopt});
    }
    for (const qsizetype i : outcome.moved) {
        // Read back at its frame after the step found it elsewhere: the restore moved it.
        if (i < placed.size() && placed[i].status == RestoreStatus::restored) {
            placed[i].addActions({QStringLiteral("moved")});
        }
    }
    return placed;
}

namespace {

// The windows of before that no window shows the folder of any more, named by their titles.
QList<ClosedWindow> gone(const QList<FinderScriptService::FinderWindowInfo>& before,
                         const QList<FinderScriptService::FinderWindowInfo>& after,
                         const QStringList& closing) {
    QSet<QString> shown;
    for (const FinderScriptService::FinderWindowInfo& window : after) {
        shown.insert(FinderWindowRestorer::folderKey(window.path));
    }
    QList<ClosedWindow> closed;
    for (const FinderScriptService::FinderWindowInfo& window : before) {
        if (closing.contains(window.path) && !shown.contains(FinderWindowRestorer::folderKey(window.path))) {
            const QString name = QFileInfo(FinderWindowRestorer::folderKey(window.path)).fileName();
            closed.append({window.name.value_or(name.isEmpty() ? window.path : name),
                           ClosedWindow::Why::folderOutsideWorkspace});
        }
    }
    return closed;
}

} // namespace

QCoro::Task<FinderWindowRestorer::Steps>
FinderWindowRestorer::restoreFinderWindows(QStringList paths, QList<SnapshotRect> bounds,
                                           bool closeOtherWindows, QSet<QString> refused,
                                           QSet<QString> handed) {
    RestoreLog::log(QStringLiteral("Restoring ") + QString::number(paths.size() - refused.size()) +
                    QStringLiteral(" Finder windows"));
    Steps steps;
    const QList<FinderScriptService::FinderWindowInfo> current =
        co_await FinderScriptService::captureWindows();
    QSet<QString> saved;
    for (const QString& path : paths) {
        saved.insert(folderKey(path));
    }
    // The windows of folders the workspace does not hold go, whichever way the step takes.
    QStringList toClose;
    for (const FinderScriptService::FinderWindowInfo& window : current) {
        if (!saved.contains(folderKey(window.path)) && !toClose.contains(window.path)) {
            toClose.append(window.path);
        }
    }
    if (closeOtherWindows) {
        QStringList admitted;
        QList<SnapshotRect> admittedBounds;
        for (qsizetype i = 0; i < paths.size(); ++i) {
            if (!refused.contains(paths[i])) {
                admitted.append(paths[i]);
                admittedBounds.append(bounds.value(i));
            }
        }
        co_await FinderScriptService::batchRestoreWindows(admitted, admittedBounds);
        steps.opened = admitted;
    } else {
        QSet<QString> shown;
        for (const FinderScriptService::FinderWindowInfo& window : current) {
            shown.insert(folderKey(window.path));
        }
        QStringList toOpen;
        QStringList toReposition;
        for (qsizetype i = 0; i < paths.size(); ++i) {
            const QString& path = paths[i];
            if (refused.contains(path)) {
                continue;
            }
            if (!shown.contains(folderKey(path))) {
                if (!handed.contains(path) && !toOpen.contains(path)) {
                    toOpen.append(path);
                }
                continue;
            }
            toReposition.append(path);
            // The step re-frames the first window showing the folder, with the first frame saved for it.
            const qsizetype first = paths.indexOf(path);
            const auto window = std::find_if(current.begin(), current.end(),
                                             [&path](const FinderScriptService::FinderWindowInfo& w) {
                                                 return folderKey(w.path) == folderKey(path);
                                             });
            if (first == i && first < bounds.size() && !framesMatch(window->bounds, bounds[first])) {
                steps.moved.insert(i);
            }
        }
        co_await FinderScriptService::batchOperations(toClose, toOpen, paths, bounds, current, toReposition,
                                                      framesMatch);
        steps.opened = toOpen;
    }
    if (!toClose.isEmpty()) {
        // Read back: a window counts as closed once no window shows its folder.
        steps.closed = gone(current, co_await FinderScriptService::captureWindows(), toClose);
        for (const ClosedWindow& window : steps.closed) {
            RestoreLog::log(QStringLiteral("restoreFinderWindows: closed \"") + window.shown +
                            QStringLiteral("\", a folder the workspace does not hold"));
        }
    }
    co_return steps;
}
