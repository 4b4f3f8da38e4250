#pragma once

#include <QString>

#include <qcoro/qcorotask.h>

// Tells the user that windows cannot be read or moved without accessibility access, and offers to
// show how to get it. Each call shows a fresh alert; whether access was granted is found out by
// the caller's next check.
class PermissionManager {
public:
    PermissionManager() = delete;

    static QCoro::Task<void> showAccessibilityAlert();
    // What "Open Settings" does: opens the help page, or shows its text when no page opens.
    static QCoro::Task<void> showAccessibilityHelp();

    // What the desktop must offer for windows to be read and moved. This desktop has no privacy
    // pane to open, so "Open Settings" shows this text instead.
    static QString accessibilityHelpText();
    // Where the help page is written before it is opened.
    static QString accessibilityHelpPath();
    // Writes the help page and opens it in the user's browser; false when either fails.
    static bool openAccessibilityHelp();
};
