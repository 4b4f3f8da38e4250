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
#include "Services/Restore/MissingWindowReopener.h"
#include "Services/Restore/OpenedWindows.h"
#include "Services/Restore/RestoreLog.h"
#include "Services/Restore/RestoreWait.h"
#include "Services/Restore/WindowPlacer.h"
#include "Services/Scripting/BrowserScriptService.h"
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
        app, windows, savedDisplays, true, bystanders, minimisedBefore, readAtRest);
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

// Whether the application lists every document wanted (as exact strings).
bool showsDocuments(const RunningApplication& app, const QSet<QString>& wanted) {
    const QStringList open = AXWindowService::currentDocumentURLs(app);
    return QSet<QString>(open.begin(), open.end()).contains(wanted);
}

// The hand-overs of documents so far: the documents the desktop took, and the last one's time, the
// windows there were before it and how many documents it handed that were not shown then.
struct HandedDocuments {
    QSet<QString> taken;
    std::optional<Clock::TimePoint> at;
    QSet<AXElement> windowsBefore;
    qsizetype count = 0;
};

QSet<AXElement> windowsOf(const RunningApplication& app) {
    const QList<AXElement> windows = AXWindowService::axWindowList(app).value_or(QList<AXElement>());
    return QSet<AXElement>(windows.begin(), windows.end());
}

// Whether the application answered the last hand-over: it shows the documents, or a new window
// for each (a program whose windows do not tell their documents).
bool answered(const RunningApplication& app, const QSet<QString>& wanted, const HandedDocuments& handed) {
    return showsDocuments(app, wanted) || (windowsOf(app) - handed.windowsBefore).size() >= handed.count;
}

// One attempt at handing the documents over. A document the desktop took is not handed again: its
// window may come seconds later (a program that starts a process for it, on a busy machine), and
// a second hand-over would show it twice. An attempt after the first waits for the answer to the
// last hand-over instead, up to the readiness wait after it, and hands again only what the desktop
// refused to take.
QCoro::Task<bool> handOverDocuments(RunningApplication app, QStringList documents,
                                    std::shared_ptr<RestoreBounds> bounds,
                                    std::shared_ptr<HandedDocuments> handed) {
    const std::shared_ptr<Clock> clock = Platform::current().clock;
    const QSet<QString> wanted(documents.begin(), documents.end());
    if (handed->at) {
        const Clock::Duration left = std::chrono::duration_cast<Clock::Duration>(
            *handed->at + Clock::seconds(MissingWindowReopener::readinessWait) - clock->now());
        const auto came = [&app, &wanted, &handed] { return answered(app, wanted, *handed); };
        if (co_await RestoreWait::pollUntil(came, left, RestoreWait::ms(200))) {
            co_return true;
        }
    }
    QStringList toHand;
    for (const QString& document : documents) {
        if (!handed->taken.contains(document)) {
            toHand.append(document);
        }
    }
    if (toHand.isEmpty()) {
        co_return true;
    }
    const QStringList shown = AXWindowService::currentDocumentURLs(app);
    handed->at = clock->now();
    handed->windowsBefore = windowsOf(app);
    const QString id = app.bundleIdentifier.value_or(QString());
    const QStringList taken = co_await DocumentReopener::openDocuments(toHand, app, id, bounds);
    OpenedWindows::rememberHanded(id, taken);
    handed->taken.unite(QSet<QString>(taken.begin(), taken.end()));
    handed->count =
        (QSet<QString>(taken.begin(), taken.end()) - QSet<QString>(shown.begin(), shown.end())).size();
    co_return true;
}

std::optional<RunningApplication> runningApplication(const QString& bundleIdentifier) {
    const std::shared_ptr<RunningApplications> port = Platform::current().runningApplications;
    if (!port) {
        return std::nullopt;
    }
    return port->firstRunning(bundleIdentifier);
}

} // namespace

