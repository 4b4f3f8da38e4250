#pragma once

#include "Models/AppRestoreResult.h"
#include "Models/AppSnapshot.h"
#include "Models/DisplaySnapshot.h"
#include "Models/TabSnapshot.h"
#include "Models/WindowRestoreResult.h"
#include "Models/WindowSnapshot.h"
#include "Platform/Accessibility.h"
#include "Platform/RunningApplications.h"

#include <QList>
#include <QString>

#include <qcoro/qcorotask.h>

#include <optional>

// The steps with which a revert puts applications, browsers and windows back: launching an
// application without bringing it to the front, reopening a browser with its tabs, putting a
// running browser's tabs and windows back, and putting windows back where and as they were. Log lines go to
// the analysis log as the revert's own. Main thread.
class RevertSteps {
public:
    using TabList = QList<QList<TabSnapshot>>;

    RevertSteps() = delete;

    // The outcome of a launch: the running application, or why there is none.
    struct Launch {
        enum class Outcome { running, notFound, failed, timedOut };
        Outcome outcome = Outcome::notFound;
        QString error;
        std::optional<RunningApplication> app;
    };
    // Launches the installed application without activating it and waits up to 5 seconds, looking
    // every 0.2 seconds, for it to run.
    static QCoro::Task<Launch> launchWithoutActivating(QString bundleIdentifier);
    // Waits up to 5 seconds, looking every 0.2 seconds, until the application lists count windows.
    static QCoro::Task<void> waitForWindows(QString bundleIdentifier, qsizetype count);

    // Launches a browser the restore quit and reopens its saved windows with their tabs.
    static QCoro::Task<AppRestoreResult> reopenBrowser(AppSnapshot appSnapshot);
    // Puts a running browser's saved tabs back (unless it already shows exactly them) and its
    // windows. A window that shows a saved window's tabs is kept as it is (with its history); the
    // saved windows no window shows are opened; then the windows the restore opened (those not
    // there before it) and blank ones are closed.
    static QCoro::Task<AppRestoreResult> restoreBrowserState(RunningApplication app, AppSnapshot appSnapshot,
                                                             QList<DisplaySnapshot> savedDisplays);
    // Puts each saved window back to its frame, mapped to a current display and kept within its
    // visible area, and minimised or shown as it was; the window is found as a restore finds it
    // (the window itself first, then the matcher's clues, the saved window index last). One result
    // per window: "Window positioned" only when the window reads back shown within 50 points of
    // that frame (within a second), "Window minimized" only when it reads back minimised.
    static QCoro::Task<QList<WindowRestoreResult>>
    restoreWindowPositions(RunningApplication app, QList<WindowSnapshot> snapshots,
                           QList<DisplaySnapshot> savedDisplays);
    // Puts the file manager's folder windows back as they were before the restore: the windows
    // showing a folder the restore was to open that no window showed before are closed, and a
    // folder shown before that no window shows now (the restore closed it) is opened again at its
    // frame. before is the file manager as recorded then (no windows when it had none), restored
    // as the workspace saved it. Nothing when there was nothing to put back, or when what was
    // shown before cannot be told (no window recorded with its folder).
    static QCoro::Task<std::optional<AppRestoreResult>> restoreFolderWindows(AppSnapshot before,
                                                                             AppSnapshot restored);
    // Waits until the browser shows at least the expected number of windows, each with at least
    // its expected number of tabs, or until timeout seconds have passed (not an error); whether it
    // came to show them.
    static QCoro::Task<bool> waitForBrowserTabs(QString bundleIdentifier, TabList expectedTabsByWindow,
                                                double timeout);
    // The same windows with the same tabs in the same order, URLs compared without case, one
    // trailing "/" and any "www.".
    static bool browserTabsMatch(const TabList& desired, const TabList& current);

    // The saved tabs of each saved window, empty lists included.
    static TabList savedTabs(const AppSnapshot& appSnapshot);
    // For each desired window with tabs, the first current window not taken by an earlier one that
    // shows exactly its tabs (as browserTabsMatch compares them); nothing for the others.
    static QList<std::optional<qsizetype>> windowsShowing(const TabList& desired, const TabList& current);
    // The same windows with the same tabs, in whatever order the windows stand.
    static bool sameWindows(const TabList& desired, const TabList& current);

private:
    // Opens the saved windows with their tabs, frames and profiles; whether the browser came to
    // show them.
    static QCoro::Task<bool> openSavedTabs(AppSnapshot appSnapshot);
    // Opens the saved windows that no window of current shows, then closes what the restore left;
    // whether the windows opened came to show their tabs.
    static QCoro::Task<bool> putTabsBack(AppSnapshot appSnapshot, TabList current);
};
