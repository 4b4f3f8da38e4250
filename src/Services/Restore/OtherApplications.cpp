#include "Services/Restore/OtherApplications.h"

#include "Platform/DesktopComponents.h"
#include "Platform/Platform.h"
#include "Services/Restore/RestoreLog.h"
#include "Services/Restore/RestoreRequest.h"
#include "Services/Restore/RestoreWait.h"
#include "Services/Storage/SettingsManager.h"

#include <QSet>
#include <QStringList>

#include <algorithm>

namespace {

// How long the applications asked to quit are waited for, at most.
constexpr int kQuitWaitMs = 500;

} // namespace

QList<RunningApplication> OtherApplications::candidates(const Workspace& workspace) {
    QSet<QString> held;
    for (const AppSnapshot& app : workspace.appSnapshots) {
        held.insert(app.bundleIdentifier);
    }
    const std::shared_ptr<RunningApplications> port = Platform::current().runningApplications;
    QList<RunningApplication> result;
    for (const RunningApplication& app : port ? port->runningApplications() : QList<RunningApplication>()) {
        // The list reports what keeps the desktop alive as not regular; the second test keeps a
        // list that does not from quitting the shell all the same.
        if (app.activationPolicy != ActivationPolicy::Regular || !app.bundleIdentifier ||
            DesktopComponents::isDesktopComponent(*app.bundleIdentifier) ||
            held.contains(*app.bundleIdentifier) || *app.bundleIdentifier == ownBundleID) {
            continue;
        }
        result.append(app);
    }
    return result;
}

QString OtherApplications::names(const QList<RunningApplication>& apps) {
    QStringList names;
    for (const RunningApplication& app : apps) {
        names.append(app.localizedName.value_or(app.bundleIdentifier.value_or(QString())));
    }
    return names.join(QStringLiteral(", "));
}

QSet<QString> OtherApplications::protectedIdentifiers(const QSet<QString>& excluded) {
    const std::shared_ptr<RunningApplications> port = Platform::current().runningApplications;
    QSet<QString> result;
    for (const QString& id : excluded) {
        // An excluded application stays protected under whichever identifier it runs.
        for (const QString& alias : port ? port->identifiersOf(id) : QStringList{id}) {
            result.insert(alias);
        }
    }
    return result;
}

QCoro::Task<void> OtherApplications::closeAppsNotInWorkspace(Workspace workspace,
                                                             std::shared_ptr<RestoreRequest> request) {
    const QSet<QString> excluded = protectedIdentifiers(SettingsManager().excludedAppBundleIDs());
    QList<RunningApplication> toQuit;
    QList<RunningApplication> toHide;
    for (const RunningApplication& app : candidates(workspace)) {
        (excluded.contains(*app.bundleIdentifier) ? toHide : toQuit).append(app);
    }
    if (toQuit.isEmpty()) {
        RestoreLog::log(QStringLiteral("closeAppsNotInWorkspace: no apps to terminate"));
    } else {
        RestoreLog::log(QStringLiteral("closeAppsNotInWorkspace: terminating ") +
                        QString::number(toQuit.size()) + QStringLiteral(" app(s): ") + names(toQuit));
    }
    if (!toHide.isEmpty()) {
        RestoreLog::log(QStringLiteral("closeAppsNotInWorkspace: hiding ") + QString::number(toHide.size()) +
                        QStringLiteral(" excluded app(s): ") + names(toHide));
    }
    const std::shared_ptr<RunningApplications> port = Platform::current().runningApplications;
    QList<qint32> asked;
    for (const RunningApplication& app : toQuit) {
        if (port->terminate(app.processIdentifier)) {
            asked.append(app.processIdentifier);
        }
        if (request) {
            request->noteQuit(app);
        }
    }
    for (const RunningApplication& app : toHide) {
        port->hide(app.processIdentifier);
    }
    if (asked.isEmpty()) {
        co_return;
    }
    // The applications asked to quit are given a moment to go, so that what comes after the
    // restore finds them gone; one that asks its user first (unsaved work) is waited for no longer
    // than that moment, and then left asking.
    const auto gone = [port, asked] {
        return std::none_of(asked.cbegin(), asked.cend(),
                            [&port](qint32 pid) { return port->application(pid).has_value(); });
    };
    co_await RestoreWait::pollUntil(gone, RestoreWait::ms(kQuitWaitMs), RestoreWait::ms(20), {}, request);
}

void OtherApplications::hideAppsNotInWorkspace(const Workspace& workspace) {
    const QList<RunningApplication> toHide = candidates(workspace);
    if (toHide.isEmpty()) {
        RestoreLog::log(QStringLiteral("hideAppsNotInWorkspace: no apps to hide"));
        return;
    }
    RestoreLog::log(QStringLiteral("hideAppsNotInWorkspace: hiding ") + QString::number(toHide.size()) +
                    QStringLiteral(" app(s): ") + names(toHide));
    const std::shared_ptr<RunningApplications> port = Platform::current().runningApplications;
    for (const RunningApplication& app : toHide) {
        port->hide(app.processIdentifier);
    }
}
