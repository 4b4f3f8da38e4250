#include "Services/Restore/AppLauncher.h"

#include "Platform/Platform.h"
#include "Services/Desktop/AXAttributeReader.h"
#include "Services/Desktop/AXWindowService.h"
#include "Services/Restore/DocumentReopener.h"
#include "Services/Restore/RestoreLog.h"
#include "Services/Restore/RestorePlanner.h"
#include "Services/Restore/RestoreWait.h"
#include "Services/Scripting/BrowserNames.h"
#include "Services/Storage/CapturedPrograms.h"

#include <QUrl>

namespace {

const QString kDash = QStringLiteral(" \u2014 ");

qsizetype axWindowCount(const RunningApplication& app) {
    return AXWindowService::axWindowList(app).value_or(QList<AXElement>()).size();
}

} // namespace

QCoro::Task<std::optional<RunningApplication>>
AppLauncher::launchApp(QString bundleIdentifier, QStringList documentURLs,
                       std::shared_ptr<RestoreRequest> request) {
    const std::shared_ptr<RunningApplications> port = Platform::current().runningApplications;
    if (!port) {
        co_return std::nullopt;
    }
    const QString id = bundleIdentifier;
    if (const std::optional<RunningApplication> running = port->firstRunning(id)) {
        RestoreLog::log(QStringLiteral("launchApp: ") + id + QStringLiteral(" already running (pid=") +
                        QString::number(running->processIdentifier) +
                        QStringLiteral("), ensuring controllable"));
        co_await ensureAppControllable(*running, id, request);
        co_await waitForAXWindows(*running, windowTimeout, request);
        RestoreLog::log(QStringLiteral("launchApp: ") + id + QStringLiteral(" ready with ") +
                        QString::number(axWindowCount(*running)) + QStringLiteral(" AX window(s)"));
        co_return running;
    }

    if (!port->urlForApplication(id)) {
        RestoreLog::log(QStringLiteral("launchApp: ERROR") + kDash +
                        QStringLiteral("could not find app URL for ") + id);
        co_return std::nullopt;
    }
    const std::optional<QUrl> appURL = launchableURL(id, QStringLiteral("launchApp"));
    if (!appURL) {
        co_return std::nullopt;
    }
    RestoreLog::log(QStringLiteral("launchApp: Launching ") + id + QStringLiteral(" docs=") +
                    QString::number(documentURLs.size()));

    QList<QUrl> documents;
    if (!BrowserNames::supportedBrowsers().contains(id)) {
        for (const QString& document : DocumentReopener::admittedDocuments(documentURLs, id)) {
            documents.append(QUrl(document));
        }
    }
    // One document per request, the next only after the previous one was answered; the
    // application is never brought to the front. Each request may start a program.
    const auto mayStart = [&request, &id] {
        return !request || request->starts().takeStart(id, QStringLiteral("launchApp"));
    };
    if (!mayStart()) {
        co_return std::nullopt;
    }
    QList<OpenResult> outcomes;
    if (documents.isEmpty()) {
        const OpenResult opened = co_await port->openApplication(*appURL, false);
        outcomes.append(opened);
    }
    for (const QUrl& document : documents) {
        if (!outcomes.isEmpty() && !mayStart()) {
            break;
        }
        const QList<QUrl> one(1, document);
        const OpenResult opened = co_await port->openDocuments(one, *appURL, false);
        outcomes.append(opened);
        if (!outcomes.last().succeeded) {
            break;
        }
    }
    if (!outcomes.last().succeeded) {
        RestoreLog::log(QStringLiteral("launchApp: ERROR") + kDash + id + QStringLiteral(" threw: ") +
                        outcomes.last().errorText);
        co_return std::nullopt;
    }

    const std::optional<RunningApplication> launched = co_await waitForAppLaunch(id, launchTimeout, request);
    if (!launched) {
        RestoreLog::log(QStringLiteral("launchApp: ERROR") + kDash + id +
                        QStringLiteral(" did not appear within 15.0s timeout"));
        co_return std::nullopt;
    }
    RestoreLog::log(QStringLiteral("launchApp: ") + id + QStringLiteral(" launched (pid=") +
                    QString::number(launched->processIdentifier) + QStringLiteral(", finishedLaunching=") +
                    RestoreLog::boolText(launched->isFinishedLaunching) + QStringLiteral(")"));
    co_await waitForAXWindows(*launched, windowTimeout, request);
    RestoreLog::log(QStringLiteral("launchApp: ") + id + QStringLiteral(" AX windows available: ") +
                    QString::number(axWindowCount(*launched)));
    co_return launched;
}

