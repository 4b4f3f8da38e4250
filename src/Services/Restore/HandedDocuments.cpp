#include "Services/Restore/HandedDocuments.h"

#include "Platform/Platform.h"
#include "Services/Desktop/AXWindowService.h"
#include "Services/Restore/AppLauncher.h"
#include "Services/Restore/BoundedRetry.h"
#include "Services/Restore/DocumentReopener.h"
#include "Services/Restore/MissingWindowReopener.h"
#include "Services/Restore/RestoreRequest.h"
#include "Services/Restore/RestoreWait.h"

#include <QSet>

#include <functional>

namespace {

// Whether the application lists every document wanted (as exact strings).
bool showsDocuments(const RunningApplication& app, const QSet<QString>& wanted) {
    const QStringList open = AXWindowService::currentDocumentURLs(app);
    return QSet<QString>(open.begin(), open.end()).contains(wanted);
}

// The hand-overs of documents so far: the documents the desktop took, and the last one's time, the
// windows there were before it and how many documents it handed that were not shown then.
struct HandOvers {
    QSet<QString> taken;
    std::optional<Clock::TimePoint> at;
    QSet<AXElement> windowsBefore;
    qsizetype count = 0;
};

QSet<AXElement> windowsOf(const RunningApplication& app) {
    const QList<AXElement> windows = AXWindowService::axWindowList(app).value_or(QList<AXElement>());
    return QSet<AXElement>(windows.begin(), windows.end());
}

// Whether the application answered the last hand-over: it shows the documents, or a new window
// for each (a program whose windows do not tell their documents).
bool answered(const RunningApplication& app, const QSet<QString>& wanted, const HandOvers& handed) {
    return showsDocuments(app, wanted) || (windowsOf(app) - handed.windowsBefore).size() >= handed.count;
}

// One attempt at handing the documents over.
QCoro::Task<bool> handOverDocuments(RunningApplication app, QStringList documents,
                                    std::shared_ptr<RestoreRequest> request,
                                    std::shared_ptr<HandOvers> handed) {
    const std::shared_ptr<Clock> clock = Platform::current().clock;
    const QSet<QString> wanted(documents.begin(), documents.end());
    if (handed->at) {
        const Clock::Duration left = std::chrono::duration_cast<Clock::Duration>(
            *handed->at + Clock::seconds(MissingWindowReopener::readinessWait) - clock->now());
        const auto came = [&app, &wanted, &handed] { return answered(app, wanted, *handed); };
        if (co_await RestoreWait::pollUntil(came, left, RestoreWait::ms(200), {}, request)) {
            co_return true;
        }
    }
    QStringList toHand;
    for (const QString& document : documents) {
        if (!handed->taken.contains(document)) {
            toHand.append(document);
        }
    }
    if (toHand.isEmpty()) {
        co_return true;
    }
    const QStringList shown = AXWindowService::currentDocumentURLs(app);
    handed->at = clock->now();
    handed->windowsBefore = windowsOf(app);
    const QString id = app.bundleIdentifier.value_or(QString());
    const QStringList taken = co_await DocumentReopener::openDocuments(toHand, app, id, request);
    request->openedWindows().rememberHanded(id, taken);
    handed->taken.unite(QSet<QString>(taken.begin(), taken.end()));
    handed->count =
        (QSet<QString>(taken.begin(), taken.end()) - QSet<QString>(shown.begin(), shown.end())).size();
    co_return true;
}

} // namespace

QCoro::Task<void> HandedDocuments::handOver(RunningApplication app, QStringList documents,
                                            std::shared_ptr<RestoreRequest> request) {
    const QSet<QString> wanted(documents.begin(), documents.end());
    const auto handed = std::make_shared<HandOvers>();
    const std::function<QCoro::Task<bool>(int)> operation = [app, documents, request, handed](int) {
        return handOverDocuments(app, documents, request, handed);
    };
    const std::function<QCoro::Task<bool>(const bool&)> check = [app, wanted](const bool&) {
        return BoundedRetry::ready(showsDocuments(app, wanted));
    };
    co_await BoundedRetry::run<bool>(operation, check);
    co_await AppLauncher::waitForAXWindows(app, 3.0, request);
}
