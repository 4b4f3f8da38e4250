#include "Services/Coordination/RevertSteps.h"

#include "Extensions/RectConversion.h"
#include "Platform/Clock.h"
#include "Platform/Platform.h"
#include "Services/Coordination/RevertWindowPlacer.h"
#include "Services/Desktop/AXWindowService.h"
#include "Services/Restore/FinderWindowRestorer.h"
#include "Services/Scripting/BrowserNames.h"
#include "Services/Scripting/BrowserScriptService.h"
#include "Services/Scripting/BrowserScriptText.h"
#include "Services/Scripting/FinderScriptService.h"
#include "Services/Storage/AnalysisLogger.h"

#include <QSet>

#include <algorithm>
#include <functional>
#include <memory>

namespace {

using namespace std::chrono_literals;

// Bounds of the waits: each ends as soon as what it waits for is seen.
constexpr Clock::Duration kSettleWait = 500ms;
constexpr Clock::Duration kSettleStep = 50ms;
constexpr Clock::Duration kClosingWait = 500ms;
constexpr Clock::Duration kClosingStep = 50ms;
constexpr Clock::Duration kFoldersWait = 5s;
constexpr Clock::Duration kFoldersStep = 250ms;
constexpr Clock::Duration kTabsStep = 500ms;

const QString kTag = QStringLiteral("RevertStateManager");
// The reason of a browser that did not come to show its saved tabs; %1 says what was done.
const QString kTabsMissing = QStringLiteral("%1, but not every saved tab came back");
// The reason of a browser that shows more or other tabs than were read before the restore.
const QString kOtherTabs = QStringLiteral("%1, but the browser shows other tabs than it did before");

void log(const QString& message) {
    AnalysisLogger::shared().log(kTag, message);
}

Clock& platformClock() {
    return *Platform::current().clock;
}

std::optional<RunningApplication> runningApp(const QString& bundleIdentifier) {
    const auto& port = Platform::current().runningApplications;
    if (!port) {
        return std::nullopt;
    }
    return port->firstRunning(bundleIdentifier);
}

AppRestoreResult result(const AppSnapshot& app, RestoreStatus status, const QString& reason,
                        QList<WindowRestoreResult> windows = {}) {
    return {app.bundleIdentifier, app.appName, status, reason, std::move(windows)};
}

RestoreStatus statusOf(const QList<WindowRestoreResult>& windows) {
    const bool all = std::all_of(windows.begin(), windows.end(), [](const WindowRestoreResult& w) {
        return w.status == RestoreStatus::restored;
    });
    return all ? RestoreStatus::restored : RestoreStatus::partiallyRestored;
}

// A tab that shows nothing: the blank page or a browser's new-tab or start page.
bool isBlank(const TabSnapshot& tab) {
    return BrowserNames::isNewTabPage(tab.url);
}

bool hasAnyTab(const RevertSteps::TabList& tabs) {
    return std::any_of(tabs.begin(), tabs.end(), [](const QList<TabSnapshot>& w) { return !w.isEmpty(); });
}

// A saved or listed folder as compared: its path, without a closing slash.
QString folderKey(const QString& folder) {
    QString path = FinderWindowRestorer::folderPath(folder);
    while (path.size() > 1 && path.endsWith(u'/')) {
        path.chop(1);
    }
    return path;
}

QString comparable(QString url) {
    url = url.toLower();
    if (url.endsWith(QLatin1Char('/'))) {
        url.chop(1);
    }
    return url.remove(QStringLiteral("www."));
}

// Whether none of the browser's windows asked to close is listed any more.
QCoro::Task<bool> windowsGone(QString bundleIdentifier, QList<std::int64_t> closing) {
    const std::optional<QList<std::int64_t>> left =
        co_await BrowserScriptService::windowIDs(bundleIdentifier);
    co_return !left ||
        std::none_of(closing.begin(), closing.end(), [&left](std::int64_t w) { return left->contains(w); });
}

// Whether the file manager shows none of the folders toClose and all of toOpen; counted is set to
// how many of each are as wanted.
QCoro::Task<bool> foldersPutBack(QStringList toClose, QStringList toOpen,
                                 std::shared_ptr<std::pair<qsizetype, qsizetype>> counted) {
    const QList<FinderScriptService::FinderWindowInfo> listed =
        co_await FinderScriptService::captureWindows();
    QSet<QString> now;
    for (const FinderScriptService::FinderWindowInfo& window : listed) {
        now.insert(folderKey(window.path));
    }
    const auto showing = [&now](const QString& path) { return now.contains(folderKey(path)); };
    counted->first = toClose.size() - std::count_if(toClose.begin(), toClose.end(), showing);
    counted->second = std::count_if(toOpen.begin(), toOpen.end(), showing);
    co_return counted->first == toClose.size() && counted->second == toOpen.size();
}

// Whether the browser lists at least the expected windows, each with at least its expected tabs.
QCoro::Task<bool> tabsShown(QString listingScript, RevertSteps::TabList expectedTabsByWindow) {
    const RevertSteps::TabList found =
        BrowserScriptService::parseTabResult(co_await BrowserScriptService::runAppleScript(listingScript));
    if (found.size() < expectedTabsByWindow.size()) {
        co_return false;
    }
    for (qsizetype i = 0; i < expectedTabsByWindow.size(); ++i) {
        if (found[i].size() < expectedTabsByWindow[i].size()) {
            log(QStringLiteral("Window ") + QString::number(i) + QStringLiteral(": expected ") +
                QString::number(expectedTabsByWindow[i].size()) + QStringLiteral(" tabs, found ") +
                QString::number(found[i].size()));
            co_return false;
        }
    }
    log(QStringLiteral("All browser tabs ready: ") + QString::number(found.size()) +
        QStringLiteral(" windows"));
    co_return true;
}

} // namespace

