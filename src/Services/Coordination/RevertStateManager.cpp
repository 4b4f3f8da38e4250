#include "Services/Coordination/RevertStateManager.h"

#include "Platform/Accessibility.h"
#include "Platform/Clock.h"
#include "Platform/Platform.h"
#include "Platform/RunningApplications.h"
#include "Services/Capture/WorkspaceCapturer.h"
#include "Services/Coordination/RevertSteps.h"
#include "Services/Coordination/RevertWindowPlacer.h"
#include "Services/Desktop/DisplayMapper.h"
#include "Services/Scripting/BrowserNames.h"
#include "Services/Scripting/FinderScriptService.h"
#include "Services/Storage/AnalysisLogger.h"

#include <QPointer>
#include <QUuid>

#include <algorithm>

namespace {

using namespace std::chrono_literals;

const QString kTag = QStringLiteral("RevertStateManager");

void log(const QString& message) {
    AnalysisLogger::shared().log(kTag, message);
}

QList<RunningApplication> runningApps() {
    const auto& port = Platform::current().runningApplications;
    return port ? port->runningApplications() : QList<RunningApplication>();
}

std::optional<RunningApplication> runningApp(const QString& bundleIdentifier) {
    for (const RunningApplication& app : runningApps()) {
        if (app.bundleIdentifier == bundleIdentifier) {
            return app;
        }
    }
    return std::nullopt;
}

QString number(qsizetype n) {
    return QString::number(n);
}

AppRestoreResult outcome(const QString& bundleIdentifier, const QString& appName, RestoreStatus status,
                         const QString& reason) {
    return {bundleIdentifier, appName, status, reason, {}};
}

RestoreReport notFoundReport() {
    RestoreReport report;
    report.workspaceName = QStringLiteral("Revert");
    report.status = RestoreStatus::failed;
    report.displayMappingNotes = {QStringLiteral("No revert state found")};
    return report;
}

// Puts the windows of a group of applications back together; one result per application.
QCoro::Task<QList<AppRestoreResult>> placeGroup(QList<AppSnapshot> snapshots,
                                                QList<RevertWindowPlacer::Application> applications,
                                                QList<DisplaySnapshot> savedDisplays) {
    const QList<QList<WindowRestoreResult>> placed =
        co_await RevertWindowPlacer::placeTogether(applications, savedDisplays);
    QList<AppRestoreResult> results;
    for (qsizetype a = 0; a < snapshots.size(); ++a) {
        QList<WindowRestoreResult> windows = placed.value(a);
        const bool all = std::all_of(windows.begin(), windows.end(), [](const WindowRestoreResult& w) {
            return w.status == RestoreStatus::restored;
        });
        results.append({snapshots[a].bundleIdentifier, snapshots[a].appName,
                        all ? RestoreStatus::restored : RestoreStatus::partiallyRestored,
                        QStringLiteral("Window positions restored"), std::move(windows)});
    }
    co_return results;
}

} // namespace

RevertStateManager& RevertStateManager::shared() {
    // Never destroyed: records live as long as the process.
    static RevertStateManager* instance = new RevertStateManager();
    return *instance;
}

std::optional<RevertState> RevertStateManager::state(const QString& id) const {
    const auto it = m_revertStates.constFind(id);
    return it == m_revertStates.cend() ? std::nullopt : std::optional(*it);
}

QCoro::Task<std::optional<QString>> RevertStateManager::captureCurrentState(QString originalWorkspaceName,
                                                                            bool closeOtherApps,
                                                                            Workspace restoredWorkspace) {
    const auto& accessibility = Platform::current().accessibility;
    if (!accessibility || !accessibility->isProcessTrusted()) {
        log(QStringLiteral("Cannot capture state: accessibility not granted"));
        co_return std::nullopt;
    }
    const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    // Taken before the capture, which may wait: what ran when the restore was asked for.
    QSet<QString> running;
    for (const RunningApplication& app : runningApps()) {
        if (app.bundleIdentifier) {
            running.insert(*app.bundleIdentifier);
        }
    }
    QPointer<RevertStateManager> self(this);
    const std::optional<Workspace> captured =
        co_await WorkspaceCapturer::capture(QStringLiteral("revert-snapshot-") + id);
    if (!captured) {
        log(QStringLiteral("Failed to capture current state"));
        co_return std::nullopt;
    }
    if (!self) {
        co_return std::nullopt;
    }
    RevertState state;
    state.id = id;
    state.capturedAt = Platform::current().clock->wallNow();
    state.originalWorkspaceName = originalWorkspaceName;
    state.closeOtherApps = closeOtherApps;
    state.preRestoreApps = captured->appSnapshots;
    state.preRestoreDisplays = DisplayMapper::captureDisplays();
    state.restoredWorkspace = std::move(restoredWorkspace);
    state.preRestoreRunningBundleIDs = std::move(running);
    store(state);

    log(QStringLiteral("Captured revert state ") + id + QStringLiteral(" for workspace '") +
        originalWorkspaceName + QStringLiteral("'"));
    log(QStringLiteral("  Pre-restore apps: ") + number(state.preRestoreApps.size()));
    log(QStringLiteral("  Restored workspace apps: ") + number(state.restoredWorkspace.appSnapshots.size()));
    log(QStringLiteral("  closeOtherApps: ") +
        (closeOtherApps ? QStringLiteral("true") : QStringLiteral("false")));
    log(QStringLiteral("  Apps to close on revert: ") + number(state.appsToCloseOnRevert().size()));
    log(QStringLiteral("  Apps to reopen on revert: ") + number(state.appsToReopenOnRevert().size()));
    co_return id;
}

