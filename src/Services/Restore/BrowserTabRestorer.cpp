#include "Services/Restore/BrowserTabRestorer.h"

#include "Platform/Platform.h"
#include "Platform/ScriptRunner.h"
#include "Services/Desktop/AXAttributeReader.h"
#include "Services/Restore/BrowserTabComparison.h"
#include "Services/Restore/RestoreLog.h"
#include "Services/Restore/RestoreWait.h"
#include "Services/Scripting/BrowserNames.h"
#include "Services/Scripting/BrowserScriptService.h"
#include "Services/Scripting/BrowserScriptText.h"

#include <QStringList>

#include <algorithm>
#include <functional>
#include <memory>

namespace {

using TabList = BrowserTabRestorer::TabList;

// A window (its position in the browser's list) and the tab (1-based) it should show.
struct Reselection {
    qsizetype window = 0;
    std::int64_t tab = 0;
};

// The windows that show all their saved tabs, but another one active than the saved one.
QList<Reselection> lostSelections(const TabList& expectedTabsByWindow, const TabList& current) {
    QList<Reselection> lost;
    const QList<BrowserTabComparison::Shortfall> shortfalls =
        BrowserTabComparison::shortfalls(expectedTabsByWindow, current);
    for (qsizetype i = 0; i < shortfalls.size(); ++i) {
        const BrowserTabComparison::Shortfall& s = shortfalls[i];
        // A window still short of tabs may yet be handed one, which would take it again.
        if (!s.unselectedTab || !s.partner || !s.missingTabs.isEmpty()) {
            continue;
        }
        // The saved active tab is the n-th tab with its address; so is the one to show.
        const QList<TabSnapshot>& saved = expectedTabsByWindow[i];
        const QString url = BrowserTabComparison::normalizeURL(saved[*s.unselectedTab].url);
        qsizetype occurrence = 0;
        for (qsizetype j = 0; j < *s.unselectedTab; ++j) {
            occurrence += BrowserTabComparison::normalizeURL(saved[j].url) == url ? 1 : 0;
        }
        const QList<TabSnapshot>& shown = current[*s.partner];
        for (qsizetype k = 0; k < shown.size(); ++k) {
            if (BrowserTabComparison::normalizeURL(shown[k].url) == url && occurrence-- == 0) {
                lost.append(Reselection{*s.partner, k + 1});
                break;
            }
        }
    }
    return lost;
}

// Reads the browser's tabs into shown; whether no window shows another tab than the saved one.
QCoro::Task<bool> selectionsHeld(QString bundleIdentifier, TabList expectedTabsByWindow,
                                 std::shared_ptr<TabList> shown) {
    *shown = co_await BrowserScriptService::captureTabs(bundleIdentifier);
    co_return lostSelections(expectedTabsByWindow, *shown).isEmpty();
}

// Reads the browser's tabs into shown; whether they match, or its record lists every window handed
// whole with as many tabs as it was handed. Another window the record lists without tabs is not
// waited for: the record never lists a window without a tab strip (developer tools, an application
// window).
QCoro::Task<bool> listedWhole(QString bundleIdentifier, TabList expectedTabsByWindow,
                              BrowserTabRestorer::Handed handed, std::shared_ptr<TabList> shown) {
    *shown = co_await BrowserScriptService::captureTabs(bundleIdentifier);
    if (handed.isEmpty()) {
        co_return true;
    }
    // A record that lists no tab at all may have stopped: it lists nothing more however long it is
    // waited for.
    if (std::all_of(shown->begin(), shown->end(), [](const QList<TabSnapshot>& w) { return w.isEmpty(); }) &&
        BrowserTabRestorer::recordStopped(bundleIdentifier)) {
        co_return true;
    }
    // The windows handed are counted by their ids: a first record that lists most of a long
    // window's tabs already matches them, and would be counted short. Windows that cannot be told
    // apart are compared as a whole.
    const std::optional<QList<std::int64_t>> ids = co_await BrowserScriptService::windowIDs(bundleIdentifier);
    if (!ids || ids->size() != shown->size()) {
        co_return BrowserTabComparison::browserTabsMatch(expectedTabsByWindow, *shown);
    }
    for (auto it = handed.cbegin(); it != handed.cend(); ++it) {
        const qsizetype at = ids->indexOf(it.value());
        if (at >= 0 && it.key() < expectedTabsByWindow.size() &&
            (*shown)[at].size() < expectedTabsByWindow[it.key()].size()) {
            co_return false;
        }
    }
    co_return true;
}

// Whether the platform hands a window of these tabs to the browser in several requests.
bool handedInParts(const QString& bundleIdentifier, const QList<TabSnapshot>& tabs,
                   const std::optional<BrowserProfile>& profile) {
    const std::shared_ptr<ScriptRunner> runner = Platform::current().scriptRunner;
    if (!runner || tabs.isEmpty()) {
        return false;
    }
    QStringList addresses;
    for (const TabSnapshot& tab : tabs) {
        addresses << tab.url;
    }
    const bool named = profile && !profile->isDefault();
    return runner->browserWindowHandedInParts(
        bundleIdentifier, addresses, named ? profile->userDataDir.value_or(QString()) : QString(),
        named ? profile->profileDirectory.value_or(QString()) : QString());
}

// Shows the saved tab of each window (its saved position, and its id).
QCoro::Task<void> showSavedTabs(QString bundleIdentifier, TabList expectedTabsByWindow,
                                BrowserTabRestorer::Handed windows) {
    for (auto it = windows.cbegin(); it != windows.cend(); ++it) {
        const QList<TabSnapshot> tabs = expectedTabsByWindow.value(it.key());
        const auto active =
            std::find_if(tabs.begin(), tabs.end(), [](const TabSnapshot& t) { return t.isActive; });
        if (active == tabs.end()) {
            continue;
        }
        // Showing a tab raises its window, which renumbers the others: each is found by its id.
        const std::optional<QList<std::int64_t>> ids =
            co_await BrowserScriptService::windowIDs(bundleIdentifier);
        const qsizetype at = ids ? ids->indexOf(it.value()) : -1;
        if (at >= 0) {
            co_await BrowserScriptService::runAppleScript(
                BrowserScriptText::activateTabScript(bundleIdentifier, at + 1, active - tabs.begin() + 1));
        }
    }
}

// A window the tidying closes as empty: one tab, a blank or new-tab page.
bool blankWindow(const QList<TabSnapshot>& tabs) {
    return tabs.size() == 1 && BrowserNames::isNewTabPage(tabs.first().url);
}

bool anyBlankWindow(const TabList& windows) {
    return std::any_of(windows.begin(), windows.end(), blankWindow);
}

// Whether the browser lists no more than count windows (or cannot say).
QCoro::Task<bool> listsAtMost(QString bundleIdentifier, qsizetype count) {
    const std::optional<std::int64_t> listed = co_await BrowserScriptService::windowCount(bundleIdentifier);
    co_return !listed || *listed <= count;
}

// A window by what it shows: its shown tab's title, else that tab's address.
QString shownPage(const QList<TabSnapshot>& tabs) {
    if (tabs.isEmpty()) {
        return QString();
    }
    const auto active =
        std::find_if(tabs.begin(), tabs.end(), [](const TabSnapshot& t) { return t.isActive; });
    const TabSnapshot& tab = active == tabs.end() ? tabs.first() : *active;
    return tab.title && !tab.title->isEmpty() ? *tab.title : tab.url;
}

} // namespace

