#include "Services/Restore/WorkspaceRestorer.h"

#include "Extensions/DetachedTask.h"
#include "Platform/Accessibility.h"
#include "Platform/Clock.h"
#include "Platform/Platform.h"
#include "Services/Desktop/DisplayMapper.h"
#include "Services/Desktop/PermissionManager.h"
#include "Services/Restore/AppRestorer.h"
#include "Services/Restore/OtherApplications.h"
#include "Services/Restore/RestorePlanner.h"
#include "Services/Restore/RestoreRequest.h"
#include "Services/Restore/StackingOrderRestorer.h"

#include <QCoreApplication>
#include <QHash>
#include <QSet>

#include <algorithm>
#include <chrono>
#include <coroutine>
#include <vector>

namespace {

// The per-application restores of one workspace, running side by side: each files its outcome
// here when it ends, and wakes the collector.
struct ChildGroup {
    // In completion order, not yet collected, each with its place in the plan.
    QList<std::pair<qsizetype, AppRestoreOutcome>> finished;
    int running = 0;
    std::coroutine_handle<> collector;

    void childEnded(qsizetype place, AppRestoreOutcome outcome) {
        finished.append({place, std::move(outcome)});
        --running;
        // Woken from the event loop, not from inside the child: the child ends completely first.
        std::coroutine_handle<> handle = std::exchange(collector, {});
        if (!handle) {
            return;
        }
        if (QCoreApplication* app = QCoreApplication::instance()) {
            QMetaObject::invokeMethod(
                app, [handle] { handle.resume(); }, Qt::QueuedConnection);
        } else {
            handle.resume(); // no event loop to wait for
        }
    }
};

// Resumes when an outcome is waiting to be collected or no child is left running.
struct ChildAwaiter {
    ChildGroup* group;
    bool await_ready() const noexcept { return !group->finished.isEmpty() || group->running == 0; }
    void await_suspend(std::coroutine_handle<> handle) const noexcept { group->collector = handle; }
    void await_resume() const noexcept {}
};

// The saved windows a plan left out for the bound are not back: the application is restored in part
// at best, and its result says why.
void noteWindowsLeftOut(AppRestoreResult& result, qsizetype leftOut) {
    if (leftOut <= 0 || result.status == RestoreStatus::cancelled) {
        return;
    }
    if (result.status == RestoreStatus::restored) {
        result.status = RestoreStatus::partiallyRestored;
    }
    result.windowsLeftOut = leftOut;
    result.reason +=
        (result.reason.isEmpty() ? QString() : QStringLiteral("; ")) + RestoreBounds::windowsLeftOut(leftOut);
}

QCoro::Task<void> runChild(std::shared_ptr<ChildGroup> group, qsizetype place, AppPlan plan,
                           QList<DisplaySnapshot> savedDisplays, bool closeOtherApps) {
    const qsizetype leftOut = plan.windowsLeftOut;
    AppRestoreOutcome outcome =
        co_await AppRestorer::restoreAppFromPlan(std::move(plan), savedDisplays, closeOtherApps);
    noteWindowsLeftOut(outcome.result, leftOut);
    group->childEnded(place, std::move(outcome));
}

struct ParallelOutcome {
    QList<AppRestoreResult> results;
    QHash<QString, QList<WindowSnapshot>> windows;
};

// Restores every application of the plan at the same time and collects their outcomes as they
// end; the results come back in the plan's order. When the restore is cancelled, collecting
// stops and the outcomes of the children still running are dropped once they end.
QCoro::Task<ParallelOutcome> executeParallelRestore(RestorePlan plan, bool closeOtherApps,
                                                    std::shared_ptr<RestoreRequest> request) {
    auto group = std::make_shared<ChildGroup>();
    group->running = static_cast<int>(plan.appPlans.size());
    std::vector<QCoro::Task<void>> children;
    for (qsizetype place = 0; place < plan.appPlans.size(); ++place) {
        children.push_back(runChild(group, place, plan.appPlans[place], plan.savedDisplays, closeOtherApps));
    }

    ParallelOutcome outcome;
    QList<qsizetype> places;
    bool stopped = false;
    while (!stopped && (group->running > 0 || !group->finished.isEmpty())) {
        co_await ChildAwaiter{group.get()};
        while (!group->finished.isEmpty()) {
            auto [place, child] = group->finished.takeFirst();
            if (request->stopRequested()) {
                stopped = true;
                break;
            }
            outcome.windows.insert(child.result.bundleIdentifier, child.windowSnapshots);
            // Results in the plan's order: an application listed twice keeps each entry's result in
            // its own place, which the runs of one request compare.
            const qsizetype at = std::upper_bound(places.begin(), places.end(), place) - places.begin();
            places.insert(at, place);
            outcome.results.insert(at, std::move(child.result));
        }
    }
    // The group ends only when every child has ended.
    while (group->running > 0) {
        group->finished.clear();
        co_await ChildAwaiter{group.get()};
    }

    co_return outcome;
}

} // namespace

