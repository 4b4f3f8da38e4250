#include "Services/Restore/WindowPlacement.h"

#include "Extensions/NumberConversion.h"
#include "Extensions/RectConversion.h"
#include "Services/Desktop/AXAttributeReader.h"
#include "Services/Desktop/AXWindowService.h"
#include "Services/Restore/GeometryApplier.h"
#include "Services/Restore/RestoreGeometry.h"
#include "Services/Restore/RestoreWait.h"
#include "Services/Restore/WindowShowing.h"

#include <QRect>

#include <algorithm>
#include <functional>

namespace {

constexpr int kMinimizeWaitMs = 2000;
// A move shows in the read-back within a few milliseconds.
constexpr int kMoveReadWaitMs = 500;
// A window shown again is read until its frame stood still over this many reads this far apart
// (140 ms), for at most this long. The reads are asked ahead of each look, so that a look at a
// hundred windows while the manager draws them costs no wait for the server.
constexpr int kRestReads = 7;
constexpr int kRestStepMs = 20;
constexpr int kRestWaitMs = 1000;
// A window on its way to its icon is drawn a step at least every few tens of milliseconds: one
// whose frame stood still over this many reads, as far apart, has come to rest.
constexpr int kDownRestReads = 5;

const QString kStaysMinimized = QStringLiteral("Window stays minimized: the window manager did not show it");
const QString kStaysMinimizedAway =
    QStringLiteral("Window stays minimized: the window manager shows it only by switching to its desktop");

WindowRestoreResult result(const WindowSnapshot& snapshot, RestoreStatus status, const QString& reason,
                           std::optional<QRectF> requested, std::optional<QRectF> actual) {
    return WindowRestoreResult{snapshot.windowTitle, status, reason, requested, actual};
}

bool onShownDesktop(AXElement window) {
    return AXAttributeReader::read(window, AXName::OnShownSpace).value.toBool().value_or(true);
}

} // namespace

WindowPlacement::Whereabouts WindowPlacement::Whereabouts::of(AXElement window) {
    const std::optional<double> desktop =
        AXAttributeReader::read(window, AXName::SpaceIndex).value.toNumber();
    return {AXWindowService::windowFrame(window),
            desktop ? std::optional<qint64>(NumberConversion::toInt64(*desktop)) : std::nullopt};
}

