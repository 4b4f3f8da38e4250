#pragma once

#include "Models/Workspace.h"
#include "Platform/RunningApplications.h"
#include "Services/Restore/RestorePlan.h"

#include <QList>
#include <QStringList>

#include <memory>

#include <qcoro/qcorotask.h>

// Compares a saved workspace with the live desktop and writes down, per application and window,
// what a restore has to do. It only reads the desktop.
class RestorePlanner {
public:
    RestorePlanner() = delete;

    // request: the restore request, shared by all its passes (a fresh one when none is given),
    // with what it may still start and what its earlier passes opened.
    static QCoro::Task<RestorePlan> analyzeCurrentState(Workspace workspace,
                                                        std::shared_ptr<RestoreRequest> request = {});

    // Whether the process shows an on-screen window of at least 100 x 100 points.
    static bool appHasVisibleWindows(qint32 pid);
    // Whether the application shows a window (not minimised, of some size) on a virtual desktop
    // that is not the one shown.
    static bool showsWindowsElsewhere(const RunningApplication& app);
    // The bundle identifiers of the applications that show a window of at least 200 x 200
    // points, each once, front to back.
    static QStringList captureCurrentZOrder(const QList<RunningApplication>& runningApps);

    // The documents (or folders) of the saved windows that have one, in window order.
    static QStringList savedDocuments(const AppSnapshot& snapshot);

    static inline const QString finderBundleID = QStringLiteral("com.apple.finder");
    static inline const QString terminalBundleID = QStringLiteral("com.apple.Terminal");

private:
    static QCoro::Task<AppPlan> planApp(AppSnapshot snapshot, QList<RunningApplication> running,
                                        QList<DisplaySnapshot> savedDisplays,
                                        std::shared_ptr<RestoreRequest> request);
    static bool needsActivation(const AppSnapshot& snapshot, const RunningApplication& app);
};
