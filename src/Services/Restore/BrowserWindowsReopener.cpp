#include "Services/Restore/BrowserWindowsReopener.h"

#include "Services/Restore/BoundedRetry.h"
#include "Services/Restore/BrowserRestoreIssues.h"
#include "Services/Restore/BrowserTabComparison.h"
#include "Services/Restore/RestoreLog.h"
#include "Services/Restore/RestoreWait.h"
#include "Services/Scripting/BrowserScriptService.h"

#include <QHash>
#include <QUuid>

#include <functional>
#include <optional>

namespace {

// The key of a saved application among the browser windows a request opened: browser identifier
// and snapshot id.
QString openedKey(const AppSnapshot& snapshot) {
    return snapshot.bundleIdentifier + QLatin1Char(' ') + snapshot.id.toString(QUuid::WithoutBraces);
}

} // namespace

QCoro::Task<QStringList> BrowserWindowsReopener::countedTabIssues(QString bundleIdentifier,
                                                                  AppSnapshot snapshot,
                                                                  std::shared_ptr<RestoreRequest> request) {
    const QList<QList<TabSnapshot>> saved = BrowserTabRestorer::expectedTabs(snapshot);
    const BrowserTabRestorer::Handed handed = BrowserWindowsReopener::handed(*request, snapshot);
    if (std::all_of(saved.begin(), saved.end(), [](const QList<TabSnapshot>& w) { return w.isEmpty(); })) {
        co_return QStringList(saved.size());
    }
    const QList<QList<TabSnapshot>> shown = co_await BrowserTabRestorer::recordedTabs(
        bundleIdentifier, BrowserTabRestorer::openedTabs(saved), RestoreWait::ms(100), handed);
    co_return BrowserRestoreIssues::tabIssues(saved, shown,
                                              BrowserTabRestorer::recordStopped(bundleIdentifier));
}

QCoro::Task<BrowserWindowsReopener::Outcome> BrowserWindowsReopener::reopen(AppPlan plan,
                                                                            bool closeOtherApps) {
    const QString id = plan.appSnapshot.bundleIdentifier;
    const QList<QList<TabSnapshot>> saved = BrowserTabRestorer::expectedTabs(plan.appSnapshot);
    const QList<QList<TabSnapshot>> expected = BrowserTabRestorer::openedTabs(saved);
    const bool launched = plan.needsLaunch;
    if (std::all_of(expected.begin(), expected.end(),
                    [](const QList<TabSnapshot>& w) { return w.isEmpty(); })) {
        const BrowserTabRestorer::Reopened reopened =
            co_await BrowserTabRestorer::restoreBrowserTabs(plan.appSnapshot, closeOtherApps, launched);
        Outcome outcome;
        for (const BrowserTabRestorer::Closed& window : reopened.closed) {
            outcome.closed.append(window.window);
        }
        co_return outcome;
    }
    // Each attempt opens the saved windows afresh, then closes the windows an earlier attempt (or
    // an earlier pass of this request) opened for them, known by their ids: never a window of the
    // user's, and never the browser's last window.
    const QString key = openedKey(plan.appSnapshot);
    const AppSnapshot snapshot = plan.appSnapshot;
    const std::shared_ptr<RestoreRequest> request = plan.request;
    // The user's windows each attempt closed, and the saved windows it could not open.
    const auto outcome = std::make_shared<Outcome>();
    const std::function<QCoro::Task<bool>(int)> operation = [id, key, snapshot, closeOtherApps, launched,
                                                             request, outcome](int attempt) {
        return BoundedRetry::done(
            openTabs(id, key, snapshot, closeOtherApps, launched && attempt == 1, request, outcome));
    };
    // Compared with what the browser was given: an address kept from it never comes back, and
    // waiting for it would only open the windows again. Every saved window handed whole has its
    // window: its tabs are counted once the browser's record catches up, never handed again. One
    // the restore's starts ran out for is not tried again.
    const std::function<QCoro::Task<bool>(const bool&)> check = [id, key, expected, request,
                                                                 outcome](const bool&) {
        const BrowserTabRestorer::Handed handed = request->browserWindows().value(key).handed;
        QList<QList<TabSnapshot>> awaited = expected;
        bool everyOneHanded = true;
        for (qsizetype i = 0; i < expected.size(); ++i) {
            if (outcome->notStarted.contains(i)) {
                awaited[i].clear();
            }
            everyOneHanded = everyOneHanded && (awaited[i].isEmpty() || handed.contains(i));
        }
        if (everyOneHanded) {
            return BoundedRetry::ready(true);
        }
        return tabsMatch(id, awaited);
    };
    co_await BoundedRetry::run<bool>(operation, check);
    for (const QString& page : blankStandIns(saved)) {
        RestoreLog::log(QStringLiteral("restoreBrowserTabs: ") + id +
                        QStringLiteral(" shows a blank page for ") + page +
                        QStringLiteral(", which it does not open when handed"));
    }
    co_return *outcome;
}

