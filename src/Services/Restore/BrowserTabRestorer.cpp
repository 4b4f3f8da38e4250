#include "Services/Restore/BrowserTabRestorer.h"

#include "Platform/Platform.h"
#include "Platform/ScriptRunner.h"
#include "Services/Restore/BrowserTabComparison.h"
#include "Services/Restore/RestoreLog.h"
#include "Services/Restore/RestoreWait.h"
#include "Services/Scripting/BrowserScriptService.h"

#include <QStringList>

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

QCoro::Task<void> BrowserTabRestorer::restoreBrowserTabs(AppSnapshot appSnapshot, bool closeOtherApps,
                                                         bool wasJustLaunched) {
    const QString id = appSnapshot.bundleIdentifier;
    const TabList saved = expectedTabs(appSnapshot);
    if (std::all_of(saved.begin(), saved.end(), [](const QList<TabSnapshot>& w) { return w.isEmpty(); })) {
        co_return;
    }
    const TabList expected = openedTabs(saved);
    // An unread count (a refused or timed-out script) is no count: taken for 0, the windows
    // "beyond" it would be every window the user has.
    std::optional<std::int64_t> countAtEntry = co_await BrowserScriptService::windowCount(id);
    if (countAtEntry && *countAtEntry < 0) {
        countAtEntry.reset();
    }
    if (closeOtherApps || wasJustLaunched) {
        co_await BrowserScriptService::closeBrowser(id);
        co_await RestoreWait::pause(RestoreWait::ms(500));
    } else {
        co_await BrowserScriptService::closeEmptyBrowserWindows(id);
        co_await RestoreWait::pause(RestoreWait::ms(200));
        const TabList current = co_await BrowserScriptService::captureTabs(id);
        if (BrowserTabComparison::browserTabsMatch(expected, current)) {
            RestoreLog::log(QStringLiteral("Tabs already match after cleanup for ") + id +
                            QStringLiteral(" — skipping window creation"));
            co_return;
        }
        if (countAtEntry) {
            co_await BrowserScriptService::closeWindowsBeyondCount(id, *countAtEntry);
        } else {
            RestoreLog::log(QStringLiteral("restoreBrowserTabs: window count of ") + id +
                            QStringLiteral(" unread at the start — closing no window beyond it"));
        }
        co_await RestoreWait::pause(RestoreWait::ms(500));
    }

    QList<SnapshotRect> bounds;
    QList<std::optional<BrowserProfile>> profiles;
    for (const WindowSnapshot& window : appSnapshot.windowSnapshots) {
        bounds.append(window.frame);
        profiles.append(window.browserProfile);
    }
    co_await BrowserScriptService::restoreTabs(id, saved, bounds, profiles);
    co_await waitForBrowserTabs(id, expected, 10.0);
    co_await verifyTabRestoration(id, expected);
    if (!closeOtherApps) {
        co_await BrowserScriptService::closeEmptyBrowserWindows(id);
    }
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

QCoro::Task<bool> BrowserTabRestorer::verifyTabRestoration(QString bundleIdentifier,
                                                           TabList expectedTabsByWindow) {
    const TabList current = co_await BrowserScriptService::captureTabs(bundleIdentifier);
    const QList<qsizetype> unmatched = BrowserTabComparison::unmatchedWindows(expectedTabsByWindow, current);
    if (unmatched.isEmpty()) {
        RestoreLog::log(QStringLiteral("verifyTabRestoration: ") + bundleIdentifier +
                        QStringLiteral(" shows every saved window's tabs"));
        co_return true;
    }
    QStringList positions;
    for (const qsizetype position : unmatched) {
        positions.append(QString::number(position));
    }
    RestoreLog::log(QStringLiteral("verifyTabRestoration: ") + bundleIdentifier +
                    QStringLiteral(" does not show the tabs of saved window(s) ") +
                    positions.join(QStringLiteral(", ")));
    co_return false;
}