QCoro::Task<QList<BrowserTabRestorer::Closed>>
BrowserTabRestorer::closeAndName(QString bundleIdentifier, std::function<QCoro::Task<void>()> close,
                                 ClosedWindow::Why why) {
    const TabList before = co_await BrowserScriptService::captureTabs(bundleIdentifier);
    const std::optional<QList<std::int64_t>> idsBefore =
        co_await BrowserScriptService::windowIDs(bundleIdentifier);
    co_await close();
    QList<Closed> closed;
    // The tabs listed are the windows' by position only when the lists agree.
    if (!idsBefore || idsBefore->size() != before.size()) {
        co_return closed;
    }
    const std::optional<QList<std::int64_t>> idsAfter =
        co_await BrowserScriptService::windowIDs(bundleIdentifier);
    for (qsizetype i = 0; idsAfter && i < idsBefore->size(); ++i) {
        if (!idsAfter->contains(idsBefore->at(i))) {
            closed.append(Closed{idsBefore->at(i), ClosedWindow{shownPage(before[i]), why}});
        }
    }
    co_return closed;
}

QCoro::Task<QList<BrowserTabRestorer::Closed>>
BrowserTabRestorer::closeEmptyWindows(QString bundleIdentifier, TabList listed,
                                      std::optional<QList<std::int64_t>> windowsBefore) {
    // No window was there before this restore: every blank one the browser shows is one it opened
    // of its own (on its start, say), whether or not its record lists it yet.
    if (windowsBefore && windowsBefore->isEmpty()) {
        const std::function<QCoro::Task<void>()> close = [bundleIdentifier] {
            return BrowserScriptService::closeEmptyBrowserWindows(bundleIdentifier);
        };
        // Named only when the windows as last listed show one to close: the tidying runs after
        // every restore of a running browser, mostly to find nothing.
        if (!anyBlankWindow(listed)) {
            co_await close();
            co_return QList<Closed>();
        }
        co_return co_await closeAndName(bundleIdentifier, close, ClosedWindow::Why::blank);
    }
    // Otherwise only the blank windows that were not there before, by their ids: a blank window of
    // the user's stays, and none goes when the windows there before are not known.
    QList<std::int64_t> blank;
    std::optional<QList<std::int64_t>> ids;
    if (windowsBefore && anyBlankWindow(listed)) {
        ids = co_await BrowserScriptService::windowIDs(bundleIdentifier);
    }
    for (qsizetype i = 0; ids && ids->size() == listed.size() && i < listed.size(); ++i) {
        if (blankWindow(listed[i]) && !windowsBefore->contains(ids->at(i))) {
            blank.append(ids->at(i));
        }
    }
    if (blank.isEmpty()) {
        co_return QList<Closed>();
    }
    const std::function<QCoro::Task<void>()> close = [bundleIdentifier, blank] {
        return BrowserScriptService::closeWindows(bundleIdentifier, blank);
    };
    co_return co_await closeAndName(bundleIdentifier, close, ClosedWindow::Why::blank);
}

