#include "Services/Restore/WindowPlacer.h"

#include "Extensions/NumberConversion.h"
#include "Extensions/RectConversion.h"
#include "Platform/Platform.h"
#include "Services/Desktop/AXAttributeReader.h"
#include "Services/Desktop/AXWindowService.h"
#include "Services/Restore/DocumentReopener.h"
#include "Services/Restore/GeometryApplier.h"
#include "Services/Restore/RestoreGeometry.h"
#include "Services/Restore/RestoreLog.h"
#include "Services/Restore/RestorePlanner.h"
#include "Services/Restore/RestoreWait.h"
#include "Services/Restore/WindowShowing.h"

#include <QSet>

namespace {

constexpr int kSplashWaitMs = 40000;
constexpr int kMinimizeWaitMs = 2000;
// A move shows in the read-back within a few milliseconds.
constexpr int kMoveReadWaitMs = 500;
// A window shown again is read until its frame stood still over this many reads this far apart
// (140 ms), for at most this long. The reads are asked ahead of each look, so that a look at a
// hundred windows while the manager draws them costs no wait for the server.
constexpr int kRestReads = 7;
constexpr int kRestStepMs = 20;
constexpr int kRestWaitMs = 1000;

const QString kSplashReason = QStringLiteral("App only shows splash screen after 40s");
const QString kStaysMinimized = QStringLiteral("Window stays minimized: the window manager did not show it");
const QString kStaysMinimizedAway =
    QStringLiteral("Window stays minimized: the window manager shows it only by switching to its desktop");

WindowRestoreResult result(const WindowSnapshot& snapshot, RestoreStatus status, const QString& reason,
                           std::optional<QRectF> requested, std::optional<QRectF> actual) {
    return WindowRestoreResult{snapshot.windowTitle, status, reason, requested, actual};
}

bool isFailedOrPartial(const WindowRestoreResult& r) {
    return r.status == RestoreStatus::failed || r.status == RestoreStatus::partiallyRestored;
}

bool onShownDesktop(AXElement window) {
    return AXAttributeReader::read(window, AXName::OnShownSpace).value.toBool().value_or(true);
}

} // namespace

WindowPlacer::Whereabouts WindowPlacer::Whereabouts::of(AXElement window) {
    const std::optional<double> desktop =
        AXAttributeReader::read(window, AXName::SpaceIndex).value.toNumber();
    return {AXWindowService::windowFrame(window),
            desktop ? std::optional<qint64>(NumberConversion::toInt64(*desktop)) : std::nullopt};
}

bool WindowPlacer::wasMoved(const Whereabouts& before, const Whereabouts& after,
                            const std::optional<QRectF>& asked) {
    if (before.desktop && after.desktop && *before.desktop != *after.desktop) {
        return true;
    }
    if (!after.frame) {
        return false;
    }
    if (!before.frame) {
        return asked && RestoreGeometry::withinTolerance(*after.frame, *asked);
    }
    const auto whole = [](const QRectF& r) { return r.toRect(); };
    return whole(*before.frame) != whole(*after.frame);
}

QCoro::Task<std::optional<QRectF>> WindowPlacer::frameAtRest(AXElement window) {
    const QList<AXElement> one{window};
    const QHash<AXElement, std::optional<QRectF>> frames = co_await framesAtRest(one);
    co_return frames.value(window);
}