void RevertStateManager::store(RevertState state) {
    const QString id = state.id;
    m_revertStates.insert(id, std::move(state));
    m_stateIDQueue.append(id);
    while (m_stateIDQueue.size() > maxStoredStates) {
        const QString oldest = m_stateIDQueue.takeFirst();
        m_revertStates.remove(oldest);
        log(QStringLiteral("Evicted old revert state: ") + oldest);
    }
}

void RevertStateManager::noteQuitApplications(const QString& id, const QList<RunningApplication>& quit) {
    const auto it = m_revertStates.find(id);
    if (it == m_revertStates.end()) {
        return;
    }
    for (const RunningApplication& app : quit) {
        if (!app.bundleIdentifier) {
            continue;
        }
        const QString& bundleID = *app.bundleIdentifier;
        const bool held =
            std::any_of(it->preRestoreApps.cbegin(), it->preRestoreApps.cend(),
                        [&bundleID](const AppSnapshot& a) { return a.bundleIdentifier == bundleID; });
        if (held) {
            continue;
        }
        AppSnapshot snapshot;
        snapshot.id = QUuid::createUuid();
        snapshot.bundleIdentifier = bundleID;
        snapshot.appName = app.localizedName.value_or(bundleID);
        snapshot.isHidden = app.isHidden;
        it->preRestoreApps.append(snapshot);
        it->preRestoreRunningBundleIDs.insert(bundleID);
        log(QStringLiteral("  Quit by the restore, not recorded before it: ") + snapshot.appName);
    }
}

QCoro::Task<RestoreReport> RevertStateManager::revertToState(QString id) {
    const auto it = m_revertStates.find(id);
    if (it == m_revertStates.end()) {
        log(QStringLiteral("No revert state found for ID: ") + id);
        co_return notFoundReport();
    }
    // Taken out now: a second revert of the same record must not run alongside this one.
    const RevertState state = it.value();
    m_revertStates.erase(it);
    m_stateIDQueue.removeAll(id);

    Clock& clock = *Platform::current().clock;
    const Clock::TimePoint start = clock.now();
    log(QStringLiteral("Reverting to state captured at ") +
        state.capturedAt.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + QStringLiteral(" +0000"));
    const QList<AppSnapshot> toClose = state.appsToCloseOnRevert();
    const QList<AppSnapshot> toReopen = state.appsToReopenOnRevert();
    log(QStringLiteral("  Closing ") + number(toClose.size()) + QStringLiteral(" apps that were opened"));
    log(QStringLiteral("  Reopening ") + number(toReopen.size()) + QStringLiteral(" apps that were closed"));

    QList<AppRestoreResult> results;
    for (const AppSnapshot& app : toClose) {
        results.append(co_await closeApp(app.bundleIdentifier, app.appName));
    }
    for (const AppSnapshot& app : toReopen) {
        results.append(co_await reopenApp(app));
    }
    // A file manager that ran before the restore keeps running: the folder windows the restore
    // opened in it are closed, and those it closed opened again, before the windows are placed.
    for (const AppSnapshot& restored : state.restoredWorkspace.appSnapshots) {
        const QString& id = restored.bundleIdentifier;
        if (!FinderScriptService::isFileManager(id) || !runningApp(id)) {
            continue;
        }
        const auto recorded = std::find_if(state.preRestoreApps.cbegin(), state.preRestoreApps.cend(),
                                           [&id](const AppSnapshot& a) { return a.bundleIdentifier == id; });
        const AppSnapshot before = recorded != state.preRestoreApps.cend() ? *recorded : AppSnapshot{};
        if (std::optional<AppRestoreResult> folders =
                co_await RevertSteps::restoreFolderWindows(before, restored)) {
            results.append(std::move(*folders));
        }
    }
    results.append(co_await restoreWindows(state));

    const double duration = std::chrono::duration<double>(Platform::current().clock->now() - start).count();
    RestoreReport report;
    report.workspaceName = QStringLiteral("Revert to '") + state.originalWorkspaceName + QStringLiteral("'");
    report.status = RestoreReport::deriveStatus(results, {});
    report.appResults = results;
    report.duration = duration;
    log(QStringLiteral("Revert complete: ") + RestoreStatusText::rawValue(report.status) +
        QStringLiteral(", duration: ") + QString::number(duration, 'f', 1) + QStringLiteral("s"));
    co_return report;
}

