#pragma once

#include "Models/AppRestoreResult.h"
#include "Models/DisplaySnapshot.h"
#include "Models/WindowSnapshot.h"
#include "Platform/Accessibility.h"
#include "Services/Desktop/WindowMatcher.h"
#include "Services/Restore/RestorePlan.h"
#include "Services/Restore/RestoreRequest.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <memory>

#include <qcoro/qcorotask.h>

// What restoring one application gave: its result, and its saved windows unchanged (whatever
// happened), which the stacking order raises.
struct AppRestoreOutcome {
    AppRestoreResult result;
    QList<WindowSnapshot> windowSnapshots;
};

// Brings one saved application back as its plan says: launches or reuses it, makes it
// controllable, reopens its browser tabs, its folder windows or its documents and asks for the
// windows that were closed since the save (by the kind of application), puts its windows back and
// hides it when it was saved hidden. Steps whose outcome can be read back are tried again
// (BoundedRetry). What the restore request learns on the way goes into the plan's request (one of
// its own when the plan has none).
class AppRestorer {
public:
    AppRestorer() = delete;

    static QCoro::Task<AppRestoreOutcome>
    restoreAppFromPlan(AppPlan plan, QList<DisplaySnapshot> savedDisplays, bool closeOtherApps);

    // Why a saved browser window without tabs was left alone: nothing tells its window, and
    // nothing is reopened for it.
    inline static const QString savedWithoutTabsReason =
        QStringLiteral("Saved without tabs: nothing to reopen, no window moved for it");

private:
    // A browser: its saved windows are reopened with their tabs, and its windows that show other
    // tabs are the user's.
    static QCoro::Task<AppRestoreOutcome> restoreBrowser(AppPlan plan, QList<DisplaySnapshot> savedDisplays,
                                                         bool closeOtherApps);
    // A file manager: its saved folder windows are reopened.
    static QCoro::Task<AppRestoreOutcome>
    restoreFileManager(AppPlan plan, QList<DisplaySnapshot> savedDisplays, bool closeOtherApps);
    // Any other application: its documents are handed over, and the windows closed since the save
    // asked for.
    static QCoro::Task<AppRestoreOutcome> restoreApplication(AppPlan plan,
                                                             QList<DisplaySnapshot> savedDisplays);
    // An application the plan found as saved: hidden when it was saved hidden, and restored in part
    // when problems (each said once) keep it from being as saved.
    static AppRestoreOutcome leftInPlace(const AppPlan& plan, QStringList problems,
                                         const QList<ClosedWindow>& closed);
    // The result of an application whose saved windows have their results: hidden when it was saved
    // hidden, and summed up.
    static AppRestoreOutcome finished(const AppPlan& plan, const RunningApplication& app,
                                      const QList<WindowRestoreResult>& results,
                                      const QList<ClosedWindow>& closed);
    // Skips placing, reporting every window in place, when the plan found them so and no step
    // since has closed or opened windows (windowsReopened). Each result says what every attempt
    // did to its window; one not among the bystanders' windowsBefore was started by the restore,
    // and one among minimisedBefore that shows now was shown.
    static QCoro::Task<QList<WindowRestoreResult>>
    placeWindows(AppPlan plan, RunningApplication app, QList<DisplaySnapshot> savedDisplays,
                 bool windowsReopened, WindowMatcher::Bystanders bystanders, QSet<AXElement> minimisedBefore);
    // The result of a saved browser window without tabs.
    static WindowRestoreResult savedWithoutTabs(const WindowSnapshot& window);
    static void summarize(AppRestoreResult& result, const AppSnapshot& snapshot);
};
