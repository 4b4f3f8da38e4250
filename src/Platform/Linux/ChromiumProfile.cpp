#include "Platform/Linux/ChromiumProfile.h"

#include "Platform/Linux/LinuxProcess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>

#include <algorithm>

#include <unistd.h>

QString ChromiumProfile::switchValue(const QStringList& commandLine, const QString& name) {
    // The browser takes the last of a switch given twice (a desktop entry's own, then one added).
    const QString prefix = QStringLiteral("--") + name + QLatin1Char('=');
    QString value;
    for (qsizetype i = 1; i < commandLine.size(); ++i) {
        if (commandLine[i] == QLatin1String("--")) {
            break;
        }
        if (commandLine[i].startsWith(prefix)) {
            value = commandLine[i].mid(prefix.size());
        }
    }
    return value;
}

namespace {

// A profile folder's name, as a single path component: never "..", never a path, and never a
// name Qt takes for a path of its own (":name" is one of the program's built-in resources).
bool isPlainName(const QString& name) {
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.startsWith(QLatin1Char(':')) && !name.contains(QChar(0));
}

} // namespace

QStringList ChromiumProfile::commandLine(qint32 pid) {
    QStringList arguments;
    for (const QByteArray& part : LinuxProcess::commandLine(pid)) {
        arguments << QString::fromLocal8Bit(part);
    }
    // The browser rewrites its own command line as one text with the words joined by blanks.
    if (arguments.size() == 1) {
        arguments = arguments.first().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    }
    return arguments;
}

QString ChromiumProfile::absoluteFolder(const QString& named, const QString& workingFolder) {
    if (named.isEmpty() || named.contains(QChar(0))) {
        return QString();
    }
    if (named.startsWith(QLatin1Char('/'))) {
        return QDir::cleanPath(named);
    }
    if (!workingFolder.startsWith(QLatin1Char('/'))) {
        return QString();
    }
    return QDir::cleanPath(workingFolder + QLatin1Char('/') + named);
}

QString ChromiumProfile::userDataFolder(const QStringList& commandLine, const QString& configFolder,
                                        const QString& workingFolder) {
    const QString named = switchValue(commandLine, QStringLiteral("user-data-dir"));
    if (!named.isEmpty()) {
        return absoluteFolder(named, workingFolder);
    }
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QLatin1Char('/') +
           configFolder;
}

QString ChromiumProfile::profileFolder(const QString& userDataFolder, const QStringList& commandLine) {
    // Only an absolute path: a relative one would be read from this program's working folder, and
    // one starting with ':' from its built-in resources.
    if (!userDataFolder.startsWith(QLatin1Char('/'))) {
        return QString();
    }
    const QDir root(userDataFolder);
    // A browser that keeps one profile in the folder itself.
    if (root.exists(QStringLiteral("Sessions")) && !root.exists(QStringLiteral("Default"))) {
        return userDataFolder;
    }
    QString name = switchValue(commandLine, QStringLiteral("profile-directory"));
    if (!isPlainName(name)) {
        QFile state(root.filePath(QStringLiteral("Local State")));
        if (state.open(QIODevice::ReadOnly) && state.size() < 16 * 1024 * 1024) {
            name = QJsonDocument::fromJson(state.readAll())
                       .object()
                       .value(QStringLiteral("profile"))
                       .toObject()
                       .value(QStringLiteral("last_used"))
                       .toString();
        }
    }
    if (!isPlainName(name)) {
        name = QStringLiteral("Default");
    }
    return root.filePath(name);
}

QString ChromiumProfile::newestSessionFile(const QString& profileFolder,
                                           const std::optional<QDateTime>& notBefore) {
    if (!profileFolder.startsWith(QLatin1Char('/'))) {
        return QString();
    }
    const QFileInfoList files = QDir(profileFolder + QStringLiteral("/Sessions"))
                                    .entryInfoList({QStringLiteral("Session_*")}, QDir::Files, QDir::Time);
    if (files.isEmpty() || (notBefore && files.first().lastModified() < *notBefore)) {
        return QString();
    }
    return files.first().absoluteFilePath();
}

QString ChromiumProfile::profileFolderOf(qint32 pid, const QString& configFolder) {
    const QStringList line = commandLine(pid);
    return profileFolder(userDataFolder(line, configFolder, LinuxProcess::workingFolder(pid)), line);
}

QString ChromiumProfile::sessionFileOf(qint32 pid, const QString& configFolder) {
    return newestSessionFile(profileFolderOf(pid, configFolder), processStartedAt(pid));
}

std::optional<QStringList> ChromiumProfile::profileSwitches(const QString& userDataDir,
                                                            const QString& profileDirectory,
                                                            const QString& configFolder, QString* problem) {
    const auto hasControl = [](const QString& text) {
        return std::any_of(text.begin(), text.end(),
                           [](QChar c) { return c.category() == QChar::Other_Control; });
    };
    QStringList switches;
    QString root = userDataFolder({}, configFolder);
    if (!userDataDir.isEmpty()) {
        const QString clean = QDir::cleanPath(userDataDir);
        // Qt counts ":name" (one of its resources) as absolute: only a path from the root is one.
        if (!clean.startsWith(QLatin1Char('/')) || hasControl(clean) ||
            !QFileInfo(clean + QStringLiteral("/Local State")).isFile()) {
            *problem = QStringLiteral("Not a browser's data folder: ") + userDataDir;
            return std::nullopt;
        }
        switches << QStringLiteral("--user-data-dir=") + clean;
        root = clean;
    }
    if (!profileDirectory.isEmpty()) {
        if (!isPlainName(profileDirectory) || hasControl(profileDirectory) ||
            !QFileInfo(root + QLatin1Char('/') + profileDirectory).isDir()) {
            *problem =
                QStringLiteral("Not a profile folder of ") + root + QStringLiteral(": ") + profileDirectory;
            return std::nullopt;
        }
        switches << QStringLiteral("--profile-directory=") + profileDirectory;
    }
    return switches;
}

std::optional<QDateTime> ChromiumProfile::processStartedAt(qint32 pid) {
    const std::optional<quint64> ticks = LinuxProcess::startTime(pid);
    QFile stat(QStringLiteral("/proc/stat"));
    const long perSecond = ::sysconf(_SC_CLK_TCK);
    if (!ticks || perSecond <= 0 || !stat.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    // "btime <seconds since the epoch>": when the machine booted.
    for (const QByteArray& line : stat.readAll().split('\n')) {
        if (line.startsWith("btime ")) {
            bool ok = false;
            const qint64 booted = line.mid(6).trimmed().toLongLong(&ok);
            if (!ok) {
                return std::nullopt;
            }
            const qint64 ms =
                booted * 1000 + static_cast<qint64>(*ticks * 1000 / static_cast<quint64>(perSecond));
            // The boot time is given in whole seconds: a second's grace, so that a file the
            // browser wrote at once is never taken for an older one.
            return QDateTime::fromMSecsSinceEpoch(ms - 1000, Qt::UTC);
        }
    }
    return std::nullopt;
}
