#include "Services/Coordination/RestoreCoordinator.h"

#include "Services/Restore/RestoreRequest.h"

#include "Extensions/DetachedTask.h"
#include "Platform/Clock.h"
#include "Platform/Platform.h"
#include "Platform/RunningApplications.h"
#include "Services/Coordination/NotificationManager.h"
#include "Services/Coordination/RestoreStatusNotifier.h"
#include "Services/Coordination/RevertStateManager.h"
#include "Services/Restore/WorkspaceRestorer.h"
#include "Services/Storage/AnalysisLogger.h"
#include "Services/Storage/SettingsManager.h"

#include <QCoreApplication>

#include <coroutine>
#include <exception>

namespace {

const QString kTag = QStringLiteral("RestoreCoordinator");

void log(const QString& message) {
    AnalysisLogger::shared().log(kTag, message);
}

// The engine keeps a reference to the workspace it is given: this frame keeps it alive.
QCoro::Task<RestoreReport> runEngine(Workspace workspace, bool closeOtherApps,
                                     std::shared_ptr<RestoreRequest> request) {
    co_return co_await WorkspaceRestorer::restore(workspace, closeOtherApps, std::move(request));
}

} // namespace

// Carries one run to a caller that waits in the queue.
struct RestoreCoordinator::Handoff {
    std::optional<RestoreRun> report;
    std::coroutine_handle<> waiter;

    void deliver(RestoreReport delivered) {
        RestoreRun run;
        run.report = std::move(delivered);
        deliver(std::move(run));
    }
    void deliver(RestoreRun delivered) {
        if (report) {
            return;
        }
        report = std::move(delivered);
        if (waiter) {
            std::exchange(waiter, nullptr).resume();
        }
    }
};

struct RestoreCoordinator::HandoffAwaiter {
    std::shared_ptr<Handoff> handoff;
    bool await_ready() const noexcept { return handoff->report.has_value(); }
    void await_suspend(std::coroutine_handle<> handle) noexcept { handoff->waiter = handle; }
    RestoreRun await_resume() { return std::move(*handoff->report); }
};

RestoreCoordinator::RestoreCoordinator(QObject* parent)
    : RestoreCoordinator(desktopEngine(), &RevertStateManager::shared(), parent) {
}

RestoreCoordinator::Engine RestoreCoordinator::desktopEngine() {
    return runEngine;
}

RestoreCoordinator::RestoreCoordinator(Engine engine, RevertStateManager* revertStates, QObject* parent)
    : QObject(parent)
    , m_engine(std::move(engine))
    , m_revertStates(revertStates) {
}

RestoreCoordinator::RestoreCoordinator(PlainEngine engine, RevertStateManager* revertStates, QObject* parent)
    : RestoreCoordinator(
          [engine = std::move(engine)](Workspace workspace, bool closeOtherApps,
                                       std::shared_ptr<RestoreRequest>) {
              return engine(std::move(workspace), closeOtherApps);
          },
          revertStates, parent) {
}

RestoreCoordinator::~RestoreCoordinator() {
    for (PendingRestore& pending : std::exchange(m_pendingRestores, {})) {
        pending.handoff->deliver(
            unexpectedFailure(pending.workspace.name, QStringLiteral("Restore did not run")));
    }
}

RestoreCoordinator& RestoreCoordinator::shared() {
    // Never destroyed: restores may still read it while the process ends.
    static RestoreCoordinator* instance = new RestoreCoordinator();
    return *instance;
}

RestoreReport RestoreCoordinator::unexpectedFailure(const QString& workspaceName, const QString& note) {
    RestoreReport report;
    report.workspaceName = workspaceName;
    report.status = RestoreStatus::failed;
    report.displayMappingNotes = {note};
    return report;
}

QCoro::Task<RestoreReport> RestoreCoordinator::restore(Workspace workspace, bool closeOtherApps) {
    RestoreRun run = co_await restoreRun(std::move(workspace), closeOtherApps);
    co_return std::move(run.report);
}

QCoro::Task<RestoreRun> RestoreCoordinator::restoreRun(Workspace workspace, bool closeOtherApps) {
    if (m_isRestoring) {
        log(QStringLiteral("Restore already in progress, queuing: ") + workspace.name);
        auto handoff = std::make_shared<Handoff>();
        m_pendingRestores.append({std::move(workspace), closeOtherApps, handoff});
        // Named: this compiler destroys a temporary of the awaited expression twice.
        HandoffAwaiter handoffAwaiter{handoff};
        co_return co_await handoffAwaiter;
    }
    m_isRestoring = true;
    co_return co_await run(std::move(workspace), closeOtherApps);
}

