#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <qcoro/qcorotask.h>

#include <optional>

class PopoverModel;
class RestoreCoordinator;
class WorkspaceStore;

// What a later start of Ordella asks of the running one, one JSON line each way. Without options
// it opens the window; "--save NAME" saves the desktop as a new workspace, as the save panel would
// with everything ticked; "--restore NAME" restores the workspace of that name and answers with
// its report. Either shows in the window's status line like any other save or restore. A name that
// several workspaces share restores none of them: the answer lists them, with their creation times
// and as much of their ids as tells them apart.
// "--help" ("-h") and "--version" are answered by the program itself.
class InstanceCommands : public QObject {
    Q_OBJECT
public:
    struct Parsed {
        QByteArray request;
        bool demo = false;
        // Whether the request needs a running instance (a command rather than a start).
        bool command = false;
        // What is wrong with the arguments; empty when they are fine.
        QString error;
        // Asked for the usage or the version: printed, nothing else happens.
        bool help = false;
        bool version = false;
    };

    // The exit status of a usage error, also of a request whose name is ambiguous.
    static constexpr int usageExitCode = 2;
    // The exit status of a request the running Ordella took whose outcome did not come: it was
    // carried out, or still is, so it is not reported as failed.
    static constexpr int unknownOutcomeExitCode = 3;

    InstanceCommands(WorkspaceStore& store, PopoverModel& popover, RestoreCoordinator& coordinator,
                     QObject* parent = nullptr);

    // The request of a command line (program name first), read before Qt sees it: the word after
    // --save or --restore is the name, whatever it looks like, and an empty name is an error.
    static Parsed parse(const QStringList& arguments);
    static QString usage();

    // Answers one request: {"ok": bool, "output": text to print}.
    QCoro::Task<QByteArray> handle(QByteArray request);
    // The reply to a request that cannot be read.
    static QByteArray refusal();
    // The reply's text and whether it reports success.
    static std::pair<bool, QString> readReply(const QByteArray& reply);
    // The exit status the asking process ends with: 0 for success, 1 for a failure, or the one the
    // reply names (2 for an ambiguous name).
    static int exitCode(const QByteArray& reply);

signals:
    void showRequested();

private:
    QCoro::Task<QByteArray> save(QString name);
    QCoro::Task<QByteArray> restore(QString name);
    static QByteArray reply(bool ok, const QString& output, std::optional<int> exitCode = std::nullopt);

    WorkspaceStore& m_store;
    PopoverModel& m_popover;
    RestoreCoordinator& m_coordinator;
};
