#pragma once

#include "Models/AppRestoreResult.h"
#include "Models/RestoreReport.h"
#include "Models/Workspace.h"
#include "Platform/RunningApplications.h"
#include "Services/Coordination/RevertState.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

#include <qcoro/qcorotask.h>

#include <optional>

// Records the desktop just before each restore (the last five records, in memory only) and
// undoes a restore from its record: quits the applications it opened, relaunches those it quit
// and puts the windows and browser tabs of the earlier applications back. Logs to the analysis
// log with the tag "RevertStateManager". Main thread; other work may run at each of its waits.
class RevertStateManager : public QObject {
    Q_OBJECT
public:
    static constexpr int maxStoredStates = 5;

    using QObject::QObject;

    static RevertStateManager& shared();

    // Captures the desktop and stores a record for the restore of restoredWorkspace that is about
    // to run; its id, or nothing without the accessibility permission or when the capture fails.
    QCoro::Task<std::optional<QString>> captureCurrentState(QString originalWorkspaceName,
                                                            bool closeOtherApps, Workspace restoredWorkspace);
    // Adds to the record under id the applications its restore quit that the record does not
    // hold (their windows came up after it was taken): the revert starts them again.
    void noteQuitApplications(const QString& id, const QList<RunningApplication>& quit);
    // Undoes the restore recorded under id and reports what it did. The record is used up when
    // the revert starts, so a second revert of it (from another button, say) finds nothing.
    QCoro::Task<RestoreReport> revertToState(QString id);

    // The ids of the stored records, oldest first.
    const QStringList& storedStateIDs() const { return m_stateIDQueue; }
    std::optional<RevertState> state(const QString& id) const;

    // How long a quitting application is given before it counts as refusing.
    static constexpr double closeTimeout = 5.0;

private:
    QCoro::Task<AppRestoreResult> closeApp(QString bundleIdentifier, QString appName);
    QCoro::Task<AppRestoreResult> reopenApp(AppSnapshot appSnapshot);
    QCoro::Task<QList<AppRestoreResult>> restoreWindows(RevertState state);
    void store(RevertState state);

    QHash<QString, RevertState> m_revertStates;
    QStringList m_stateIDQueue;
};
