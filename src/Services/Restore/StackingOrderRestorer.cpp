#include "Services/Restore/StackingOrderRestorer.h"

#include "Extensions/NumberConversion.h"
#include "Platform/Platform.h"
#include "Platform/WindowServer.h"
#include "Services/Desktop/AXAttributeReader.h"
#include "Services/Desktop/AXWindowService.h"
#include "Services/Desktop/WindowMatcher.h"
#include "Services/Restore/RestorePlanner.h"
#include "Services/Restore/RestoreWait.h"
#include "Services/Scripting/BrowserNames.h"

#include <QSet>

#include <algorithm>

namespace {

constexpr int kActivationPauseMs = 50;
// How long the window manager is given to show the last raise before the final activation, and
// how often it is looked at meanwhile.
constexpr int kRaisedWaitMs = 2000;
constexpr int kRaisedStepMs = 20;

// Whether bringing the application forward is what the workspace holds: it is shown, and not
// every window of it is kept minimised (activating such an application would show one of them).
bool comesForward(const AppSnapshot& app) {
    return !app.isHidden && (app.windowSnapshots.isEmpty() ||
                             std::any_of(app.windowSnapshots.cbegin(), app.windowSnapshots.cend(),
                                         [](const WindowSnapshot& w) { return !w.isMinimized; }));
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

// The live windows of an application, read once, and which saved window each stands for.
struct Pairing {
    QList<AXElement> live;
    QStringList liveTitles;
    // Saved position -> live index, for the windows that can be paired.
    QHash<qsizetype, qint64> liveOf;
};

// Pairs the saved windows with the live ones: first by a title that one saved window and one live
// window bear alone, then by the frame each was put back on (the pairs the restore made: it moved
// every window it paired to its saved frame). A window a restore had to open anew bears the
// program's own title, and two windows may share one title, so titles alone cannot tell them.
Pairing pair(const RunningApplication& app, const QList<WindowSnapshot>& windows) {
    Pairing result;
    result.live = AXWindowService::axWindowList(app).value_or(QList<AXElement>());
    for (const AXElement& window : result.live) {
        result.liveTitles.append(
            AXAttributeReader::string(window, QStringLiteral("AXTitle")).value_or(QString()));
    }
    QSet<qint64> taken;
    for (qsizetype i = 0; i < windows.size(); ++i) {
        const QString title = windows[i].windowTitle.value_or(QString());
        const bool savedOnce = !title.isEmpty() && std::count_if(windows.cbegin(), windows.cend(),
                                                                 [&title](const WindowSnapshot& w) {
                                                                     return w.windowTitle == title;
                                                                 }) == 1;
        if (savedOnce && result.liveTitles.count(title) == 1) {
            const qint64 k = result.liveTitles.indexOf(title);
            result.liveOf.insert(i, k);
            taken.insert(k);
        }
    }
    const WindowMatcher::Matches byFrame = WindowMatcher::matchWindowsByGeometry(windows, app);
    for (auto it = byFrame.cbegin(); it != byFrame.cend(); ++it) {
        const qint64 k = result.live.indexOf(it->axElement);
        if (!result.liveOf.contains(it.key()) && k >= 0 && !taken.contains(k)) {
            result.liveOf.insert(it.key(), k);
            taken.insert(k);
        }
    }
    return result;
}

// Whether some application's windows stand in another order than saved although the applications
// stand in theirs: of its shown, titled saved windows that can be paired, a later one stands in
// front of an earlier one of the same virtual desktop (each desktop has its own stacking, shown or
// not). Windows a restore had to open anew come up in front of the others, so this is what a
// restore of a single application usually leaves.
bool windowsOutOfOrder(const QList<AppSnapshot>& appSnapshots, const QList<RunningApplication>& running,
                       const QHash<QString, QList<WindowSnapshot>>& remappedSnapshots) {
    const std::shared_ptr<WindowServer> server = Platform::current().windowServer;
    const std::optional<QList<WindowServerEntry>> list =
        server ? server->windowList(WindowServer::OptionExcludeDesktopElements) : std::nullopt;
    if (!list) {
        return false;
    }
    // Where each window stands, front first, whether it is in sight or not.
    QHash<quint64, qsizetype> place;
    for (qsizetype k = 0; k < list->size(); ++k) {
        place.insert(list->at(k).windowNumber, k);
    }
    for (const AppSnapshot& saved : appSnapshots) {
        const QList<WindowSnapshot> windows =
            remappedSnapshots.value(saved.bundleIdentifier, saved.windowSnapshots);
        const std::optional<RunningApplication> app =
            RunningApplications::firstWithIdentifier(running, saved.bundleIdentifier);
        if (saved.isHidden || windows.size() < 2 || !app ||
            BrowserNames::supportedBrowsers().contains(saved.bundleIdentifier)) {
            continue;
        }
        const Pairing pairing = pair(*app, windows);
        // The shown windows that can be paired must stand in saved order, front to back, on each
        // desktop.
        QHash<qint64, qsizetype> previous;
        for (qsizetype i = 0; i < windows.size(); ++i) {
            const auto live = pairing.liveOf.constFind(i);
            // Untitled saved windows (folder windows whose list comes from the file manager) say
            // nothing for sure about where they stood; a minimised one stands nowhere.
            if (windows[i].isMinimized || windows[i].windowTitle.value_or(QString()).isEmpty() ||
                live == pairing.liveOf.constEnd() || AXWindowService::isMinimized(pairing.live[*live])) {
                continue;
            }
            const auto at = place.constFind(pairing.live[*live].id);
            if (at == place.constEnd()) {
                continue;
            }
            const qint64 desktop = windows[i].spaceIndex.value_or(-1);
            if (*at < previous.value(desktop, -1)) {
                return true;
            }
            previous.insert(desktop, *at);
        }
    }
    return false;
}

// The virtual desktop a window stands on, as a key: the one shown (or all) is kShownDesktop, read
// along with the window; only a window of another one asks for its number.
constexpr qint64 kShownDesktop = -1;
qint64 desktopOf(AXElement window) {
    if (AXAttributeReader::read(window, AXName::OnShownSpace).value.toBool().value_or(true)) {
        return kShownDesktop;
    }
    const std::optional<double> desktop =
        AXAttributeReader::read(window, AXName::SpaceIndex).value.toNumber();
    return desktop ? NumberConversion::toInt64(*desktop) : kShownDesktop;
}

} // namespace

QCoro::Task<void>
StackingOrderRestorer::restoreZOrder(QList<AppSnapshot> appSnapshots,
                                     QHash<QString, QList<WindowSnapshot>> remappedSnapshots) {
    const std::shared_ptr<RunningApplications> port = Platform::current().runningApplications;
    QSet<QString> visibleIDs;
    std::optional<AppSnapshot> firstVisible;
    for (const AppSnapshot& app : appSnapshots) {
        if (comesForward(app)) {
            visibleIDs.insert(app.bundleIdentifier);
            firstVisible = firstVisible ? firstVisible : std::optional<AppSnapshot>(app);
        }
    }
    // Nothing of the workspace comes forward (all hidden or kept minimised): there is no order to
    // put back, and nothing to read.
    if (!port || !firstVisible) {
        co_return;
    }
    const QList<RunningApplication> running = port->runningApplications();
    const QStringList currentOrder = RestorePlanner::captureCurrentZOrder(running);
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
        if (!frontmostIs(firstVisible->bundleIdentifier)) {
            if (const auto app =
                    RunningApplications::firstWithIdentifier(running, firstVisible->bundleIdentifier)) {
                port->activate(app->processIdentifier, 0);
            }
        }
        co_return;
    }