QCoro::Task<QHash<AXElement, std::optional<QRectF>>> WindowPlacer::framesAtRest(QList<AXElement> windows) {
    // At rest once the frame has stood still for longer than a step of the manager's animation: a
    // manager may keep the icon's frame a moment before it starts to draw the window back, and
    // draws each step of the way more than 20 ms apart on a busy machine. The windows are read
    // together, each until it stands still: a wait for many costs what the slowest one takes.
    struct Reading {
        std::optional<QRectF> frame;
        int sameReads = 0;
    };
    const auto readings = std::make_shared<QHash<AXElement, Reading>>();
    for (const AXElement& window : windows) {
        readings->insert(window, Reading{});
    }
    const auto stillMoving = [readings] {
        QList<AXElement> moving;
        for (auto it = readings->cbegin(); it != readings->cend(); ++it) {
            if (it->sameReads < kRestReads) {
                moving.append(it.key());
            }
        }
        return moving;
    };
    const auto allAtRest = [readings, stillMoving] {
        AXWindowService::readTogether(stillMoving());
        bool all = true;
        for (auto it = readings->begin(); it != readings->end(); ++it) {
            if (it->sameReads >= kRestReads) {
                continue;
            }
            const std::optional<QRectF> now = AXWindowService::windowFrame(it.key());
            const bool same = now && it->frame && now->toRect() == it->frame->toRect();
            it->sameReads = same ? it->sameReads + 1 : 0;
            it->frame = now;
            all = all && it->sameReads >= kRestReads;
        }
        return all;
    };
    if (!readings->isEmpty()) {
        const auto askAhead = [stillMoving] { AXWindowService::readAhead(stillMoving()); };
        co_await RestoreWait::pollUntil(allAtRest, RestoreWait::ms(kRestWaitMs), RestoreWait::ms(kRestStepMs),
                                        askAhead);
    }
    // A window that came to rest stands where it was read last; any other is read once more.
    QHash<AXElement, std::optional<QRectF>> frames;
    for (auto it = readings->cbegin(); it != readings->cend(); ++it) {
        frames.insert(it.key(),
                      it->sameReads >= kRestReads ? it->frame : AXWindowService::windowFrame(it.key()));
    }
    co_return frames;
}

QCoro::Task<QList<WindowRestoreResult>>
WindowPlacer::restoreWindowPositions(RunningApplication app, QList<WindowSnapshot> snapshots,
                                     QList<DisplaySnapshot> savedDisplays, bool useMatcher,
                                     WindowMatcher::Bystanders bystanders, QSet<AXElement> minimisedBefore,
                                     std::shared_ptr<QSet<AXElement>> readAtRest) {
    co_return co_await placeWindows(app, snapshots, savedDisplays, useMatcher, true, bystanders,
                                    std::move(minimisedBefore), std::move(readAtRest));
}

