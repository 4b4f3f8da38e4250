#include "Services/Restore/AppRestorer.h"

#include "Platform/Platform.h"
#include "Services/Desktop/AXWindowService.h"
#include "Services/Restore/AppLauncher.h"
#include "Services/Restore/BoundedRetry.h"
#include "Services/Restore/BrowserRestoreIssues.h"
#include "Services/Restore/BrowserTabRestorer.h"
#include "Services/Restore/BrowserWindowsReopener.h"
#include "Services/Restore/DocumentReopener.h"
#include "Services/Restore/FinderWindowRestorer.h"
#include "Services/Restore/HandedDocuments.h"
#include "Services/Restore/MissingWindowReopener.h"
#include "Services/Restore/OpenedWindows.h"
#include "Services/Restore/RestoreLog.h"
#include "Services/Restore/WindowPlacer.h"
#include "Services/Scripting/BrowserNames.h"
#include "Services/Scripting/FinderScriptService.h"

#include <QSet>

#include <functional>

namespace {

// One attempt at placing the windows; what it did is added to what earlier attempts did (done,
// one entry per saved window). A window one attempt read at rest is not read again (readAtRest).
QCoro::Task<QList<WindowRestoreResult>>
placeAndNote(RunningApplication app, QList<WindowSnapshot> windows, QList<DisplaySnapshot> savedDisplays,
             WindowMatcher::Bystanders bystanders, QSet<AXElement> minimisedBefore,
             std::shared_ptr<QList<QStringList>> done, std::shared_ptr<QSet<AXElement>> readAtRest) {
    QList<WindowRestoreResult> results = co_await WindowPlacer::restoreWindowPositions(
        app, windows, savedDisplays, bystanders, minimisedBefore, readAtRest);
    for (qsizetype i = 0; i < std::min(results.size(), done->size()); ++i) {
        results[i].addActions((*done)[i]);
        (*done)[i] = results[i].actions;
    }
    co_return results;
}

AppRestoreOutcome outcome(const AppPlan& plan, RestoreStatus status, const QString& reason) {
    return AppRestoreOutcome{
        AppRestoreResult{plan.appSnapshot.bundleIdentifier, plan.appSnapshot.appName, status, reason, {}},
        plan.appSnapshot.windowSnapshots};
}

void hide(const RunningApplication& app, const QString& logLine) {
    RestoreLog::log(logLine);
    if (const std::shared_ptr<RunningApplications> port = Platform::current().runningApplications) {
        port->hide(app.processIdentifier);
    }
}

std::optional<RunningApplication> runningApplication(const QString& bundleIdentifier) {
    const std::shared_ptr<RunningApplications> port = Platform::current().runningApplications;
    if (!port) {
        return std::nullopt;
    }
    return port->firstRunning(bundleIdentifier);
}

// The windows the application had before the restore touched it: any other it places, it started.
// And those of them that were minimised: a step before the placing (bringing the application
// forward) may show one. None for an application the restore launches.
struct WindowsBefore {
    QSet<AXElement> all;
    QSet<AXElement> minimised;
};

WindowsBefore windowsBefore(const AppPlan& plan) {
    WindowsBefore before;
    if (!plan.runningApp || plan.needsLaunch) {
        return before;
    }
    const QList<AXElement> windows =
        AXWindowService::axWindowList(*plan.runningApp).value_or(QList<AXElement>());
    before.all = QSet<AXElement>(windows.cbegin(), windows.cend());
    for (const AXElement& window : windows) {
        if (AXWindowService::isMinimized(window)) {
            before.minimised.insert(window);
        }
    }
    return before;
}

// The application the plan launches, handed documents with its start (noted in the request as
// handed), or the one running; nothing when it could not be launched.
QCoro::Task<std::optional<RunningApplication>> launchOrReuse(AppPlan plan, QStringList documents) {
    if (!plan.needsLaunch) {
        co_return plan.runningApp;
    }
    const QString id = plan.appSnapshot.bundleIdentifier;
    std::optional<RunningApplication> app = co_await AppLauncher::launchApp(id, documents, plan.request);
    if (app) {
        plan.request->openedWindows().rememberHanded(id, documents);
    }
    co_return app;
}

AppRestoreOutcome notLaunched(const AppPlan& plan) {
    const bool bounded = plan.request->starts().refused(plan.appSnapshot.bundleIdentifier);
    return outcome(plan, RestoreStatus::failed,
                   bounded ? RestoreBounds::startsRefusal()
                           : QStringLiteral("App could not be launched or found"));
}

// The restore is being cancelled; this result is dropped, and nothing more is moved.
AppRestoreOutcome cancelled(const AppPlan& plan) {
    return outcome(plan, RestoreStatus::cancelled, QStringLiteral("Restore cancelled"));
}

// Saved windows (notStarted, by position) that are not there because the restore's starts ran out
// say so, in place of "not found".
void noteStartsRefused(QList<WindowRestoreResult>& results, const QList<qsizetype>& notStarted) {
    for (const qsizetype i : notStarted) {
        if (i < results.size() && results[i].status == RestoreStatus::failed) {
            results[i].reason = RestoreBounds::startsRefusal();
        }
    }
}

} // namespace

