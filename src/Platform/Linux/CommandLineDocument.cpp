#include "Platform/Linux/CommandLineDocument.h"

#include "Platform/Linux/LinuxProcess.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

std::optional<QString> CommandLineDocument::fromArguments(const QList<QByteArray>& arguments,
                                                          const QString& folder) {
    QList<QByteArray> names;
    bool onlyNames = false;
    bool mayBeValue = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QByteArray& argument = arguments[i];
        const bool option = !onlyNames && argument.size() > 1 && argument.startsWith('-');
        if (option && argument == "--") {
            onlyNames = true;
        } else if (option && argument == "-e") {
            break;
        } else if (option) {
            mayBeValue = !argument.contains('=');
            continue;
        } else if (!mayBeValue || onlyNames) {
            names.append(argument);
        }
        mayBeValue = false;
    }
    if (names.size() != 1 || names.first().isEmpty()) {
        return std::nullopt;
    }
    const QString name = QFile::decodeName(names.first());
    if (QFileInfo(name).isRelative() && (folder.isEmpty() || !QFileInfo(folder).isAbsolute())) {
        return std::nullopt;
    }
    const QFileInfo file(QDir(folder).absoluteFilePath(name));
    if (!file.isFile()) {
        return std::nullopt;
    }
    return QUrl::fromLocalFile(QDir::cleanPath(file.absoluteFilePath())).toString();
}

std::optional<QString> CommandLineDocument::ofProcess(qint32 pid) {
    if (!LinuxProcess::isOwnUsers(pid)) {
        return std::nullopt;
    }
    return fromArguments(LinuxProcess::commandLine(pid), LinuxProcess::workingFolder(pid));
}
