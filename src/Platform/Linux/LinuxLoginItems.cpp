#include "Platform/Linux/LinuxLoginItems.h"

#include "Extensions/AtomicFileWriter.h"
#include "Platform/Linux/RegularFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <optional>

namespace {

const QString kEntryName = QStringLiteral("ordella.desktop");

// Reads "key=value" pairs of the main group of a desktop entry; other groups are ignored.
QHash<QString, QString> mainGroup(const QByteArray& contents) {
    QHash<QString, QString> values;
    bool inMainGroup = false;
    for (const QByteArray& rawLine : contents.split('\n')) {
        const QString line = QString::fromUtf8(rawLine).trimmed();
        if (line.startsWith(u'[')) {
            inMainGroup = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (!inMainGroup || line.startsWith(u'#') || equals <= 0) {
            continue;
        }
        values.insert(line.left(equals).trimmed(), line.mid(equals + 1).trimmed());
    }
    return values;
}

} // namespace

LinuxLoginItems::LinuxLoginItems(QString executablePath, QString autostartFolder)
    : m_executablePath(std::move(executablePath))
    , m_autostartFolder(std::move(autostartFolder)) {
}

QString LinuxLoginItems::entryPath() const {
    const QString folder = m_autostartFolder.isEmpty()
                               ? QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                                     QStringLiteral("/autostart")
                               : m_autostartFolder;
    return folder + u'/' + kEntryName;
}

LoginItems::Status LinuxLoginItems::status() const {
    // A regular file only, opened without waiting; far larger than the entry written here.
    constexpr qsizetype limit = 1024 * 1024;
    const std::optional<RegularFile> file = RegularFile::open(entryPath());
    const std::optional<QByteArray> data = file ? file->readAll(limit) : std::nullopt;
    if (!data || data->size() > limit) {
        return Status::notRegistered;
    }
    // Desktops skip an entry that is hidden or switched off, so it does not count as registered.
    const QHash<QString, QString> values = mainGroup(*data);
    if (values.value(QStringLiteral("Hidden")) == QLatin1String("true") ||
        values.value(QStringLiteral("X-GNOME-Autostart-enabled")) == QLatin1String("false")) {
        return Status::notRegistered;
    }
    return Status::enabled;
}

LoginItems::Result LinuxLoginItems::registerApp() {
    const QString path = entryPath();
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) {
        return Result::failure(QStringLiteral("Cannot create the autostart folder %1").arg(folder));
    }
    const QString program =
        m_executablePath.isEmpty() ? QCoreApplication::applicationFilePath() : m_executablePath;
    // The desktop reads a carriage return as the end of the line ("/a\r" comes back as "/a"): the
    // entry would start another program.
    if (program.contains(u'\r')) {
        return Result::failure(
            QStringLiteral("Cannot start %1 at login: its path holds a carriage return, which an autostart "
                           "entry cannot keep")
                .arg(program));
    }
    const AtomicFileWriter::Result written = AtomicFileWriter::writeFile(path, entryContents(program));
    if (!written) {
        return Result::failure(QStringLiteral("Cannot write %1: %2").arg(path, written.errorString));
    }
    return Result::success();
}

LoginItems::Result LinuxLoginItems::unregisterApp() {
    const QString path = entryPath();
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink()) {
        return Result::success();
    }
    QFile file(path);
    if (!file.remove()) {
        return Result::failure(QStringLiteral("Cannot remove %1: %2").arg(path, file.errorString()));
    }
    return Result::success();
}

QByteArray LinuxLoginItems::entryContents(const QString& executablePath) {
    const QString text = QStringLiteral("[Desktop Entry]\n"
                                        "Type=Application\n"
                                        "Name=Ordella\n"
                                        "Comment=Restores saved desktop workspaces\n"
                                        "Exec=%1\n"
                                        "Terminal=false\n"
                                        "X-GNOME-Autostart-enabled=true\n")
                             .arg(execArgument(executablePath));
    return text.toUtf8();
}

QString LinuxLoginItems::execArgument(const QString& executablePath) {
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool needsQuotes = executablePath.isEmpty();
    for (const QChar c : executablePath) {
        needsQuotes = needsQuotes || reserved.contains(c);
    }
    QString argument;
    if (needsQuotes) {
        argument += u'"';
        for (const QChar c : executablePath) {
            if (c == u'"' || c == u'`' || c == u'$' || c == u'\\') {
                argument += u'\\';
            }
            argument += c;
        }
        argument += u'"';
    } else {
        argument = executablePath;
    }
    // The value is also a desktop-entry string: backslashes and line breaks are escaped once more,
    // and a percent sign would otherwise start a field code.
    QString value;
    for (const QChar c : argument) {
        if (c == u'\\') {
            value += QStringLiteral("\\\\");
        } else if (c == u'\n') {
            value += QStringLiteral("\\n");
        } else if (c == u'\t') {
            value += QStringLiteral("\\t");
        } else if (c == u'%') {
            value += QStringLiteral("%%");
        } else {
            value += c;
        }
    }
    return value;
}
