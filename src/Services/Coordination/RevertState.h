#pragma once

#include "Models/AppSnapshot.h"
#include "Models/DisplaySnapshot.h"
#include "Models/Workspace.h"

#include <QDateTime>
#include <QList>
#include <QSet>
#include <QString>

// What the desktop looked like just before one restore, kept in memory so that the restore can be
// undone. A value; never saved.
struct RevertState {
    // A bare upper-case UUID.
    QString id;
    QDateTime capturedAt;
    QString originalWorkspaceName;
    bool closeOtherApps = false;
    // The applications the capture recorded, with their windows and tabs.
    QList<AppSnapshot> preRestoreApps;
    QList<DisplaySnapshot> preRestoreDisplays;
    Workspace restoredWorkspace;
    // The bundle identifiers of every application that ran, also those a capture leaves out
    // (background and system processes, the application itself).
    QSet<QString> preRestoreRunningBundleIDs;

    // The workspace's applications the restore is taken to have opened, in workspace order: those
    // not running before it. Applications a capture never records are left out, so a revert never
    // quits what it could not have seen open (among them this application itself).
    QList<AppSnapshot> appsToCloseOnRevert() const;
    // The applications the restore is taken to have quit: with closeOtherApps, the captured
    // applications that the workspace does not hold; otherwise none.
    QList<AppSnapshot> appsToReopenOnRevert() const;
};