QCoro::Task<AppRestoreOutcome>
AppRestorer::restoreAppFromPlan(AppPlan plan, QList<DisplaySnapshot> savedDisplays, bool closeOtherApps) {
    if (!plan.request) {
        plan.request = std::make_shared<RestoreRequest>();
    }
    // The kind of application chooses the steps, once: a browser's windows are its tabs, a file
    // manager's its folders, any other application's its documents and the windows it is asked for.
    // The kind's own task is handed back as it is: no coroutine of its own stands between.
    const QString id = plan.appSnapshot.bundleIdentifier;
    if (BrowserNames::supportedBrowsers().contains(id)) {
        return restoreBrowser(std::move(plan), std::move(savedDisplays), closeOtherApps);
    }
    if (FinderScriptService::isFileManager(id)) {
        return restoreFileManager(std::move(plan), std::move(savedDisplays), closeOtherApps);
    }
    return restoreApplication(std::move(plan), std::move(savedDisplays));
}

QCoro::Task<AppRestoreOutcome> AppRestorer::restoreBrowser(AppPlan plan, QList<DisplaySnapshot> savedDisplays,
                                                           bool closeOtherApps) {
    const AppSnapshot& snapshot = plan.appSnapshot;
    const QString id = snapshot.bundleIdentifier;
    const std::shared_ptr<RestoreRequest> request = plan.request;
    // The saved windows are open already: with other applications closed, the browser's other
    // windows go too.
    QList<ClosedWindow> closed;
    if (closeOtherApps && plan.runningApp && !plan.needsBrowserTabRestore) {
        closed = co_await BrowserTabRestorer::closeWindowsOutside(
            id, BrowserTabRestorer::openedTabs(BrowserTabRestorer::expectedTabs(snapshot)),
            plan.currentBrowserTabs);
    }
    if (plan.isAlreadyInPlace()) {
        // The browser shows what it was given, which need not be every saved tab.
        QStringList problems = BrowserRestoreIssues::tabIssues(BrowserTabRestorer::expectedTabs(snapshot),
                                                               plan.currentBrowserTabs) +
                               BrowserRestoreIssues::profileRefusals(snapshot);
        problems.removeAll(QString());
        if (std::any_of(snapshot.windowSnapshots.begin(), snapshot.windowSnapshots.end(),
                        [](const WindowSnapshot& w) { return w.tabSnapshots.isEmpty(); })) {
            problems.append(savedWithoutTabsReason);
        }
        co_return leftInPlace(plan, problems, closed);
    }

    const WindowsBefore before = windowsBefore(plan);
    // A browser that does not run starts once, with the first saved window it is asked for (its
    // profile and tabs on its command line), never first on its own.
    const QList<QList<TabSnapshot>> toOpen =
        BrowserTabRestorer::openedTabs(BrowserTabRestorer::expectedTabs(snapshot));
    const bool startsWithItsTabs =
        plan.needsLaunch && plan.needsBrowserTabRestore &&
        std::any_of(toOpen.begin(), toOpen.end(), [](const QList<TabSnapshot>& w) { return !w.isEmpty(); });
    std::optional<RunningApplication> app;
    BrowserWindowsReopener::Outcome reopened;
    if (startsWithItsTabs) {
        reopened = co_await BrowserWindowsReopener::reopen(plan, closeOtherApps);
        app = runningApplication(id);
    } else {
        const QStringList withoutDocuments;
        app = co_await launchOrReuse(plan, withoutDocuments);
    }
    if (!app) {
        co_return notLaunched(plan);
    }
    if (plan.needsActivation) {
        co_await AppLauncher::ensureAppControllable(*app, id, request);
    }
    QStringList tabProblems;
    if (plan.needsBrowserTabRestore && !startsWithItsTabs) {
        reopened = co_await BrowserWindowsReopener::reopen(plan, closeOtherApps);
        // The windows are read from the process that shows them now.
        app = runningApplication(id).value_or(*app);
    } else if (!plan.needsBrowserTabRestore) {
        // The browser already shows what it was given, which need not be every saved tab.
        tabProblems = BrowserRestoreIssues::tabIssues(BrowserTabRestorer::expectedTabs(snapshot),
                                                      plan.currentBrowserTabs);
    }
    closed += reopened.closed;
    if (request->stopRequested()) {
        co_return cancelled(plan);
    }

    // A browser's window is its tabs: one saved without any has nothing to put back, and a window
    // of the user's that shows other tabs is never moved in its place.
    WindowMatcher::Bystanders bystanders{before.all, {}, {}};
    const QList<std::int64_t> others =
        co_await BrowserWindowsReopener::windowsOfOthers(id, snapshot, before.all, request);
    for (const std::int64_t window : others) {
        bystanders.otherWindows.insert(AXElement{quint64(window)});
    }
    AppPlan toPlace = plan;
    QList<qsizetype> withoutTabs;
    for (qsizetype i = toPlace.appSnapshot.windowSnapshots.size() - 1; i >= 0; --i) {
        if (toPlace.appSnapshot.windowSnapshots[i].tabSnapshots.isEmpty()) {
            withoutTabs.prepend(i);
            toPlace.appSnapshot.windowSnapshots.removeAt(i);
            if (i < toPlace.windowPlans.size()) {
                toPlace.windowPlans.removeAt(i);
            }
        }
    }
    // Tabs are put back by closing and opening windows: the frames the plan read belong to windows
    // that may be gone, so the windows are placed and read back.
    QList<WindowRestoreResult> results = co_await placeWindows(
        toPlace, *app, savedDisplays, plan.needsBrowserTabRestore, bystanders, before.minimised);
    for (const qsizetype i : withoutTabs) {
        if (i <= results.size()) {
            results.insert(i, savedWithoutTabs(snapshot.windowSnapshots[i]));
        }
    }
    noteStartsRefused(results, reopened.notStarted);
    if (plan.needsBrowserTabRestore) {
        // Counted once the windows are placed: the browser records a window it opened seconds after
        // the window shows, and only its record says which tabs are back.
        // A window not opened for the bound is neither waited for nor counted short of its tabs: its
        // result says why it is not there.
        AppSnapshot opened = snapshot;
        for (const qsizetype i : reopened.notStarted) {
            opened.windowSnapshots[i].tabSnapshots.clear();
        }
        tabProblems = co_await BrowserWindowsReopener::countedTabIssues(id, opened, request);
    }
    // The refusal first: a tab issue follows it.
    BrowserRestoreIssues::addProfileRefusals(results, BrowserRestoreIssues::profileRefusals(snapshot),
                                             tabProblems);
    BrowserRestoreIssues::addTabIssues(results, tabProblems);
    co_return finished(plan, *app, results, closed);
}

