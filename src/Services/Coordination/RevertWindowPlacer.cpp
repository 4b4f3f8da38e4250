#include "Services/Coordination/RevertWindowPlacer.h"

#include "Extensions/RectConversion.h"
#include "Platform/Clock.h"
#include "Platform/Platform.h"
#include "Services/Desktop/AXWindowService.h"
#include "Services/Desktop/DisplayMapper.h"
#include "Services/Desktop/WindowMatcher.h"
#include "Services/Restore/RestoreGeometry.h"
#include "Services/Restore/WindowShowing.h"

#include <QSet>

#include <algorithm>
#include <memory>

namespace {

using namespace std::chrono_literals;

// A move or a minimise shows in the read-back within a few milliseconds; these bound the wait
// for a manager that takes its time, and the steps are short because one read covers every
// window.
constexpr Clock::Duration kMoveWait = 500ms;
constexpr Clock::Duration kPlacedWait = 1s;
constexpr Clock::Duration kMinimizeWait = 2s;
constexpr Clock::Duration kReadStep = 20ms;

Clock& platformClock() {
    return *Platform::current().clock;
}

} // namespace

QRectF RevertWindowPlacer::targetFrame(const WindowSnapshot& window,
                                       const QList<DisplaySnapshot>& savedDisplays) {
    const QRectF saved = RectConversion::toRectF(window.frame);
    std::optional<Screen> screen = DisplayMapper::findScreen(window.displayUUID, savedDisplays, saved);
    if (!screen && Platform::current().screens) {
        const auto& port = Platform::current().screens;
        screen = port->mainScreen();
        if (!screen && !port->screens().isEmpty()) {
            screen = port->screens().first();
        }
    }
    return screen ? DisplayMapper::clampToVisibleBounds(saved, *screen) : saved;
}

QCoro::Task<QList<WindowRestoreResult>> RevertWindowPlacer::placeWindows(RunningApplication app,
                                                                         QList<WindowSnapshot> snapshots,
                                                                         QList<DisplaySnapshot> savedDisplays,
                                                                         bool byPosition) {
    const QList<Application> one{{app, snapshots, byPosition}};
    const QList<QList<WindowRestoreResult>> results = co_await placeTogether(one, savedDisplays);
    co_return results.value(0);
}

