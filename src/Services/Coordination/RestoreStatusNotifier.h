#pragma once

#include "Services/Coordination/WorkspaceRestoreStatus.h"

#include <QObject>

// The process-wide channel of the restore status message. A post reaches every observer at once,
// on the main thread, in the order of the posts.
class RestoreStatusNotifier : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    static RestoreStatusNotifier& shared();

    void post(const WorkspaceRestoreStatus& status) { emit workspaceRestoreStatusChanged(status); }

signals:
    void workspaceRestoreStatusChanged(const WorkspaceRestoreStatus& status);
};
