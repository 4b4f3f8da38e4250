#pragma once

#include "Models/Workspace.h"
#include "Platform/RunningApplications.h"
#include "Services/Scripting/FinderScriptService.h"

#include <QHash>
#include <QList>
#include <QPair>
#include <QSet>
#include <QString>

#include <qcoro/qcorotask.h>

#include <optional>

// Takes a snapshot of the live desktop as a new workspace: the regular applications, front to
// back, with their windows, the tabs of supported browsers, the folders of file-manager windows,
// and the connected displays. Every step writes a line to the analysis log.
class WorkspaceCapturer {
public:
    // Never captured: the application itself and the system's own user-interface processes.
    static const QSet<QString>& excludedBundleIDs();

    // The snapshot, or nothing when the accessibility permission is missing (the permission
    // alert is then shown). Every other shortfall gives a smaller workspace.
    static QCoro::Task<std::optional<Workspace>> capture(QString name);

    // A tab window (by its position) paired with a captured window (by its position).
    using TabPairing = QList<QPair<qsizetype, QList<TabSnapshot>>>;
    // Pairs a browser's tab windows with its captured windows, mostly by title.
    static TabPairing matchTabWindowsToAXWindows(const QList<QList<TabSnapshot>>& tabsByWindow,
                                                 const QList<WindowSnapshot>& windowSnapshots);
    // Gives each file-manager window the folder it shows and drops the windows left without one.
    static void attachFinderPaths(QList<WindowSnapshot>& windows,
                                  const QList<FinderScriptService::FinderWindowInfo>& finderWindows);
    // Ranks applications by their frontmost large on-screen window: bundle identifier -> 0, 1, ...
    static QHash<QString, qint64> captureAppZOrder(const QList<RunningApplication>& runningApps);

    static constexpr auto finderBundleID = "com.apple.finder";
};
