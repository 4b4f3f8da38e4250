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

    // The report of a request whose restore ran more than once (runs, in order; not empty): the
    // last run's, except that an application the last run found in its saved state, and so left
    // alone, is reported with what an earlier run did to it and the check's finding after it; and
    // each application with the windows every run closed.
    static RestoreReport ofRuns(const QList<RestoreReport>& runs);
    // The result of another run of the same request that stands for results[index]: the one of the
    // same application that as many results of that application come before (a workspace file may
    // list one application twice); nothing when that run has none.
    static const AppRestoreResult* counterpart(const QList<AppRestoreResult>& results, qsizetype index,
                                               const QList<AppRestoreResult>& inRun);
    // The one rule that turns the application results into the overall status.
    static RestoreStatus deriveStatus(const QList<AppRestoreResult>& from,
                                      const QStringList& missingDisplays);
    // The line shown to the user.
    QString summary() const;
    // The same line for the interface: each name and reason in it isolated, so that directional
    // marks in one never reorder the rest of the line.
    QString isolatedSummary() const;

    bool operator==(const RestoreReport&) const = default;

private:
    QString summary(QString (*outside)(const QString&)) const;
};
