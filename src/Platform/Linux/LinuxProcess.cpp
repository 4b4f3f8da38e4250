#include "Platform/Linux/LinuxProcess.h"

#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <string_view>

namespace {

QString procPath(qint32 pid, const char* entry) {
    return QStringLiteral("/proc/") + QString::number(pid) + QLatin1Char('/') + QLatin1String(entry);
}

// The fields of /proc/<pid>/stat after the command: "pid (command) S ppid ...". The command may
// hold parentheses and blanks of its own, so the fields start after the last closing parenthesis;
// the first one (the state) is field 3. Empty when the process is gone.
QList<QByteArray> statFields(qint32 pid) {
    if (pid <= 0) {
        return {};
    }
    QFile stat(procPath(pid, "stat"));
    if (!stat.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QByteArray line = stat.read(4096);
    const qsizetype close = line.lastIndexOf(')');
    return close < 0 ? QList<QByteArray>() : line.mid(close + 1).trimmed().split(' ');
}

} // namespace

bool LinuxProcess::isAlive(qint32 pid) {
    if (pid <= 0) {
        return false;
    }
    // Asked for every process of the desktop whenever its applications are listed: read with
    // plain system calls into a buffer on the stack. The state follows the last closing
    // parenthesis (the command may hold parentheses of its own, but is at most a few dozen bytes).
    char path[32];
    std::snprintf(path, sizeof(path), "/proc/%d/stat", int(pid));
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    std::array<char, 512> line{};
    ssize_t length = 0;
    do {
        length = ::read(fd, line.data(), line.size());
    } while (length < 0 && errno == EINTR);
    ::close(fd);
    if (length <= 0) {
        return false;
    }
    const std::string_view text(line.data(), size_t(length));
    const size_t close = text.rfind(')');
    if (close == std::string_view::npos || close + 2 >= text.size()) {
        return false;
    }
    const char state = text[close + 2];
    return state != 'Z' && state != 'X' && state != 'x';
}

std::optional<quint64> LinuxProcess::startTime(qint32 pid) {
    // Field 22 of the line.
    bool ok = false;
    const quint64 ticks = statFields(pid).value(22 - 3).toULongLong(&ok);
    return ok ? std::optional<quint64>(ticks) : std::nullopt;
}

std::optional<qint64> LinuxProcess::startedAt(qint32 pid) {
    // The machine's boot, in seconds since 1970, does not change while it runs.
    static const std::optional<qint64> bootTime = []() -> std::optional<qint64> {
        QFile stat(QStringLiteral("/proc/stat"));
        if (!stat.open(QIODevice::ReadOnly)) {
            return std::nullopt;
        }
        for (const QByteArray& line : stat.read(1 << 16).split('\n')) {
            if (line.startsWith("btime ")) {
                bool ok = false;
                const qint64 seconds = line.mid(6).trimmed().toLongLong(&ok);
                return ok ? std::optional<qint64>(seconds) : std::nullopt;
            }
        }
        return std::nullopt;
    }();
    static const long ticksPerSecond = ::sysconf(_SC_CLK_TCK);
    const std::optional<quint64> ticks = startTime(pid);
    if (!bootTime || !ticks || ticksPerSecond <= 0 || *ticks > quint64(1) << 50) {
        return std::nullopt;
    }
    return *bootTime * 1000 + qint64(*ticks * 1000 / quint64(ticksPerSecond));
}

QList<QByteArray> LinuxProcess::commandLine(qint32 pid) {
    if (pid <= 0) {
        return {};
    }
    QFile file(procPath(pid, "cmdline"));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    QByteArray all = file.readAll();
    if (all.endsWith('\0')) {
        all.chop(1);
    }
    return all.isEmpty() ? QList<QByteArray>() : all.split('\0');
}

QString LinuxProcess::workingFolder(qint32 pid) {
    return pid <= 0 ? QString() : QFileInfo(procPath(pid, "cwd")).symLinkTarget();
}

bool LinuxProcess::isOwnUsers(qint32 pid) {
    struct stat info {};
    const QByteArray path = QFile::encodeName(procPath(pid, ""));
    return pid > 0 && ::stat(path.constData(), &info) == 0 && info.st_uid == ::getuid();
}

QString LinuxProcess::executable(qint32 pid) {
    if (pid <= 0) {
        return QString();
    }
    QString target = QFileInfo(procPath(pid, "exe")).symLinkTarget();
    // The kernel marks an executable that was replaced or removed since the process started.
    const QString deleted = QStringLiteral(" (deleted)");
    if (target.endsWith(deleted)) {
        target.chop(deleted.size());
    }
    return target;
}

std::optional<QByteArray> LinuxProcess::environmentValue(qint32 pid, const QByteArray& name) {
    if (pid <= 0) {
        return std::nullopt;
    }
    QFile file(procPath(pid, "environ"));
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const QByteArray prefix = name + '=';
    for (const QByteArray& entry : file.readAll().split('\0')) {
        if (entry.startsWith(prefix)) {
            return entry.mid(prefix.size());
        }
    }
    return std::nullopt;
}