bool BrowserTabRestorer::recordStopped(const QString& bundleIdentifier) {
    const std::shared_ptr<ScriptRunner> runner = Platform::current().scriptRunner;
    return runner && runner->browserRecordStopped(bundleIdentifier);
}

QCoro::Task<QHash<qsizetype, std::int64_t>> BrowserTabRestorer::unreadSavedWindows(QString bundleIdentifier,
                                                                                   AppSnapshot appSnapshot) {
    QHash<qsizetype, std::int64_t> paired;
    if (!recordStopped(bundleIdentifier)) {
        co_return paired;
    }
    const TabList listed = co_await BrowserScriptService::captureTabs(bundleIdentifier);
    const std::optional<QList<std::int64_t>> ids = co_await BrowserScriptService::windowIDs(bundleIdentifier);
    if (!ids || ids->size() != listed.size()) {
        co_return paired;
    }
    // A browser's window ids are its windows' numbers on the desktop, whose titles name the tab shown.
    QList<std::optional<QString>> titles;
    for (const std::int64_t window : *ids) {
        titles.append(AXAttributeReader::string(AXElement{quint64(window)}, QStringLiteral("AXTitle")));
    }
    QList<std::int64_t> taken;
    for (qsizetype i = 0; i < appSnapshot.windowSnapshots.size(); ++i) {
        const WindowSnapshot& saved = appSnapshot.windowSnapshots[i];
        if (saved.tabSnapshots.isEmpty() || saved.windowTitle.value_or(QString()).isEmpty()) {
            continue;
        }
        for (qsizetype j = 0; j < ids->size(); ++j) {
            if (listed[j].isEmpty() && !taken.contains(ids->at(j)) && titles[j] == saved.windowTitle) {
                paired.insert(i, ids->at(j));
                taken.append(ids->at(j));
                break;
            }
        }
    }
    co_return paired;
}

