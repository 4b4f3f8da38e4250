#include "Services/Restore/WorkspaceRestorer.h"

#include "Platform/Accessibility.h"
#include "Platform/Clock.h"
#include "Platform/Platform.h"
#include "Services/Desktop/DisplayMapper.h"
#include "Services/Desktop/PermissionManager.h"
#include "Services/Restore/BrowserTabComparison.h"

#include <QSet>

#include <chrono>

namespace {

double secondsSince(Clock::TimePoint start) {
    const std::shared_ptr<Clock> clock = Platform::current().clock;
    return std::chrono::duration<double>(clock->now() - start).count();
}

} // namespace

QCoro::Task<RestoreReport> WorkspaceRestorer::restore(const Workspace& workspace, bool closeOtherApps) {
    Q_UNUSED(closeOtherApps);
    const Workspace saved = workspace; // the caller's value may be gone after the first wait
    const Clock::TimePoint start = Platform::current().clock->now();
    RestoreReport report;
    report.workspaceName = saved.name;

    const std::shared_ptr<Accessibility> accessibility = Platform::current().accessibility;
    if (!accessibility || !accessibility->isProcessTrusted()) {
        PermissionManager::showAccessibilityAlert(); // not awaited: the restore ends at once
        AppRestoreResult denied;
        denied.status = RestoreStatus::skipped;
        denied.reason = QStringLiteral("Accessibility permission not granted");
        report.status = RestoreStatus::skipped;
        report.appResults = {denied};
        report.duration = secondsSince(start);
        co_return report;
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
        report.displayMappingNotes.append(
            QStringLiteral("Display count changed: saved=%1, current=%2")
                .arg(QString::number(saved.displaySnapshots.size()), QString::number(current.size())));
    }
    report.status = RestoreReport::deriveStatus(report.appResults, report.missingDisplays);
    report.duration = secondsSince(start);
    co_return report;
}

QString WorkspaceRestorer::normalizeURL(const QString& url) {
    return BrowserTabComparison::normalizeURL(url);
}

bool WorkspaceRestorer::browserTabsMatch(const QList<QList<TabSnapshot>>& desired,
                                         const QList<QList<TabSnapshot>>& current) {
    return BrowserTabComparison::browserTabsMatch(desired, current);
}
