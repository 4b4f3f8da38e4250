#include "Services/Restore/AppRestorer.h"

#include "Platform/Platform.h"
#include "Platform/ScriptRunner.h"
#include "Services/Desktop/AXWindowService.h"
#include "Services/Restore/AppLauncher.h"
#include "Services/Restore/BrowserTabComparison.h"
#include "Services/Restore/BrowserTabRestorer.h"
#include "Services/Restore/DocumentReopener.h"
#include "Services/Restore/FinderWindowRestorer.h"
#include "Services/Restore/MissingWindowReopener.h"
#include "Services/Restore/OpenedWindows.h"
#include "Services/Restore/RestoreLog.h"
#include "Services/Restore/RestorePlanner.h"
#include "Services/Restore/RestoreWait.h"
#include "Services/Restore/WindowPlacer.h"
#include "Services/Scripting/BrowserScriptService.h"
#include "Services/Scripting/FinderScriptService.h"

#include <QHash>
#include <QSet>
#include <QUuid>

#include <functional>

namespace {

// Runs operation, then check; while the check fails, pauses and tries again, three attempts in
// all. Running out of attempts is not an error: the last attempt's outcome stands.
template <typename T>
QCoro::Task<T> boundedRetry(std::function<QCoro::Task<T>(int attempt)> operation,
                            std::function<QCoro::Task<bool>(const T& outcome)> check) {
    for (int attempt = 1;; ++attempt) {
        T outcome = co_await operation(attempt);
        if (co_await check(outcome) || attempt >= AppRestorer::retryAttempts) {
            co_return outcome;
        }
        co_await RestoreWait::pause(AppRestorer::retryPause(attempt));
    }
}

QCoro::Task<bool> ready(bool value) {
    co_return value;
}

// A stand-in outcome for steps whose result is read back from the desktop.
QCoro::Task<bool> done(QCoro::Task<void> step) {
    co_await std::move(step);
    co_return true;
}

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

// A window opened in the default profile in place of its own: "Profile refused (why); opened in
// the default profile".
const QString kProfileRefused = QStringLiteral("Profile refused (");
const QString kInTheDefaultProfile = QStringLiteral("); opened in the default profile");

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

} // namespace

namespace {

// What this restore request opened for one saved browser application: its windows (ids), and
// the saved windows handed to the browser whole with the windows it showed for them.
struct OpenedBrowserWindows {
    QList<std::int64_t> windows;
    BrowserTabRestorer::Handed handed;
};

// Per saved application (browser identifier and snapshot id).
QHash<QString, OpenedBrowserWindows>& openedBrowserWindows() {
    static QHash<QString, OpenedBrowserWindows> windows;
    return windows;
}

QString openedKey(const AppSnapshot& snapshot) {
    return snapshot.bundleIdentifier + QLatin1Char(' ') + snapshot.id.toString(QUuid::WithoutBraces);
}

std::optional<RunningApplication> runningApplication(const QString& bundleIdentifier) {
    const std::shared_ptr<RunningApplications> port = Platform::current().runningApplications;
    if (!port) {
        return std::nullopt;
    }
    return port->firstRunning(bundleIdentifier);
}

} // namespace

