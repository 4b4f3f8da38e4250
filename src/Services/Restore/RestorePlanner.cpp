#include "Services/Restore/RestorePlanner.h"

#include "Services/Restore/BrowserTabRestorer.h"

#include "Extensions/NumberConversion.h"
#include "Extensions/RectConversion.h"
#include "Platform/Platform.h"
#include "Platform/WindowServer.h"
#include "Services/Desktop/AXAttributeReader.h"
#include "Services/Desktop/AXWindowService.h"
#include "Services/Restore/BrowserTabComparison.h"
#include "Services/Restore/BrowserWindowsReopener.h"
#include "Services/Restore/FinderWindowRestorer.h"
#include "Services/Restore/RestoreGeometry.h"
#include "Services/Restore/RestoreLog.h"
#include "Services/Scripting/BrowserNames.h"
#include "Services/Scripting/FinderScriptService.h"

#include <QHash>
#include <QSet>

namespace {

constexpr double kVisibleSide = 100.0;
constexpr double kStackingSide = 200.0;

// What the plan needs of each live window, at every position of the application's window list,
// so that a saved window index still points at its own window when a frame cannot be read.
struct LiveWindow {
    AXElement element;
    std::optional<QRectF> frame;
    bool minimized = false;
};

QList<LiveWindow> liveWindows(const RunningApplication& app) {
    QList<LiveWindow> windows;
    for (const AXElement& window : AXWindowService::axWindowList(app).value_or(QList<AXElement>())) {
        windows.append(
            LiveWindow{window, AXWindowService::windowFrame(window), AXWindowService::isMinimized(window)});
    }
    return windows;
}

// Whether the live window at a saved window's index bears another title than the saved one: then
// it is another window (windows change places in the list as they are raised), and the saved one
// is not in place even when that window stands on its frame.
bool titledOtherwise(const WindowSnapshot& saved, const LiveWindow& live) {
    if (!saved.windowTitle || saved.windowTitle->isEmpty()) {
        return false;
    }
    const std::optional<QString> title = AXAttributeReader::string(live.element, QStringLiteral("AXTitle"));
    return title && !title->isEmpty() && *title != *saved.windowTitle;
}

// Whether a window is not on the virtual desktop it was saved on (the one shown, for a window saved
// without one): wherever its frame is, it is not in place on a desktop it was not saved on.
bool offItsDesktop(const WindowSnapshot& saved, const LiveWindow& live) {
    if (!saved.spaceIndex) {
        return !AXAttributeReader::read(live.element, AXName::OnShownSpace).value.toBool().value_or(true);
    }
    const std::optional<double> now =
        AXAttributeReader::read(live.element, AXName::SpaceIndex).value.toNumber();
    return !now || NumberConversion::toInt64(*now) != *saved.spaceIndex;
}

// The saved applications' identifiers that appear in the current order, in saved order, against
// the current order cut to the saved applications: equal when the saved order stands.
bool orderDiffers(const QStringList& savedOrder, const QStringList& currentOrder) {
    const QSet<QString> saved(savedOrder.begin(), savedOrder.end());
    QStringList currentRelevant;
    for (const QString& id : currentOrder) {
        if (saved.contains(id)) {
            currentRelevant.append(id);
        }
    }
    const QSet<QString> current(currentRelevant.begin(), currentRelevant.end());
    QStringList savedRelevant;
    for (const QString& id : savedOrder) {
        if (current.contains(id)) {
            savedRelevant.append(id);
        }
    }
    return savedRelevant != currentRelevant;
}

// One plan per saved window, against the live windows of the application (running: whether it
// runs).
QList<WindowPlan> planWindows(const AppSnapshot& snapshot, const QList<LiveWindow>& live, bool running,
                              const QList<DisplaySnapshot>& savedDisplays) {
    QList<WindowPlan> plans;
    for (const WindowSnapshot& window : snapshot.windowSnapshots) {
        WindowPlan plan;
        plan.snapshot = window;
        for (const DisplaySnapshot& display : savedDisplays) {
            if (display.uuid == window.displayUUID) {
                plan.displaySnapshot = display;
                break;
            }
        }
        const std::optional<Screen> screen = RestoreGeometry::targetScreen(window, savedDisplays);
        plan.targetFrame =
            screen ? RestoreGeometry::targetFrame(window, *screen) : RectConversion::toRectF(window.frame);
        if (screen && running && window.windowIndex >= 0 && window.windowIndex < live.size()) {
            const LiveWindow& current = live[window.windowIndex];
            plan.currentFrame = current.frame;
            // A window minimised since the save is not in place, wherever its frame is; nor is one
            // shown since it was saved minimised. One minimised as saved, on its saved frame and
            // desktop, has nothing left to be done.
            plan.needsPositioning = current.minimized != window.isMinimized || !current.frame ||
                                    !RestoreGeometry::withinTolerance(*current.frame, plan.targetFrame) ||
                                    titledOtherwise(window, current) || offItsDesktop(window, current);
        }
        plans.append(plan);
    }
    return plans;
}

// How many of a running browser's saved windows (desired, in saved order) are planned: as many as
// come before the first one past mayOpen of those the restore opens. It opens each window with
// tabs that no window shows whole and that it has not handed whole before (handed); the windows
// shown whole are only moved.
qsizetype windowsWithinBound(const QList<QList<TabSnapshot>>& desired,
                             const QList<QList<TabSnapshot>>& current,
                             const BrowserTabRestorer::Handed& handed, qsizetype mayOpen) {
    // No more windows than the bound: every one may be opened, whichever are shown.
    if (desired.size() <= mayOpen) {
        return desired.size();
    }
    const QList<BrowserTabComparison::Shortfall> shortfalls =
        BrowserTabComparison::shortfalls(BrowserTabRestorer::openedTabs(desired), current);
    qsizetype left = mayOpen;
    for (qsizetype i = 0; i < desired.size(); ++i) {
        const bool shown = shortfalls[i].partner && shortfalls[i].missingTabs.isEmpty();
        if (desired[i].isEmpty() || shown || handed.contains(i)) {
            continue;
        }
        if (left == 0) {
            return i;
        }
        --left;
    }
    return desired.size();
}

} // namespace

