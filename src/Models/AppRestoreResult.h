#pragma once

#include "Models/WindowRestoreResult.h"

#include <QList>
#include <QString>

// A window of the application that the restore closed and no saved window stood for, as read back:
// gone after the restore closed it.
struct ClosedWindow {
    // What it showed: its shown tab's title, else that tab's address; a folder window's title.
    QString shown;
    enum class Why {
        // It showed nothing but a blank or new-tab page.
        blank,
        // Other applications were closed, and it is not one of the workspace's windows.
        outsideWorkspace,
        // A folder window of the file manager that showed a folder the workspace does not hold:
        // the folder step closes those whether other applications are closed or not.
        folderOutsideWorkspace,
    };
    Why why = Why::blank;

    bool operator==(const ClosedWindow&) const = default;
};

// The outcome of restoring one application and its windows.
struct AppRestoreResult {
    QString bundleIdentifier;
    QString appName;
    RestoreStatus status = RestoreStatus::skipped;
    QString reason;
    QList<WindowRestoreResult> windowResults;
    // The run found the application in its saved state and left it alone (no window results).
    bool foundInSavedState = false;
    // Saved windows past the bound of what one restore reopens: neither planned nor asked for.
    qsizetype windowsLeftOut = 0;
    // The application's windows it closed that no saved window stood for.
    QList<ClosedWindow> closedWindows{};

    bool operator==(const AppRestoreResult&) const = default;
};
