#include "Platform/Linux/ChromiumProfile.h"

#include "Platform/Linux/LinuxProcess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>

#include <algorithm>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
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

// Whether only owner is in the group: the group of the user's own name that is the user's first
// group, with no other member (a user-private group, where writing by the group is writing by the
// user).
bool onlyOwnerIn(gid_t gid, uint owner) {
    const passwd* user = ::getpwuid(owner);
    if (!user || user->pw_gid != gid) {
        return false;
    }
    const QByteArray name(user->pw_name);
    const group* g = ::getgrgid(gid);
    if (!g || name != g->gr_name) {
        return false;
    }
    for (char** member = g->gr_mem; member && *member; ++member) {
        if (name != *member) {
            return false;
        }
    }
    return true;
}

// What makes folder (its links followed) unfit to hold a profile of owner's: another user owns it
// or others may write it (its group too, unless that is owner's own); or a folder above it, up to the home
// folder (to / for one outside it), is owned by another user than owner or root, or others may write it
// without the sticky bit (they could put a folder of theirs in its place). Empty when it is fit.
QString unsafeFolder(const QString& folder, uint owner) {
    const QString real = QFileInfo(folder).canonicalFilePath();
    const QString home = QFileInfo(QDir::homePath()).canonicalFilePath();
    const QString stop = !home.isEmpty() && home != QLatin1String("/") && real.startsWith(home + u'/')
                             ? home
                             : QStringLiteral("/");
    for (QString at = real; !at.isEmpty();) {
        struct stat status {};
        if (::stat(QFile::encodeName(at).constData(), &status) != 0 || !S_ISDIR(status.st_mode)) {
            return QStringLiteral("The folder %1 cannot be read").arg(at);
        }
        const QString mode = QString::number(status.st_mode & 07777, 8);
        const bool othersWrite = (status.st_mode & S_IWOTH) != 0 ||
                                 ((status.st_mode & S_IWGRP) != 0 && !onlyOwnerIn(status.st_gid, owner));
        if (at == real) {
            if (status.st_uid != owner) {
                return QStringLiteral("The folder %1 belongs to another user").arg(at);
            }
            if (othersWrite) {
                return QStringLiteral("Other users may write the folder %1 (its mode is %2)").arg(at, mode);
            }
        } else {
            if (status.st_uid != owner && status.st_uid != 0) {
                return QStringLiteral("The folder %1 above it belongs to another user").arg(at);
            }
            if (othersWrite && (status.st_mode & S_ISVTX) == 0) {
                return QStringLiteral("Other users may write the folder %1 above it (its mode is %2)")
                    .arg(at, mode);
            }
        }
        if (at == stop || at == QLatin1String("/")) {
            break;
        }
        const qsizetype slash = at.lastIndexOf(u'/');
        at = slash <= 0 ? QStringLiteral("/") : at.left(slash);
    }
    return QString();
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
                                                            const QString& configFolder, QString* problem,
                                                            std::optional<uint> owner) {
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
        if (const QString unsafe = unsafeFolder(clean, owner.value_or(::geteuid())); !unsafe.isEmpty()) {
            *problem = QStringLiteral("Not a private data folder: ") + unsafe;
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
        // The default data folder is the user's own; a profile in it may still lead elsewhere.
        if (const QString unsafe =
                unsafeFolder(root + QLatin1Char('/') + profileDirectory, owner.value_or(::geteuid()));
            !unsafe.isEmpty()) {
            *problem = QStringLiteral("Not a private profile folder: ") + unsafe;
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