QStringList RestorePlanner::savedDocuments(const AppSnapshot& snapshot) {
    QStringList documents;
    for (const WindowSnapshot& window : snapshot.windowSnapshots) {
        if (window.documentURL && !window.documentURL->isEmpty()) {
            documents.append(*window.documentURL);
        }
    }
    return documents;
}

QCoro::Task<RestorePlan> RestorePlanner::analyzeCurrentState(Workspace workspace,
                                                             std::shared_ptr<RestoreRequest> request) {
    const std::shared_ptr<RunningApplications> port = Platform::current().runningApplications;
    const QList<RunningApplication> running =
        port ? port->runningApplications() : QList<RunningApplication>();

    RestorePlan plan;
    plan.savedDisplays = workspace.displaySnapshots;
    if (!request) {
        request = std::make_shared<RestoreRequest>();
    }
    QStringList savedOrder;
    for (AppSnapshot snapshot : workspace.appSnapshots) {
        savedOrder.append(snapshot.bundleIdentifier);
        AppPlan app = co_await planApp(std::move(snapshot), running, workspace.displaySnapshots, request);
        plan.appPlans.append(std::move(app));
    }
    plan.needsZOrderAdjustment = orderDiffers(savedOrder, captureCurrentZOrder(running));
    co_return plan;
}

QCoro::Task<AppPlan> RestorePlanner::planApp(AppSnapshot snapshot, QList<RunningApplication> running,
                                             QList<DisplaySnapshot> savedDisplays,
                                             std::shared_ptr<RestoreRequest> request) {
    AppPlan plan;
    plan.request = request;
    const QString bundleID = snapshot.bundleIdentifier;
    const bool isBrowser = BrowserNames::supportedBrowsers().contains(bundleID);
    const bool isFinder = FinderScriptService::isFileManager(bundleID);
    plan.runningApp = RunningApplications::firstWithIdentifier(running, bundleID);
    plan.needsLaunch = !plan.runningApp;
    plan.needsActivation = plan.runningApp && needsActivation(snapshot, *plan.runningApp);
    const QList<LiveWindow> live = plan.runningApp ? liveWindows(*plan.runningApp) : QList<LiveWindow>();
    // The windows the application shows are placed however many they are; of the others, no more
    // than the bound are opened, all passes of the restore together. Those past it are neither
    // planned nor asked for, nor are their documents.
    const qsizetype saved = snapshot.windowSnapshots.size();
    const qsizetype mayOpen = request->starts().windowsLeftToOpen(bundleID);
    snapshot.windowSnapshots.resize(std::min(saved, live.size() + mayOpen));

    if (isBrowser && !plan.runningApp) {
        plan.needsBrowserTabRestore = true;
    } else if (isBrowser) {
        QList<QList<TabSnapshot>> desired;
        for (const WindowSnapshot& window : snapshot.windowSnapshots) {
            desired.append(window.tabSnapshots);
        }
        // What the browser's record has not caught up with of the windows this restore handed it is
        // waited for, not opened again.
        const BrowserTabRestorer::Handed handed = BrowserWindowsReopener::handed(*request, snapshot);
        plan.currentBrowserTabs = co_await BrowserTabRestorer::recordedTabs(
            bundleID, BrowserTabRestorer::openedTabs(desired), Clock::Duration(500), handed);
        // A browser's window is its tabs: a window of it that shows none of a saved window's is
        // not there to be moved, and a saved window it does not show is opened.
        const qsizetype kept = windowsWithinBound(desired, plan.currentBrowserTabs, handed, mayOpen);
        snapshot.windowSnapshots.resize(kept);
        desired.resize(kept);
        plan.needsBrowserTabRestore = !BrowserTabComparison::browserTabsMatch(
            BrowserTabRestorer::openedTabs(desired), plan.currentBrowserTabs);
    }
    if (snapshot.windowSnapshots.size() < saved) {
        plan.windowsLeftOut = saved - snapshot.windowSnapshots.size();
        RestoreLog::log(QStringLiteral("Plan for ") + snapshot.appName + QStringLiteral(": ") +
                        RestoreBounds::windowsLeftOut(plan.windowsLeftOut));
    }

    const QStringList documents = savedDocuments(snapshot);
    if (isFinder && !documents.isEmpty()) {
        QSet<QString> current;
        const QList<FinderScriptService::FinderWindowInfo> windows =
            co_await FinderScriptService::captureWindows();
        // Compared as folders: listed with a closing slash, saved as paths or file addresses.
        for (const FinderScriptService::FinderWindowInfo& window : windows) {
            current.insert(FinderWindowRestorer::folderKey(window.path));
        }
        QSet<QString> saved;
        for (const QString& document : documents) {
            saved.insert(FinderWindowRestorer::folderKey(document));
        }
        plan.needsFinderWindowRestore = current != saved;
    } else if (!isBrowser && !isFinder && !plan.runningApp) {
        plan.needsDocumentOpening = documents;
    } else if (!isBrowser && !isFinder && !documents.isEmpty()) {
        const QStringList open = AXWindowService::currentDocumentURLs(*plan.runningApp);
        for (const QString& document : documents) {
            if (!open.contains(document) && plan.needsDocumentOpening.size() < mayOpen) {
                plan.needsDocumentOpening.append(document);
            }
        }
    }

    plan.windowPlans = planWindows(snapshot, live, plan.runningApp.has_value(), savedDisplays);
    // A browser window saved without tabs has nothing to put back, and no window to place.
    for (WindowPlan& window : plan.windowPlans) {
        window.needsPositioning =
            window.needsPositioning && !(isBrowser && window.snapshot.tabSnapshots.isEmpty());
    }
    plan.needsHide = snapshot.isHidden;
    plan.appSnapshot = std::move(snapshot);
    RestoreLog::log(QStringLiteral("Plan for ") + plan.appSnapshot.appName +
                    QStringLiteral(": needsLaunch=") + RestoreLog::boolText(plan.needsLaunch) +
                    QStringLiteral(", needsHide=") + RestoreLog::boolText(plan.needsHide));
    co_return plan;
}

