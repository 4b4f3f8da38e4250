#include "Services/Restore/WindowPlacer.h"

#include "Extensions/NumberConversion.h"
#include "Extensions/RectConversion.h"
#include "Platform/Platform.h"
#include "Services/Desktop/AXAttributeReader.h"
#include "Services/Desktop/AXWindowService.h"
#include "Services/Restore/DocumentReopener.h"
#include "Services/Restore/RestoreGeometry.h"
#include "Services/Restore/RestoreLog.h"
#include "Services/Restore/RestorePlanner.h"
#include "Services/Restore/RestoreWait.h"

#include <QSet>

#include <array>

namespace {

constexpr int kGeometryAttempts = 4;
constexpr std::array<int, kGeometryAttempts> kBackoffMs{100, 200, 400, 800};
constexpr int kSettleMs = 50;
constexpr int kSplashWaitMs = 40000;
constexpr int kMinimizeWaitMs = 2000;
// A move shows in the read-back within a few milliseconds.
constexpr int kMoveReadWaitMs = 500;
// A window shown again is read until its frame stood still over this many reads 20 ms apart, for
// at most this long.
constexpr int kRestReads = 7;
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

// Some managers (mutter) show a minimised window of a desktop not shown only by activating it,
// which switches to that desktop. Shown on the desktop the user looks at and sent straight back,
// all in one go, it comes up on its own desktop without the desktop shown switching (and, on such
// a manager, without ever being drawn on the one shown). False when the window is not away.
bool showThroughShownDesktop(AXElement window) {
    const std::optional<double> desktop =
        onShownDesktop(window) ? std::nullopt
                               : AXAttributeReader::read(window, AXName::SpaceIndex).value.toNumber();
    if (!desktop ||
        AXAttributeReader::write(window, AXName::OnShownSpace, AXValue::boolean(true)) != AXError::Success) {
        return false;
    }
    AXWindowService::deminimize(window);
    AXAttributeReader::write(window, AXName::SpaceIndex, AXValue::number(*desktop));
    return true;
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
    // At rest once the frame has stood still for longer than a step of the manager's animation: a
    // manager may keep the icon's frame a moment before it starts to draw the window back, and
    // draws each step of the way more than 20 ms apart on a busy machine.
    struct Reading {
        std::optional<QRectF> frame;
        int sameReads = 0;
    };
    const auto last = std::make_shared<Reading>();
    const auto atRest = [window, last] {
        const std::optional<QRectF> now = AXWindowService::windowFrame(window);
        const bool same = now && last->frame && now->toRect() == last->frame->toRect();
        last->sameReads = same ? last->sameReads + 1 : 0;
        last->frame = now;
        return last->sameReads >= kRestReads;
    };
    co_await RestoreWait::pollUntil(atRest, RestoreWait::ms(kRestWaitMs), RestoreWait::ms(20));
    co_return AXWindowService::windowFrame(window);
}

QCoro::Task<QList<WindowRestoreResult>>
WindowPlacer::restoreWindowPositions(RunningApplication app, QList<WindowSnapshot> snapshots,
                                     QList<DisplaySnapshot> savedDisplays, bool useMatcher,
                                     WindowMatcher::Bystanders bystanders, QSet<AXElement> minimisedBefore) {
    co_return co_await placeWindows(app, snapshots, savedDisplays, useMatcher, true, bystanders,
                                    std::move(minimisedBefore));
}

QCoro::Task<QList<WindowRestoreResult>>
WindowPlacer::placeWindows(RunningApplication app, QList<WindowSnapshot> snapshots,
                           QList<DisplaySnapshot> savedDisplays, bool useMatcher, bool mayWaitForRealWindow,
                           WindowMatcher::Bystanders bystanders, QSet<AXElement> minimisedBefore) {
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
    for (int i = 0; i < snapshots.size(); ++i) {
        const WindowSnapshot& snapshot = snapshots[i];
        if (!partners[i]) {
            results.append(result(snapshot, RestoreStatus::failed,
                                  QStringLiteral("No matching AX window found"),
                                  RectConversion::toRectF(snapshot.frame), std::nullopt));
            continue;
        }
        // A window an earlier step showed may still be drawn back from its icon: it is read once at
        // rest, so that its way back is not taken for a move.
        if (minimisedBefore.contains(partners[i]->window) &&
            !AXWindowService::isMinimized(partners[i]->window)) {
            co_await frameAtRest(partners[i]->window);
        }
        WindowRestoreResult placed =
            co_await placeWindow(partners[i]->window, snapshot, savedDisplays, partners[i]->quality);
        if (windowsBefore && !windowsBefore->contains(partners[i]->window)) {
            placed.addActions({QStringLiteral("started")});
        }
        // Shown by an earlier step of the restore, as read now.
        if (minimisedBefore.contains(partners[i]->window) && !snapshot.isMinimized &&
            !AXWindowService::isMinimized(partners[i]->window)) {
            placed.addActions({QStringLiteral("shown")});
        }
        results.append(std::move(placed));
    }

    if (mayWaitForRealWindow && std::any_of(results.begin(), results.end(), isFailedOrPartial) &&
        AXWindowService::hasOnlyTransientWindows(app)) {
        QList<WindowRestoreResult> again = co_await waitForRealWindowAndRetry(app, snapshots, savedDisplays);
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

QCoro::Task<WindowRestoreResult> WindowPlacer::placeWindow(AXElement window, WindowSnapshot snapshot,
                                                           QList<DisplaySnapshot> savedDisplays,
                                                           WindowMatchQuality quality) {
    const QRectF saved = RectConversion::toRectF(snapshot.frame);
    // What the report says was done is what reads back changed, not what was asked.
    Whereabouts before = Whereabouts::of(window);
    // Read before the window changes desktops: a window just sent to a desktop not shown reads
    // minimised for a moment under some managers.
    const bool wasMinimized = AXWindowService::isMinimized(window);
    const auto movedSince = [window, &before](const std::optional<QRectF>& asked) {
        return wasMoved(before, Whereabouts::of(window), asked) ? QStringList{QStringLiteral("moved")}
                                                                : QStringList();
    };
    // A window goes back to the virtual desktop it was saved on, and is placed there, out of sight
    // when that is not the one shown; a window saved without one belongs on the desktop shown. The
    // manager is given the time to move it first, so that nothing takes it for a window of another
    // desktop.
    co_await returnToDesktop(window, snapshot.spaceIndex);
    if (snapshot.isMinimized) {
        const std::optional<Screen> screen = RestoreGeometry::targetScreen(snapshot, savedDisplays);
        const QRectF target = screen ? RestoreGeometry::targetFrame(snapshot, *screen) : saved;
        AXWindowService::setWindowFrame(window, target);
        // Whether it moved is read before it is minimised: under some managers a window just
        // minimised reads for a moment on a frame where it never shows.
        if (!before.frame || !RestoreGeometry::withinTolerance(*before.frame, target)) {
            const auto changed = [window, from = before.frame] {
                const std::optional<QRectF> now = AXWindowService::windowFrame(window);
                return now && (!from || now->toRect() != from->toRect());
            };
            co_await RestoreWait::pollUntil(changed, RestoreWait::ms(kMoveReadWaitMs), RestoreWait::ms(10));
        }
        const QStringList moved = movedSince(target);
        const std::optional<QRectF> placed = AXWindowService::windowFrame(window);
        AXWindowService::minimize(window);
        // Read back like every other outcome: a window its application keeps open is not minimised
        // again, whatever the request answered.
        const auto minimised = [window] { return AXWindowService::isMinimized(window); };
        const bool done = co_await RestoreWait::pollUntil(minimised, RestoreWait::ms(kMinimizeWaitMs),
                                                          RestoreWait::ms(100));
        WindowRestoreResult outcome =
            result(snapshot, done ? RestoreStatus::restored : RestoreStatus::failed,
                   done ? QStringLiteral("Window minimized") : QStringLiteral("Failed to minimize window"),
                   target, placed);
        outcome.addActions(moved);
        if (done && !wasMinimized) {
            outcome.addActions({QStringLiteral("minimised")});
        }
        co_return outcome;
    }
    co_await prepareWindowForGeometry(window);
    if (AXWindowService::isMinimized(window)) {
        // Said at once: no frame can be checked on a window that is not shown.
        co_return result(snapshot, RestoreStatus::failed,
                         onShownDesktop(window) ? kStaysMinimized : kStaysMinimizedAway, saved, std::nullopt);
    }
    const QStringList shown = wasMinimized && !AXWindowService::isMinimized(window)
                                  ? QStringList{QStringLiteral("shown")}
                                  : QStringList();
    const std::optional<Screen> screen = RestoreGeometry::targetScreen(snapshot, savedDisplays);
    if (!screen) {
        co_return result(snapshot, RestoreStatus::failed, QStringLiteral("No screen available"), saved,
                         std::nullopt);
    }
    const QRectF target = RestoreGeometry::targetFrame(snapshot, *screen);
    if (!shown.isEmpty()) {
        // A minimised window's frame is not where it shows: it moved only if it leaves where it
        // came to rest.
        before.frame = co_await frameAtRest(window);
    }
    // A window that stayed minimised is not back, wherever its frame is.
    const std::optional<QRectF> current =
        AXWindowService::isMinimized(window) ? std::nullopt : AXWindowService::windowFrame(window);
    if (current && RestoreGeometry::withinTolerance(*current, target)) {
        WindowRestoreResult inPlace = result(snapshot, RestoreStatus::restored,
                                             QStringLiteral("Already at correct position"), target, current);
        inPlace.addActions(shown + movedSince(target));
        co_return inPlace;
    }
    WindowRestoreResult moved =
        co_await applyAndVerifyGeometry(window, target, snapshot.windowTitle, quality);
    moved.addActions(shown + movedSince(target));
    co_return moved;
}

QCoro::Task<WindowRestoreResult> WindowPlacer::applyAndVerifyGeometry(AXElement window, QRectF targetFrame,
                                                                      std::optional<QString> windowTitle,
                                                                      WindowMatchQuality matchQuality) {
    const QString match = WindowMatcher::qualityName(matchQuality);
    const QString head = QStringLiteral("applyGeometry: \"") + windowTitle.value_or(QStringLiteral("?")) +
                         QStringLiteral("\"");
    RestoreLog::log(head + QStringLiteral(" target=") + RestoreLog::frameText(targetFrame) +
                    QStringLiteral(" match=") + match);
    for (int attempt = 0; attempt < kGeometryAttempts; ++attempt) {
        AXAttributeReader::write(window, QStringLiteral("AXMain"), AXValue::boolean(true));
        AXAttributeReader::perform(window, QStringLiteral("AXRaise"));
        AXWindowService::setWindowFrame(window, targetFrame);
        co_await RestoreWait::pause(RestoreWait::ms(kSettleMs));

        // A window still minimised cannot be seen where it is: its frame counts as unread.
        const std::optional<QRectF> actual =
            AXWindowService::isMinimized(window) ? std::nullopt : AXWindowService::windowFrame(window);
        if (actual) {
            const QString n = QString::number(attempt + 1);
            if (RestoreGeometry::withinTolerance(*actual, targetFrame)) {
                RestoreLog::log(head + QStringLiteral(" ✓ actual=") + RestoreLog::frameText(*actual) +
                                QStringLiteral(" attempts=") + n);
                co_return WindowRestoreResult{windowTitle, RestoreStatus::restored,
                                              QStringLiteral("Geometry verified (match=") + match +
                                                  QStringLiteral(", attempts=") + n + QStringLiteral(")"),
                                              targetFrame, actual};
            }
            if (attempt == kGeometryAttempts - 1) {
                const QString d =
                    QString::number(NumberConversion::toInt64(RestoreGeometry::delta(*actual, targetFrame)));
                RestoreLog::log(head + QStringLiteral(" ✗ actual=") + RestoreLog::frameText(*actual) +
                                QStringLiteral(" delta=") + d + QStringLiteral("pt after 4 attempts"));
                co_return WindowRestoreResult{windowTitle, RestoreStatus::partiallyRestored,
                                              QStringLiteral("App adjusted geometry (delta: ") + d +
                                                  QStringLiteral("pt, match=") + match + QStringLiteral(")"),
                                              targetFrame, actual};
            }
            RestoreLog::log(head + QStringLiteral(" attempt ") + n + QStringLiteral("/4 actual=") +
                            RestoreLog::frameText(*actual) + QStringLiteral(" — retrying"));
        }
        co_await RestoreWait::pause(RestoreWait::ms(kBackoffMs[attempt]));
    }
    co_return WindowRestoreResult{windowTitle, RestoreStatus::failed,
                                  QStringLiteral("Geometry application failed after 4 attempts"), targetFrame,
                                  AXWindowService::windowFrame(window)};
}

QCoro::Task<QList<WindowRestoreResult>>
WindowPlacer::waitForRealWindowAndRetry(RunningApplication app, QList<WindowSnapshot> snapshots,
                                        QList<DisplaySnapshot> savedDisplays) {
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
            co_return co_await placeWindows(app, snapshots, savedDisplays, true, false, {}, {});
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
    const auto there = [window, desktop] {
        if (!desktop) {
            return AXAttributeReader::read(window, AXName::OnShownSpace).value.toBool().value_or(true);
        }
        const std::optional<double> now =
            AXAttributeReader::read(window, AXName::SpaceIndex).value.toNumber();
        return now && NumberConversion::toInt64(*now) == *desktop;
    };
    if (there()) {
        co_return;
    }
    // A window shown where it was is shown where it arrives, once the manager has made it so: some
    // managers (mutter) name the new desktop before they map the window there, and a window read
    // in between would be taken for a minimised one.
    const bool shown = !AXWindowService::isMinimized(window);
    const auto arrived = [there, shown, window] {
        return there() && (!shown || !AXWindowService::isMinimized(window));
    };
    const int asked =
        desktop ? AXAttributeReader::write(window, AXName::SpaceIndex, AXValue::number(double(*desktop)))
                : AXAttributeReader::write(window, AXName::OnShownSpace, AXValue::boolean(true));
    if (asked == AXError::Success) {
        co_await RestoreWait::pollUntil(arrived, RestoreWait::ms(kMinimizeWaitMs), RestoreWait::ms(100));
    }
}

QCoro::Task<void> WindowPlacer::prepareWindowForGeometry(AXElement window) {
    if (AXWindowService::isMinimized(window)) {
        AXWindowService::deminimize(window);
        const auto restored = [window] {
            return !AXAttributeReader::boolean(window, QStringLiteral("AXMinimized"));
        };
        if (!co_await RestoreWait::pollUntil(restored, RestoreWait::ms(2000), RestoreWait::ms(100)) &&
            showThroughShownDesktop(window)) {
            co_await RestoreWait::pollUntil(restored, RestoreWait::ms(2000), RestoreWait::ms(100));
        }
    }
    if (AXWindowService::isFullScreen(window)) {
        AXWindowService::exitFullScreen(window);
        const auto windowed = [window] {
            return !AXAttributeReader::boolean(window, QStringLiteral("AXFullScreen"));
        };
        co_await RestoreWait::pollUntil(windowed, RestoreWait::ms(3000), RestoreWait::ms(200));
    }
}

bool WindowPlacer::verifyWindowPositionsWithMatcher(const RunningApplication& app,
                                                    const QList<WindowSnapshot>& snapshots,
                                                    const QList<DisplaySnapshot>& savedDisplays) {
    if (snapshots.isEmpty()) {
        return true;
    }
    const WindowMatcher::Matches matches = WindowMatcher::matchWindowsByGeometry(snapshots, app);
    for (int i = 0; i < snapshots.size(); ++i) {
        const auto match = matches.constFind(i);
        if (match == matches.constEnd()) {
            return false;
        }
        const std::optional<Screen> screen = RestoreGeometry::targetScreen(snapshots[i], savedDisplays);
        if (!screen) {
            continue;
        }
        const std::optional<QRectF> live = AXWindowService::windowFrame(match->axElement);
        if (!live ||
            !RestoreGeometry::withinTolerance(*live, RestoreGeometry::targetFrame(snapshots[i], *screen))) {
            return false;
        }
    }
    return true;
}
