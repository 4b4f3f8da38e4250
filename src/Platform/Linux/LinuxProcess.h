#pragma once

#include <QByteArray>
#include <QList>
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
    // When it started, in clock ticks since the machine booted; nothing when it is gone. The
    // earlier of two processes has the smaller value.
    static std::optional<quint64> startTime(qint32 pid);
    // When it started, in milliseconds since 1970 (UTC), to the kernel's tick; nothing when it is
    // gone. Unlike startTime, it tells apart processes of two boots.
    static std::optional<qint64> startedAt(qint32 pid);
    // The arguments it was started with, the program first; empty when they cannot be read.
    static QList<QByteArray> commandLine(qint32 pid);
    // Its working folder; empty when it cannot be read (another user's process).
    static QString workingFolder(qint32 pid);
    // Whether it runs as the same user as this program.
    static bool isOwnUsers(qint32 pid);
};
