#pragma once

#include "Platform/RunningApplications.h"
#include "Services/Restore/RestoreRequest.h"
#include "Services/Restore/RestoreWait.h"

#include <QString>
#include <QStringList>
#include <QUrl>

#include <qcoro/qcorotask.h>

#include <memory>
#include <optional>

// Brings a saved application to the point where its windows can be read and moved: launches it
// in the background (with its documents) or reuses the running one, makes a hidden or windowless
// one show a window, and waits for it with fixed time budgets. A budget that runs out is not an
// error: the later window steps decide the outcome.
class AppLauncher {
public:
    AppLauncher() = delete;

    // The running application (reused or launched), or nothing when it cannot be found, did not
    // start in time, the launch request failed, or the restore request left no start for it. Each
    // request (the launch, each document) takes a start of the restore request, when given.
    static QCoro::Task<std::optional<RunningApplication>>
    launchApp(QString bundleIdentifier, QStringList documentURLs,
              std::shared_ptr<RestoreRequest> request = {});
    // Un-hides, activates and finally reopens the application (which takes a start of the request),
    // each step only while it still shows no window of at least 100 x 100 points; after the
    // reopen, waits up to a second for such a window.
    static QCoro::Task<void> ensureAppControllable(RunningApplication app, QString bundleIdentifier,
                                                   std::shared_ptr<RestoreRequest> request = {});
    // The first running application with the identifier once it has finished launching; at the
    // deadline (or once request is asked to stop) the first one whatever its state, or nothing.
    static QCoro::Task<std::optional<RunningApplication>>
    waitForAppLaunch(QString bundleIdentifier, double timeout, RestoreWait::Request request = {});
    // The application to open, or nothing when it cannot be found or may not be started: a
    // program started by its path (a workspace file may name any program) only when a capture on
    // this machine saw it running. Such a refusal is logged with its reason, as step.
    static std::optional<QUrl> launchableURL(const QString& bundleIdentifier, const QString& step);
    // Until the application lists at least one window, or the time-out passes (or request is asked
    // to stop).
    static QCoro::Task<void> waitForAXWindows(RunningApplication app, double timeout,
                                              RestoreWait::Request request = {});

    static constexpr double launchTimeout = 15.0;
    static constexpr double windowTimeout = 5.0;
};