QCoro::Task<QList<QList<WindowRestoreResult>>>
RevertWindowPlacer::placeTogether(QList<Application> applications, QList<DisplaySnapshot> savedDisplays) {
    // Each application's saved windows are paired with its own live ones. The list position is
    // the last resort only: the restore raised windows, so the list is in another order than when
    // it was read.
    QList<QList<std::optional<AXElement>>> partners;
    QList<QList<QRectF>> targets;
    QList<AXElement> paired;
    for (const Application& application : applications) {
        QList<WindowSnapshot> clues = application.snapshots;
        if (application.byPosition) {
            for (qsizetype i = 0; i < clues.size(); ++i) {
                clues[i].windowIndex = i;
            }
        }
        const WindowMatcher::Matches matches = WindowMatcher::matchWindows(clues, application.app);
        QList<std::optional<AXElement>>& found = partners.emplace_back();
        QList<QRectF>& frames = targets.emplace_back();
        for (qsizetype i = 0; i < clues.size(); ++i) {
            frames.append(targetFrame(clues[i], savedDisplays));
            const auto match = matches.constFind(int(i));
            found.append(match != matches.constEnd() ? std::optional(match->axElement) : std::nullopt);
            if (found.last()) {
                paired.append(*found.last());
            }
        }
    }
    // Where each stood is read before it changes desktops: a window just sent to a desktop not
    // shown reads minimised for a moment under some managers. What the report says was done is
    // what reads back changed from there.
    AXWindowService::readTogether(paired);
    QHash<AXElement, WindowPlacer::Whereabouts> before;
    QList<std::pair<AXElement, std::optional<qint64>>> toDesktops;
    for (qsizetype a = 0; a < applications.size(); ++a) {
        for (qsizetype i = 0; i < partners[a].size(); ++i) {
            if (const std::optional<AXElement> window = partners[a][i]) {
                before.insert(*window, WindowPlacer::Whereabouts::of(*window));
                toDesktops.append({*window, applications[a].snapshots[i].spaceIndex});
            }
        }
    }
    co_await WindowPlacer::returnToDesktops(toDesktops);
    AXWindowService::readTogether(paired);
    QList<Placing> minimised;
    QList<Placing> shown;
    for (qsizetype a = 0; a < applications.size(); ++a) {
        for (qsizetype i = 0; i < partners[a].size(); ++i) {
            if (const std::optional<AXElement> window = partners[a][i]) {
                const Placing placing{*window, targets[a][i], before.value(*window),
                                      AXWindowService::isMinimized(*window)};
                (applications[a].snapshots[i].isMinimized ? minimised : shown).append(placing);
            }
        }
    }
    QHash<AXElement, WindowRestoreResult> outcomes = co_await placeMinimised(minimised);
    outcomes.insert(co_await placeShown(shown));

    QList<QList<WindowRestoreResult>> results;
    for (qsizetype a = 0; a < applications.size(); ++a) {
        QList<WindowRestoreResult>& ofApplication = results.emplace_back();
        for (qsizetype i = 0; i < partners[a].size(); ++i) {
            WindowRestoreResult windowResult;
            if (partners[a][i]) {
                windowResult = outcomes.value(*partners[a][i]);
            } else {
                windowResult.status = RestoreStatus::failed;
                windowResult.reason = QStringLiteral("Failed to position window");
            }
            windowResult.windowTitle = applications[a].snapshots[i].windowTitle;
            windowResult.requestedFrame = targets[a][i];
            ofApplication.append(windowResult);
        }
    }
    co_return results;
}

QCoro::Task<QHash<AXElement, WindowRestoreResult>>
RevertWindowPlacer::placeMinimised(QList<Placing> windows) {
    QHash<AXElement, WindowRestoreResult> outcomes;
    if (windows.isEmpty()) {
        co_return outcomes;
    }
    QList<AXElement> all;
    // Not raised: some managers show a minimised window again when it is raised.
    QList<std::pair<AXElement, std::optional<QRectF>>> moving;
    for (const Placing& p : windows) {
        all.append(p.window);
        AXWindowService::setWindowFrame(p.window, p.target);
        if (!p.before.frame || !RestoreGeometry::withinTolerance(*p.before.frame, p.target)) {
            moving.append({p.window, p.before.frame});
        }
    }
    // Whether each moved is read before it is minimised: under some managers a window just
    // minimised reads for a moment on a frame where it never shows.
    if (!moving.isEmpty()) {
        const auto changed = [moving] { return AXWindowService::allMovedFrom(moving); };
        co_await platformClock().pollUntil(changed, kMoveWait, kReadStep);
    }
    AXWindowService::readTogether(all);
    QSet<AXElement> moved;
    for (const Placing& p : windows) {
        if (WindowPlacer::wasMoved(p.before, WindowPlacer::Whereabouts::of(p.window), p.target)) {
            moved.insert(p.window);
        }
        if (!p.wasMinimized) {
            AXWindowService::minimize(p.window);
        }
    }
    const auto down = [all] {
        AXWindowService::readTogether(all);
        return std::all_of(all.cbegin(), all.cend(), &AXWindowService::isMinimized);
    };
    co_await platformClock().pollUntil(down, kMinimizeWait, kReadStep);
    for (const Placing& p : windows) {
        WindowRestoreResult outcome;
        const bool done = AXWindowService::isMinimized(p.window);
        if (moved.contains(p.window)) {
            outcome.addActions({QStringLiteral("moved")});
        }
        outcome.status = done ? RestoreStatus::restored : RestoreStatus::failed;
        outcome.reason =
            done ? QStringLiteral("Window minimized") : QStringLiteral("Failed to minimize window");
        outcome.finding = done ? WindowFinding::minimised : WindowFinding::none;
        outcome.actualFrame = AXWindowService::windowFrame(p.window);
        if (done && !p.wasMinimized) {
            outcome.addActions({QStringLiteral("minimised")});
        }
        outcomes.insert(p.window, outcome);
    }
    co_return outcomes;
}