QCoro::Task<void> AppLauncher::ensureAppControllable(RunningApplication app, QString bundleIdentifier,
                                                     std::shared_ptr<RestoreRequest> request) {
    const std::shared_ptr<RunningApplications> port = Platform::current().runningApplications;
    if (!port) {
        co_return;
    }
    const qint32 pid = app.processIdentifier;
    // A window shown on a virtual desktop that is not the one shown counts: it is out of sight,
    // and no request would bring it into view without switching desktops.
    const auto visible = [pid, app] {
        return RestorePlanner::appHasVisibleWindows(pid) || RestorePlanner::showsWindowsElsewhere(app);
    };
    const bool hidden = port->application(pid).value_or(app).isHidden;
    if (!hidden && visible()) {
        co_return;
    }
    port->unhide(pid);
    if (co_await RestoreWait::pollUntil(visible, RestoreWait::ms(2000), RestoreWait::ms(100), {}, request)) {
        co_return;
    }
    port->activate(pid, RunningApplications::ActivateIgnoringOtherApps);
    if (co_await RestoreWait::pollUntil(visible, RestoreWait::ms(1500), RestoreWait::ms(100), {}, request)) {
        co_return;
    }
    const std::optional<QUrl> appURL =
        launchableURL(bundleIdentifier, QStringLiteral("ensureAppControllable"));
    if (!appURL || (request && !request->starts().takeStart(bundleIdentifier,
                                                            QStringLiteral("ensureAppControllable")))) {
        co_return;
    }
    // A refused reopen changes nothing here. (The answer is kept in a variable: GCC 12 destroys a
    // discarded awaited temporary twice when the call completes without suspending.)
    const OpenResult reopened = co_await port->openApplication(*appURL, true);
    Q_UNUSED(reopened);
    // A second at most for the reopened application to show a window.
    co_await RestoreWait::pollUntil(visible, RestoreWait::ms(1000), RestoreWait::ms(100), {}, request);
}

std::optional<QUrl> AppLauncher::launchableURL(const QString& bundleIdentifier, const QString& step) {
    const std::shared_ptr<RunningApplications> port = Platform::current().runningApplications;
    const std::optional<QUrl> appURL = port ? port->urlForApplication(bundleIdentifier) : std::nullopt;
    if (!appURL) {
        return std::nullopt;
    }
    if (port->startsByPath(bundleIdentifier) && !CapturedPrograms::find(bundleIdentifier)) {
        RestoreLog::log(step + QStringLiteral(": ERROR") + kDash + QStringLiteral("not starting ") +
                        bundleIdentifier +
                        QStringLiteral(": a program without an installed entry is started only after a "
                                       "capture on this computer saw it running"));
        return std::nullopt;
    }
    return appURL;
}

QCoro::Task<std::optional<RunningApplication>>
AppLauncher::waitForAppLaunch(QString bundleIdentifier, double timeout, RestoreWait::Request request) {
    const std::shared_ptr<RunningApplications> port = Platform::current().runningApplications;
    const std::shared_ptr<Clock> clock = Platform::current().clock;
    if (!port) {
        co_return std::nullopt;
    }
    const Clock::TimePoint deadline = clock->now() + Clock::seconds(timeout);
    while (clock->now() < deadline) {
        // Only the first instance counts, even when a later one is ready sooner.
        const std::optional<RunningApplication> first = port->firstRunning(bundleIdentifier);
        if (first && first->isFinishedLaunching) {
            co_return first;
        }
        if (!co_await RestoreWait::pause(RestoreWait::ms(200), request)) {
            break;
        }
    }
    co_return port->firstRunning(bundleIdentifier);
}

QCoro::Task<void> AppLauncher::waitForAXWindows(RunningApplication app, double timeout,
                                                RestoreWait::Request request) {
    const qint32 pid = app.processIdentifier;
    const auto listsWindows = [pid] {
        const auto windows = AXAttributeReader::windowList(AXAttributeReader::applicationElement(pid));
        return windows && !windows->isEmpty();
    };
    co_await RestoreWait::pollUntil(listsWindows, Clock::seconds(timeout), RestoreWait::ms(200), {}, request);
}
