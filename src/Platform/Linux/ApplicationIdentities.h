#pragma once

#include <QHash>
#include <QSet>
#include <QString>

#include <optional>

// Who a process is: the identifier it is saved and relaunched by, and the name shown for it.
// The identifier is the XDG desktop-file id of the entry that launched it (the launcher leaves it
// in the process's environment), else of the entry that names its window class; a program without
// an entry is known by the absolute path of its executable, so it can be started again all the same.
// Answers are remembered for as long as the process is known.
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

    // An executable path as an identifier: absolute, of an existing executable file.
    static bool isExecutableIdentifier(const QString& identifier);

private:
    Identity resolve(qint32 pid, const QString& instance, const QString& windowClass) const;

    QHash<qint32, Identity> m_known;
    QHash<qint32, QString> m_launched;
};