QCoro::Task<AppRestoreOutcome>
AppRestorer::restoreAppFromPlan(AppPlan plan, QList<DisplaySnapshot> savedDisplays, bool closeOtherApps) {
    const AppSnapshot& snapshot = plan.appSnapshot;
    const QString id = snapshot.bundleIdentifier;
    const bool isBrowser = BrowserScriptService::supportedBrowsers().contains(id);
    const bool isFinder = FinderScriptService::isFileManager(id);

    // The saved windows are open already: with other applications closed, the browser's other
    // windows go too.
    QList<ClosedWindow> closed;
    if (isBrowser && closeOtherApps && plan.runningApp && !plan.needsBrowserTabRestore) {
        closed = co_await BrowserTabRestorer::closeWindowsOutside(
            id, BrowserTabRestorer::openedTabs(BrowserTabRestorer::expectedTabs(snapshot)),
            plan.currentBrowserTabs);
    }
    if (plan.isAlreadyInPlace()) {
        if (plan.needsHide && plan.runningApp) {
            hide(*plan.runningApp, QStringLiteral("Hiding ") + snapshot.appName +
                                       QStringLiteral(" (was hidden when saved, optimized skip)"));
        }
        // The browser shows what it was given, which need not be every saved tab.
        QStringList tabProblems;
        if (isBrowser) {
            for (const QString& issue : BrowserRestoreIssues::tabIssues(
                     BrowserTabRestorer::expectedTabs(snapshot), plan.currentBrowserTabs)) {
                if (!issue.isEmpty()) {
                    tabProblems.append(issue);
                }
            }
        }
        if (isBrowser) {
            for (const QString& refusal : BrowserRestoreIssues::profileRefusals(snapshot)) {
                if (!refusal.isEmpty()) {
                    tabProblems.append(refusal);
                }
            }
            if (std::any_of(snapshot.windowSnapshots.begin(), snapshot.windowSnapshots.end(),
                            [](const WindowSnapshot& w) { return w.tabSnapshots.isEmpty(); })) {
                tabProblems.append(savedWithoutTabsReason);
            }
        }
        // Windows refused the same profile say so once.
        tabProblems.removeDuplicates();
        if (!tabProblems.isEmpty()) {
            AppRestoreOutcome partly =
                outcome(plan, RestoreStatus::partiallyRestored, tabProblems.join(QStringLiteral("; ")));
            partly.result.closedWindows = closed;
            co_return partly;
        }
        AppRestoreOutcome leftAlone = outcome(plan, RestoreStatus::restored,
                                              QStringLiteral("Already in correct state (optimized skip)"));
        leftAlone.result.foundInSavedState = true;
        leftAlone.result.closedWindows = closed;
        co_return leftAlone;
    }

    QStringList documents =
        DocumentReopener::admittedDocuments(OpenedWindows::notHandedYet(id, plan.needsDocumentOpening), id);
    if (isFinder && plan.needsLaunch && plan.needsFinderWindowRestore) {
        // Started on its own, a file manager shows the folder it was started in, which is no saved
        // window's: it starts in a saved folder instead, under the rules of any document.
        documents = DocumentReopener::admittedDocuments(FinderWindowRestorer::startingFolder(snapshot), id);
    }
    const bool handOverAtLaunch = plan.needsLaunch && !documents.isEmpty() && !isBrowser;
    // A browser that does not run starts once, with the first saved window it is asked for (its
    // profile and tabs on its command line), never first on its own.
    const QList<QList<TabSnapshot>> toOpen =
        BrowserTabRestorer::openedTabs(BrowserTabRestorer::expectedTabs(snapshot));
    const bool startsWithItsTabs =
        isBrowser && plan.needsLaunch && plan.needsBrowserTabRestore &&
        std::any_of(toOpen.begin(), toOpen.end(), [](const QList<TabSnapshot>& w) { return !w.isEmpty(); });
    std::optional<RunningApplication> app = plan.runningApp;
    // The windows there were before the restore touched the application: any other it places, it
    // started.
    QSet<AXElement> windowsBefore;
    // And those of them that were minimised: a step before the placing (bringing the application
    // forward) may show one.
    QSet<AXElement> minimisedBefore;
    if (app && !plan.needsLaunch) {
        const QList<AXElement> before = AXWindowService::axWindowList(*app).value_or(QList<AXElement>());
        windowsBefore = QSet<AXElement>(before.cbegin(), before.cend());
        for (const AXElement& window : before) {
            if (AXWindowService::isMinimized(window)) {
                minimisedBefore.insert(window);
            }
        }
    }
    QStringList tabProblems;
    BrowserWindowsReopener::Outcome browserWindows;
    if (startsWithItsTabs) {
        browserWindows = co_await BrowserWindowsReopener::reopen(plan, closeOtherApps);
        closed += browserWindows.closed;
        app = runningApplication(id);
    } else if (plan.needsLaunch) {
        const QStringList atLaunch = handOverAtLaunch ? documents : QStringList();
        app = co_await AppLauncher::launchApp(id, atLaunch, plan.bounds);
        if (app) {
            OpenedWindows::rememberHanded(id, atLaunch);
        }
    }
    if (!app) {
        const bool bounded = plan.bounds && plan.bounds->refused(id);
        co_return outcome(plan, RestoreStatus::failed,
                          bounded ? RestoreBounds::startsRefusal()
                                  : QStringLiteral("App could not be launched or found"));
    }
    if (plan.needsActivation && !isFinder) {
        co_await AppLauncher::ensureAppControllable(*app, id, plan.bounds);
    }

    if (startsWithItsTabs) {
        // Put back above.
    } else if (isBrowser && plan.needsBrowserTabRestore) {
        browserWindows = co_await BrowserWindowsReopener::reopen(plan, closeOtherApps);
        closed += browserWindows.closed;
        // The windows are read from the process that shows them now.
        app = runningApplication(id).value_or(*app);
    } else if (isBrowser) {
        // The browser already shows what it was given, which need not be every saved tab.
        tabProblems = BrowserRestoreIssues::tabIssues(BrowserTabRestorer::expectedTabs(snapshot),
                                                      plan.currentBrowserTabs);
    } else if (!isBrowser && !handOverAtLaunch && !documents.isEmpty()) {
        co_await reopenDocuments(*app, documents, plan.bounds);
    }
    // The windows that came with the documents handed over, in this pass or an earlier one, are
    // theirs alone (none came without documents: their windows are not read).
    const QHash<AXElement, QSet<QUuid>> openedBefore = OpenedWindows::remember(
        isBrowser || isFinder || documents.isEmpty()
            ? QHash<AXElement, QSet<QUuid>>()
            : OpenedWindows::forDocuments(OpenedWindows::shown(*app, windowsBefore), windowsBefore,
                                          snapshot.windowSnapshots, documents));

    FinderWindowRestorer::Outcome folders;
    if (isFinder && plan.needsFinderWindowRestore) {
        folders =
            co_await FinderWindowRestorer::restoreSavedFolders(snapshot, closeOtherApps || plan.needsLaunch);
    }
    MissingWindowReopener::Reopened missing;
    if (!isBrowser && !isFinder) {
        missing = co_await MissingWindowReopener::reopenMissingWindows(
            *app, snapshot.windowSnapshots, savedDisplays, plan.bounds, openedBefore, windowsBefore);
    }
    // And so are the windows asked for in place of the windows closed since the save.
    const QHash<AXElement, QSet<QUuid>> openedFor = OpenedWindows::remember(missing.openedFor);
    if (RestoreWait::stopRequested()) {
        // The restore is being cancelled; this result is dropped, and nothing more is moved.
        co_return outcome(plan, RestoreStatus::cancelled, QStringLiteral("Restore cancelled"));
    }

    // Tabs and folder windows are put back by closing and opening windows: the frames the plan
    // read belong to windows that may be gone, so the windows are placed and read back.
    const bool windowsReopened =
        (isBrowser && plan.needsBrowserTabRestore) || (isFinder && plan.needsFinderWindowRestore);
    AppRestoreResult result{id, snapshot.appName, RestoreStatus::restored, QString(), {}};
    // A browser's window is its tabs: one saved without any has nothing to put back, and a window
    // of the user's that shows other tabs is never moved in its place.
    WindowMatcher::Bystanders bystanders{windowsBefore, {}, openedFor};
    if (isBrowser) {
        const QList<std::int64_t> others =
            co_await BrowserWindowsReopener::windowsOfOthers(id, snapshot, windowsBefore);
        for (const std::int64_t window : others) {
            bystanders.otherWindows.insert(AXElement{quint64(window)});
        }
    }
    AppPlan toPlace = FinderWindowRestorer::withoutRefused(plan, folders);
    QList<qsizetype> withoutTabs;
    for (qsizetype i = toPlace.appSnapshot.windowSnapshots.size() - 1; isBrowser && i >= 0; --i) {
        if (toPlace.appSnapshot.windowSnapshots[i].tabSnapshots.isEmpty()) {
            withoutTabs.prepend(i);
            toPlace.appSnapshot.windowSnapshots.removeAt(i);
            if (i < toPlace.windowPlans.size()) {
                toPlace.windowPlans.removeAt(i);
            }
        }
    }
    QList<WindowRestoreResult> placed =
        co_await placeWindows(toPlace, *app, savedDisplays, windowsReopened, bystanders, minimisedBefore);
    for (const qsizetype i : withoutTabs) {
        if (i <= placed.size()) {
            placed.insert(i, savedWithoutTabs(snapshot.windowSnapshots[i]));
        }
    }
    result.windowResults = FinderWindowRestorer::completed(placed, folders, snapshot);
    QList<qsizetype> notStarted = browserWindows.notStarted;
    notStarted.append(QList<qsizetype>(missing.notAskedFor.begin(), missing.notAskedFor.end()));
    for (const qsizetype i : notStarted) {
        // Not there because the restore's starts ran out: said so, in place of "not found".
        if (i < result.windowResults.size() && result.windowResults[i].status == RestoreStatus::failed) {
            result.windowResults[i].reason = RestoreBounds::startsRefusal();
        }
    }
    if (isBrowser && plan.needsBrowserTabRestore) {
        // Counted once the windows are placed: the browser records a window it opened seconds after
        // the window shows, and only its record says which tabs are back.
        // A window not opened for the bound is neither waited for nor counted short of its tabs: its
        // result says why it is not there.
        AppSnapshot opened = snapshot;
        for (const qsizetype i : browserWindows.notStarted) {
            opened.windowSnapshots[i].tabSnapshots.clear();
        }
        tabProblems = co_await BrowserWindowsReopener::countedTabIssues(id, opened);
    }
    // The refusal first: a tab issue follows it.
    if (isBrowser) {
        BrowserRestoreIssues::addProfileRefusals(
            result.windowResults, BrowserRestoreIssues::profileRefusals(snapshot), tabProblems);
    }
    BrowserRestoreIssues::addTabIssues(result.windowResults, tabProblems);
    if (plan.needsHide) {
        hide(*app, QStringLiteral("Hiding ") + snapshot.appName + QStringLiteral(" (was hidden when saved)"));
    }
    summarize(result, snapshot);
    result.closedWindows = closed;
    co_return AppRestoreOutcome{result, snapshot.windowSnapshots};
}

void AppRestorer::forgetOpenedBrowserWindows() {
    BrowserWindowsReopener::forget();
}

bool AppRestorer::isBackInTheDefaultProfile(const WindowRestoreResult& window) {
    return window.backInDefaultProfile;
}

QCoro::Task<void> AppRestorer::reopenDocuments(RunningApplication app, QStringList documents,
                                               std::shared_ptr<RestoreBounds> bounds) {
    const QSet<QString> wanted(documents.begin(), documents.end());
    const auto handed = std::make_shared<HandedDocuments>();
    const std::function<QCoro::Task<bool>(int)> operation = [app, documents, bounds, handed](int) {
        return handOverDocuments(app, documents, bounds, handed);
    };
    const std::function<QCoro::Task<bool>(const bool&)> check = [app, wanted](const bool&) {
        return BoundedRetry::ready(showsDocuments(app, wanted));
    };
    co_await BoundedRetry::run<bool>(operation, check);
    co_await AppLauncher::waitForAXWindows(app, 3.0);
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
        if (window.status == RestoreStatus::restored || isBackInTheDefaultProfile(window)) {
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