QCoro::Task<AppRestoreOutcome>
AppRestorer::restoreFileManager(AppPlan plan, QList<DisplaySnapshot> savedDisplays, bool closeOtherApps) {
    if (plan.isAlreadyInPlace()) {
        co_return leftInPlace(plan, {}, {});
    }
    const AppSnapshot& snapshot = plan.appSnapshot;
    const QString id = snapshot.bundleIdentifier;
    // Started on its own, a file manager shows the folder it was started in, which is no saved
    // window's: it starts in a saved folder instead, under the rules of any document.
    const QStringList atLaunch =
        plan.needsLaunch && plan.needsFinderWindowRestore
            ? DocumentReopener::admittedDocuments(FinderWindowRestorer::startingFolder(snapshot), id)
            : QStringList();
    const WindowsBefore before = windowsBefore(plan);
    const std::optional<RunningApplication> app = co_await launchOrReuse(plan, atLaunch);
    if (!app) {
        co_return notLaunched(plan);
    }
    // Each saved folder is handed once a request, whoever answers: those given with the start too.
    HandedFolders& handed = plan.request->handedFolders();
    for (const QString& folder : atLaunch) {
        handed.take(id, FinderWindowRestorer::folderKey(folder));
    }
    FinderWindowRestorer::Outcome folders;
    if (plan.needsFinderWindowRestore) {
        folders = co_await FinderWindowRestorer::restoreSavedFolders(
            snapshot, closeOtherApps || plan.needsLaunch, &handed);
    }
    if (plan.request->stopRequested()) {
        co_return cancelled(plan);
    }
    // Folder windows are put back by closing and opening windows: the frames the plan read belong to
    // windows that may be gone, so the windows are placed and read back.
    const AppPlan toPlace = FinderWindowRestorer::withoutRefused(plan, folders);
    const WindowMatcher::Bystanders bystanders{before.all, {}, {}};
    const QList<WindowRestoreResult> placed = co_await placeWindows(
        toPlace, *app, savedDisplays, plan.needsFinderWindowRestore, bystanders, before.minimised);
    co_return finished(plan, *app, FinderWindowRestorer::completed(placed, folders, snapshot),
                       folders.closed);
}

