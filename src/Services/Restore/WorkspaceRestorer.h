#pragma once

#include "Models/RestoreReport.h"
#include "Models/Workspace.h"
#include "Services/Restore/RestoreRequest.h"

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
    // applications that the workspace does not hold. request is the restore request, shared by
    // its runs, with what it may still start and what its earlier runs opened (a request of its own
    // when none is given). May be called again at once for the same workspace.
    static QCoro::Task<RestoreReport> restore(const Workspace& workspace, bool closeOtherApps,
                                              std::shared_ptr<RestoreRequest> request = {});
};