bool RestorePlanner::needsActivation(const AppSnapshot& snapshot, const RunningApplication& app) {
    const bool showsWindows = snapshot.windowSnapshots.isEmpty() ||
                              std::any_of(snapshot.windowSnapshots.begin(), snapshot.windowSnapshots.end(),
                                          [](const WindowSnapshot& w) { return !w.isMinimized; });
    return !snapshot.isHidden && showsWindows &&
           (app.isHidden || !(appHasVisibleWindows(app.processIdentifier) || showsWindowsElsewhere(app)));
}

bool RestorePlanner::showsWindowsElsewhere(const RunningApplication& app) {
    // A window on a virtual desktop not shown is out of sight, but shown there: the application
    // needs no bringing forward for it.
    for (const AXElement& window : AXWindowService::axWindowList(app).value_or(QList<AXElement>())) {
        const std::optional<QRectF> frame = AXWindowService::windowFrame(window);
        if (!AXWindowService::isMinimized(window) && frame && frame->width() >= kVisibleSide &&
            frame->height() >= kVisibleSide &&
            !AXAttributeReader::read(window, AXName::OnShownSpace).value.toBool().value_or(true)) {
            return true;
        }
    }
    return false;
}

bool RestorePlanner::appHasVisibleWindows(qint32 pid) {
    const std::shared_ptr<WindowServer> server = Platform::current().windowServer;
    const std::optional<QList<WindowServerEntry>> list =
        server ? server->windowList(WindowServer::OnScreenWindows) : std::nullopt;
    if (!list) {
        return false;
    }
    return std::any_of(list->begin(), list->end(), [pid](const WindowServerEntry& entry) {
        return entry.ownerPID == pid && entry.bounds && entry.bounds->width() >= kVisibleSide &&
               entry.bounds->height() >= kVisibleSide;
    });
}

QStringList RestorePlanner::captureCurrentZOrder(const QList<RunningApplication>& runningApps) {
    QHash<qint32, QString> bundleByPid;
    for (const RunningApplication& app : runningApps) {
        if (app.bundleIdentifier) {
            bundleByPid.insert(app.processIdentifier, *app.bundleIdentifier);
        }
    }
    const std::shared_ptr<WindowServer> server = Platform::current().windowServer;
    const std::optional<QList<WindowServerEntry>> list =
        server ? server->windowList(WindowServer::OnScreenWindows) : std::nullopt;
    QStringList order;
    for (const WindowServerEntry& entry : list.value_or(QList<WindowServerEntry>())) {
        if (!entry.ownerPID || !bundleByPid.contains(*entry.ownerPID)) {
            continue;
        }
        const QString& bundleID = bundleByPid[*entry.ownerPID];
        const bool small =
            entry.bounds && (entry.bounds->width() < kStackingSide || entry.bounds->height() < kStackingSide);
        if (!order.contains(bundleID) && !small) {
            order.append(bundleID);
        }
    }
    return order;
}
