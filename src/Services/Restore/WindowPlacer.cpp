#include "Services/Restore/WindowPlacer.h"

#include "Extensions/RectConversion.h"
#include "Platform/Platform.h"
#include "Services/Desktop/AXWindowService.h"
#include "Services/Restore/DocumentReopener.h"
#include "Services/Restore/RestoreGeometry.h"
#include "Services/Restore/RestorePlanner.h"
#include "Services/Restore/RestoreWait.h"
#include "Services/Restore/WindowPlacement.h"
#include "Services/Restore/WindowShowing.h"

#include <QSet>

namespace {

constexpr int kSplashWaitMs = 40000;

const QString kSplashReason = QStringLiteral("App only shows splash screen after 40s");
const QString kNoPartner = QStringLiteral("No matching AX window found");

WindowRestoreResult result(const WindowSnapshot& snapshot, RestoreStatus status, const QString& reason,
                           std::optional<QRectF> requested, std::optional<QRectF> actual) {
    return WindowRestoreResult{snapshot.windowTitle, status, reason, requested, actual};
}

bool isFailedOrPartial(const WindowRestoreResult& r) {
    return r.status == RestoreStatus::failed || r.status == RestoreStatus::partiallyRestored;
}

} // namespace

QCoro::Task<QList<WindowRestoreResult>>
WindowPlacer::restoreWindowPositions(RunningApplication app, QList<WindowSnapshot> snapshots,
                                     QList<DisplaySnapshot> savedDisplays,
                                     WindowMatcher::Bystanders bystanders, QSet<AXElement> minimisedBefore,
                                     std::shared_ptr<QSet<AXElement>> readAtRest) {
    co_return co_await placeWindows(app, snapshots, savedDisplays, true, bystanders,
                                    std::move(minimisedBefore), std::move(readAtRest));
}

QCoro::Task<QList<WindowRestoreResult>>
WindowPlacer::placeWindows(RunningApplication app, QList<WindowSnapshot> snapshots,
                           QList<DisplaySnapshot> savedDisplays, bool mayWaitForRealWindow,
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

    const QList<std::optional<Partner>> partners = pairWindows(app, snapshots, bystanders);
    QList<WindowPlacement::Paired> pairs;
    QList<AXElement> paired;
    for (int i = 0; i < snapshots.size(); ++i) {
        if (const std::optional<Partner>& partner = partners[i]) {
            pairs.append(
                {partner->window, snapshots[i], partner->quality, minimisedBefore.contains(partner->window)});
            paired.append(partner->window);
        }
    }
    const QHash<AXElement, WindowRestoreResult> outcomes =
        co_await WindowPlacement::place(pairs, savedDisplays, std::move(readAtRest));

    AXWindowService::readTogether(paired);
    for (int i = 0; i < snapshots.size(); ++i) {
        const WindowSnapshot& snapshot = snapshots[i];
        if (!partners[i]) {
            results.append(result(snapshot, RestoreStatus::failed, kNoPartner,
                                  RectConversion::toRectF(snapshot.frame), std::nullopt));
            continue;
        }
        const AXElement window = partners[i]->window;
        WindowRestoreResult placed = outcomes.value(window);
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

QCoro::Task<QList<QList<WindowRestoreResult>>>
WindowPlacer::placeTogether(QList<Application> applications, QList<DisplaySnapshot> savedDisplays) {
    // Each application's saved windows are paired with its own live windows; then all are placed
    // at once, so that the waits do not add up application by application.
    QList<QList<std::optional<Partner>>> partners;
    QList<WindowPlacement::Paired> pairs;
    for (const Application& application : std::as_const(applications)) {
        partners.append(pairWindows(application.app, application.snapshots));
        for (qsizetype i = 0; i < application.snapshots.size(); ++i) {
            if (const std::optional<Partner>& partner = partners.last().at(i)) {
                pairs.append({partner->window, application.snapshots[i], partner->quality, false});
            }
        }
    }
    const QHash<AXElement, WindowRestoreResult> outcomes =
        co_await WindowPlacement::place(pairs, savedDisplays);
    QList<QList<WindowRestoreResult>> results;
    for (qsizetype a = 0; a < applications.size(); ++a) {
        QList<WindowRestoreResult>& ofApplication = results.emplace_back();
        for (qsizetype i = 0; i < applications[a].snapshots.size(); ++i) {
            const WindowSnapshot& snapshot = applications[a].snapshots[i];
            const std::optional<Partner>& partner = partners[a][i];
            ofApplication.append(partner ? outcomes.value(partner->window)
                                         : result(snapshot, RestoreStatus::failed, kNoPartner,
                                                  RectConversion::toRectF(snapshot.frame), std::nullopt));
        }
    }
    co_return results;
}

QList<std::optional<WindowPlacer::Partner>>
WindowPlacer::pairWindows(const RunningApplication& app, const QList<WindowSnapshot>& snapshots,
                          const WindowMatcher::Bystanders& bystanders) {
    // The matcher weighed the list position already, and left a window whose clues speak against
    // the saved one: nothing takes it behind its back.
    const WindowMatcher::Matches matches = WindowMatcher::matchWindows(snapshots, app, bystanders);
    QList<std::optional<Partner>> partners;
    for (int i = 0; i < snapshots.size(); ++i) {
        if (const auto match = matches.constFind(i); match != matches.constEnd()) {
            partners.append(Partner{match->axElement, match->quality});
        } else {
            partners.append(std::nullopt);
        }
    }
    return partners;
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
            co_return co_await placeWindows(app, snapshots, savedDisplays, false, bystanders, {}, nullptr);
        }
    }
    QList<WindowRestoreResult> results;
    for (const WindowSnapshot& snapshot : snapshots) {
        results.append(result(snapshot, RestoreStatus::failed, kSplashReason,
                              RectConversion::toRectF(snapshot.frame), std::nullopt));
    }
    co_return results;
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