QCoro::Task<QList<AppRestoreResult>> RevertStateManager::restoreWindows(RevertState state) {
    QSet<QString> running;
    for (const RunningApplication& app : runningApps()) {
        if (app.bundleIdentifier) {
            running.insert(*app.bundleIdentifier);
        }
    }
    QList<AppSnapshot> toPlace;
    for (const AppSnapshot& app : state.preRestoreApps) {
        if (running.contains(app.bundleIdentifier)) {
            toPlace.append(app);
        }
    }
    QList<AppRestoreResult> results;
    if (!toPlace.isEmpty()) {
        log(QStringLiteral("Restoring window positions for ") + number(toPlace.size()) +
            QStringLiteral(" apps"));
    }
    // The windows of applications that follow one another are placed together, so that the
    // waits for them do not add up application by application; a browser (whose tabs come first)
    // and an application listed again each start a group of their own, so that windows are
    // raised in the same order and no window is placed for two saved ones.
    QList<AppSnapshot> group;
    QList<RevertWindowPlacer::Application> placing;
    for (const AppSnapshot& snapshot : toPlace) {
        const std::optional<RunningApplication> app = runningApp(snapshot.bundleIdentifier);
        if (!app) {
            continue;
        }
        const bool browser = BrowserNames::supportedBrowsers().contains(snapshot.bundleIdentifier);
        const bool again = std::any_of(placing.begin(), placing.end(), [&app](const auto& p) {
            return p.app.processIdentifier == app->processIdentifier;
        });
        if ((browser || again) && !placing.isEmpty()) {
            results.append(co_await placeGroup(group, placing, state.preRestoreDisplays));
            group.clear();
            placing.clear();
        }
        if (browser) {
            results.append(
                co_await RevertSteps::restoreBrowserState(*app, snapshot, state.preRestoreDisplays));
            continue;
        }
        group.append(snapshot);
        placing.append({*app, snapshot.windowSnapshots, false});
    }
    if (!placing.isEmpty()) {
        results.append(co_await placeGroup(group, placing, state.preRestoreDisplays));
    }
    co_return results;
}

QCoro::Task<AppRestoreResult> RevertStateManager::closeApp(QString bundleIdentifier, QString appName) {
    log(QStringLiteral("Closing app: ") + appName + QStringLiteral(" (") + bundleIdentifier +
        QStringLiteral(")"));
    const std::optional<RunningApplication> app = runningApp(bundleIdentifier);
    if (!app) {
        co_return outcome(bundleIdentifier, appName, RestoreStatus::skipped,
                          QStringLiteral("App not running"));
    }
    // Asked politely only: an application that asks the user to save changes must keep its work,
    // so one that does not quit in time is left running and reported.
    Platform::current().runningApplications->terminate(app->processIdentifier);
    // A named check: a lambda made inside the awaited expression is destroyed twice by this compiler.
    const auto quit = [bundleIdentifier] { return !runningApp(bundleIdentifier).has_value(); };
    const bool gone =
        co_await Platform::current().clock->pollUntil(quit, Clock::seconds(closeTimeout), 250ms);
    if (!gone) {
        log(QStringLiteral("App didn't quit, leaving it running: ") + appName);
        co_return outcome(bundleIdentifier, appName, RestoreStatus::failed,
                          QStringLiteral("Failed to close app"));
    }
    co_return outcome(bundleIdentifier, appName, RestoreStatus::restored,
                      QStringLiteral("App closed successfully"));
}

QCoro::Task<AppRestoreResult> RevertStateManager::reopenApp(AppSnapshot appSnapshot) {
    const QString& bundleID = appSnapshot.bundleIdentifier;
    log(QStringLiteral("Reopening app: ") + appSnapshot.appName + QStringLiteral(" (") + bundleID +
        QStringLiteral(")"));
    if (runningApp(bundleID)) {
        co_return outcome(bundleID, appSnapshot.appName, RestoreStatus::skipped,
                          QStringLiteral("App already running"));
    }
    if (BrowserNames::supportedBrowsers().contains(bundleID)) {
        co_return co_await RevertSteps::reopenBrowser(appSnapshot);
    }
    const RevertSteps::Launch launch = co_await RevertSteps::launchWithoutActivating(bundleID);
    switch (launch.outcome) {
    case RevertSteps::Launch::Outcome::notFound:
        co_return outcome(bundleID, appSnapshot.appName, RestoreStatus::failed,
                          QStringLiteral("App not found"));
    case RevertSteps::Launch::Outcome::failed:
        co_return outcome(bundleID, appSnapshot.appName, RestoreStatus::failed,
                          QStringLiteral("Failed to launch: ") + launch.error);
    case RevertSteps::Launch::Outcome::timedOut:
        co_return outcome(bundleID, appSnapshot.appName, RestoreStatus::failed,
                          QStringLiteral("App launch timeout"));
    case RevertSteps::Launch::Outcome::running:
        break;
    }
    // A process runs before its windows are up; the window step that follows needs them.
    if (!appSnapshot.windowSnapshots.isEmpty()) {
        co_await RevertSteps::waitForWindows(bundleID, appSnapshot.windowSnapshots.size());
    }
    co_return outcome(bundleID, appSnapshot.appName, RestoreStatus::restored,
                      QStringLiteral("App launched successfully"));
}