QCoro::Task<RestoreReport> WorkspaceRestorer::restore(const Workspace& workspace, bool closeOtherApps,
                                                      std::shared_ptr<RestoreRequest> request) {
    const Workspace saved = workspace; // the caller's value may be gone after the first wait
    const std::shared_ptr<Clock> clock = Platform::current().clock;
    const Clock::TimePoint start = clock->now();
    RestoreReport report;
    report.workspaceName = saved.name;
    const auto finish = [&report, &clock, start](RestoreStatus status) {
        report.status = status;
        report.duration = std::chrono::duration<double>(clock->now() - start).count();
        return report;
    };

    const std::shared_ptr<Accessibility> accessibility = Platform::current().accessibility;
    if (!accessibility || !accessibility->isProcessTrusted()) {
        // Not awaited: the restore ends at once.
        DetachedTask::start(QStringLiteral("WorkspaceRestorer"), QStringLiteral("The accessibility alert"),
                            PermissionManager::showAccessibilityAlert());
        report.appResults = {AppRestoreResult{QString(),
                                              QString(),
                                              RestoreStatus::skipped,
                                              QStringLiteral("Accessibility permission not granted"),
                                              {}}};
        co_return finish(RestoreStatus::skipped);
    }

    const QList<DisplaySnapshot> current = DisplayMapper::captureDisplays();
    QSet<QString> connected;
    for (const DisplaySnapshot& display : current) {
        if (display.uuid) {
            connected.insert(*display.uuid);
        }
    }
    for (const DisplaySnapshot& display : saved.displaySnapshots) {
        if (display.uuid && !connected.contains(*display.uuid)) {
            report.missingDisplays.append(display.localizedName.value_or(QStringLiteral("Unknown Display")));
        }
    }
    if (!report.missingDisplays.isEmpty()) {
        report.displayMappingNotes.append(QStringLiteral("Missing displays: ") +
                                          report.missingDisplays.join(QStringLiteral(", ")));
    }
    if (saved.displaySnapshots.size() != current.size()) {
        report.displayMappingNotes.append(QStringLiteral("Display count changed: saved=") +
                                          QString::number(saved.displaySnapshots.size()) +
                                          QStringLiteral(", current=") + QString::number(current.size()));
    }

    if (!request) {
        request = std::make_shared<RestoreRequest>();
    }
    const RestorePlan plan = co_await RestorePlanner::analyzeCurrentState(saved, request);
    if (request->stopRequested()) {
        co_return finish(RestoreStatus::cancelled);
    }
    const ParallelOutcome restored = co_await executeParallelRestore(plan, closeOtherApps, request);
    report.appResults = restored.results;
    if (request->stopRequested()) {
        co_return finish(RestoreStatus::cancelled);
    }

    co_await StackingOrderRestorer::restoreZOrder(saved.appSnapshots, restored.windows);
    if (closeOtherApps) {
        co_await OtherApplications::closeAppsNotInWorkspace(saved, request);
    } else {
        OtherApplications::hideAppsNotInWorkspace(saved);
    }
    co_return finish(RestoreReport::deriveStatus(report.appResults, report.missingDisplays));
}
