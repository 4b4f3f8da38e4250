#include "Platform/Linux/ApplicationIdentities.h"

#include "Platform/Linux/DesktopEntries.h"
#include "Platform/Linux/LinuxProcess.h"
#include "Platform/Linux/ProgramCommand.h"

#include <QFileInfo>

ApplicationIdentities::Identity ApplicationIdentities::identify(qint32 pid, const QString& instance,
                                                                const QString& windowClass) {
    if (const auto it = m_known.constFind(pid); it != m_known.constEnd()) {
        // An answer found before the window named its class is asked again once it has.
        if (it->withClass || windowClass.isEmpty()) {
            return it->identity;
        }
    }
    const Identity identity = resolve(pid, instance, windowClass);
    // A process whose executable cannot be read yet may still be read later: only a full answer
    // is kept.
    if (identity.identifier && identity.name) {
        m_known.insert(pid, Known{identity, !windowClass.isEmpty()});
    }
    return identity;
}

ApplicationIdentities::Identity ApplicationIdentities::resolve(qint32 pid, const QString& instance,
                                                               const QString& windowClass) const {
    Identity identity;
    std::optional<DesktopEntry> entry;
    if (const auto launched = m_launched.constFind(pid); launched != m_launched.constEnd()) {
        // What Ordella started is known by what it was started as.
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
    const ProgramCommand program = ProgramCommand::ofProcess(pid);
    if (!entry && !identity.identifier) {
        entry = DesktopEntries::findForProgram(instance, windowClass, program);
    }
    if (entry) {
        identity.identifier = entry->id;
        identity.name = entry->name.isEmpty() ? std::nullopt : std::optional<QString>(entry->name);
    }
    identity.executable = program.executable;
    if (!identity.identifier && !program.executable.isEmpty()) {
        identity.identifier = program.identifier();
    }
    // A script is named after itself: every script of an interpreter shares its toolkit's class.
    if (!identity.name && !program.script.isEmpty()) {
        identity.name = program.displayName();
    }
    if (!identity.name && !windowClass.isEmpty()) {
        identity.name = windowClass;
    }
    if (!identity.name && !program.executable.isEmpty()) {
        identity.name = program.displayName();
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
    m_known.removeIf([&pids](const QHash<qint32, Known>::iterator it) { return !pids.contains(it.key()); });
    m_launched.removeIf(
        [&pids](const QHash<qint32, QString>::iterator it) { return !pids.contains(it.key()); });
}

std::optional<QString> ApplicationIdentities::launchedAs(qint32 pid) const {
    const auto it = m_launched.constFind(pid);
    return it == m_launched.constEnd() ? std::nullopt : std::optional<QString>(it.value());
}

bool ApplicationIdentities::isExecutableIdentifier(const QString& identifier) {
    return ProgramCommand::fromIdentifier(identifier).has_value();
}

QStringList ApplicationIdentities::identifiersOf(const QString& identifier) {
    QStringList identifiers{identifier};
    if (identifier.isEmpty() || identifier.startsWith(QLatin1Char('/'))) {
        return identifiers;
    }
    if (const std::optional<ProgramCommand> program = DesktopEntries::programOf(identifier);
        program && (!program->script.isEmpty() || !ProgramCommand::isInterpreter(program->executable))) {
        identifiers.append(program->identifier());
    }
    return identifiers;
}