RevertSteps::TabList RevertSteps::savedTabs(const AppSnapshot& appSnapshot) {
    TabList tabs;
    for (const WindowSnapshot& window : appSnapshot.windowSnapshots) {
        tabs.append(window.tabSnapshots);
    }
    return tabs;
}

QCoro::Task<RevertSteps::Launch> RevertSteps::launchWithoutActivating(QString bundleIdentifier) {
    const std::shared_ptr<RunningApplications> apps = Platform::current().runningApplications;
    const std::optional<QUrl> url = apps ? apps->urlForApplication(bundleIdentifier) : std::nullopt;
    if (!url) {
        co_return Launch{Launch::Outcome::notFound, {}, std::nullopt};
    }
    const OpenResult opened = co_await apps->openApplication(*url, false);
    if (!opened.succeeded) {
        co_return Launch{Launch::Outcome::failed, opened.errorText, std::nullopt};
    }
    // The application the poll found is the one handed on: one that quits right after it was seen
    // must not leave the caller without an application. A named check: a lambda made inside the
    // awaited expression is destroyed twice by this compiler.
    const auto found = std::make_shared<std::optional<RunningApplication>>();
    const auto launched = [bundleIdentifier, found] {
        *found = runningApp(bundleIdentifier);
        return found->has_value();
    };
    const bool running = co_await platformClock().pollUntil(launched, 5s, 200ms);
    if (!running || !*found) {
        co_return Launch{Launch::Outcome::timedOut, {}, std::nullopt};
    }
    co_return Launch{Launch::Outcome::running, {}, *found};
}

QCoro::Task<void> RevertSteps::waitForWindows(QString bundleIdentifier, qsizetype count) {
    const auto listed = [bundleIdentifier, count] {
        const std::optional<RunningApplication> app = runningApp(bundleIdentifier);
        return app && AXWindowService::axWindowList(*app).value_or(QList<AXElement>()).size() >= count;
    };
    co_await platformClock().pollUntil(listed, 5s, 200ms);
}

QCoro::Task<bool> RevertSteps::openSavedTabs(AppSnapshot appSnapshot) {
    const TabList tabs = savedTabs(appSnapshot);
    QList<SnapshotRect> frames;
    // A window of a profile of its own goes back into that profile, not the browser's default.
    QList<std::optional<BrowserProfile>> profiles;
    for (const WindowSnapshot& window : appSnapshot.windowSnapshots) {
        frames.append(window.frame);
        profiles.append(window.browserProfile);
    }
    co_await BrowserScriptService::restoreTabs(appSnapshot.bundleIdentifier, tabs, frames, profiles);
    co_return co_await waitForBrowserTabs(appSnapshot.bundleIdentifier, tabs, 10.0);
}

