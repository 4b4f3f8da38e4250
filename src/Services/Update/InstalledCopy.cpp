#include "Services/Update/InstalledCopy.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

namespace {

// The installation info is a few kilobytes; anything far larger is not one.
constexpr qint64 kMaxInfoBytes = 4 * 1024 * 1024;

std::optional<QJsonObject> readInfo(const QString& folder) {
    QFile file(QDir(folder).filePath(InstalledCopy::infoPath()));
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxInfoBytes) {
        return std::nullopt;
    }
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll());
    if (!document.isObject()) {
        return std::nullopt;
    }
    return document.object();
}

} // namespace

QString InstalledCopy::infoPath() {
    return QStringLiteral("share/ordella/install.json");
}

QString InstalledCopy::programPath() {
    return QStringLiteral("bin/ordella");
}

InstalledCopy::Location InstalledCopy::locate(const QString& executablePath) {
    const QFileInfo program(executablePath);
    const QDir bin = program.absoluteDir();
    const QString folder = QFileInfo(bin.absolutePath()).absolutePath();
    if (program.fileName() != QFileInfo(programPath()).fileName() || bin.dirName() != QStringLiteral("bin") ||
        !holdsProgram(folder)) {
        return {{}, QStringLiteral("The program does not run from an installed copy: ") + executablePath};
    }
    const std::optional<QJsonObject> info = readInfo(folder);
    if (!info) {
        return {{}, QStringLiteral("The installed copy has no readable installation info: ") + folder};
    }
    QSet<QString> listed;
    for (const QJsonValue& value : info->value(QStringLiteral("files")).toArray()) {
        listed.insert(QDir::cleanPath(value.toString()));
    }
    listed.insert(infoPath());
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    const QDir root(folder);
    while (it.hasNext()) {
        const QFileInfo entry(it.next());
        if (entry.isDir() && !entry.isSymLink()) {
            continue;
        }
        const QString relative = root.relativeFilePath(entry.filePath());
        if (!listed.contains(relative)) {
            return {{},
                    QStringLiteral("The folder holds more than Ordella's own files: ") + entry.filePath()};
        }
    }
    return {folder, {}};
}

std::optional<QString> InstalledCopy::version(const QString& folder) {
    const std::optional<QJsonObject> info = readInfo(folder);
    const QJsonValue value = info ? info->value(QStringLiteral("version")) : QJsonValue();
    return value.isString() ? std::optional<QString>(value.toString()) : std::nullopt;
}

bool InstalledCopy::holdsProgram(const QString& folder) {
    const QFileInfo root(folder);
    return root.isDir() && !root.isSymLink() && QFileInfo(QDir(folder).filePath(programPath())).isFile();
}