QCoro::Task<AppRestoreOutcome> AppRestorer::restoreApplication(AppPlan plan,
                                                               QList<DisplaySnapshot> savedDisplays) {
    if (plan.isAlreadyInPlace()) {
        co_return leftInPlace(plan, {}, {});
    }
    const AppSnapshot& snapshot = plan.appSnapshot;
    const QString id = snapshot.bundleIdentifier;
    const std::shared_ptr<RestoreRequest> request = plan.request;
    const QStringList documents = DocumentReopener::admittedDocuments(
        request->openedWindows().notHandedYet(id, plan.needsDocumentOpening), id);
    const WindowsBefore before = windowsBefore(plan);
    // An application the restore starts gets its documents with its start.
    const bool handOverAtLaunch = plan.needsLaunch && !documents.isEmpty();
    const QStringList atLaunch = handOverAtLaunch ? documents : QStringList();
    const std::optional<RunningApplication> app = co_await launchOrReuse(plan, atLaunch);
    if (!app) {
        co_return notLaunched(plan);
    }
    if (plan.needsActivation) {
        co_await AppLauncher::ensureAppControllable(*app, id, request);
    }
    if (!handOverAtLaunch && !documents.isEmpty()) {
        co_await HandedDocuments::handOver(*app, documents, request);
    }
    // The windows that came with the documents handed over, in this pass or an earlier one, are
    // theirs alone (none came without documents: their windows are not read).
    const QHash<AXElement, QSet<QUuid>> openedBefore = request->openedWindows().remember(
        documents.isEmpty() ? QHash<AXElement, QSet<QUuid>>()
                            : OpenedWindows::forDocuments(OpenedWindows::shown(*app, before.all), before.all,
                                                          snapshot.windowSnapshots, documents));
    const MissingWindowReopener::Reopened missing = co_await MissingWindowReopener::reopenMissingWindows(
        *app, snapshot.windowSnapshots, savedDisplays, request, openedBefore, before.all);
    // And so are the windows asked for in place of the windows closed since the save.
    const QHash<AXElement, QSet<QUuid>> openedFor = request->openedWindows().remember(missing.openedFor);
    if (request->stopRequested()) {
        co_return cancelled(plan);
    }
    const WindowMatcher::Bystanders bystanders{before.all, {}, openedFor};
    QList<WindowRestoreResult> results =
        co_await placeWindows(plan, *app, savedDisplays, false, bystanders, before.minimised);
    noteStartsRefused(results, QList<qsizetype>(missing.notAskedFor.begin(), missing.notAskedFor.end()));
    co_return finished(plan, *app, results, {});
}

AppRestoreOutcome AppRestorer::leftInPlace(const AppPlan& plan, QStringList problems,
                                           const QList<ClosedWindow>& closed) {
    if (plan.needsHide && plan.runningApp) {
        hide(*plan.runningApp, QStringLiteral("Hiding ") + plan.appSnapshot.appName +
                                   QStringLiteral(" (was hidden when saved, optimized skip)"));
    }
    // Windows refused the same profile say so once.
    problems.removeDuplicates();
    if (!problems.isEmpty()) {
        AppRestoreOutcome partly =
            outcome(plan, RestoreStatus::partiallyRestored, problems.join(QStringLiteral("; ")));
        partly.result.closedWindows = closed;
        return partly;
    }
    AppRestoreOutcome leftAlone =
        outcome(plan, RestoreStatus::restored, QStringLiteral("Already in correct state (optimized skip)"));
    leftAlone.result.foundInSavedState = true;
    leftAlone.result.closedWindows = closed;
    return leftAlone;
}