BrowserTabRestorer::TabList BrowserTabRestorer::expectedTabs(const AppSnapshot& appSnapshot) {
    TabList tabs;
    for (const WindowSnapshot& window : appSnapshot.windowSnapshots) {
        tabs.append(window.tabSnapshots);
    }
    return tabs;
}

BrowserTabRestorer::TabList BrowserTabRestorer::openedTabs(const TabList& savedTabs) {
    const std::shared_ptr<ScriptRunner> runner = Platform::current().scriptRunner;
    if (!runner) {
        return savedTabs;
    }
    TabList opened = savedTabs;
    for (QList<TabSnapshot>& window : opened) {
        for (TabSnapshot& tab : window) {
            tab.url = runner->browserAddressAsOpened(tab.url);
        }
    }
    return opened;
}

QCoro::Task<BrowserTabRestorer::Reopened>
BrowserTabRestorer::restoreBrowserTabs(AppSnapshot appSnapshot, bool closeOtherApps, bool wasJustLaunched,
                                       Handed handed, std::shared_ptr<RestoreRequest> request,
                                       QHash<std::int64_t, qsizetype> earlier,
                                       std::optional<QList<std::int64_t>> windowsBefore) {
    const QString id = appSnapshot.bundleIdentifier;
    const TabList saved = expectedTabs(appSnapshot);
    if (std::all_of(saved.begin(), saved.end(), [](const QList<TabSnapshot>& w) { return w.isEmpty(); })) {
        co_return Reopened{};
    }
    const TabList expected = openedTabs(saved);
    // The saved windows to open: those that no window shows whole yet. A window that does stays
    // as it is, whoever opened it, with its history, also when other applications are closed: it
    // is the saved window.
    TabList toOpen = saved;
    Reopened reopened;
    // A window handed whole that shows is its saved window's, however far behind the browser's
    // record is: handing it again would only open a window beside it.
    if (!handed.isEmpty()) {
        const std::optional<QList<std::int64_t>> shown = co_await BrowserScriptService::windowIDs(id);
        for (auto it = handed.cbegin(); it != handed.cend(); ++it) {
            if (shown && shown->contains(it.value()) && it.key() < toOpen.size()) {
                toOpen[it.key()].clear();
                reopened.kept.append(it.value());
                reopened.handed.insert(it.key(), it.value());
            }
        }
    }
    // The windows there before this restore: none when it just started the browser.
    if (!windowsBefore && wasJustLaunched) {
        windowsBefore = QList<std::int64_t>();
    } else if (!windowsBefore) {
        windowsBefore = co_await BrowserScriptService::windowIDs(id);
    }
    if (!wasJustLaunched) {
        const TabList current = co_await BrowserScriptService::captureTabs(id);
        if (!closeOtherApps && BrowserTabComparison::browserTabsMatch(expected, current)) {
            Reopened skipped;
            skipped.closed = co_await closeEmptyWindows(id, current, windowsBefore);
            // Blank windows not seen gone yet are given a moment to go; nothing is waited for
            // when none was listed, or none was to go.
            if (windowsBefore && windowsBefore->isEmpty() && anyBlankWindow(current) &&
                skipped.closed.isEmpty()) {
                const qsizetype staying =
                    current.size() - std::count_if(current.begin(), current.end(), blankWindow);
                const auto gone = [id, staying] { return listsAtMost(id, staying); };
                co_await RestoreWait::pollUntilAsync(gone, RestoreWait::ms(200), RestoreWait::ms(50));
            }
            RestoreLog::log(QStringLiteral("Tabs already match after cleanup for ") + id +
                            QStringLiteral(" — skipping window creation"));
            co_return skipped;
        }
        // A browser that records none of its windows lists them without tabs: one that shows a saved
        // window by its title is that window, kept, never opened a second time.
        const QHash<qsizetype, std::int64_t> unread = co_await unreadSavedWindows(id, appSnapshot);
        for (auto it = unread.cbegin(); it != unread.cend(); ++it) {
            if (it.key() < toOpen.size() && !toOpen[it.key()].isEmpty()) {
                toOpen[it.key()].clear();
                reopened.kept.append(it.value());
            }
        }
        const std::optional<QList<std::int64_t>> ids = co_await BrowserScriptService::windowIDs(id);
        const QList<BrowserTabComparison::Shortfall> shortfalls =
            BrowserTabComparison::shortfalls(expected, current);
        for (qsizetype i = 0; i < shortfalls.size(); ++i) {
            const BrowserTabComparison::Shortfall& s = shortfalls[i];
            // With other applications closed, a window kept must be told from the others.
            const bool told = ids && ids->size() == current.size();
            if (!expected[i].isEmpty() && s.partner && s.missingTabs.isEmpty() && (told || !closeOtherApps)) {
                toOpen[i].clear();
                if (told && !reopened.kept.contains(ids->at(*s.partner))) {
                    reopened.kept.append(ids->at(*s.partner));
                }
            }
        }
    }

    for (qsizetype i = 0; request && i < toOpen.size(); ++i) {
        if (!toOpen[i].isEmpty() && !request->starts().takeStart(id, QStringLiteral("restoreBrowserTabs"))) {
            toOpen[i].clear();
            reopened.notStarted.append(i);
        }
    }
    QList<SnapshotRect> frames;
    QList<std::optional<BrowserProfile>> profiles;
    for (const WindowSnapshot& window : appSnapshot.windowSnapshots) {
        frames.append(window.frame);
        profiles.append(window.browserProfile);
    }
    const QList<BrowserScriptService::MadeWindow> made =
        co_await BrowserScriptService::openWindows(id, toOpen, frames, profiles);
    // The windows handed over in parts: the browser may show the first tab of a later part after
    // the saved tab was selected, so their saved tab is shown again once its record lists all
    // their tabs. The others keep the selection made as they were opened.
    Handed inParts;
    for (const BrowserScriptService::MadeWindow& window : made) {
        if (window.id) {
            reopened.opened.append(*window.id);
            reopened.openedFor.insert(*window.id, window.position);
            if (window.whole) {
                reopened.handed.insert(window.position, *window.id);
            }
            if (window.whole &&
                handedInParts(id, toOpen.value(window.position), profiles.value(window.position))) {
                inParts.insert(window.position, *window.id);
            }
        }
    }
    // The windows opened stand in front, in saved order.
    TabList opening;
    for (const QList<TabSnapshot>& window : openedTabs(toOpen)) {
        if (!window.isEmpty()) {
            opening.append(window);
        }
    }
    co_await waitForBrowserTabs(id, opening, 10.0);
    if (!inParts.isEmpty()) {
        co_await recordedTabs(id, expected, RestoreWait::ms(200), inParts);
        co_await showSavedTabs(id, expected, inParts);
    }
    const TabList listed = co_await BrowserScriptService::captureTabs(id);
    const TabList shown = co_await reselectActiveTabs(id, expected, listed);
    logVerification(id, expected, shown);
    // Tidied once the saved windows are open, so the browser always keeps a window.
    if (closeOtherApps) {
        if (!reopened.notStarted.isEmpty()) {
            // A window shown for a saved window that cannot be told from the others would be closed
            // with no window opened in its place.
            RestoreLog::log(
                QStringLiteral("restoreBrowserTabs: ") + id +
                QStringLiteral(" could not open every saved window — closing none of the others"));
        } else if (reopened.opened.isEmpty() && reopened.kept.isEmpty()) {
            RestoreLog::log(QStringLiteral("restoreBrowserTabs: the windows ") + id +
                            QStringLiteral(" opened cannot be told — closing none of the others"));
        } else {
            QList<std::int64_t> keep = reopened.opened + reopened.kept;
            // A saved window whose new window did not come keeps the one an earlier attempt opened.
            for (auto it = earlier.cbegin(); it != earlier.cend(); ++it) {
                const qsizetype at = it.value();
                const bool served = at >= toOpen.size() || expected[at].isEmpty() || toOpen[at].isEmpty() ||
                                    reopened.openedFor.values().contains(at);
                if (!served && !keep.contains(it.key())) {
                    keep.append(it.key());
                }
            }
            const std::function<QCoro::Task<void>()> close = [id, keep] {
                return BrowserScriptService::closeWindowsExcept(id, keep);
            };
            reopened.closed = co_await closeAndName(id, close, ClosedWindow::Why::outsideWorkspace);
        }
    } else {
        reopened.closed = co_await closeEmptyWindows(id, shown, windowsBefore);
    }
    co_return reopened;
}

