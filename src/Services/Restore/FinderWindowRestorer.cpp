#include "Services/Restore/FinderWindowRestorer.h"

#include "Extensions/RectConversion.h"
#include "Platform/Platform.h"
#include "Platform/RunningApplications.h"
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
                                                                                     bool closeOtherWindows) {
    const std::shared_ptr<RunningApplications> port = Platform::current().runningApplications;
    Outcome outcome;
    // Paths and frames come from the same saved windows, so a window without a folder does not
    // hand its frame to the next folder.
    QStringList paths;
    QList<SnapshotRect> bounds;
    QList<qsizetype> windowOf;
    QSet<QString> refused;
    for (qsizetype i = 0; i < snapshot.windowSnapshots.size(); ++i) {
        const WindowSnapshot& window = snapshot.windowSnapshots[i];
        if (!window.documentURL || window.documentURL->isEmpty()) {
            continue;
        }
        const QString path = folderPath(*window.documentURL);
        const QString refusal = port ? port->documentRefusal(path, snapshot.bundleIdentifier) : QString();
        if (!refusal.isEmpty()) {
            RestoreLog::log(QStringLiteral("restoreFinderWindows: refusing ") + path +
                            QStringLiteral(" for ") + snapshot.bundleIdentifier + QStringLiteral(": ") +
                            refusal);
            outcome.refused.insert(i, refusal);
            refused.insert(path);
        }
        paths.append(path);
        bounds.append(window.frame);
        windowOf.append(i);
    }
    if (paths.size() == outcome.refused.size()) {
        co_return outcome;
    }
    const QSet<qsizetype> moved = co_await restoreFinderWindows(paths, bounds, closeOtherWindows, refused);
    for (const qsizetype at : moved) {
        outcome.moved.insert(windowOf[at]);
    }
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

QCoro::Task<QSet<qsizetype>> FinderWindowRestorer::restoreFinderWindows(QStringList paths,
                                                                        QList<SnapshotRect> bounds,
                                                                        bool closeOtherWindows,
                                                                        QSet<QString> refused) {
    RestoreLog::log(QStringLiteral("Restoring ") + QString::number(paths.size() - refused.size()) +
                    QStringLiteral(" Finder windows"));
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
        co_return QSet<qsizetype>();
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
    QSet<qsizetype> moved;
    for (qsizetype i = 0; i < paths.size(); ++i) {
        const QString& path = paths[i];
        if (refused.contains(path)) {
            continue;
        }
        if (!shown.contains(path)) {
            toOpen.append(path);
            continue;
        }
        toReposition.append(path);
        // The step re-frames the first window showing the folder, with the first frame saved for it.
        const qsizetype first = paths.indexOf(path);
        const auto window =
            std::find_if(current.begin(), current.end(),
                         [&path](const FinderScriptService::FinderWindowInfo& w) { return w.path == path; });
        if (first == i && first < bounds.size() && !framesMatch(window->bounds, bounds[first])) {
            moved.insert(i);
        }
    }
    co_await FinderScriptService::batchOperations(toClose, toOpen, paths, bounds, current, toReposition,
                                                  framesMatch);
    co_return moved;
}
