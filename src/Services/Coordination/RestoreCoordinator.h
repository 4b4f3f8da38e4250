#pragma once

#include "Models/RestoreReport.h"
#include "Models/Workspace.h"
#include "Services/Coordination/RestoreRun.h"
#include "Services/Restore/RestoreRequest.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <qcoro/qcorotask.h>

#include <functional>
#include <memory>
#include <optional>

class RevertStateManager;

// The one entry through which every restore runs, whoever asks for it. Restores run one at a
// time; requests that arrive meanwhile wait their turn, first in, first out. Around each restore it
// opens and closes the analysis log session, records the pre-restore state for a revert, runs the
// restore engine twice, posts the restore notification and the status message, and only then
// serves the next request. Every caller gets the report of its own run, whatever happens in it.
// Main thread.
class RestoreCoordinator : public QObject {
    Q_OBJECT
public:
    // The restore engine: one run over the live desktop. Every run of one request is handed the
    // request's own object (what it may still start, what its earlier runs opened).
    using Engine = std::function<QCoro::Task<RestoreReport>(Workspace workspace, bool closeOtherApps,
                                                            std::shared_ptr<RestoreRequest> request)>;
    // An engine that starts nothing, and so needs no request object.
    using PlainEngine = std::function<QCoro::Task<RestoreReport>(Workspace workspace, bool closeOtherApps)>;

    static constexpr int restoreAttempts = 2;

    // The restore engine of the live desktop.
    static Engine desktopEngine();

    // The production restore engine and the shared revert states.
    explicit RestoreCoordinator(QObject* parent = nullptr);
    RestoreCoordinator(Engine engine, RevertStateManager* revertStates, QObject* parent = nullptr);
    RestoreCoordinator(PlainEngine engine, RevertStateManager* revertStates, QObject* parent = nullptr);
    // Callers still waiting get a report that says their restore did not run.
    ~RestoreCoordinator() override;

    static RestoreCoordinator& shared();

    // Restores the workspace after every request that came before; the report of this request's
    // last engine run. Never fails.
    QCoro::Task<RestoreReport> restore(Workspace workspace, bool closeOtherApps);
    // The same, with every engine run's report and the request's whole time.
    QCoro::Task<RestoreRun> restoreRun(Workspace workspace, bool closeOtherApps);

    bool isRestoring() const { return m_isRestoring; }
    qsizetype pendingCount() const { return m_pendingRestores.size(); }

    // The report given when a run ended in an unexpected way, and when it never ran.
    static RestoreReport unexpectedFailure(const QString& workspaceName, const QString& note);

private:
    struct Handoff;
    struct HandoffAwaiter;
    struct PendingRestore {
        Workspace workspace;
        bool closeOtherApps = false;
        std::shared_ptr<Handoff> handoff;
    };

    QCoro::Task<RestoreRun> run(Workspace workspace, bool closeOtherApps);
    QCoro::Task<RestoreRun> runSteps(Workspace workspace, bool closeOtherApps);
    void serveNext();
    static QCoro::Task<void> processNext(QPointer<RestoreCoordinator> self, PendingRestore next);

    Engine m_engine;
    QPointer<RevertStateManager> m_revertStates;
    bool m_isRestoring = false;
    QList<PendingRestore> m_pendingRestores;
};