QCoro::Task<BrowserTabRestorer::TabList> BrowserTabRestorer::recordedTabs(QString bundleIdentifier,
                                                                          TabList expectedTabsByWindow,
                                                                          Clock::Duration step,
                                                                          Handed handed) {
    const auto shown = std::make_shared<TabList>();
    const auto settled = [bundleIdentifier, expectedTabsByWindow, handed, shown] {
        return listedWhole(bundleIdentifier, expectedTabsByWindow, handed, shown);
    };
    co_await RestoreWait::pollUntilAsync(settled, recordLag, step);
    co_return *shown;
}

QCoro::Task<std::optional<QList<std::int64_t>>>
BrowserTabRestorer::windowsShowingSavedTabs(QString bundleIdentifier, TabList expectedTabsByWindow) {
    const TabList current = co_await BrowserScriptService::captureTabs(bundleIdentifier);
    const std::optional<QList<std::int64_t>> ids = co_await BrowserScriptService::windowIDs(bundleIdentifier);
    if (!ids || ids->size() != current.size()) {
        co_return std::nullopt;
    }
    QList<std::int64_t> showing;
    const QList<BrowserTabComparison::Shortfall> shortfalls =
        BrowserTabComparison::shortfalls(expectedTabsByWindow, current);
    for (qsizetype i = 0; i < shortfalls.size(); ++i) {
        const BrowserTabComparison::Shortfall& s = shortfalls[i];
        if (!expectedTabsByWindow[i].isEmpty() && s.partner && s.missingTabs.isEmpty()) {
            showing.append(ids->at(*s.partner));
        }
    }
    co_return showing;
}