QList<std::optional<qsizetype>> RevertSteps::windowsShowing(const TabList& desired, const TabList& current) {
    QList<std::optional<qsizetype>> partners(desired.size());
    QList<bool> taken(current.size(), false);
    for (qsizetype i = 0; i < desired.size(); ++i) {
        if (desired[i].isEmpty()) {
            continue;
        }
        for (qsizetype j = 0; j < current.size(); ++j) {
            if (!taken[j] && browserTabsMatch({desired[i]}, {current[j]})) {
                partners[i] = j;
                taken[j] = true;
                break;
            }
        }
    }
    return partners;
}

bool RevertSteps::sameWindows(const TabList& desired, const TabList& current) {
    const qsizetype withTabs = std::count_if(desired.begin(), desired.end(),
                                             [](const QList<TabSnapshot>& w) { return !w.isEmpty(); });
    const QList<std::optional<qsizetype>> partners = windowsShowing(desired, current);
    const qsizetype paired = std::count_if(partners.begin(), partners.end(),
                                           [](const std::optional<qsizetype>& p) { return p.has_value(); });
    return paired == withTabs && current.size() == withTabs;
}

QCoro::Task<bool> RevertSteps::putTabsBack(AppSnapshot appSnapshot, TabList current) {
    const QString id = appSnapshot.bundleIdentifier;
    const TabList desired = savedTabs(appSnapshot);
    const std::optional<QList<std::int64_t>> idsBefore = co_await BrowserScriptService::windowIDs(id);
    const bool known = idsBefore && idsBefore->size() == current.size();
    // A window that shows a saved window's tabs is the user's own, with its history: it stays, and
    // only the saved windows no window shows are opened.
    const QList<std::optional<qsizetype>> partners = windowsShowing(desired, current);
    TabList toOpen = desired;
    QList<std::int64_t> kept;
    for (qsizetype i = 0; i < desired.size(); ++i) {
        if (partners[i] && known) {
            toOpen[i].clear();
            kept.append(idsBefore->at(*partners[i]));
        }
    }
    if (!kept.isEmpty()) {
        log(QStringLiteral("Keeping ") + QString::number(kept.size()) +
            QStringLiteral(" browser window(s) that show their saved tabs"));
    }
    QList<SnapshotRect> frames;
    QList<std::optional<BrowserProfile>> profiles;
    QSet<std::int64_t> before;
    for (const WindowSnapshot& window : appSnapshot.windowSnapshots) {
        frames.append(window.frame);
        profiles.append(window.browserProfile);
        if (window.windowIdentity) {
            before.insert(window.windowIdentity->windowNumber);
        }
    }
    const QList<std::int64_t> opened =
        co_await BrowserScriptService::restoreTabs(id, toOpen, frames, profiles);
    // Closed: the windows the restore opened (none was there before it) and blank ones, once the
    // saved windows are open, so the browser never quits on the way. A window that was there
    // before the restore stays, whatever it shows now.
    const TabList now = co_await BrowserScriptService::captureTabs(id);
    const std::optional<QList<std::int64_t>> ids = co_await BrowserScriptService::windowIDs(id);
    const bool told = ids && (!kept.isEmpty() || !opened.isEmpty());
    if (!told) {
        log(QStringLiteral("The windows reopened cannot be told from the others, which stay"));
    }
    QList<std::int64_t> toClose;
    for (qsizetype j = 0; told && j < ids->size(); ++j) {
        const std::int64_t window = ids->at(j);
        if (kept.contains(window) || opened.contains(window)) {
            continue;
        }
        const bool blank = ids->size() == now.size() && std::all_of(now[j].begin(), now[j].end(), isBlank);
        if (blank || !before.contains(window)) {
            toClose.append(window);
        }
    }
    co_await BrowserScriptService::closeWindows(id, toClose);
    if (!toClose.isEmpty()) {
        // The windows asked to close are given a moment to go, so that the tabs read next are
        // those of the windows that stay.
        const auto gone = [id, toClose] { return windowsGone(id, toClose); };
        co_await platformClock().pollUntilAsync(gone, kClosingWait, kClosingStep);
    }
    // The windows opened stand in front, in saved order; every saved window counts.
    TabList opening;
    for (const QList<TabSnapshot>& window : toOpen) {
        if (!window.isEmpty()) {
            opening.append(window);
        }
    }
    if (opening.isEmpty()) {
        co_return true;
    }
    opening.resize(desired.size());
    const bool shown = co_await waitForBrowserTabs(id, opening, 10.0);
    const bool back = shown && told;
    co_return back;
}