AppRestoreOutcome AppRestorer::finished(const AppPlan& plan, const RunningApplication& app,
                                        const QList<WindowRestoreResult>& results,
                                        const QList<ClosedWindow>& closed) {
    const AppSnapshot& snapshot = plan.appSnapshot;
    if (plan.needsHide) {
        hide(app, QStringLiteral("Hiding ") + snapshot.appName + QStringLiteral(" (was hidden when saved)"));
    }
    AppRestoreResult result{
        snapshot.bundleIdentifier, snapshot.appName, RestoreStatus::restored, QString(), {}};
    result.windowResults = results;
    summarize(result, snapshot);
    result.closedWindows = closed;
    return AppRestoreOutcome{result, snapshot.windowSnapshots};
}

WindowRestoreResult AppRestorer::savedWithoutTabs(const WindowSnapshot& window) {
    return WindowRestoreResult{window.windowTitle, RestoreStatus::skipped, savedWithoutTabsReason,
                               std::nullopt, std::nullopt};
}

QCoro::Task<QList<WindowRestoreResult>> AppRestorer::placeWindows(AppPlan plan, RunningApplication app,
                                                                  QList<DisplaySnapshot> savedDisplays,
                                                                  bool windowsReopened,
                                                                  WindowMatcher::Bystanders bystanders,
                                                                  QSet<AXElement> minimisedBefore) {
    const bool anyToMove = std::any_of(plan.windowPlans.begin(), plan.windowPlans.end(),
                                       [](const WindowPlan& w) { return w.needsPositioning; });
    if (!anyToMove && !windowsReopened && !plan.windowPlans.isEmpty()) {
        QList<WindowRestoreResult> results;
        for (const WindowPlan& window : plan.windowPlans) {
            WindowRestoreResult inPlace{window.snapshot.windowTitle, RestoreStatus::restored,
                                        QStringLiteral("Already at correct position (optimized skip)"),
                                        window.targetFrame, window.currentFrame};
            inPlace.finding = WindowFinding::inPlace;
            results.append(inPlace);
        }
        co_return results;
    }
    const QList<WindowSnapshot> windows = plan.appSnapshot.windowSnapshots;
    // What each attempt did: a window the first attempt moved and a later one found in place was
    // still moved by this restore.
    const auto done = std::make_shared<QList<QStringList>>(windows.size());
    const auto readAtRest = std::make_shared<QSet<AXElement>>();
    const std::function<QCoro::Task<QList<WindowRestoreResult>>(int)> operation =
        [app, windows, savedDisplays, bystanders, minimisedBefore, done, readAtRest](int) {
            return placeAndNote(app, windows, savedDisplays, bystanders, minimisedBefore, done, readAtRest);
        };
    const std::function<QCoro::Task<bool>(const QList<WindowRestoreResult>&)> check =
        [app, windows, savedDisplays](const QList<WindowRestoreResult>& results) {
            const bool allPlaced =
                std::all_of(results.begin(), results.end(), [](const WindowRestoreResult& r) {
                    return r.status == RestoreStatus::restored ||
                           r.status == RestoreStatus::partiallyRestored;
                });
            // A window the attempt could not place stays unplaced however long it is waited for.
            return BoundedRetry::ready(
                allPlaced && WindowPlacer::verifyWindowPositionsWithMatcher(app, windows, savedDisplays));
        };
    co_return co_await BoundedRetry::run<QList<WindowRestoreResult>>(operation, check);
}

void AppRestorer::summarize(AppRestoreResult& result, const AppSnapshot& snapshot) {
    const qsizetype n = result.windowResults.size();
    QStringList issues;
    qsizetype k = 0;
    for (const WindowRestoreResult& window : result.windowResults) {
        if (window.status == RestoreStatus::restored || window.backInDefaultProfile || window.tabsUnread) {
            ++k;
        }
        // Windows held back by one cause (a profile refused) name it once.
        if (window.status != RestoreStatus::restored && !issues.contains(window.reason)) {
            issues.append(window.reason);
        }
    }
    if (n == 0) {
        const bool none = snapshot.windowSnapshots.isEmpty();
        result.status = none ? RestoreStatus::restored : RestoreStatus::partiallyRestored;
        result.reason = none ? QStringLiteral("App launched (no windows to restore)")
                             : QStringLiteral("App launched but no windows could be positioned");
    } else if (issues.isEmpty()) {
        result.status = RestoreStatus::restored;
        result.reason = QStringLiteral("All ") + QString::number(n) + QStringLiteral(" windows restored");
    } else {
        result.status = RestoreStatus::partiallyRestored;
        result.reason = QString::number(k) + QStringLiteral("/") + QString::number(n) +
                        QStringLiteral(" windows restored. Issues: ") + issues.join(QStringLiteral("; "));
    }
}
