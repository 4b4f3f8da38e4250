#pragma once

#include "Models/RestoreReport.h"
#include "Models/TabSnapshot.h"
#include "Models/Workspace.h"
#include "Services/Restore/RestoreBounds.h"

#include <QList>
#include <QString>

#include <memory>

#include <qcoro/qcorotask.h>

// The restore engine: puts a saved workspace back on the live desktop and reports what it did.
// All of it runs on the main thread; the applications of a workspace are restored side by side,
// taking turns at their waits. It never fails as a whole: every outcome is a report.
class WorkspaceRestorer {
public:
    WorkspaceRestorer() = delete;

    // Restores the workspace. closeOtherApps chooses between quitting and hiding the running
    // applications that the workspace does not hold. bounds is what the restore may still start,
    // shared by the runs of one request (a whole allowance of its own when none is given). May be
    // called again at once for the same workspace.
    static QCoro::Task<RestoreReport> restore(const Workspace& workspace, bool closeOtherApps,
                                              std::shared_ptr<RestoreBounds> bounds = {});

    // A tab URL in the form tabs are compared in: trailing slashes dropped, lower case.
    static QString normalizeURL(const QString& url);
    // Whether the current browser windows already show the desired windows' tabs.
    static bool browserTabsMatch(const QList<QList<TabSnapshot>>& desired,
                                 const QList<QList<TabSnapshot>>& current);
};
