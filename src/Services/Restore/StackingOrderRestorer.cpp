#include "Services/Restore/StackingOrderRestorer.h"

#include "Platform/Platform.h"
#include "Platform/WindowServer.h"
#include "Services/Desktop/AXAttributeReader.h"
#include "Services/Desktop/AXWindowService.h"
#include "Services/Desktop/WindowMatcher.h"
#include "Services/Restore/RestorePlanner.h"
#include "Services/Restore/RestoreWait.h"
#include "Services/Scripting/BrowserScriptService.h"

#include <QSet>

namespace {

constexpr int kActivationPauseMs = 50;
constexpr int kRaisePauseMs = 20;

std::optional<RunningApplication> lookUp(const QList<RunningApplication>& running, const QString& bundleID) {
    for (const RunningApplication& app : running) {
        if (app.bundleIdentifier == bundleID) {
            return app;
        }
    }
    return std::nullopt;
}

// The live window index a saved window stands for: the first live title equal to, containing or
// contained in the saved one; else the saved index.
qint64 liveIndexByTitle(const QStringList& liveTitles, const WindowSnapshot& window) {
    if (window.windowTitle && !liveTitles.isEmpty()) {
        const QString& title = *window.windowTitle;
        for (qsizetype k = 0; k < liveTitles.size(); ++k) {
            const QString& live = liveTitles[k];
            // An empty text is contained in no title.
            if (live == title || (!title.isEmpty() && live.contains(title)) ||
                (!live.isEmpty() && title.contains(live))) {
                return k;
            }
        }
    }
    return window.windowIndex;
}

// Whether some application's windows stand in another order than saved although the applications
// stand in theirs: its frontmost window on screen is not the window raising would put in front
// (the one bearing the title of its first saved window that is not minimised). Windows a restore had to open
// anew come up in front of the others, so this is what a restore of a single application usually leaves.
bool windowsOutOfOrder(const QList<AppSnapshot>& appSnapshots, const QList<RunningApplication>& running,
                       const QHash<QString, QList<WindowSnapshot>>& remappedSnapshots) {
    const std::shared_ptr<WindowServer> server = Platform::current().windowServer;
    const std::optional<QList<WindowServerEntry>> list =
        server ? server->windowList(WindowServer::OnScreenWindows) : std::nullopt;
    if (!list) {
        return false;
    }
    for (const AppSnapshot& saved : appSnapshots) {
        const QList<WindowSnapshot> windows =
            remappedSnapshots.value(saved.bundleIdentifier, saved.windowSnapshots);
        const std::optional<RunningApplication> app = lookUp(running, saved.bundleIdentifier);
        if (saved.isHidden || windows.size() < 2 || !app ||
            BrowserScriptService::supportedBrowsers().contains(saved.bundleIdentifier)) {
            continue;
        }
        const auto front = std::find_if(list->begin(), list->end(), [&app](const WindowServerEntry& entry) {
            return entry.ownerPID == app->processIdentifier;
        });
        const auto shown = std::find_if(windows.begin(), windows.end(),
                                        [](const WindowSnapshot& w) { return !w.isMinimized; });
        if (shown == windows.end() || !shown->windowTitle || shown->windowTitle->isEmpty()) {
            continue;
        }
        // Only a window that bears its saved title tells for sure which one it is.
        const QList<AXElement> live = AXWindowService::axWindowList(*app).value_or(QList<AXElement>());
        const qint64 first = AXWindowService::currentWindowTitles(*app).indexOf(*shown->windowTitle);
        if (front != list->end() && first >= 0 && first < live.size() &&
            live[first].id != front->windowNumber) {
            return true;
        }
    }
    return false;
}

} // namespace