QCoro::Task<AppRestoreResult> RevertSteps::reopenBrowser(AppSnapshot appSnapshot) {
    log(QStringLiteral("Reopening browser with tabs: ") + appSnapshot.appName);
    const Launch launch = co_await launchWithoutActivating(appSnapshot.bundleIdentifier);
    switch (launch.outcome) {
    case Launch::Outcome::notFound:
        co_return result(appSnapshot, RestoreStatus::failed, QStringLiteral("Browser not found"));
    case Launch::Outcome::failed:
        co_return result(appSnapshot, RestoreStatus::failed,
                         QStringLiteral("Failed to reopen browser: ") + launch.error);
    case Launch::Outcome::timedOut:
        co_return result(appSnapshot, RestoreStatus::failed, QStringLiteral("Browser launch timeout"));
    case Launch::Outcome::running:
        break;
    }
    // The browser is scripted once it has finished launching (shown its first window), or after
    // a short while in any case.
    const QString id = appSnapshot.bundleIdentifier;
    const auto settled = [id] {
        const std::optional<RunningApplication> app = runningApp(id);
        return app && app->isFinishedLaunching;
    };
    co_await platformClock().pollUntil(settled, kSettleWait, kSettleStep);

    const TabList tabs = savedTabs(appSnapshot);
    if (!hasAnyTab(tabs)) {
        co_return result(appSnapshot, RestoreStatus::restored,
                         QStringLiteral("Browser reopened (no tabs to restore)"));
    }
    const QString windowCount = QString::number(appSnapshot.windowSnapshots.size());
    log(QStringLiteral("Restoring ") + windowCount + QStringLiteral(" browser windows with tabs"));
    const bool tabsShown = co_await openSavedTabs(appSnapshot);
    // The windows go back exactly where they were saved; the window-position pass that follows
    // maps them onto the current displays.
    for (qsizetype i = 0; i < appSnapshot.windowSnapshots.size(); ++i) {
        AXWindowService::restoreWindow(*launch.app, i,
                                       RectConversion::toRectF(appSnapshot.windowSnapshots[i].frame));
    }
    if (!tabsShown) {
        co_return result(appSnapshot, RestoreStatus::partiallyRestored,
                         kTabsMissing.arg(QStringLiteral("Browser reopened")));
    }
    co_return result(appSnapshot, RestoreStatus::restored,
                     QStringLiteral("Browser reopened with ") + windowCount +
                         QStringLiteral(" windows and tabs"));
}

QCoro::Task<AppRestoreResult> RevertSteps::restoreBrowserState(RunningApplication app,
                                                               AppSnapshot appSnapshot,
                                                               QList<DisplaySnapshot> savedDisplays) {
    log(QStringLiteral("Restoring browser state for ") + appSnapshot.appName);
    const TabList desired = savedTabs(appSnapshot);
    const QString windowCount = QString::number(appSnapshot.windowSnapshots.size());
    bool tabsShown = true;
    bool exactly = true;
    if (hasAnyTab(desired)) {
        const TabList current = co_await BrowserScriptService::captureTabs(appSnapshot.bundleIdentifier);
        if (browserTabsMatch(desired, current)) {
            log(QStringLiteral("Browser tabs already match, skipping tab restore"));
        } else {
            log(QStringLiteral("Restoring ") + windowCount + QStringLiteral(" browser windows with tabs"));
            tabsShown = co_await putTabsBack(appSnapshot, current);
            // Exactly the tabs read before the restore: an extra tab is not what was there.
            const TabList now = co_await BrowserScriptService::captureTabs(appSnapshot.bundleIdentifier);
            exactly = sameWindows(desired, now);
        }
    }
    QList<WindowRestoreResult> windows =
        co_await RevertWindowPlacer::placeWindows(app, appSnapshot.windowSnapshots, savedDisplays, true);
    const QString restored =
        QStringLiteral("Browser state restored (") + windowCount + QStringLiteral(" windows)");
    if (!tabsShown || !exactly) {
        const QString reason = !tabsShown ? kTabsMissing.arg(restored) : kOtherTabs.arg(restored);
        co_return result(appSnapshot, RestoreStatus::partiallyRestored, reason, std::move(windows));
    }
    co_return result(appSnapshot, statusOf(windows), restored, std::move(windows));
}

QCoro::Task<QList<WindowRestoreResult>>
RevertSteps::restoreWindowPositions(RunningApplication app, QList<WindowSnapshot> snapshots,
                                    QList<DisplaySnapshot> savedDisplays) {
    co_return co_await RevertWindowPlacer::placeWindows(app, snapshots, savedDisplays, false);
}

