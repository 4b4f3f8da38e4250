#include "Platform/Linux/ApplicationStart.h"

#include "Platform/Linux/DocumentHandOver.h"
#include "Platform/Linux/ProgramCommand.h"

#include <QDir>
#include <QProcess>
#include <QStringList>

DesktopEntries::Launch ApplicationStart::start(const QString& identifier, const QList<QUrl>& documents,
                                               bool activates) {
    QStringList folders;
    for (const QUrl& document : documents) {
        const DocumentHandOver::Decision decision =
            DocumentHandOver::decide(document.isLocalFile() ? document.toLocalFile() : QString(), identifier);
        if (decision.way == DocumentHandOver::Way::refused) {
            return DesktopEntries::Launch{{},
                                          QStringLiteral("Not opening ") + document.toDisplayString() +
                                              QStringLiteral(" with ") + identifier + QStringLiteral(": ") +
                                              decision.reason};
        }
        if (decision.way == DocumentHandOver::Way::asWorkingFolder) {
            folders << document.toLocalFile();
        }
    }
    if (!folders.isEmpty()) {
        DesktopEntries::Launch started;
        for (const QString& folder : folders) {
            const DesktopEntries::Launch launch = DesktopEntries::launchWithArguments(identifier, {}, folder);
            started.pids += launch.pids;
            if (!launch.error.isEmpty()) {
                started.error = launch.error;
                break;
            }
        }
        return started;
    }
    if (const std::optional<ProgramCommand> program = ProgramCommand::fromIdentifier(identifier)) {
        // An interpreter is given its script again, then the documents. It starts in the home
        // folder, as a desktop's launcher starts programs.
        QStringList arguments = program->arguments();
        for (const QUrl& document : documents) {
            arguments << (document.isLocalFile() ? document.toLocalFile() : document.toString());
        }
        qint64 pid = 0;
        if (!QProcess::startDetached(program->executable, arguments, QDir::homePath(), &pid)) {
            return DesktopEntries::Launch{{}, QStringLiteral("Cannot start ") + identifier};
        }
        return DesktopEntries::Launch{{qint32(pid)}, QString()};
    }
    QStringList uris;
    for (const QUrl& document : documents) {
        uris << QString::fromUtf8(document.toEncoded());
    }
    return DesktopEntries::launch(identifier, uris, activates);
}