QCoro::Task<void> BrowserWindowsReopener::openTabs(QString bundleIdentifier, QString key,
                                                   AppSnapshot snapshot, bool closeOtherApps, bool launched,
                                                   std::shared_ptr<RestoreRequest> request,
                                                   std::shared_ptr<Outcome> outcome) {
    const RestoreRequest::BrowserWindows before = request->browserWindows().value(key);
    const QList<std::int64_t> earlier = before.windows;
    // The windows there before this request opened any: the blank ones among them are the user's.
    std::optional<QList<std::int64_t>> windowsBefore = before.windowsBefore;
    if (!request->browserWindows().contains(key) && launched) {
        windowsBefore = QList<std::int64_t>();
    } else if (!request->browserWindows().contains(key)) {
        windowsBefore = co_await BrowserScriptService::windowIDs(bundleIdentifier);
    }
    const BrowserTabRestorer::Reopened reopened = co_await BrowserTabRestorer::restoreBrowserTabs(
        snapshot, closeOtherApps, launched, before.handed, request, before.savedFor, windowsBefore);
    for (const BrowserTabRestorer::Closed& window : reopened.closed) {
        // A window an earlier attempt opened is not the user's.
        if (!earlier.contains(window.id)) {
            outcome->closed.append(window.window);
        }
    }
    for (const qsizetype window : reopened.notStarted) {
        if (!outcome->notStarted.contains(window)) {
            outcome->notStarted.append(window);
        }
    }
    // Windows this request opened before and kept for no saved window: closed once their
    // replacements are open. Those the ids of which cannot be read now stay noted.
    QList<std::int64_t> opened = reopened.opened;
    QHash<std::int64_t, qsizetype> savedFor = reopened.openedFor;
    for (auto it = reopened.handed.cbegin(); it != reopened.handed.cend(); ++it) {
        savedFor.insert(it.value(), it.key());
    }
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
        // The saved windows this attempt opened a window for that shows.
        QSet<qsizetype> replaced;
        for (auto it = reopened.openedFor.cbegin(); now && it != reopened.openedFor.cend(); ++it) {
            if (now->contains(it.key())) {
                replaced.insert(it.value());
            }
        }
        for (const std::int64_t window : earlier) {
            if (opened.contains(window) || (now && !now->contains(window))) {
                continue;
            }
            // Only a window that shows for the same saved window replaces one: a saved window whose
            // new window did not come keeps the one it has (also one whose saved window is not
            // known), else it would be left with none.
            const auto was = before.savedFor.constFind(window);
            if (now && was != before.savedFor.constEnd() && replaced.contains(*was)) {
                left.append(window);
            } else {
                mine.append(window);
            }
        }
    }
    // A window kept on keeps the saved window it was opened for.
    for (const std::int64_t window : mine) {
        if (const auto was = before.savedFor.constFind(window);
            was != before.savedFor.constEnd() && !savedFor.contains(window)) {
            savedFor.insert(window, *was);
        }
    }
    if (!left.isEmpty()) {
        RestoreLog::log(QStringLiteral("restoreBrowserTabs: closing ") + QString::number(left.size()) +
                        QStringLiteral(" window(s) of ") + bundleIdentifier +
                        QStringLiteral(" left by the previous attempt"));
        co_await BrowserScriptService::closeWindows(bundleIdentifier, left);
    }
    request->browserWindows().insert(
        key, RestoreRequest::BrowserWindows{mine, savedFor, reopened.handed, windowsBefore});
}

QStringList BrowserWindowsReopener::blankStandIns(const QList<QList<TabSnapshot>>& saved) {
    const QList<QList<TabSnapshot>> opened = BrowserTabRestorer::openedTabs(saved);
    QStringList pages;
    for (qsizetype i = 0; i < saved.size(); ++i) {
        for (qsizetype j = 0; j < saved[i].size(); ++j) {
            if (BrowserRestoreIssues::isBlankStandIn(saved[i][j].url, opened[i][j].url) &&
                !pages.contains(saved[i][j].url)) {
                pages.append(saved[i][j].url);
            }
        }
    }
    return pages;
}

QCoro::Task<bool> BrowserWindowsReopener::tabsMatch(QString bundleIdentifier,
                                                    QList<QList<TabSnapshot>> expected) {
    const QList<QList<TabSnapshot>> shown = co_await BrowserScriptService::captureTabs(bundleIdentifier);
    // A window listed without tabs is one the browser's record has not caught up with: it is
    // counted once the windows are placed, never opened again.
    co_return BrowserTabComparison::browserTabsMatch(expected, shown) ||
        std::any_of(shown.begin(), shown.end(), [](const QList<TabSnapshot>& w) { return w.isEmpty(); });
}

BrowserTabRestorer::Handed BrowserWindowsReopener::handed(const RestoreRequest& request,
                                                          const AppSnapshot& snapshot) {
    return request.browserWindows().value(openedKey(snapshot)).handed;
}

QCoro::Task<QList<std::int64_t>>
BrowserWindowsReopener::windowsOfOthers(QString browser, AppSnapshot snapshot, QSet<AXElement> windowsBefore,
                                        std::shared_ptr<RestoreRequest> request) {
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
    const QList<std::int64_t> opened = request->browserWindows().value(openedKey(snapshot)).windows;
    // So are those that show a saved window by their title while the browser records none.
    const QHash<qsizetype, std::int64_t> unreadSaved =
        co_await BrowserTabRestorer::unreadSavedWindows(browser, snapshot);
    const QList<std::int64_t> unread = unreadSaved.values();
    for (const AXElement& window : windowsBefore) {
        if (opened.contains(static_cast<std::int64_t>(window.id)) ||
            unread.contains(static_cast<std::int64_t>(window.id))) {
            continue;
        }
        if (!showing || !showing->contains(static_cast<std::int64_t>(window.id))) {
            others.append(static_cast<std::int64_t>(window.id));
        }
    }
    co_return others;
}
