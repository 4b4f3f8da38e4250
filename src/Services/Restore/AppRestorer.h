#pragma once

#include "Models/AppRestoreResult.h"
#include "Models/DisplaySnapshot.h"
#include "Models/WindowSnapshot.h"
#include "Platform/Accessibility.h"
#include "Platform/Clock.h"
#include "Services/Desktop/WindowMatcher.h"
#include "Services/Restore/BrowserTabRestorer.h"
#include "Services/Restore/RestorePlan.h"

#include <QList>
#include <QSet>
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
// closed since the save, puts its windows back and hides it when it was saved hidden. Steps whose outcome can
// be read back are tried up to three times.
class AppRestorer {
public:
    AppRestorer() = delete;

    static QCoro::Task<AppRestoreOutcome>
    restoreAppFromPlan(AppPlan plan, QList<DisplaySnapshot> savedDisplays, bool closeOtherApps);

    static constexpr int retryAttempts = 3;
    // Forgets which browser windows earlier restores opened. A restore that runs the engine more
    // than once calls it before the first run: within the run, a later pass that opens the saved
    // windows again closes the ones an earlier pass opened for the same saved application,
    // instead of taking them for the user's own.
    static void forgetOpenedBrowserWindows();
    // The saved windows of a browser application that this restore request handed to the browser
    // whole, with the windows it showed for them.
    static BrowserTabRestorer::Handed handedBrowserWindows(const AppSnapshot& snapshot);
    // For each saved window, what of its tabs did not come back ("" when all did): saved addresses
    // the browser was not given, tabs it does not show, an active tab it does not show active.
    static QStringList tabIssues(const QList<QList<TabSnapshot>>& saved,
                                 const QList<QList<TabSnapshot>>& current);
    // Whether a saved address opened as opened is a new-tab or start page shown as the blank page
    // that stands in for it (browsers open no such page they are handed): that tab is back.
    static bool isBlankStandIn(const QString& saved, const QString& opened);
    // Whether a browser window came back, placed and with every saved tab, only in the browser's
    // default profile because its own was refused: it is back, and its reason says why not as saved.
    static bool isBackInTheDefaultProfile(const WindowRestoreResult& window);
    // The pause after attempt n (1-based): 100 ms, then 200 ms, growing to at most 800 ms.
    static Clock::Duration retryPause(int attempt);
    // Why a saved browser window without tabs was left alone: nothing tells its window, and
    // nothing is reopened for it.
    inline static const QString savedWithoutTabsReason =
        QStringLiteral("Saved without tabs: nothing to reopen, no window moved for it");

private:
    // Opens the saved windows no window shows, tried again while the browser's record shows them
    // short of tabs.
    // Answers the browser's windows its tidying closed.
    static QCoro::Task<QList<ClosedWindow>> restoreTabs(AppPlan plan, bool closeOtherApps);
    // The tab issues of each saved window (tabIssues), once the browser's record lists its windows
    // (those handed whole with the tabs they were handed).
    static QCoro::Task<QStringList> countedTabIssues(QString bundleIdentifier,
                                                     QList<QList<TabSnapshot>> saved,
                                                     BrowserTabRestorer::Handed handed);
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
    // The windows among windowsBefore that show no saved window's tabs (all of them when the
    // browser's windows cannot be told apart), by their numbers; never one this request opened
    // for the saved windows.
    static QCoro::Task<QList<std::int64_t>> windowsOfOthers(QString browser, AppSnapshot snapshot,
                                                            QSet<AXElement> windowsBefore);
    // One attempt: opens the saved windows, then closes those this request opened for them
    // before (key names the saved application), and notes the ones it opened; adds the windows
    // its tidying closed to closed.
    static QCoro::Task<void> openTabs(QString bundleIdentifier, QString key, AppSnapshot snapshot,
                                      bool closeOtherApps, bool launched,
                                      std::shared_ptr<QList<ClosedWindow>> closed);
    // Whether the browser shows the expected tabs, or its record has not caught up with a window.
    static QCoro::Task<bool> tabsMatch(QString bundleIdentifier, QList<QList<TabSnapshot>> expected);
    // The saved new-tab and start pages that come back as blank pages, each once.
    static QStringList blankStandIns(const QList<QList<TabSnapshot>>& saved);
    static void summarize(AppRestoreResult& result, const AppSnapshot& snapshot);
    // Windows that were put back with tabs missing are restored only in part.
    static void addTabIssues(QList<WindowRestoreResult>& results, const QStringList& issues);
    // For each saved window, why its browser profile was not taken ("" when it was, or it has
    // none): such a window opens in the browser's default profile.
    static QStringList profileRefusals(const AppSnapshot& snapshot);
    // A window whose profile was refused is reported so, once, before what else held it back (it is
    // in part back when its tabs are, and counted back when it was placed too). Comes before
    // addTabIssues.
    static void addProfileRefusals(QList<WindowRestoreResult>& results, const QStringList& refusals,
                                   const QStringList& tabIssues);
};
