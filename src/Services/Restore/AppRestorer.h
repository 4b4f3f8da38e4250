#pragma once

#include "Models/AppRestoreResult.h"
#include "Models/DisplaySnapshot.h"
#include "Models/WindowSnapshot.h"
#include "Platform/Accessibility.h"
#include "Services/Desktop/WindowMatcher.h"
#include "Services/Restore/RestoreBounds.h"
#include "Services/Restore/RestorePlan.h"

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
// controllable, reopens documents, browser tabs or folder windows, asks for the windows that were
// closed since the save, puts its windows back and hides it when it was saved hidden. Steps whose
// outcome can be read back are tried again (BoundedRetry).
class AppRestorer {
public:
    AppRestorer() = delete;

    static QCoro::Task<AppRestoreOutcome>
    restoreAppFromPlan(AppPlan plan, QList<DisplaySnapshot> savedDisplays, bool closeOtherApps);

    // Forgets which browser windows earlier restores opened. A restore that runs the engine more
    // than once calls it before the first run: within the run, a later pass that opens the saved
    // windows again closes the ones an earlier pass opened for the same saved application,
    // instead of taking them for the user's own.
    static void forgetOpenedBrowserWindows();
    // Whether a browser window came back, placed and with every saved tab, only in the browser's
    // default profile because its own was refused: it is back, and its reason says why not as saved.
    static bool isBackInTheDefaultProfile(const WindowRestoreResult& window);
    // Why a saved browser window without tabs was left alone: nothing tells its window, and
    // nothing is reopened for it.
    inline static const QString savedWithoutTabsReason =
        QStringLiteral("Saved without tabs: nothing to reopen, no window moved for it");

private:
    static QCoro::Task<void> reopenDocuments(RunningApplication app, QStringList documents,
                                             std::shared_ptr<RestoreBounds> bounds);
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
