#include "Services/Restore/MissingWindowReopener.h"

#include "Platform/Platform.h"
#include "Services/Desktop/AXWindowService.h"
#include "Services/Restore/AppLauncher.h"
#include "Services/Restore/RestoreGeometry.h"
#include "Services/Restore/RestoreLog.h"
#include "Services/Restore/RestoreWait.h"
#include "Services/Restore/WindowPlacer.h"

#include <QFileInfo>
#include <QSet>
#include <QUrl>

namespace {

QSet<AXElement> liveWindows(const RunningApplication& app) {
    const QList<AXElement> list = AXWindowService::axWindowList(app).value_or(QList<AXElement>());
    return QSet<AXElement>(list.begin(), list.end());
}

} // namespace

QList<int> MissingWindowReopener::missingWindows(const RunningApplication& app,
                                                 const QList<WindowSnapshot>& snapshots,
                                                 const QHash<AXElement, QSet<QUuid>>& openedFor,
                                                 const std::optional<QSet<AXElement>>& windowsBefore) {
    QList<int> missing;
    const QList<AXElement> live = AXWindowService::axWindowList(app).value_or(QList<AXElement>());
    // An application that shows as many windows as were saved has one for each saved window
    // (placement pairs them): it is spared the pairing.
    if (live.size() >= snapshots.size()) {
        return missing;
    }
    // A window the restore opened for a saved window is that one's, whatever it shows: it never
    // stands in for another, and its own saved window is not asked for twice. Paired as placement
    // pairs them: a window the restore started that shows a document of the application's own
    // choosing still stands in for a saved window by its place in the list, so that one is not
    // asked for besides.
    QSet<QUuid> servedByOpened;
    for (const AXElement& window : live) {
        servedByOpened.unite(openedFor.value(window));
    }
    const QList<std::optional<WindowPlacer::Partner>> partners =
        WindowPlacer::pairWindows(app, snapshots, WindowMatcher::Bystanders{windowsBefore, {}, openedFor});
    for (int i = 0; i < snapshots.size(); ++i) {
        const std::optional<QString>& document = snapshots[i].documentURL;
        if (!partners[i] && !servedByOpened.contains(snapshots[i].id) && (!document || document->isEmpty())) {
            missing.append(i);
        }
    }
    return missing;
}

QCoro::Task<MissingWindowReopener::Reopened> MissingWindowReopener::reopenMissingWindows(
    RunningApplication app, QList<WindowSnapshot> snapshots, QList<DisplaySnapshot> savedDisplays,
    std::shared_ptr<RestoreRequest> request, QHash<AXElement, QSet<QUuid>> openedFor,
    std::optional<QSet<AXElement>> windowsBefore) {
    // An application that shows as many windows as were saved misses none: nothing to wait for.
    if (AXWindowService::axWindowList(app).value_or(QList<AXElement>()).size() >= snapshots.size()) {
        co_return Reopened{};
    }
    const std::shared_ptr<RunningApplications> port = Platform::current().runningApplications;
    const QString id = app.bundleIdentifier.value_or(QString());
    // A program that runs one process per document shows each document in a window of its own,
    // which may come a moment after the first one: documents that exist are waited for.
    QStringList documents;
    for (const WindowSnapshot& window : snapshots) {
        const QUrl url(window.documentURL.value_or(QString()));
        if (url.isLocalFile() && QFileInfo::exists(url.toLocalFile())) {
            documents.append(*window.documentURL);
        }
    }
    if (!documents.isEmpty()) {
        const auto shown = [&app, &documents] {
            const QStringList open = AXWindowService::currentDocumentURLs(app);
            return std::all_of(documents.cbegin(), documents.cend(),
                               [&open](const QString& document) { return open.contains(document); });
        };
        co_await RestoreWait::pollUntil(shown, Clock::seconds(readinessWait), RestoreWait::ms(200), {},
                                        request);
    }
    const QList<int> missing = missingWindows(app, snapshots, openedFor, windowsBefore);
    const std::optional<QUrl> appURL =
        port && !missing.isEmpty() ? AppLauncher::launchableURL(id, QStringLiteral("reopenMissingWindows"))
                                   : std::nullopt;
    Reopened reopened;
    if (!appURL) {
        co_return reopened;
    }
    RestoreLog::log(QStringLiteral("reopenMissingWindows: ") + id + QStringLiteral(" misses ") +
                    QString::number(missing.size()) + QStringLiteral(" window(s)"));
    for (qsizetype i = 0; i < missing.size(); ++i) {
        const int index = missing[i];
        if (request && !request->starts().takeStart(id, QStringLiteral("reopenMissingWindows"))) {
            reopened.notAskedFor = missing.mid(i);
            co_return reopened;
        }
        const QSet<AXElement> before = liveWindows(app);
        const OpenResult opened = co_await port->openNewWindow(*appURL, false);
        if (!opened.succeeded) {
            RestoreLog::log(QStringLiteral("reopenMissingWindows: ERROR \u2014 ") + id +
                            QStringLiteral(" threw: ") + opened.errorText);
            co_return reopened;
        }
        std::optional<AXElement> added;
        const auto arrived = [&app, &before, &added] {
            for (const AXElement& window : liveWindows(app)) {
                if (!before.contains(window)) {
                    added = window;
                    return true;
                }
            }
            return false;
        };
        if (!co_await RestoreWait::pollUntil(arrived, Clock::seconds(readinessWait), RestoreWait::ms(200), {},
                                             request)) {
            RestoreLog::log(QStringLiteral("reopenMissingWindows: ") + id +
                            QStringLiteral(" showed no new window within 5.0s, no further request"));
            co_return reopened;
        }
        // On its saved frame the new window pairs with the saved one, whatever its title; where the
        // frame does not hold (a manager that places new windows itself), it still is no other
        // saved window's.
        const WindowSnapshot& saved = snapshots[index];
        reopened.openedFor.insert(*added, QSet<QUuid>{saved.id});
        const std::optional<Screen> screen = RestoreGeometry::targetScreen(saved, savedDisplays);
        if (screen) {
            AXWindowService::setWindowFrame(*added, RestoreGeometry::targetFrame(saved, *screen));
        }
        RestoreLog::log(QStringLiteral("reopenMissingWindows: ") + id +
                        QStringLiteral(" opened a window for \"") +
                        saved.windowTitle.value_or(QStringLiteral("?")) + QStringLiteral("\""));
    }
    co_return reopened;
}