QCoro::Task<QList<WindowRestoreResult>>
WindowPlacer::placeWindows(RunningApplication app, QList<WindowSnapshot> snapshots,
                           QList<DisplaySnapshot> savedDisplays, bool useMatcher, bool mayWaitForRealWindow,
                           WindowMatcher::Bystanders bystanders, QSet<AXElement> minimisedBefore,
                           std::shared_ptr<QSet<AXElement>> readAtRest) {
    const std::optional<QSet<AXElement>>& windowsBefore = bystanders.windowsBefore;
    QList<WindowRestoreResult> results;
    if (snapshots.isEmpty()) {
        co_return results;
    }
    if (app.bundleIdentifier == RestorePlanner::terminalBundleID) {
        QStringList documents;
        for (const WindowSnapshot& s : snapshots) {
            if (s.documentURL && !s.documentURL->isEmpty()) {
                documents.append(*s.documentURL);
            }
        }
        co_await DocumentReopener::waitForTerminalLogin(app, documents);
    }

    const QList<std::optional<Partner>> partners = pairWindows(app, snapshots, useMatcher, bystanders);
    // Every step is asked of all the windows at once and waited for together, so that no wait
    // adds up window by window: each window goes to its desktop, those saved shown are shown, and
    // all that came back from their icons are read at rest; then those saved minimised are placed
    // and minimised again, and the others placed. What the report says moved is measured from
    // where each window stood before, at rest.
    QHash<AXElement, Whereabouts> before;
    QSet<AXElement> wasMinimized;
    QList<std::pair<AXElement, std::optional<qint64>>> toDesktops;
    QList<AXElement> toShow;
    QList<AXElement> settling;
    QList<AXElement> paired;
    for (const std::optional<Partner>& partner : partners) {
        if (partner) {
            paired.append(partner->window);
        }
    }
    AXWindowService::readTogether(paired);
    for (int i = 0; i < snapshots.size(); ++i) {
        if (!partners[i]) {
            continue;
        }
        const AXElement window = partners[i]->window;
        const bool minimised = AXWindowService::isMinimized(window);
        // A window an earlier step showed may still be drawn back from its icon, unless an
        // earlier attempt read it at rest already.
        if (minimisedBefore.contains(window) && !minimised && !(readAtRest && readAtRest->contains(window))) {
            settling.append(window);
        }
        // Read before the window changes desktops: a window just sent to a desktop not shown
        // reads minimised for a moment under some managers.
        before.insert(window, Whereabouts::of(window));
        if (minimised) {
            wasMinimized.insert(window);
        }
        // A window goes back to the virtual desktop it was saved on, and is placed there, out of
        // sight when that is not the one shown; a window saved without one belongs on the desktop
        // shown. The manager is given the time to move it first, so that nothing takes it for a
        // window of another desktop.
        toDesktops.append({window, snapshots[i].spaceIndex});
        if (!snapshots[i].isMinimized) {
            toShow.append(window);
        }
    }
    co_await returnToDesktops(toDesktops);
    co_await WindowShowing::prepareForGeometry(toShow);
    for (const AXElement& window : toShow) {
        // A minimised window's frame is not where it shows: it moved only if it leaves where it
        // came to rest.
        if (wasMinimized.contains(window) && !AXWindowService::isMinimized(window) &&
            !settling.contains(window)) {
            settling.append(window);
        }
    }
    const QHash<AXElement, std::optional<QRectF>> atRest = co_await framesAtRest(settling);
    for (auto it = atRest.cbegin(); it != atRest.cend(); ++it) {
        before[it.key()].frame = it.value();
        if (readAtRest) {
            readAtRest->insert(it.key());
        }
    }
    QList<Minimising> toMinimise;
    for (int i = 0; i < snapshots.size(); ++i) {
        if (partners[i] && snapshots[i].isMinimized) {
            const AXElement window = partners[i]->window;
            toMinimise.append({window, snapshots[i], before.value(window), wasMinimized.contains(window)});
        }
    }
    const QHash<AXElement, WindowRestoreResult> minimisedAgain =
        co_await placeMinimised(toMinimise, savedDisplays);
    QList<Showing> toPlace;
    for (int i = 0; i < snapshots.size(); ++i) {
        if (partners[i] && !snapshots[i].isMinimized) {
            const AXElement window = partners[i]->window;
            toPlace.append({window, snapshots[i], partners[i]->quality, before.value(window),
                            wasMinimized.contains(window)});
        }
    }
    const QHash<AXElement, WindowRestoreResult> shownPlaced = co_await placeShown(toPlace, savedDisplays);

    AXWindowService::readTogether(paired);
    for (int i = 0; i < snapshots.size(); ++i) {
        const WindowSnapshot& snapshot = snapshots[i];
        if (!partners[i]) {
            results.append(result(snapshot, RestoreStatus::failed,
                                  QStringLiteral("No matching AX window found"),
                                  RectConversion::toRectF(snapshot.frame), std::nullopt));
            continue;
        }
        const AXElement window = partners[i]->window;
        WindowRestoreResult placed =
            snapshot.isMinimized ? minimisedAgain.value(window) : shownPlaced.value(window);
        if (windowsBefore && !windowsBefore->contains(window)) {
            placed.addActions({QStringLiteral("started")});
        }
        // Shown by an earlier step of the restore, as read now.
        if (minimisedBefore.contains(window) && !snapshot.isMinimized &&
            !AXWindowService::isMinimized(window)) {
            placed.addActions({QStringLiteral("shown")});
        }
        results.append(std::move(placed));
    }

    if (mayWaitForRealWindow && std::any_of(results.begin(), results.end(), isFailedOrPartial) &&
        AXWindowService::hasOnlyTransientWindows(app)) {
        QList<WindowRestoreResult> again =
            co_await waitForRealWindowAndRetry(app, snapshots, savedDisplays, bystanders);
        // What the first pass did to a window stays done.
        for (qsizetype i = 0; i < std::min(again.size(), results.size()); ++i) {
            again[i].addActions(results[i].actions);
        }
        co_return again;
    }
    co_return results;
}