QCoro::Task<std::optional<AppRestoreResult>> RevertSteps::restoreFolderWindows(AppSnapshot before,
                                                                               AppSnapshot restored) {
    QStringList beforePaths;
    QList<SnapshotRect> beforeFrames;
    QSet<QString> wasShown;
    for (const WindowSnapshot& window : before.windowSnapshots) {
        if (window.hasDocument()) {
            beforePaths.append(FinderWindowRestorer::folderPath(*window.documentURL));
            beforeFrames.append(window.frame);
            wasShown.insert(folderKey(*window.documentURL));
        }
    }
    if (!before.windowSnapshots.isEmpty() && beforePaths.isEmpty()) {
        log(QStringLiteral("The folders shown before the restore are not known: folder windows stay"));
        co_return std::nullopt;
    }
    QSet<QString> opened;
    for (const WindowSnapshot& window : restored.windowSnapshots) {
        if (window.hasDocument() && !wasShown.contains(folderKey(*window.documentURL))) {
            opened.insert(folderKey(*window.documentURL));
        }
    }
    const QList<FinderScriptService::FinderWindowInfo> current =
        co_await FinderScriptService::captureWindows();
    QSet<QString> shown;
    QStringList toClose;
    for (const FinderScriptService::FinderWindowInfo& window : current) {
        shown.insert(folderKey(window.path));
        if (opened.contains(folderKey(window.path)) && !toClose.contains(window.path)) {
            toClose.append(window.path);
        }
    }
    QStringList toOpen;
    for (const QString& path : beforePaths) {
        if (!shown.contains(folderKey(path)) && !toOpen.contains(path)) {
            toOpen.append(path);
        }
    }
    if (toClose.isEmpty() && toOpen.isEmpty()) {
        co_return std::nullopt;
    }
    log(QStringLiteral("Closing ") + QString::number(toClose.size()) +
        QStringLiteral(" folder window(s) the restore opened, reopening ") + QString::number(toOpen.size()));
    co_await FinderScriptService::batchOperations(toClose, toOpen, beforePaths, beforeFrames, current, {},
                                                  FinderWindowRestorer::framesMatch);
    // Read back: a folder window opens (and closes) in the file manager's own time.
    const auto counted = std::make_shared<std::pair<qsizetype, qsizetype>>(0, 0);
    const auto done = [toClose, toOpen, counted] { return foldersPutBack(toClose, toOpen, counted); };
    const bool all = co_await platformClock().pollUntilAsync(done, kFoldersWait, kFoldersStep);
    const auto [closed, reopened] = *counted;
    QStringList said;
    if (!toClose.isEmpty()) {
        said.append(QString::number(closed) + QStringLiteral(" of ") + QString::number(toClose.size()) +
                    QStringLiteral(" folder windows the restore opened closed"));
    }
    if (!toOpen.isEmpty()) {
        said.append(QString::number(reopened) + QStringLiteral(" of ") + QString::number(toOpen.size()) +
                    QStringLiteral(" folder windows it closed reopened"));
    }
    co_return result(restored, all ? RestoreStatus::restored : RestoreStatus::partiallyRestored,
                     said.join(QStringLiteral("; ")));
}

QCoro::Task<bool> RevertSteps::waitForBrowserTabs(QString bundleIdentifier, TabList expectedTabsByWindow,
                                                  double timeout) {
    const QString script = BrowserScriptText::tabListingScript(bundleIdentifier);
    const auto ready = [script, expectedTabsByWindow] { return tabsShown(script, expectedTabsByWindow); };
    // Each look runs a script, so the browser is asked every half second.
    if (co_await platformClock().pollUntilAsync(ready, Clock::seconds(timeout), kTabsStep)) {
        co_return true;
    }
    log(QStringLiteral("Timeout waiting for browser tabs"));
    co_return false;
}

bool RevertSteps::browserTabsMatch(const TabList& desired, const TabList& current) {
    if (desired.size() != current.size()) {
        return false;
    }
    for (qsizetype w = 0; w < desired.size(); ++w) {
        if (desired[w].size() != current[w].size()) {
            return false;
        }
        for (qsizetype t = 0; t < desired[w].size(); ++t) {
            if (comparable(desired[w][t].url) != comparable(current[w][t].url)) {
                return false;
            }
        }
    }
    return true;
}
