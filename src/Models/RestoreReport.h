#pragma once

#include "Models/AppRestoreResult.h"

#include <QList>
#include <QString>
#include <QStringList>

// What one restore (or revert) did: the overall status, one result per application, the time
// taken and what was found about the displays.
struct RestoreReport {
    QString workspaceName;
    RestoreStatus status = RestoreStatus::skipped;
    QList<AppRestoreResult> appResults;
    double duration = 0; // seconds
    QStringList displayMappingNotes;
    // Names of saved displays that are not connected.
    QStringList missingDisplays;

    // The one rule that turns the application results into the overall status.
    static RestoreStatus deriveStatus(const QList<AppRestoreResult>& from,
                                      const QStringList& missingDisplays);
    // The line shown to the user.
    QString summary() const;

    bool operator==(const RestoreReport&) const = default;
};
