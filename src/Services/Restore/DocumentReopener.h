#pragma once

#include "Platform/RunningApplications.h"
#include "Services/Restore/RestoreRequest.h"

#include <QSet>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <qcoro/qcorotask.h>

#include <memory>

// Reopens an application's saved documents and waits until the application shows them. Saved
// documents can come from imported files, so only file URLs of regular files or folders that exist
// are ever handed to an application (never a device or a pipe), only folders to a terminal (which
// would run a file), to a program started by its path only regular files, and only when a capture
// saw it started with one; and only what the desktop lets the application have (the types it
// declares, never a program to an application that would run it).
class DocumentReopener {
public:
    DocumentReopener() = delete;

    // The documents that may be handed to the application, in order; each refused one is logged.
    static QStringList admittedDocuments(const QStringList& documents, const QString& bundleIdentifier);

    // Opens, one at a time and in the background, the documents the application does not show
    // yet, then waits until it lists them (3 seconds; the terminal 10). Each document handed over
    // takes a start of request, when given; none is handed once they ran out. The documents whose
    // hand-over the desktop took.
    static QCoro::Task<QStringList> openDocuments(QStringList documents, RunningApplication app,
                                                  QString bundleIdentifier,
                                                  std::shared_ptr<RestoreRequest> request = {});
    // Waits (up to 10 seconds) until the terminal shows the expected documents and none of its
    // windows is still at a login prompt, also when no document is expected.
    static QCoro::Task<void> waitForTerminalLogin(RunningApplication app, QStringList expectedDocumentURLs);

private:
    static QCoro::Task<QStringList> openInTerminal(QStringList documents, RunningApplication app, QUrl appURL,
                                                   std::shared_ptr<RestoreRequest> request);
    static QSet<QString> normalizedDocuments(const QStringList& documents);
};
