#pragma once

#include "Models/RestoreReport.h"

#include <QMetaType>
#include <QString>

#include <optional>

// One post of the in-process message that tells the menu-bar window how restores and reverts go.
// Four kinds are posted: "restoring" with the workspace's name before a trigger restore;
// "reverting" before a revert from a notification; and a result (a status name) with its report,
// after a restore (with the revert-state id when the pre-restore capture gave one) or a revert.
struct WorkspaceRestoreStatus {
    static inline const QString restoring = QStringLiteral("restoring");
    static inline const QString reverting = QStringLiteral("reverting");

    // "restoring", "reverting" or the name of the result's RestoreStatus.
    QString status;
    std::optional<QString> workspaceName;
    std::optional<RestoreReport> report;
    std::optional<QString> revertStateID;

    static WorkspaceRestoreStatus restoringWorkspace(const QString& name) {
        return {restoring, name, {}, {}};
    }
    static WorkspaceRestoreStatus revertingWorkspace() { return {reverting, {}, {}, {}}; }
    static WorkspaceRestoreStatus result(const RestoreReport& report,
                                         const std::optional<QString>& revertStateID) {
        return {RestoreStatusText::rawValue(report.status), {}, report, revertStateID};
    }

    bool operator==(const WorkspaceRestoreStatus&) const = default;
};

Q_DECLARE_METATYPE(WorkspaceRestoreStatus)