    // The windows of the first visible application in the order they were raised; and which
    // windows are in sight, read along with the windows its raises read.
    QList<Raised> raisedFirst;
    const std::shared_ptr<WindowServer> server = Platform::current().windowServer;
    QList<WindowServerEntry> inSight;
    for (qsizetype i = appSnapshots.size() - 1; i >= 0; --i) {
        const AppSnapshot& saved = appSnapshots[i];
        const std::optional<RunningApplication> app =
            !comesForward(saved) ? std::nullopt
                                 : RunningApplications::firstWithIdentifier(running, saved.bundleIdentifier);
        if (!app) {
            continue;
        }
        port->activate(app->processIdentifier, RunningApplications::ActivateIgnoringOtherApps);
        co_await RestoreWait::pause(RestoreWait::ms(kActivationPauseMs));
        const bool isFirst = saved.bundleIdentifier == firstVisible->bundleIdentifier;
        if (isFirst && server) {
            inSight = server->windowList(WindowServer::OnScreenWindows).value_or(QList<WindowServerEntry>());
        }
        const QList<Raised> raised = co_await raiseWindows(
            *app, remappedSnapshots.value(saved.bundleIdentifier, saved.windowSnapshots));
        if (isFirst) {
            raisedFirst = raised;
        }
    }