QList<std::optional<WindowPlacer::Partner>>
WindowPlacer::pairWindows(const RunningApplication& app, const QList<WindowSnapshot>& snapshots,
                          bool useMatcher, const WindowMatcher::Bystanders& bystanders) {
    const WindowMatcher::Matches matches =
        useMatcher ? WindowMatcher::matchWindows(snapshots, app, bystanders) : WindowMatcher::Matches();
    const QList<AXElement> live = AXWindowService::axWindowList(app).value_or(QList<AXElement>());
    // A live window is moved for one saved window only: the index fallback never takes a window
    // that the matcher (or an earlier fallback) already gave to another saved window. The matcher
    // weighed the list position already, and left a window whose clues speak against the saved
    // one: no fallback takes it behind its back.
    QSet<AXElement> paired;
    for (const WindowMatchResult& match : matches) {
        paired.insert(match.axElement);
    }
    QList<std::optional<Partner>> partners;
    for (int i = 0; i < snapshots.size(); ++i) {
        const qint64 index = snapshots[i].windowIndex;
        if (const auto match = matches.constFind(i); match != matches.constEnd()) {
            partners.append(Partner{match->axElement, match->quality});
        } else if (!useMatcher && index >= 0 && index < live.size() && !paired.contains(live[index])) {
            paired.insert(live[index]);
            partners.append(Partner{live[index], WindowMatchQuality::indexFallback});
        } else {
            partners.append(std::nullopt);
        }
    }
    return partners;
}