bool WindowPlacement::wasMoved(const Whereabouts& before, const Whereabouts& after,
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

QCoro::Task<QHash<AXElement, std::optional<QRectF>>> WindowPlacement::framesAtRest(QList<AXElement> windows) {
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

QCoro::Task<QHash<AXElement, WindowRestoreResult>>
WindowPlacement::place(QList<Paired> windows, QList<DisplaySnapshot> savedDisplays,
                       std::shared_ptr<QSet<AXElement>> readAtRest) {
    QHash<AXElement, Whereabouts> before;
    QSet<AXElement> wasMinimized;
    QList<std::pair<AXElement, std::optional<qint64>>> toDesktops;
    QList<AXElement> toShow;
    QList<AXElement> settling;
    QList<Minimising> toKeepDown;
    QList<AXElement> all;
    for (const Paired& p : std::as_const(windows)) {
        all.append(p.window);
    }
    AXWindowService::readTogether(all);
    for (const Paired& p : std::as_const(windows)) {
        const AXElement window = p.window;
        const bool minimised = AXWindowService::isMinimized(window);
        // Read before the window changes desktops: a window just sent to a desktop not shown
        // reads minimised for a moment under some managers.
        const Whereabouts where = Whereabouts::of(window);
        if (p.snapshot.isMinimized) {
            toKeepDown.append({window, p.snapshot, where, minimised});
            continue;
        }
        // A window an earlier step showed may still be drawn back from its icon, unless an
        // earlier attempt read it at rest already.
        if (p.shownEarlier && !minimised && !(readAtRest && readAtRest->contains(window))) {
            settling.append(window);
        }
        before.insert(window, where);
        if (minimised) {
            wasMinimized.insert(window);
        }
        // A window goes back to the virtual desktop it was saved on, and is placed there, out of
        // sight when that is not the one shown; a window saved without one belongs on the desktop
        // shown. The manager is given the time to move it first, so that nothing takes it for a
        // window of another desktop.
        toDesktops.append({window, p.snapshot.spaceIndex});
        toShow.append(window);
    }
    // The windows kept minimised go their own way at the same time (they are minimised where they
    // stand before they go anywhere): their waits and the others' are one.
    QCoro::Task<QHash<AXElement, WindowRestoreResult>> keptDown = keepMinimised(toKeepDown, savedDisplays);
    co_await returnToDesktops(toDesktops);
    co_await WindowShowing::prepareForGeometry(toShow);
    for (const AXElement& window : std::as_const(toShow)) {
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
    QList<Showing> toPlace;
    for (const Paired& p : std::as_const(windows)) {
        if (!p.snapshot.isMinimized) {
            const bool minimised = wasMinimized.contains(p.window);
            toPlace.append({p.window, p.snapshot, p.quality, before.value(p.window), minimised,
                            minimised || p.shownEarlier});
        }
    }
    QHash<AXElement, WindowRestoreResult> outcomes = co_await placeShown(toPlace, savedDisplays);
    outcomes.insert(co_await keptDown);
    co_return outcomes;
}

QRectF WindowPlacement::targetOf(const WindowSnapshot& snapshot,
                                 const QList<DisplaySnapshot>& savedDisplays) {
    const std::optional<Screen> screen = RestoreGeometry::targetScreen(snapshot, savedDisplays);
    return screen ? RestoreGeometry::targetFrame(snapshot, *screen) : RectConversion::toRectF(snapshot.frame);
}

QCoro::Task<QHash<AXElement, WindowRestoreResult>>
WindowPlacement::keepMinimised(QList<Minimising> windows, QList<DisplaySnapshot> savedDisplays) {
    if (windows.isEmpty()) {
        co_return QHash<AXElement, WindowRestoreResult>();
    }
    // A window kept minimised goes to its icon where it stands, and only then to its desktop and
    // frame: sent to the desktop shown first, or moved there shown, it would be on screen on the
    // way. A window minimised already that reads off its target may still be drawn on its way to
    // its icon (openbox starts drawing a moment after the window reads minimised, and moves its
    // frame for a while): it is read until it stands still, and moved only if it stands elsewhere
    // then.
    QList<AXElement> toMinimise;
    QList<AXElement> drawn;
    for (const Minimising& m : std::as_const(windows)) {
        const std::optional<QRectF> now = m.before.frame;
        if (!m.wasMinimized) {
            toMinimise.append(m.window);
        } else if (now && now->toRect() != targetOf(m.snapshot, savedDisplays).toRect()) {
            drawn.append(m.window);
        }
    }
    const QHash<AXElement, std::optional<QRectF>> down = co_await bringDown(toMinimise, drawn);
    QList<std::pair<AXElement, std::optional<qint64>>> toDesktops;
    for (Minimising& m : windows) {
        const auto rested = down.constFind(m.window);
        m.givenUp = toMinimise.contains(m.window) && rested == down.constEnd();
        // Where a window drawn on its way stood is where it came to rest.
        if (drawn.contains(m.window) && rested != down.constEnd()) {
            m.before.frame = rested.value();
        }
        toDesktops.append({m.window, m.snapshot.spaceIndex});
    }
    co_await returnToDesktops(toDesktops);
    co_return co_await placeMinimised(windows, savedDisplays);
}

QCoro::Task<QHash<AXElement, std::optional<QRectF>>> WindowPlacement::bringDown(QList<AXElement> toMinimise,
                                                                                QList<AXElement> drawn) {
    QHash<AXElement, std::optional<QRectF>> down;
    // Where each stood, and how it read at the last look.
    struct Reading {
        std::optional<QRect> stood;
        std::optional<QRectF> last;
        int sameReads = 0;
        bool asked = false;
        bool down = false;
    };
    const auto readings = std::make_shared<QHash<AXElement, Reading>>();
    const auto whole = [](const std::optional<QRectF>& frame) {
        return frame ? std::optional<QRect>(frame->toRect()) : std::nullopt;
    };
    AXWindowService::readTogether(toMinimise + drawn);
    QList<std::pair<AXElement, std::optional<QRectF>>> stood;
    for (const AXElement& window : std::as_const(toMinimise)) {
        stood.append({window, AXWindowService::windowFrame(window)});
    }
    for (const AXElement& window : std::as_const(drawn)) {
        readings->insert(window, Reading{});
    }
    for (const auto& [window, frame] : std::as_const(stood)) {
        // A request refused is not waited for: the window is placed shown, and reads so.
        if (AXWindowService::minimize(window)) {
            readings->insert(window, Reading{whole(frame), frame, 0, true, false});
        }
    }
    if (readings->isEmpty()) {
        co_return down;
    }
    const auto pending = [readings] {
        QList<AXElement> left;
        for (auto it = readings->cbegin(); it != readings->cend(); ++it) {
            if (!it->down) {
                left.append(it.key());
            }
        }
        return left;
    };
    // Down once it reads minimised with its frame back where it stood, or at rest where it came
    // to: some managers (openbox) draw a window on its way to its icon by moving its frame for a
    // while after it reads minimised, and a frame asked for meanwhile is not the one it keeps.
    const auto allDown = [readings, pending, whole] {
        AXWindowService::readTogether(pending());
        bool all = true;
        for (auto it = readings->begin(); it != readings->end(); ++it) {
            if (it->down) {
                continue;
            }
            const std::optional<QRectF> now = AXWindowService::windowFrame(it.key());
            it->sameReads = now && it->last && whole(now) == whole(it->last) ? it->sameReads + 1 : 0;
            it->last = now;
            const bool still = it->sameReads >= kDownRestReads;
            it->down = it->asked
                           ? AXWindowService::isMinimized(it.key()) && (whole(now) == it->stood || still)
                           : still;
            all = all && it->down;
        }
        return all;
    };
    const auto askAhead = [pending] { AXWindowService::readAhead(pending()); };
    co_await RestoreWait::pollUntil(allDown, RestoreWait::ms(kMinimizeWaitMs), RestoreWait::ms(kRestStepMs),
                                    askAhead);
    for (auto it = readings->cbegin(); it != readings->cend(); ++it) {
        // One drawn that never stood still is read once more, as it is.
        if (it->down || !it->asked) {
            down.insert(it.key(), it->down ? it->last : AXWindowService::windowFrame(it.key()));
        }
    }
    co_return down;
}

QCoro::Task<QHash<AXElement, WindowRestoreResult>>
WindowPlacement::placeMinimised(QList<Minimising> windows, QList<DisplaySnapshot> savedDisplays) {
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
        targets.insert(m.window, targetOf(m.snapshot, savedDisplays));
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
        // One asked where it stood and not minimised in time is not asked, or waited for, again.
        if (!m.givenUp) {
            asked = asked || !AXWindowService::isMinimized(m.window);
            AXWindowService::minimize(m.window);
        }
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
            if (m.givenUp) {
                continue;
            }
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
WindowPlacement::placeShown(QList<Showing> windows, QList<DisplaySnapshot> savedDisplays) {
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
        moving.append({s.window, target, s.snapshot.windowTitle, s.quality, !s.shownAgain});
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

QCoro::Task<void>
WindowPlacement::returnToDesktops(QList<std::pair<AXElement, std::optional<qint64>>> windows) {
    QList<std::function<bool()>> arriving;
    for (const auto& entry : windows) {
        // Named copies: some compilers (clang 14) refuse a structured binding in a lambda's capture.
        const AXElement window = entry.first;
        const std::optional<qint64> desktop = entry.second;
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
