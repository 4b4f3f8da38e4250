#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// What /proc tells about a process of this machine.
class LinuxProcess {
public:
    LinuxProcess() = delete;

    // Whether the process exists and has not ended; one that ended but was not collected by its
    // parent yet (a zombie) counts as gone.
    static bool isAlive(qint32 pid);
    // The absolute path of its executable; empty when it cannot be read (another user's process).
    static QString executable(qint32 pid);
    // One variable of the environment it started with; nothing when it has none or it is unreadable.
    static std::optional<QByteArray> environmentValue(qint32 pid, const QByteArray& name);
};
