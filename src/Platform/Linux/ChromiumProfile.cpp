#include "Platform/Linux/ChromiumProfile.h"

#include "Platform/Linux/LinuxProcess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>

namespace {

// The value of a "--name=value" switch; the switches end at "--".
QString switchValue(const QStringList& commandLine, const QString& name) {
    const QString prefix = QStringLiteral("--") + name + QLatin1Char('=');
    for (qsizetype i = 1; i < commandLine.size(); ++i) {
        if (commandLine[i] == QLatin1String("--")) {
            break;
        }
        if (commandLine[i].startsWith(prefix)) {
            return commandLine[i].mid(prefix.size());
        }
    }
    return QString();
}

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

QString ChromiumProfile::userDataFolder(const QStringList& commandLine, const QString& configFolder) {
    const QString named = switchValue(commandLine, QStringLiteral("user-data-dir"));
    if (!named.isEmpty()) {
        return QDir::cleanPath(named);
    }
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QLatin1Char('/') +
           configFolder;
}

QString ChromiumProfile::profileFolder(const QString& userDataFolder, const QStringList& commandLine) {
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

QString ChromiumProfile::newestSessionFile(const QString& profileFolder) {
    const QFileInfoList files = QDir(profileFolder + QStringLiteral("/Sessions"))
                                    .entryInfoList({QStringLiteral("Session_*")}, QDir::Files, QDir::Time);
    return files.isEmpty() ? QString() : files.first().absoluteFilePath();
}

QString ChromiumProfile::sessionFileOf(qint32 pid, const QString& configFolder) {
    const QStringList line = commandLine(pid);
    return newestSessionFile(profileFolder(userDataFolder(line, configFolder), line));
}