QCoro::Task<QHash<AXElement, WindowRestoreResult>>
WindowPlacer::placeMinimised(QList<Minimising> windows, QList<DisplaySnapshot> savedDisplays) {
    QHash<AXElement, WindowRestoreResult> outcomes;
    if (windows.isEmpty()) {
        co_return outcomes;
    }
    QHash<AXElement, QRectF> targets;
    QList<std::pair<AXElement, std::optional<QRectF>>> moving;
    QList<AXElement> all;
    for (const Minimising& m : windows) {
        all.append(m.window);
    }
    AXWindowService::readTogether(all);
    for (const Minimising& m : windows) {
        const std::optional<Screen> screen = RestoreGeometry::targetScreen(m.snapshot, savedDisplays);
        targets.insert(m.window, screen ? RestoreGeometry::targetFrame(m.snapshot, *screen)
                                        : RectConversion::toRectF(m.snapshot.frame));
    }
    // A window minimised already that reads off its target may still be drawn on its way to its
    // icon (openbox starts drawing a moment after the window reads minimised, and moves its frame
    // for a while): it is read until it stands still, and moved only if it stands elsewhere then.
    QList<AXElement> drawn;
    for (const Minimising& m : windows) {
        const std::optional<QRectF> now = AXWindowService::windowFrame(m.window);
        if (AXWindowService::isMinimized(m.window) && now &&
            now->toRect() != targets.value(m.window).toRect()) {
            drawn.append(m.window);
        }
    }
    if (!drawn.isEmpty()) {
        const QHash<AXElement, std::optional<QRectF>> atRest = co_await framesAtRest(drawn);
        for (Minimising& m : windows) {
            if (const auto it = atRest.constFind(m.window); it != atRest.constEnd()) {
                m.before.frame = it.value();
            }
        }
        AXWindowService::readTogether(all);
    }
    for (const Minimising& m : windows) {
        const QRectF target = targets.value(m.window);
        // A window that stands on its target already is not asked to move: the request would
        // only have it read again.
        const std::optional<QRectF> now = AXWindowService::windowFrame(m.window);
        if (!now || now->toRect() != target.toRect()) {
            AXWindowService::setWindowFrame(m.window, target);
        }
        if (!m.before.frame || !RestoreGeometry::withinTolerance(*m.before.frame, target)) {
            moving.append({m.window, m.before.frame});
        }
    }
    // Whether each moved is read before it is minimised: under some managers a window just
    // minimised reads for a moment on a frame where it never shows.
    if (!moving.isEmpty()) {
        const auto changed = [moving] { return AXWindowService::allMovedFrom(moving); };
        co_await RestoreWait::pollAfter(changed, RestoreWait::ms(kMoveReadWaitMs), RestoreWait::ms(10));
    }
    QHash<AXElement, QStringList> moved;
    QHash<AXElement, std::optional<QRectF>> placed;
    AXWindowService::readTogether(all);
    bool asked = false;
    for (const Minimising& m : windows) {
        if (wasMoved(m.before, Whereabouts::of(m.window), targets.value(m.window))) {
            moved.insert(m.window, {QStringLiteral("moved")});
        }
        placed.insert(m.window, AXWindowService::windowFrame(m.window));
        asked = asked || !AXWindowService::isMinimized(m.window);
        AXWindowService::minimize(m.window);
    }
    // Read back like every other outcome: a window its application keeps open is not minimised
    // again, whatever the request answered. Some managers (openbox) draw a window on its way to
    // its icon by moving its frame for a while after it reads minimised: the wait goes on until
    // each frame is back where the window was placed, or stands still between two looks, so that
    // a later read (the next attempt, the next restore) takes no frame on its way for its place.
    const auto lastSeen = std::make_shared<QHash<AXElement, std::optional<QRect>>>();
    const auto minimised = [windows, all, placed, lastSeen] {
        AXWindowService::readTogether(all);
        bool done = true;
        for (const Minimising& m : windows) {
            if (!AXWindowService::isMinimized(m.window)) {
                done = false;
                continue;
            }
            const std::optional<QRectF> now = AXWindowService::windowFrame(m.window);
            const std::optional<QRectF> at = placed.value(m.window);
            const std::optional<QRect> seen = now ? std::optional<QRect>(now->toRect()) : std::nullopt;
            const auto before = lastSeen->constFind(m.window);
            const bool still = before != lastSeen->constEnd() && before.value() == seen;
            lastSeen->insert(m.window, seen);
            done = done && (!now || !at || RestoreGeometry::withinTolerance(*now, *at) || still);
        }
        return done;
    };
    const auto askAhead = [all] { AXWindowService::readAhead(all); };
    if (asked) {
        co_await RestoreWait::pollAfter(minimised, RestoreWait::ms(kMinimizeWaitMs), RestoreWait::ms(100),
                                        askAhead);
    } else {
        co_await RestoreWait::pollUntil(minimised, RestoreWait::ms(kMinimizeWaitMs), RestoreWait::ms(100),
                                        askAhead);
    }
    for (const Minimising& m : windows) {
        const bool done = AXWindowService::isMinimized(m.window);
        WindowRestoreResult outcome =
            result(m.snapshot, done ? RestoreStatus::restored : RestoreStatus::failed,
                   done ? QStringLiteral("Window minimized") : QStringLiteral("Failed to minimize window"),
                   targets.value(m.window), placed.value(m.window));
        outcome.addActions(moved.value(m.window));
        outcome.finding = done ? WindowFinding::minimised : WindowFinding::none;
        if (done && !m.wasMinimized) {
            outcome.addActions({QStringLiteral("minimised")});
        }
        outcomes.insert(m.window, outcome);
    }
    co_return outcomes;
}

