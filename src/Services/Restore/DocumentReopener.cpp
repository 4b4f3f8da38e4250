#include "Services/Restore/DocumentReopener.h"

#include "Platform/Platform.h"
#include "Services/Desktop/AXWindowService.h"
#include "Services/Desktop/WindowMatcher.h"
#include "Services/Restore/AppLauncher.h"
#include "Services/Restore/RestoreLog.h"
#include "Services/Restore/RestorePlanner.h"
#include "Services/Restore/RestoreWait.h"
#include "Services/Storage/CapturedPrograms.h"

#include <QFileInfo>
#include <QSet>
#include <QUrl>

namespace {

QStringList shownDocuments(const RunningApplication& app) {
    QStringList documents = AXWindowService::currentDocumentURLs(app);
    documents.removeAll(QString());
    return documents;
}

} // namespace

QStringList DocumentReopener::admittedDocuments(const QStringList& documents,
                                                const QString& bundleIdentifier) {
    const std::shared_ptr<RunningApplications> port = Platform::current().runningApplications;
    // A terminal runs a file handed to it, whichever desktop it is on.
    const bool terminal =
        bundleIdentifier == RestorePlanner::terminalBundleID || (port && port->isTerminal(bundleIdentifier));
    // A program started by its path takes its documents as arguments: only a regular file, and only
    // when a capture saw the program started with one.
    const bool byPath = port && port->startsByPath(bundleIdentifier);
    const std::optional<CapturedPrograms::Program> captured =
        byPath ? CapturedPrograms::find(bundleIdentifier) : std::nullopt;
    QStringList admitted;
    for (const QString& document : documents) {
        const QUrl url(document, QUrl::StrictMode);
        QString refusal;
        if (!url.isValid() || !url.isLocalFile() || url.toLocalFile().isEmpty()) {
            refusal = QStringLiteral("not a file URL");
        } else if (const QFileInfo info(url.toLocalFile()); !info.exists()) {
            refusal = QStringLiteral("no such file or folder");
        } else if (!info.isFile() && !info.isDir()) {
            refusal = QStringLiteral("not a regular file or folder");
        } else if (terminal && !info.isDir()) {
            refusal = QStringLiteral("not a folder (the terminal would run it)");
        } else if (byPath && !(captured && captured->withDocuments)) {
            refusal = QStringLiteral("no capture saw the program started with a file");
        } else if (byPath && !info.isFile()) {
            refusal = QStringLiteral("not a regular file (the program was seen started with files)");
        } else if (port) {
            // What the application declares it opens, and whether it would run the file instead.
            refusal = port->documentRefusal(url.toLocalFile(), bundleIdentifier);
        }
        if (refusal.isEmpty()) {
            admitted.append(document);
            continue;
        }
        RestoreLog::log(QStringLiteral("openDocuments: refusing ") + document + QStringLiteral(" for ") +
                        bundleIdentifier + QStringLiteral(": ") + refusal);
    }
    return admitted;
}

QSet<QString> DocumentReopener::normalizedDocuments(const QStringList& documents) {
    QSet<QString> result;
    for (const QString& document : documents) {
        result.insert(WindowMatcher::normalizeDocumentURL(document));
    }
    return result;
}

