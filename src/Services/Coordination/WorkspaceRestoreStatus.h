#pragma once

#include "Models/RestoreReport.h"

#include <QMetaType>
#include <QString>

#include <optional>

// One post of the in-process message that tells the menu-bar window how restores and reverts go.
// Five kinds are posted: "restoring" with the workspace's name before a trigger restore;
// "reverting" before a revert from a notification; "nothingToRevert" when a notification's Revert
// comes after its restore was reverted already; and a result (a status name) with its report,
// after a restore (with the revert-state id when the pre-restore capture gave one) or a revert
// (marked as one, so that the window words it as a revert wherever it was started).
struct WorkspaceRestoreStatus {
    static inline const QString restoring = QStringLiteral("restoring");
    static inline const QString reverting = QStringLiteral("reverting");
    static inline const QString nothingToRevert = QStringLiteral("nothingToRevert");

    // "restoring", "reverting" or the name of the result's RestoreStatus.
    QString status;
    std::optional<QString> workspaceName;
    std::optional<RestoreReport> report;
    std::optional<QString> revertStateID;
    // The result is a revert's.
    bool ofRevert = false;

    static WorkspaceRestoreStatus restoringWorkspace(const QString& name) {
        return {restoring, name, {}, {}};
    }
    static WorkspaceRestoreStatus revertingWorkspace() { return {reverting, {}, {}, {}}; }
    static WorkspaceRestoreStatus nothingLeftToRevert() { return {nothingToRevert, {}, {}, {}}; }
    static WorkspaceRestoreStatus result(const RestoreReport& report,
                                         const std::optional<QString>& revertStateID) {
        return {RestoreStatusText::rawValue(report.status), {}, report, revertStateID};
    }
    static WorkspaceRestoreStatus revertResult(const RestoreReport& report) {
        return {RestoreStatusText::rawValue(report.status), {}, report, {}, true};
    }

    bool operator==(const WorkspaceRestoreStatus&) const = default;
};

Q_DECLARE_METATYPE(WorkspaceRestoreStatus)