QCoro::Task<QHash<AXElement, WindowRestoreResult>>
WindowPlacer::placeShown(QList<Showing> windows, QList<DisplaySnapshot> savedDisplays) {
    QHash<AXElement, WindowRestoreResult> outcomes;
    QList<AXElement> all;
    for (const Showing& s : std::as_const(windows)) {
        all.append(s.window);
    }
    AXWindowService::readTogether(all);
    // What each window did besides being placed: shown again, moved since the restore began (as
    // read once it is placed).
    const auto done = [](const Showing& s, const std::optional<QRectF>& asked) {
        QStringList actions = s.wasMinimized ? QStringList{QStringLiteral("shown")} : QStringList();
        if (wasMoved(s.before, Whereabouts::of(s.window), asked)) {
            actions.append(QStringLiteral("moved"));
        }
        return actions;
    };
    QList<GeometryApplier::Moving> moving;
    QList<Showing> movers;
    for (const Showing& s : std::as_const(windows)) {
        const QRectF saved = RectConversion::toRectF(s.snapshot.frame);
        if (AXWindowService::isMinimized(s.window)) {
            // Said at once: no frame can be checked on a window that is not shown.
            outcomes.insert(s.window, result(s.snapshot, RestoreStatus::failed,
                                             onShownDesktop(s.window) ? kStaysMinimized : kStaysMinimizedAway,
                                             saved, std::nullopt));
            continue;
        }
        const std::optional<Screen> screen = RestoreGeometry::targetScreen(s.snapshot, savedDisplays);
        if (!screen) {
            outcomes.insert(s.window, result(s.snapshot, RestoreStatus::failed,
                                             QStringLiteral("No screen available"), saved, std::nullopt));
            continue;
        }
        const QRectF target = RestoreGeometry::targetFrame(s.snapshot, *screen);
        const std::optional<QRectF> current = AXWindowService::windowFrame(s.window);
        if (current && RestoreGeometry::withinTolerance(*current, target)) {
            WindowRestoreResult inPlace =
                result(s.snapshot, RestoreStatus::restored, QStringLiteral("Already at correct position"),
                       target, current);
            inPlace.addActions(done(s, target));
            inPlace.finding = WindowFinding::inPlace;
            outcomes.insert(s.window, inPlace);
            continue;
        }
        moving.append({s.window, target, s.snapshot.windowTitle, s.quality});
        movers.append(s);
    }
    if (!moving.isEmpty()) {
        const QList<WindowRestoreResult> moved = co_await GeometryApplier::applyAndVerify(moving);
        QList<AXElement> placed;
        for (const GeometryApplier::Moving& m : moving) {
            placed.append(m.window);
        }
        AXWindowService::readTogether(placed);
        for (qsizetype k = 0; k < moved.size(); ++k) {
            WindowRestoreResult outcome = moved[k];
            outcome.addActions(done(movers[k], moving[k].targetFrame));
            outcomes.insert(moving[k].window, outcome);
        }
    }
    co_return outcomes;
}

QCoro::Task<QList<WindowRestoreResult>>
WindowPlacer::waitForRealWindowAndRetry(RunningApplication app, QList<WindowSnapshot> snapshots,
                                        QList<DisplaySnapshot> savedDisplays,
                                        WindowMatcher::Bystanders bystanders) {
    const std::shared_ptr<Clock> clock = Platform::current().clock;
    const Clock::TimePoint deadline = clock->now() + RestoreWait::ms(kSplashWaitMs);
    while (clock->now() < deadline) {
        if (!co_await RestoreWait::pause(RestoreWait::ms(1000))) {
            break;
        }
        if (!AXWindowService::hasOnlyTransientWindows(app)) {
            co_await RestoreWait::pause(RestoreWait::ms(500));
            // One more pass, without a further wait: an application that turns transient again
            // keeps its results instead of holding the restore for another 40 seconds.
            co_return co_await placeWindows(app, snapshots, savedDisplays, true, false, bystanders, {},
                                            nullptr);
        }
    }
    QList<WindowRestoreResult> results;
    for (const WindowSnapshot& snapshot : snapshots) {
        results.append(result(snapshot, RestoreStatus::failed, kSplashReason,
                              RectConversion::toRectF(snapshot.frame), std::nullopt));
    }
    co_return results;
}