QCoro::Task<RestoreRun> RestoreCoordinator::run(Workspace workspace, bool closeOtherApps) {
    QPointer<RestoreCoordinator> self(this);
    RestoreRun run;
    // Whatever happens inside, the run ends with a report and the queue moves on.
    try {
        run = co_await runSteps(workspace, closeOtherApps);
    } catch (...) {
        run = RestoreRun{};
        run.report = unexpectedFailure(workspace.name, QStringLiteral("Restore ended unexpectedly"));
        AnalysisLogger::shared().endSession(run.report);
        RestoreStatusNotifier::shared().post(WorkspaceRestoreStatus::result(run.report, std::nullopt));
    }
    if (self) {
        self->serveNext();
    }
    co_return run;
}

QCoro::Task<RestoreRun> RestoreCoordinator::runSteps(Workspace workspace, bool closeOtherApps) {
    // Taken now: the coordinator is not touched again after the first wait.
    const Engine engine = m_engine;
    const QPointer<RevertStateManager> revertStates = m_revertStates;
    const std::shared_ptr<Clock> clock = Platform::current().clock;
    const Clock::TimePoint start = clock ? clock->now() : Clock::TimePoint();
    RestoreRun run;
    if (const std::shared_ptr<RunningApplications> running = Platform::current().runningApplications) {
        QSet<QString> identifiers;
        for (const RunningApplication& app : running->runningApplications()) {
            if (app.bundleIdentifier) {
                identifiers.insert(*app.bundleIdentifier);
            }
        }
        run.runningBefore = std::move(identifiers);
    }

    const bool logging = SettingsManager::shared().enableAnalysisLogging();
    if (logging) {
        AnalysisLogger::shared().beginSession(workspace);
    }
    std::optional<QString> revertStateID;
    if (revertStates) {
        revertStateID = co_await revertStates->captureCurrentState(workspace.name, closeOtherApps, workspace);
    }
    if (revertStateID) {
        log(QStringLiteral("Captured pre-restore state for revert functionality"));
    }

    RestoreReport report;
    // One request object for all its runs together: a later pass knows what an earlier one opened
    // and started; what an earlier request opened is the user's by now.
    const auto request = std::make_shared<RestoreRequest>();
    for (int attempt = 1; attempt <= restoreAttempts; ++attempt) {
        if (attempt > 1) {
            log(QStringLiteral("Restore attempt ") + QString::number(attempt - 1) +
                QStringLiteral(" complete, performing attempt ") + QString::number(attempt) +
                QStringLiteral(" of ") + QString::number(restoreAttempts) + QStringLiteral("..."));
        }
        report = co_await engine(workspace, closeOtherApps, request);
        run.passes.append(report);
    }

    // What the passes quit comes back with a revert, also what ran too briefly to be recorded.
    if (revertStateID && revertStates) {
        revertStates->noteQuitApplications(*revertStateID, request->quitApplications());
    }

    // The report's duration is the whole restore's, every attempt of it.
    if (clock) {
        report.duration = std::chrono::duration<double>(clock->now() - start).count();
    }
    // The log's closing lines, the notification and the status line tell what the request did,
    // not only what its last run found.
    RestoreReport whole = RestoreReport::ofRuns(run.passes);
    whole.duration = report.duration;
    if (logging) {
        AnalysisLogger::shared().endSession(whole);
    }
    // The notification goes its own way: the restore is done, and a notification server busy
    // drawing (or slow to answer) does not hold up its caller or the next restore.
    DetachedTask::start(kTag, QStringLiteral("The notification of the restore"),
                        NotificationManager::showWorkspaceRestored(workspace.name, whole, revertStateID));
    RestoreStatusNotifier::shared().post(WorkspaceRestoreStatus::result(whole, revertStateID));
    run.report = std::move(report);
    if (clock) {
        run.duration = std::chrono::duration<double>(clock->now() - start).count();
    }
    co_return run;
}

void RestoreCoordinator::serveNext() {
    if (m_pendingRestores.isEmpty()) {
        m_isRestoring = false;
        return;
    }
    // Started from the event loop, so this run returns to its caller before the next one begins.
    PendingRestore next = m_pendingRestores.takeFirst();
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [self = QPointer<RestoreCoordinator>(this), next] {
            DetachedTask::start(QStringLiteral("RestoreCoordinator"),
                                QStringLiteral("The next queued restore"), processNext(self, next));
        },
        Qt::QueuedConnection);
}

QCoro::Task<void> RestoreCoordinator::processNext(QPointer<RestoreCoordinator> self, PendingRestore next) {
    if (!self) {
        next.handoff->deliver(unexpectedFailure(next.workspace.name, QStringLiteral("Restore did not run")));
        co_return;
    }
    RestoreRun run = co_await self->run(next.workspace, next.closeOtherApps);
    next.handoff->deliver(std::move(run));
}
