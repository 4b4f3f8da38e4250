#include "Platform/Linux/LinuxProcess.h"

#include <QFile>
#include <QFileInfo>

namespace {

QString procPath(qint32 pid, const char* entry) {
    return QStringLiteral("/proc/") + QString::number(pid) + QLatin1Char('/') + QLatin1String(entry);
}

} // namespace

bool LinuxProcess::isAlive(qint32 pid) {
    if (pid <= 0) {
        return false;
    }
    QFile stat(procPath(pid, "stat"));
    if (!stat.open(QIODevice::ReadOnly)) {
        return false;
    }
    // "pid (command) S ...": the state follows the last closing parenthesis, as the command may
    // hold parentheses of its own.
    const QByteArray line = stat.read(4096);
    const qsizetype close = line.lastIndexOf(')');
    const char state = close >= 0 && close + 2 < line.size() ? line.at(close + 2) : '?';
    return state != 'Z' && state != 'X' && state != 'x';
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