QCoro::Task<void> WindowPlacer::returnToDesktop(AXElement window, std::optional<qint64> desktop) {
    const QList<std::pair<AXElement, std::optional<qint64>>> one{{window, desktop}};
    co_await returnToDesktops(one);
}

QCoro::Task<void> WindowPlacer::returnToDesktops(QList<std::pair<AXElement, std::optional<qint64>>> windows) {
    QList<std::function<bool()>> arriving;
    for (const auto& [window, desktop] : windows) {
        const auto there = [window, desktop] {
            if (!desktop) {
                return AXAttributeReader::read(window, AXName::OnShownSpace).value.toBool().value_or(true);
            }
            const std::optional<double> now =
                AXAttributeReader::read(window, AXName::SpaceIndex).value.toNumber();
            return now && NumberConversion::toInt64(*now) == *desktop;
        };
        if (there()) {
            continue;
        }
        // A window shown where it was is shown where it arrives, once the manager has made it so:
        // some managers (mutter) name the new desktop before they map the window there, and a
        // window read in between would be taken for a minimised one.
        const bool shown = !AXWindowService::isMinimized(window);
        const int asked =
            desktop ? AXAttributeReader::write(window, AXName::SpaceIndex, AXValue::number(double(*desktop)))
                    : AXAttributeReader::write(window, AXName::OnShownSpace, AXValue::boolean(true));
        if (asked == AXError::Success) {
            arriving.append([there, shown, window] {
                return there() && (!shown || !AXWindowService::isMinimized(window));
            });
        }
    }
    if (arriving.isEmpty()) {
        co_return;
    }
    // All asked at once, and waited for together.
    const auto arrived = [arriving] {
        return std::all_of(arriving.cbegin(), arriving.cend(),
                           [](const std::function<bool()>& a) { return a(); });
    };
    co_await RestoreWait::pollAfter(arrived, RestoreWait::ms(kMinimizeWaitMs), RestoreWait::ms(100));
}

QCoro::Task<void> WindowPlacer::prepareWindowForGeometry(AXElement window) {
    const QList<AXElement> one{window};
    co_await WindowShowing::prepareForGeometry(one);
}

bool WindowPlacer::verifyWindowPositionsWithMatcher(const RunningApplication& app,
                                                    const QList<WindowSnapshot>& snapshots,
                                                    const QList<DisplaySnapshot>& savedDisplays) {
    // A window saved minimised shows no frame to pair by: it was read back minimised when it was
    // placed, and that outcome stands. Only the windows saved shown are paired and measured.
    QList<WindowSnapshot> shown;
    for (const WindowSnapshot& snapshot : snapshots) {
        if (!snapshot.isMinimized) {
            shown.append(snapshot);
        }
    }
    if (shown.isEmpty()) {
        return true;
    }
    const WindowMatcher::Matches matches = WindowMatcher::matchWindowsByGeometry(shown, app);
    for (int i = 0; i < shown.size(); ++i) {
        const auto match = matches.constFind(i);
        if (match == matches.constEnd()) {
            return false;
        }
        const std::optional<Screen> screen = RestoreGeometry::targetScreen(shown[i], savedDisplays);
        if (!screen) {
            continue;
        }
        const std::optional<QRectF> live = AXWindowService::windowFrame(match->axElement);
        if (!live ||
            !RestoreGeometry::withinTolerance(*live, RestoreGeometry::targetFrame(shown[i], *screen))) {
            return false;
        }
    }
    return true;
}