Clock::Duration AppRestorer::retryPause(int attempt) {
    return Clock::Duration(std::min(100 << std::clamp(attempt - 1, 0, 3), 800));
}

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
            for (const QString& issue :
                 tabIssues(BrowserTabRestorer::expectedTabs(snapshot), plan.currentBrowserTabs)) {
                if (!issue.isEmpty()) {
                    tabProblems.append(issue);
                }
            }
        }
        if (isBrowser) {
            for (const QString& refusal : profileRefusals(snapshot)) {
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

    QStringList documents = DocumentReopener::admittedDocuments(plan.needsDocumentOpening, id);
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
    if (startsWithItsTabs) {
        closed += co_await restoreTabs(plan, closeOtherApps);
        app = runningApplication(id);
    } else if (plan.needsLaunch) {
        const QStringList atLaunch = handOverAtLaunch ? documents : QStringList();
        app = co_await AppLauncher::launchApp(id, atLaunch, plan.bounds);
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
        closed += co_await restoreTabs(plan, closeOtherApps);
        // The windows are read from the process that shows them now.
        app = runningApplication(id).value_or(*app);
    } else if (isBrowser) {
        // The browser already shows what it was given, which need not be every saved tab.
        tabProblems = tabIssues(BrowserTabRestorer::expectedTabs(snapshot), plan.currentBrowserTabs);
    } else if (!isBrowser && !handOverAtLaunch && !documents.isEmpty()) {
        co_await reopenDocuments(*app, documents, plan.bounds);
    }
    // The windows that came with the documents handed over, in this pass or an earlier one, are
    // theirs alone.
    const QHash<AXElement, QSet<QUuid>> openedForDocuments = OpenedWindows::remember(
        isBrowser || isFinder
            ? QHash<AXElement, QSet<QUuid>>()
            : OpenedWindows::forDocuments(AXWindowService::axWindowList(*app).value_or(QList<AXElement>()),
                                          windowsBefore, snapshot.windowSnapshots, documents));

    FinderWindowRestorer::Outcome folders;
    if (isFinder && plan.needsFinderWindowRestore) {
        folders =
            co_await FinderWindowRestorer::restoreSavedFolders(snapshot, closeOtherApps || plan.needsLaunch);
    }
    QList<int> notAskedFor;
    if (!isBrowser && !isFinder) {
        notAskedFor = co_await MissingWindowReopener::reopenMissingWindows(*app, snapshot.windowSnapshots,
                                                                           savedDisplays, plan.bounds);
    }
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
    WindowMatcher::Bystanders bystanders{windowsBefore, {}, openedForDocuments};
    if (isBrowser) {
        const QList<std::int64_t> others = co_await windowsOfOthers(id, snapshot, windowsBefore);
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
    for (const int i : notAskedFor) {
        // Not there because the restore's starts ran out: said so, in place of "not found".
        if (i < result.windowResults.size() && result.windowResults[i].status == RestoreStatus::failed) {
            result.windowResults[i].reason = RestoreBounds::startsRefusal();
        }
    }
    if (isBrowser && plan.needsBrowserTabRestore) {
        // Counted once the windows are placed: the browser records a window it opened seconds after
        // the window shows, and only its record says which tabs are back.
        tabProblems = co_await countedTabIssues(id, BrowserTabRestorer::expectedTabs(snapshot),
                                                handedBrowserWindows(snapshot));
    }
    // The refusal first: a tab issue follows it.
    if (isBrowser) {
        addProfileRefusals(result.windowResults, profileRefusals(snapshot), tabProblems);
    }
    addTabIssues(result.windowResults, tabProblems);
    if (plan.needsHide) {
        hide(*app, QStringLiteral("Hiding ") + snapshot.appName + QStringLiteral(" (was hidden when saved)"));
    }
    summarize(result, snapshot);
    result.closedWindows = closed;
    co_return AppRestoreOutcome{result, snapshot.windowSnapshots};
}

QCoro::Task<QStringList> AppRestorer::countedTabIssues(QString bundleIdentifier,
                                                       QList<QList<TabSnapshot>> saved,
                                                       BrowserTabRestorer::Handed handed) {
    if (std::all_of(saved.begin(), saved.end(), [](const QList<TabSnapshot>& w) { return w.isEmpty(); })) {
        co_return QStringList(saved.size());
    }
    const QList<QList<TabSnapshot>> shown = co_await BrowserTabRestorer::recordedTabs(
        bundleIdentifier, BrowserTabRestorer::openedTabs(saved), RestoreWait::ms(100), handed);
    co_return tabIssues(saved, shown);
}

QCoro::Task<QList<ClosedWindow>> AppRestorer::restoreTabs(AppPlan plan, bool closeOtherApps) {
    const QString id = plan.appSnapshot.bundleIdentifier;
    const QList<QList<TabSnapshot>> saved = BrowserTabRestorer::expectedTabs(plan.appSnapshot);
    const QList<QList<TabSnapshot>> expected = BrowserTabRestorer::openedTabs(saved);
    const bool launched = plan.needsLaunch;
    if (std::all_of(expected.begin(), expected.end(),
                    [](const QList<TabSnapshot>& w) { return w.isEmpty(); })) {
        const BrowserTabRestorer::Reopened reopened =
            co_await BrowserTabRestorer::restoreBrowserTabs(plan.appSnapshot, closeOtherApps, launched);
        QList<ClosedWindow> closed;
        for (const BrowserTabRestorer::Closed& window : reopened.closed) {
            closed.append(window.window);
        }
        co_return closed;
    }
    // Each attempt opens the saved windows afresh, then closes the windows an earlier attempt (or
    // an earlier pass of this request) opened for them, known by their ids: never a window of the
    // user's, and never the browser's last window.
    const QString key = openedKey(plan.appSnapshot);
    const AppSnapshot snapshot = plan.appSnapshot;
    // The user's windows each attempt closed.
    const auto closed = std::make_shared<QList<ClosedWindow>>();
    const std::function<QCoro::Task<bool>(int)> operation = [id, key, snapshot, closeOtherApps, launched,
                                                             closed](int attempt) {
        return done(openTabs(id, key, snapshot, closeOtherApps, launched && attempt == 1, closed));
    };
    // Compared with what the browser was given: an address kept from it never comes back, and
    // waiting for it would only open the windows again. Every saved window handed whole has its
    // window: its tabs are counted once the browser's record catches up, never handed again.
    const std::function<QCoro::Task<bool>(const bool&)> check = [id, key, expected](const bool&) {
        const BrowserTabRestorer::Handed handed = openedBrowserWindows().value(key).handed;
        bool everyOneHanded = true;
        for (qsizetype i = 0; i < expected.size(); ++i) {
            everyOneHanded = everyOneHanded && (expected[i].isEmpty() || handed.contains(i));
        }
        if (everyOneHanded) {
            return ready(true);
        }
        return tabsMatch(id, expected);
    };
    co_await boundedRetry<bool>(operation, check);
    for (const QString& page : blankStandIns(saved)) {
        RestoreLog::log(QStringLiteral("restoreBrowserTabs: ") + id +
                        QStringLiteral(" shows a blank page for ") + page +
                        QStringLiteral(", which it does not open when handed"));
    }
    co_return *closed;
}

QCoro::Task<void> AppRestorer::openTabs(QString bundleIdentifier, QString key, AppSnapshot snapshot,
                                        bool closeOtherApps, bool launched,
                                        std::shared_ptr<QList<ClosedWindow>> closed) {
    const OpenedBrowserWindows before = openedBrowserWindows().value(key);
    const QList<std::int64_t> earlier = before.windows;
    const BrowserTabRestorer::Reopened reopened =
        co_await BrowserTabRestorer::restoreBrowserTabs(snapshot, closeOtherApps, launched, before.handed);
    for (const BrowserTabRestorer::Closed& window : reopened.closed) {
        // A window an earlier attempt opened is not the user's.
        if (!earlier.contains(window.id)) {
            closed->append(window.window);
        }
    }
    // Windows this request opened before and kept for no saved window: closed once their
    // replacements are open. Those the ids of which cannot be read now stay noted.
    QList<std::int64_t> opened = reopened.opened;
    for (const std::int64_t window : reopened.kept) {
        if (earlier.contains(window) && !opened.contains(window)) {
            opened.append(window);
        }
    }
    QList<std::int64_t> mine = opened;
    QList<std::int64_t> left;
    if (!earlier.isEmpty()) {
        const std::optional<QList<std::int64_t>> now =
            co_await BrowserScriptService::windowIDs(bundleIdentifier);
        for (const std::int64_t window : earlier) {
            if (opened.contains(window)) {
                continue;
            }
            if (!now) {
                mine.append(window);
            } else if (now->contains(window)) {
                (opened.isEmpty() ? mine : left).append(window);
            }
        }
    }
    if (!left.isEmpty()) {
        RestoreLog::log(QStringLiteral("restoreBrowserTabs: closing ") + QString::number(left.size()) +
                        QStringLiteral(" window(s) of ") + bundleIdentifier +
                        QStringLiteral(" left by the previous attempt"));
        co_await BrowserScriptService::closeWindows(bundleIdentifier, left);
    }
    openedBrowserWindows().insert(key, OpenedBrowserWindows{mine, reopened.handed});
}

bool AppRestorer::isBlankStandIn(const QString& saved, const QString& opened) {
    if (opened.compare(QStringLiteral("about:blank"), Qt::CaseInsensitive) != 0 || saved == opened) {
        return false;
    }
    return BrowserScriptService::isNewTabPage(saved);
}

QStringList AppRestorer::blankStandIns(const QList<QList<TabSnapshot>>& saved) {
    const QList<QList<TabSnapshot>> opened = BrowserTabRestorer::openedTabs(saved);
    QStringList pages;
    for (qsizetype i = 0; i < saved.size(); ++i) {
        for (qsizetype j = 0; j < saved[i].size(); ++j) {
            if (isBlankStandIn(saved[i][j].url, opened[i][j].url) && !pages.contains(saved[i][j].url)) {
                pages.append(saved[i][j].url);
            }
        }
    }
    return pages;
}

QCoro::Task<bool> AppRestorer::tabsMatch(QString bundleIdentifier, QList<QList<TabSnapshot>> expected) {
    const QList<QList<TabSnapshot>> shown = co_await BrowserScriptService::captureTabs(bundleIdentifier);
    // A window listed without tabs is one the browser's record has not caught up with: it is
    // counted once the windows are placed, never opened again.
    co_return BrowserTabComparison::browserTabsMatch(expected, shown) ||
        std::any_of(shown.begin(), shown.end(), [](const QList<TabSnapshot>& w) { return w.isEmpty(); });
}

void AppRestorer::forgetOpenedBrowserWindows() {
    openedBrowserWindows().clear();
}

BrowserTabRestorer::Handed AppRestorer::handedBrowserWindows(const AppSnapshot& snapshot) {
    return openedBrowserWindows().value(openedKey(snapshot)).handed;
}

QStringList AppRestorer::tabIssues(const QList<QList<TabSnapshot>>& saved,
                                   const QList<QList<TabSnapshot>>& current) {
    const QList<QList<TabSnapshot>> opened = BrowserTabRestorer::openedTabs(saved);
    const QList<BrowserTabComparison::Shortfall> shortfalls =
        BrowserTabComparison::shortfalls(opened, current);
    const std::shared_ptr<ScriptRunner> runner = Platform::current().scriptRunner;
    QStringList issues;
    for (qsizetype i = 0; i < saved.size(); ++i) {
        QStringList notReopened;
        // Why the addresses kept from the browser were kept, each reason once.
        QStringList refusals;
        for (qsizetype j = 0; j < saved[i].size(); ++j) {
            // A new-tab page comes back as the blank page that stands in for it: it is back. An
            // address the host only cleaned (of a line break, say) is opened, and compared as such.
            const bool keptFromBrowser =
                opened[i][j].url != saved[i][j].url &&
                opened[i][j].url.compare(QStringLiteral("about:blank"), Qt::CaseInsensitive) == 0 &&
                !isBlankStandIn(saved[i][j].url, opened[i][j].url);
            if (keptFromBrowser || shortfalls[i].missingTabs.contains(j)) {
                notReopened.append(saved[i][j].url);
            }
            const std::optional<QString> refusal =
                keptFromBrowser && runner ? runner->browserAddressRefusal(saved[i][j].url) : std::nullopt;
            if (refusal && !refusals.contains(*refusal)) {
                refusals.append(*refusal);
            }
        }
        QStringList parts;
        if (!notReopened.isEmpty()) {
            // Counted, and the first few named by their start: an address may be very long.
            QStringList named;
            for (const QString& url : notReopened.first(std::min<qsizetype>(notReopened.size(), 3))) {
                named.append(url.size() > 200 ? url.left(200) + QStringLiteral("…") : url);
            }
            QString text = QStringLiteral("Tabs not reopened: ") + named.join(QStringLiteral(", "));
            if (notReopened.size() > named.size()) {
                text += QStringLiteral(" and ") + QString::number(notReopened.size() - named.size()) +
                        QStringLiteral(" more");
            }
            parts.append(text + QStringLiteral(" (") + QString::number(notReopened.size()) +
                         QStringLiteral(" of ") + QString::number(saved[i].size()) +
                         QStringLiteral(" tabs)"));
            if (!refusals.isEmpty()) {
                parts.append(QStringLiteral("not handed to the browser: ") +
                             refusals.join(QStringLiteral(", ")));
            }
        }
        if (shortfalls[i].unselectedTab) {
            parts.append(QStringLiteral("Active tab not selected: ") +
                         saved[i][*shortfalls[i].unselectedTab].url);
        }
        issues.append(parts.join(QStringLiteral("; ")));
    }
    return issues;
}

void AppRestorer::addTabIssues(QList<WindowRestoreResult>& results, const QStringList& issues) {
    for (qsizetype i = 0; i < std::min(results.size(), issues.size()); ++i) {
        if (issues[i].isEmpty()) {
            continue;
        }
        WindowRestoreResult& window = results[i];
        if (window.status == RestoreStatus::restored) {
            window.status = RestoreStatus::partiallyRestored;
            window.reason = issues[i];
            window.finding = WindowFinding::none;
        } else {
            window.reason += QStringLiteral("; ") + issues[i];
        }
    }
}

QStringList AppRestorer::profileRefusals(const AppSnapshot& snapshot) {
    const std::shared_ptr<ScriptRunner> runner = Platform::current().scriptRunner;
    QStringList refusals;
    for (const WindowSnapshot& window : snapshot.windowSnapshots) {
        const std::optional<BrowserProfile>& profile = window.browserProfile;
        std::optional<QString> refusal;
        if (runner && profile && !profile->isDefault() && !window.tabSnapshots.isEmpty()) {
            refusal = runner->browserProfileRefusal(snapshot.bundleIdentifier,
                                                    profile->userDataDir.value_or(QString()),
                                                    profile->profileDirectory.value_or(QString()));
        }
        refusals.append(refusal ? kProfileRefused + *refusal + kInTheDefaultProfile : QString());
    }
    return refusals;
}

bool AppRestorer::isBackInTheDefaultProfile(const WindowRestoreResult& window) {
    return window.backInDefaultProfile;
}

void AppRestorer::addProfileRefusals(QList<WindowRestoreResult>& results, const QStringList& refusals,
                                     const QStringList& tabIssues) {
    for (qsizetype i = 0; i < std::min(results.size(), refusals.size()); ++i) {
        if (refusals[i].isEmpty()) {
            continue;
        }
        WindowRestoreResult& window = results[i];
        const bool tabsBack = tabIssues.value(i).isEmpty();
        const bool placed = window.status == RestoreStatus::restored;
        // Placed with every tab: back, in the wrong profile; the refusal says why not as saved.
        window.backInDefaultProfile = placed && tabsBack;
        // What held the placing back stays said after the refusal.
        window.reason = placed ? refusals[i] : refusals[i] + QStringLiteral("; ") + window.reason;
        window.finding = WindowFinding::none;
        // Its tabs are shown: the window is there, in the default profile, whether or not it was
        // found among the windows of the profile's process.
        window.status = tabsBack || window.status != RestoreStatus::failed ? RestoreStatus::partiallyRestored
                                                                           : RestoreStatus::failed;
    }
}

QCoro::Task<void> AppRestorer::reopenDocuments(RunningApplication app, QStringList documents,
                                               std::shared_ptr<RestoreBounds> bounds) {
    const QString id = app.bundleIdentifier.value_or(QString());
    const QSet<QString> wanted(documents.begin(), documents.end());
    const std::function<QCoro::Task<bool>(int)> operation = [app, id, documents, bounds](int) {
        return done(DocumentReopener::openDocuments(documents, app, id, bounds));
    };
    const std::function<QCoro::Task<bool>(const bool&)> check = [app, wanted](const bool&) {
        const QStringList open = AXWindowService::currentDocumentURLs(app);
        return ready(QSet<QString>(open.begin(), open.end()).contains(wanted));
    };
    co_await boundedRetry<bool>(operation, check);
    co_await AppLauncher::waitForAXWindows(app, 3.0);
}

WindowRestoreResult AppRestorer::savedWithoutTabs(const WindowSnapshot& window) {
    return WindowRestoreResult{window.windowTitle, RestoreStatus::skipped, savedWithoutTabsReason,
                               std::nullopt, std::nullopt};
}

QCoro::Task<QList<std::int64_t>> AppRestorer::windowsOfOthers(QString browser, AppSnapshot snapshot,
                                                              QSet<AXElement> windowsBefore) {
    QList<std::int64_t> others;
    if (windowsBefore.isEmpty()) {
        co_return others;
    }
    // A browser's window ids are its windows' numbers on the desktop.
    const QList<QList<TabSnapshot>> expected =
        BrowserTabRestorer::openedTabs(BrowserTabRestorer::expectedTabs(snapshot));
    const std::optional<QList<std::int64_t>> showing =
        co_await BrowserTabRestorer::windowsShowingSavedTabs(browser, expected);
    // The windows an earlier pass of this request opened for the saved windows are theirs, whatever
    // the browser's record lists of them yet.
    const QList<std::int64_t> opened = openedBrowserWindows().value(openedKey(snapshot)).windows;
    for (const AXElement& window : windowsBefore) {
        if (opened.contains(static_cast<std::int64_t>(window.id))) {
            continue;
        }
        if (!showing || !showing->contains(static_cast<std::int64_t>(window.id))) {
            others.append(static_cast<std::int64_t>(window.id));
        }
    }
    co_return others;
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
            const bool verified = WindowPlacer::verifyWindowPositionsWithMatcher(app, windows, savedDisplays);
            return ready(allPlaced && verified);
        };
    co_return co_await boundedRetry<QList<WindowRestoreResult>>(operation, check);
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