QCoro::Task<QHash<AXElement, WindowRestoreResult>> RevertWindowPlacer::placeShown(QList<Placing> windows) {
    QHash<AXElement, WindowRestoreResult> outcomes;
    if (windows.isEmpty()) {
        co_return outcomes;
    }
    // Shown as a restore shows them: also on a desktop not shown, where some managers show a
    // window only through the desktop shown. Those that came back are read at rest, together.
    QList<AXElement> toShow;
    for (const Placing& p : windows) {
        if (p.wasMinimized) {
            toShow.append(p.window);
        }
    }
    co_await WindowShowing::prepareForGeometry(toShow);
    AXWindowService::readTogether(toShow);
    QList<AXElement> settling;
    QSet<AXElement> staysMinimised;
    for (const AXElement& window : toShow) {
        if (AXWindowService::isMinimized(window)) {
            staysMinimised.insert(window);
        } else {
            settling.append(window);
            outcomes[window].addActions({QStringLiteral("shown")});
        }
    }
    const QHash<AXElement, std::optional<QRectF>> atRest = co_await WindowPlacer::framesAtRest(settling);
    for (Placing& p : windows) {
        if (atRest.contains(p.window)) {
            p.before.frame = atRest.value(p.window);
        }
    }
    // Every move is sent, then all are read back together: a window counts as back only where
    // it reads back, shown, as the request may be taken and ignored, or take effect a moment later.
    struct ReadBack {
        QRectF target;
        std::optional<QRectF> actual;
        bool placed = false;
    };
    const auto readings = std::make_shared<QHash<AXElement, ReadBack>>();
    // A window the manager would not show cannot read back where it is: it is not waited for.
    for (const Placing& p : windows) {
        if (AXWindowService::restoreWindow(p.window, p.target) && !staysMinimised.contains(p.window)) {
            readings->insert(p.window, ReadBack{p.target, std::nullopt, false});
        }
    }
    const auto allBack = [readings] {
        QList<AXElement> pending;
        for (auto it = readings->cbegin(); it != readings->cend(); ++it) {
            if (!it->placed) {
                pending.append(it.key());
            }
        }
        AXWindowService::readTogether(pending);
        for (const AXElement& window : pending) {
            ReadBack& r = (*readings)[window];
            r.actual =
                AXWindowService::isMinimized(window) ? std::nullopt : AXWindowService::windowFrame(window);
            r.placed = r.actual && RestoreGeometry::withinTolerance(*r.actual, r.target);
        }
        return std::all_of(readings->cbegin(), readings->cend(), [](const ReadBack& r) { return r.placed; });
    };
    if (!readings->isEmpty()) {
        co_await platformClock().pollUntil(allBack, kPlacedWait, kReadStep);
    }
    AXWindowService::readTogether(QList<AXElement>(readings->keyBegin(), readings->keyEnd()));
    for (const Placing& p : windows) {
        const ReadBack r = readings->value(p.window);
        WindowRestoreResult& outcome = outcomes[p.window];
        outcome.status = r.placed ? RestoreStatus::restored : RestoreStatus::failed;
        outcome.reason =
            r.placed ? QStringLiteral("Window positioned") : QStringLiteral("Failed to position window");
        outcome.actualFrame = r.actual;
        if (r.placed && WindowPlacer::wasMoved(p.before, WindowPlacer::Whereabouts::of(p.window), p.target)) {
            outcome.addActions({QStringLiteral("moved")});
        }
    }
    co_return outcomes;
}