QCoro::Task<QList<ClosedWindow>> BrowserTabRestorer::closeWindowsOutside(QString bundleIdentifier,
                                                                         TabList expectedTabsByWindow,
                                                                         TabList current) {
    const std::optional<QList<std::int64_t>> ids = co_await BrowserScriptService::windowIDs(bundleIdentifier);
    if (!ids || ids->size() != current.size()) {
        RestoreLog::log(QStringLiteral("closeWindowsOutside: the windows of ") + bundleIdentifier +
                        QStringLiteral(" cannot be told apart — closing none"));
        co_return QList<ClosedWindow>();
    }
    QList<std::int64_t> saved;
    const QList<BrowserTabComparison::Shortfall> shortfalls =
        BrowserTabComparison::shortfalls(expectedTabsByWindow, current);
    for (qsizetype i = 0; i < shortfalls.size(); ++i) {
        if (!expectedTabsByWindow[i].isEmpty() && shortfalls[i].partner) {
            saved.append(ids->at(*shortfalls[i].partner));
        }
    }
    // Without a saved window to keep, closing the others would quit the browser.
    if (saved.isEmpty() || saved.size() == ids->size()) {
        co_return QList<ClosedWindow>();
    }
    RestoreLog::log(QStringLiteral("closeWindowsOutside: closing ") +
                    QString::number(ids->size() - saved.size()) + QStringLiteral(" window(s) of ") +
                    bundleIdentifier + QStringLiteral(" outside the workspace"));
    const std::function<QCoro::Task<void>()> close = [bundleIdentifier, saved] {
        return BrowserScriptService::closeWindowsExcept(bundleIdentifier, saved);
    };
    const QList<Closed> gone =
        co_await closeAndName(bundleIdentifier, close, ClosedWindow::Why::outsideWorkspace);
    QList<ClosedWindow> closed;
    for (const Closed& window : gone) {
        closed.append(window.window);
    }
    co_return closed;
}