    const std::optional<RunningApplication> first =
        RunningApplications::firstWithIdentifier(running, firstVisible->bundleIdentifier);
    if (!first) {
        co_return;
    }
    if (!raisedFirst.isEmpty() && server) {
        // The window manager carries the raises out in its own time (later on a loaded machine),
        // and an activation brings the application's front window as the manager shows it
        // forward: until the last raise shows, that would be a window raised before it. The
        // raises go out back to back and the manager takes them in the order sent, so once the
        // last one shows, every one before it has been carried out too. A window may stand where
        // it is raised to already (in front, say): the last raise shows once the windows raised
        // stand in the order raised on each virtual desktop (each keeps a stacking of its own,
        // also one not shown, which the next restore reads), and the last one raised in sight in
        // front of the application's other windows in sight.
        // Which windows are in sight, and whose, was read once; each look reads the order alone.
        QSet<quint64> firstsInSight;
        for (const WindowServerEntry& entry : std::as_const(inSight)) {
            if (entry.ownerPID == first->processIdentifier) {
                firstsInSight.insert(entry.windowNumber);
            }
        }
        // Per desktop, the windows front to back as they must come to stand.
        QHash<qint64, QList<quint64>> mustStand;
        std::optional<quint64> frontInSight;
        for (qsizetype k = raisedFirst.size() - 1; k >= 0; --k) {
            const quint64 number = raisedFirst[k].window.id;
            QList<quint64>& onDesktop = mustStand[raisedFirst[k].desktop];
            if (!onDesktop.contains(number)) {
                onDesktop.append(number);
            }
            if (!frontInSight && firstsInSight.contains(number)) {
                frontInSight = number;
            }
        }
        const auto shown = [server, firstsInSight, mustStand, frontInSight] {
            const QList<quint32> order = server->stackingOrder().value_or(QList<quint32>());
            QHash<quint64, qsizetype> place;
            for (qsizetype k = 0; k < order.size(); ++k) {
                place.insert(order[k], k);
            }
            if (frontInSight) {
                const auto front = std::find_if(order.cbegin(), order.cend(), [&firstsInSight](quint32 n) {
                    return firstsInSight.contains(n);
                });
                if (front == order.cend() || *front != *frontInSight) {
                    return false;
                }
            }
            // A window gone meanwhile stands nowhere and is passed over.
            for (const QList<quint64>& onDesktop : mustStand) {
                qsizetype previous = -1;
                for (const quint64 number : onDesktop) {
                    const qsizetype at = place.value(number, -1);
                    if (at < 0) {
                        continue;
                    }
                    if (at < previous) {
                        return false;
                    }
                    previous = at;
                }
            }
            return true;
        };
        co_await RestoreWait::pollUntil(shown, RestoreWait::ms(kRaisedWaitMs),
                                        RestoreWait::ms(kRaisedStepMs));
    }
    if (frontmostIs(firstVisible->bundleIdentifier)) {
        co_return;
    }
    co_await RestoreWait::pause(RestoreWait::ms(kActivationPauseMs));
    port->activate(first->processIdentifier, 0);
}

QCoro::Task<QList<StackingOrderRestorer::Raised>>
StackingOrderRestorer::raiseWindows(RunningApplication app, QList<WindowSnapshot> windows) {
    QList<Raised> raised;
    if (windows.size() < 2) {
        co_return raised;
    }
    const bool browser = BrowserNames::supportedBrowsers().contains(app.bundleIdentifier.value_or(QString()));
    const WindowMatcher::Matches matches =
        browser ? WindowMatcher::matchWindowsByGeometry(windows, app) : WindowMatcher::Matches();
    // The live windows are read once: each raise reorders a list that follows the stacking, so an
    // index found in one read would name another window in the next.
    const Pairing pairing = browser ? Pairing() : pair(app, windows);
    const QList<AXElement> live =
        browser ? AXWindowService::axWindowList(app).value_or(QList<AXElement>()) : pairing.live;
    // What to raise, back to front; focus goes along with a raise except for a browser's window
    // raised by its frame.
    struct Raise {
        AXElement window;
        bool focus = true;
    };
    QList<Raise> raises;
    const auto raiseAt = [&live, &raises](qint64 index) {
        // A live window that stays minimised is left down, whichever saved window it stands for.
        if (index >= 0 && index < live.size() && !AXWindowService::isMinimized(live[index])) {
            raises.append({live[index], true});
        }
    };
    for (qsizetype i = windows.size() - 1; i >= 0; --i) {
        // A window the restore keeps minimised stands nowhere in the stacking, and focus or a
        // raise would have the window manager show it on the way.
        if (windows[i].isMinimized) {
            continue;
        }
        if (browser) {
            // Windows that share a saved index use the match of the first of them.
            qsizetype position = 0;
            while (windows[position].windowIndex != windows[i].windowIndex) {
                ++position;
            }
            if (const auto match = matches.constFind(int(position)); match != matches.constEnd()) {
                raises.append({match->axElement, false});
            } else {
                raiseAt(windows[i].windowIndex);
            }
        } else {
            // A paired window is raised as itself; any other by its title, as far as that goes.
            raiseAt(pairing.liveOf.value(i, liveIndexByTitle(pairing.liveTitles, windows[i])));
        }
    }
    for (const Raise& r : std::as_const(raises)) {
        raised.append({r.window, desktopOf(r.window)});
        AXAttributeReader::write(r.window, QStringLiteral("AXMain"), AXValue::boolean(true));
        if (r.focus) {
            AXAttributeReader::write(r.window, QStringLiteral("AXFocused"), AXValue::boolean(true));
        }
        AXAttributeReader::perform(r.window, QStringLiteral("AXRaise"));
    }
    co_return raised;
}