QCoro::Task<QStringList> DocumentReopener::openDocuments(QStringList documents, RunningApplication app,
                                                         QString bundleIdentifier,
                                                         std::shared_ptr<RestoreRequest> request) {
    const std::shared_ptr<RunningApplications> port = Platform::current().runningApplications;
    const std::optional<QUrl> appURL =
        AppLauncher::launchableURL(bundleIdentifier, QStringLiteral("openDocuments"));
    if (!port || !appURL) {
        co_return QStringList();
    }
    // A terminal that gets its folder as the folder it starts in shows no folder to check against:
    // it gets its folders when it is launched, and a running one is not asked for windows over and
    // over.
    if (bundleIdentifier != RestorePlanner::terminalBundleID && port->isTerminal(bundleIdentifier)) {
        RestoreLog::log(QStringLiteral("openDocuments: not opening folders in the running terminal ") +
                        bundleIdentifier + QStringLiteral(" (it shows none to check against)"));
        co_return QStringList();
    }
    // A set: two windows on one folder are one document shown, and a window without one shows none.
    QSet<QString> openSet;
    for (const QString& document : AXWindowService::currentDocumentURLs(app)) {
        if (!document.isEmpty()) {
            openSet.insert(document);
        }
    }
    QStringList toOpen;
    for (const QString& document : documents) {
        if (!openSet.contains(document)) {
            toOpen.append(document);
        }
    }
    if (toOpen.isEmpty()) {
        co_return QStringList();
    }
    const QStringList admitted = admittedDocuments(toOpen, bundleIdentifier);
    // Refused documents will never show: they are not waited for. A document saved twice (two
    // windows on one folder) is one document shown.
    QSet<QString> expectedSet = openSet;
    for (const QString& document : admitted) {
        expectedSet.insert(document);
    }
    const qsizetype expected = expectedSet.size();
    const bool terminal = bundleIdentifier == RestorePlanner::terminalBundleID;
    if (terminal) {
        const QStringList handed = co_await openInTerminal(admitted, app, *appURL, request);
        QStringList wantedDocuments = documents;
        for (const QString& document : toOpen) {
            if (!admitted.contains(document)) {
                wantedDocuments.removeAll(document);
            }
        }
        const QSet<QString> wanted = normalizedDocuments(wantedDocuments);
        const auto allShown = [app, expected, wanted] {
            const QStringList shown = shownDocuments(app);
            const QSet<QString> unique(shown.begin(), shown.end());
            return unique.size() >= expected &&
                   normalizedDocuments(QStringList(unique.begin(), unique.end())).contains(wanted);
        };
        co_await RestoreWait::pollUntil(allShown, RestoreWait::ms(10000), RestoreWait::ms(300), {}, request);
        co_return handed;
    }
    QStringList handed;
    for (const QString& document : admitted) {
        if (request && !request->starts().takeStart(bundleIdentifier, QStringLiteral("openDocuments"))) {
            break;
        }
        // A refused document is passed over (the answer is named: see AppLauncher's reopen).
        const QList<QUrl> one(1, QUrl(document));
        if ((co_await port->openDocuments(one, *appURL, false)).succeeded) {
            handed.append(document);
        }
    }
    const auto allListed = [app, expected] {
        return AXWindowService::currentDocumentURLs(app).size() >= expected;
    };
    co_await RestoreWait::pollUntil(allListed, RestoreWait::ms(3000), RestoreWait::ms(200), {}, request);
    co_return handed;
}

QCoro::Task<QStringList> DocumentReopener::openInTerminal(QStringList documents, RunningApplication app,
                                                          QUrl appURL,
                                                          std::shared_ptr<RestoreRequest> request) {
    const std::shared_ptr<RunningApplications> port = Platform::current().runningApplications;
    QStringList handed;
    // One window at a time: each waits for the one before it to show.
    for (const QString& document : documents) {
        if (request && !request->starts().takeStart(app.bundleIdentifier.value_or(QString()),
                                                    QStringLiteral("openDocuments"))) {
            break;
        }
        const qsizetype before = AXWindowService::currentDocumentURLs(app).size();
        const QList<QUrl> one(1, QUrl(document));
        const OpenResult outcome = co_await port->openDocuments(one, appURL, false);
        if (!outcome.succeeded) {
            continue;
        }
        handed.append(document);
        const auto newWindow = [app, before] {
            return AXWindowService::currentDocumentURLs(app).size() > before;
        };
        co_await RestoreWait::pollUntil(newWindow, RestoreWait::ms(2000), RestoreWait::ms(100), {}, request);
    }
    co_return handed;
}

QCoro::Task<void> DocumentReopener::waitForTerminalLogin(RunningApplication app,
                                                         QStringList expectedDocumentURLs) {
    // Also without documents: windows still at their login prompt are not paired by title.
    const QSet<QString> wanted = normalizedDocuments(expectedDocumentURLs);
    const qsizetype expected = expectedDocumentURLs.size();
    const auto loggedIn = [app, wanted, expected] {
        const QStringList shown = shownDocuments(app);
        const QStringList titles = AXWindowService::currentWindowTitles(app);
        const bool atLogin = std::any_of(titles.begin(), titles.end(), [](const QString& title) {
            return title.contains(QStringLiteral("login")) || title.contains(QStringLiteral("Login"));
        });
        return shown.size() >= expected && !atLogin && normalizedDocuments(shown).contains(wanted);
    };
    co_await RestoreWait::pollUntil(loggedIn, RestoreWait::ms(10000), RestoreWait::ms(300));
}
