#include "Platform/Linux/ApplicationIdentities.h"

#include "Platform/Linux/DesktopEntries.h"
#include "Platform/Linux/LinuxProcess.h"

#include <QFileInfo>

ApplicationIdentities::Identity ApplicationIdentities::identify(qint32 pid, const QString& instance,
                                                                const QString& windowClass) {
    if (const auto it = m_known.constFind(pid); it != m_known.constEnd()) {
        return it.value();
    }
    const Identity identity = resolve(pid, instance, windowClass);
    // A window that has not named its class yet may still do so: only a full answer is kept.
    if (identity.identifier && identity.name) {
        m_known.insert(pid, identity);
    }
    return identity;
}

ApplicationIdentities::Identity ApplicationIdentities::resolve(qint32 pid, const QString& instance,
                                                               const QString& windowClass) const {
    Identity identity;
    std::optional<DesktopEntry> entry;
    if (const auto launched = m_launched.constFind(pid); launched != m_launched.constEnd()) {
        if (isExecutableIdentifier(launched.value())) {
            identity.identifier = launched.value();
        } else {
            entry = DesktopEntries::find(launched.value());
        }
    }
    if (!entry && !identity.identifier) {
        // The launcher's note is inherited by everything the program starts in turn; it speaks
        // for this process only when it names this process.
        const std::optional<QByteArray> file =
            LinuxProcess::environmentValue(pid, "GIO_LAUNCHED_DESKTOP_FILE");
        const std::optional<QByteArray> filePid =
            LinuxProcess::environmentValue(pid, "GIO_LAUNCHED_DESKTOP_FILE_PID");
        if (file && (!filePid || filePid->toLongLong() == pid)) {
            entry = DesktopEntries::fromFile(QFile::decodeName(*file));
        }
    }
    if (!entry && !identity.identifier) {
        entry = DesktopEntries::findByWindowClass(instance, windowClass);
    }
    if (entry) {
        identity.identifier = entry->id;
        identity.name = entry->name.isEmpty() ? std::nullopt : std::optional<QString>(entry->name);
    }
    const QString executable = LinuxProcess::executable(pid);
    identity.executable = executable;
    if (!identity.identifier && !executable.isEmpty()) {
        identity.identifier = executable;
    }
    if (!identity.name && !windowClass.isEmpty()) {
        identity.name = windowClass;
    }
    if (!identity.name && !executable.isEmpty()) {
        identity.name = QFileInfo(executable).fileName();
    }
    return identity;
}

void ApplicationIdentities::noteLaunch(qint32 pid, const QString& identifier) {
    if (pid > 0) {
        m_launched.insert(pid, identifier);
        m_known.remove(pid);
    }
}

void ApplicationIdentities::keepOnly(const QSet<qint32>& pids) {
    m_known.removeIf(
        [&pids](const QHash<qint32, Identity>::iterator it) { return !pids.contains(it.key()); });
    m_launched.removeIf(
        [&pids](const QHash<qint32, QString>::iterator it) { return !pids.contains(it.key()); });
}

std::optional<QString> ApplicationIdentities::launchedAs(qint32 pid) const {
    const auto it = m_launched.constFind(pid);
    return it == m_launched.constEnd() ? std::nullopt : std::optional<QString>(it.value());
}

bool ApplicationIdentities::isExecutableIdentifier(const QString& identifier) {
    const QFileInfo info(identifier);
    return info.isAbsolute() && info.isFile() && info.isExecutable();
}
