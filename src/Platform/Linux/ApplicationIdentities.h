#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>

// Who a process is: the identifier it is saved and relaunched by, and the name shown for it.
// A process is its desktop entry whenever one can be found, in this order: the entry Ordella
// started it from; the entry that launched it (the launcher leaves it in the process's
// environment); the entry whose StartupWMClass is its window's class; the entry whose id, or the
// id's last dot-separated part, is the class or the instance name (ignoring case); the entry whose
// Exec or TryExec starts its executable. Only a program without any entry is known by its program
// (ProgramCommand): the absolute path of its executable, and for an interpreter the script or
// jar it runs as well, so it can be started again all the same and two scripts stay two
// applications. Answers are remembered for as long as the process is known.
class ApplicationIdentities {
public:
    struct Identity {
        std::optional<QString> identifier;
        std::optional<QString> name;
        // The absolute path of its executable; empty when it cannot be read.
        QString executable;
    };

    // instance and windowClass are the WM_CLASS of one of its windows (empty when it has none).
    Identity identify(qint32 pid, const QString& instance, const QString& windowClass);
    // The process was started by Ordella from this identifier.
    void noteLaunch(qint32 pid, const QString& identifier);
    // Forgets every process that is not among pids.
    void keepOnly(const QSet<qint32>& pids);
    // Processes started by Ordella that are still remembered.
    QList<qint32> launchedPids() const { return m_launched.keys(); }
    std::optional<QString> launchedAs(qint32 pid) const;

    // A program as an identifier: an existing executable, or an interpreter and its script.
    static bool isExecutableIdentifier(const QString& identifier);
    // The identifiers the same program may run under: the identifier itself and, for a desktop
    // entry, the program its Exec starts (as a program started from a shell is known when the
    // entry cannot be told from its window).
    static QStringList identifiersOf(const QString& identifier);

private:
    Identity resolve(qint32 pid, const QString& instance, const QString& windowClass) const;

    struct Known {
        Identity identity;
        // Whether the window had named its class when the answer was found.
        bool withClass = false;
    };
    QHash<qint32, Known> m_known;
    QHash<qint32, QString> m_launched;
};