QCoro::Task<void> BrowserTabRestorer::waitForBrowserTabs(QString bundleIdentifier,
                                                         TabList expectedTabsByWindow, double timeout) {
    const auto listed = [bundleIdentifier, expectedTabsByWindow] {
        return showsAtLeast(bundleIdentifier, expectedTabsByWindow);
    };
    co_await RestoreWait::pollUntilAsync(listed, Clock::seconds(timeout), RestoreWait::ms(500));
}

QCoro::Task<bool> BrowserTabRestorer::showsAtLeast(QString bundleIdentifier, TabList expectedTabsByWindow) {
    const TabList listed = co_await BrowserScriptService::captureTabs(bundleIdentifier);
    if (std::any_of(listed.begin(), listed.end(), [](const QList<TabSnapshot>& w) { return w.isEmpty(); })) {
        co_return true;
    }
    if (listed.size() < expectedTabsByWindow.size()) {
        co_return false;
    }
    for (qsizetype i = 0; i < expectedTabsByWindow.size(); ++i) {
        if (listed[i].size() < expectedTabsByWindow[i].size()) {
            co_return false;
        }
    }
    co_return true;
}

bool BrowserTabRestorer::logVerification(const QString& bundleIdentifier, const TabList& expectedTabsByWindow,
                                         const TabList& current) {
    const QList<qsizetype> unmatched = BrowserTabComparison::unmatchedWindows(expectedTabsByWindow, current);
    if (unmatched.isEmpty()) {
        RestoreLog::log(QStringLiteral("verifyTabRestoration: ") + bundleIdentifier +
                        QStringLiteral(" shows every saved window's tabs"));
        return true;
    }
    QStringList positions;
    for (const qsizetype position : unmatched) {
        positions.append(QString::number(position));
    }
    RestoreLog::log(QStringLiteral("verifyTabRestoration: ") + bundleIdentifier +
                    QStringLiteral(" does not show the tabs of saved window(s) ") +
                    positions.join(QStringLiteral(", ")));
    return false;
}

QCoro::Task<BrowserTabRestorer::TabList> BrowserTabRestorer::reselectActiveTabs(QString bundleIdentifier,
                                                                                TabList expectedTabsByWindow,
                                                                                TabList current) {
    const QList<Reselection> lost = lostSelections(expectedTabsByWindow, current);
    if (lost.isEmpty()) {
        co_return current;
    }
    // Showing a tab brings its window to the front, which renumbers the others: each window is
    // found again by its id. Without ids only the first can be told by its number.
    const std::optional<QList<std::int64_t>> ids = co_await BrowserScriptService::windowIDs(bundleIdentifier);
    const bool byId = ids && ids->size() == current.size();
    const QList<Reselection> toSelect = byId ? lost : lost.first(1);
    for (const Reselection& r : toSelect) {
        std::int64_t number = r.window + 1;
        if (byId && r.window != lost.first().window) {
            const std::optional<QList<std::int64_t>> now =
                co_await BrowserScriptService::windowIDs(bundleIdentifier);
            const qsizetype at = now ? now->indexOf(ids->at(r.window)) : -1;
            if (at < 0) {
                continue;
            }
            number = at + 1;
        }
        RestoreLog::log(QStringLiteral("reselectActiveTabs: ") + bundleIdentifier +
                        QStringLiteral(" window ") + QString::number(number) +
                        QStringLiteral(" lost its active tab to a later one, showing tab ") +
                        QString::number(r.tab) + QStringLiteral(" again"));
        co_await BrowserScriptService::runAppleScript(
            BrowserScriptText::activateTabScript(bundleIdentifier, number, r.tab));
    }
    // The listing follows the browser's own record of its tabs, which comes after the window shows
    // the tab.
    const auto state = std::make_shared<TabList>(current);
    const auto settled = [bundleIdentifier, expectedTabsByWindow, state] {
        return selectionsHeld(bundleIdentifier, expectedTabsByWindow, state);
    };
    co_await RestoreWait::pollUntilAsync(settled, Clock::seconds(5.0), RestoreWait::ms(500));
    co_return *state;
}