QCoro::Task<void>
StackingOrderRestorer::restoreZOrder(QList<AppSnapshot> appSnapshots,
                                     QHash<QString, QList<WindowSnapshot>> remappedSnapshots) {
    const std::shared_ptr<RunningApplications> port = Platform::current().runningApplications;
    if (!port) {
        co_return;
    }
    const QList<RunningApplication> running = port->runningApplications();
    const QStringList currentOrder = RestorePlanner::captureCurrentZOrder(running);

    QSet<QString> visibleIDs;
    std::optional<AppSnapshot> firstVisible;
    for (const AppSnapshot& app : appSnapshots) {
        if (!app.isHidden) {
            visibleIDs.insert(app.bundleIdentifier);
            firstVisible = firstVisible ? firstVisible : std::optional<AppSnapshot>(app);
        }
    }
    QStringList currentRelevant;
    for (const QString& id : currentOrder) {
        if (visibleIDs.contains(id)) {
            currentRelevant.append(id);
        }
    }
    QStringList savedRelevant;
    for (const AppSnapshot& app : appSnapshots) {
        if (currentRelevant.contains(app.bundleIdentifier)) {
            savedRelevant.append(app.bundleIdentifier);
        }
    }
    const auto frontmostIs = [&port](const QString& bundleID) {
        const std::optional<RunningApplication> front = port->frontmostApplication();
        return front && front->bundleIdentifier == bundleID;
    };

    if (savedRelevant == currentRelevant && !windowsOutOfOrder(appSnapshots, running, remappedSnapshots)) {
        if (firstVisible && !frontmostIs(firstVisible->bundleIdentifier)) {
            if (const auto app = lookUp(running, firstVisible->bundleIdentifier)) {
                port->activate(app->processIdentifier, 0);
            }
        }
        co_return;
    }

    for (qsizetype i = appSnapshots.size() - 1; i >= 0; --i) {
        const AppSnapshot& saved = appSnapshots[i];
        const std::optional<RunningApplication> app =
            saved.isHidden ? std::nullopt : lookUp(running, saved.bundleIdentifier);
        if (!app) {
            continue;
        }
        port->activate(app->processIdentifier, RunningApplications::ActivateIgnoringOtherApps);
        co_await RestoreWait::pause(RestoreWait::ms(kActivationPauseMs));
        co_await raiseWindows(*app, remappedSnapshots.value(saved.bundleIdentifier, saved.windowSnapshots));
    }

    if (!firstVisible) {
        co_return;
    }
    const std::optional<RunningApplication> first = lookUp(running, firstVisible->bundleIdentifier);
    if (!first || frontmostIs(firstVisible->bundleIdentifier)) {
        co_return;
    }
    co_await RestoreWait::pause(RestoreWait::ms(kActivationPauseMs));
    port->activate(first->processIdentifier, 0);
}

QCoro::Task<void> StackingOrderRestorer::raiseWindows(RunningApplication app, QList<WindowSnapshot> windows) {
    if (windows.size() < 2) {
        co_return;
    }
    const bool browser =
        BrowserScriptService::supportedBrowsers().contains(app.bundleIdentifier.value_or(QString()));
    const WindowMatcher::Matches matches =
        browser ? WindowMatcher::matchWindowsByGeometry(windows, app) : WindowMatcher::Matches();
    // The live windows are read once: each raise reorders a list that follows the stacking, so an
    // index found in one read would name another window in the next.
    const QList<AXElement> live = AXWindowService::axWindowList(app).value_or(QList<AXElement>());
    QStringList liveTitles;
    for (const AXElement& window : live) {
        liveTitles.append(AXAttributeReader::string(window, QStringLiteral("AXTitle")).value_or(QString()));
    }
    const auto raiseAt = [&live](qint64 index) {
        if (index >= 0 && index < live.size()) {
            AXAttributeReader::write(live[index], QStringLiteral("AXMain"), AXValue::boolean(true));
            AXAttributeReader::write(live[index], QStringLiteral("AXFocused"), AXValue::boolean(true));
            AXAttributeReader::perform(live[index], QStringLiteral("AXRaise"));
        }
    };
    for (qsizetype i = windows.size() - 1; i >= 0; --i) {
        if (browser) {
            // Windows that share a saved index use the match of the first of them.
            qsizetype position = 0;
            while (windows[position].windowIndex != windows[i].windowIndex) {
                ++position;
            }
            if (const auto match = matches.constFind(int(position)); match != matches.constEnd()) {
                AXAttributeReader::write(match->axElement, QStringLiteral("AXMain"), AXValue::boolean(true));
                AXAttributeReader::perform(match->axElement, QStringLiteral("AXRaise"));
            } else {
                raiseAt(windows[i].windowIndex);
            }
        } else {
            raiseAt(liveIndexByTitle(liveTitles, windows[i]));
        }
        co_await RestoreWait::pause(RestoreWait::ms(kRaisePauseMs));
    }
}
