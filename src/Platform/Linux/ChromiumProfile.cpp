#include "Platform/Linux/ChromiumProfile.h"

#include "Platform/Linux/LinuxProcess.h"
#include "Platform/Linux/RegularFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>

#include <algorithm>

#include <QtEndian>

#include <cerrno>
#include <climits>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/xattr.h>
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

// Whether the access ACL of path lets another user than owner (or root) write it: a named user, or
// a named group that is not owner's own, given write and not masked out. An ACL that cannot be
// read whole or is of an unknown form counts as letting others write. Without an ACL, the mode
// says it all.
bool aclLetsOthersWrite(const QByteArray& path, uint owner) {
    static const char* const kName = "system.posix_acl_access";
    // The kernel's form: a version, then entries of a tag, permissions and an id (little-endian).
    constexpr int kVersion = 2;
    constexpr quint16 kUser = 0x02;
    constexpr quint16 kGroup = 0x08;
    constexpr quint16 kMask = 0x10;
    constexpr quint16 kWrite = 0x02;
    constexpr qsizetype kEntry = 8;
    constexpr qsizetype kLargest = 64 * 1024;
    const ssize_t size = ::getxattr(path.constData(), kName, nullptr, 0);
    if (size < 0) {
        return errno != ENODATA && errno != ENOTSUP;
    }
    if (size > kLargest || size < 4 || (size - 4) % kEntry != 0) {
        return true;
    }
    QByteArray acl(size, '\0');
    if (::getxattr(path.constData(), kName, acl.data(), acl.size()) != size ||
        qFromLittleEndian<quint32>(acl.constData()) != kVersion) {
        return true;
    }
    const auto tag = [&acl](qsizetype i) {
        return qFromLittleEndian<quint16>(acl.constData() + 4 + i * kEntry);
    };
    const auto permissions = [&acl](qsizetype i) {
        return qFromLittleEndian<quint16>(acl.constData() + 6 + i * kEntry);
    };
    const auto id = [&acl](qsizetype i) {
        return qFromLittleEndian<quint32>(acl.constData() + 8 + i * kEntry);
    };
    const qsizetype entries = (size - 4) / kEntry;
    quint16 mask = 07;
    for (qsizetype i = 0; i < entries; ++i) {
        if (tag(i) == kMask) {
            mask = permissions(i);
        }
    }
    for (qsizetype i = 0; i < entries; ++i) {
        const bool writes = (permissions(i) & mask & kWrite) != 0;
        if (writes && ((tag(i) == kUser && id(i) != owner && id(i) != 0) ||
                       (tag(i) == kGroup && !onlyOwnerIn(id(i), owner)))) {
            return true;
        }
    }
    return false;
}

// The parent of a folder given without links or "." and ".." pieces.
QString parentOf(const QString& folder) {
    const qsizetype slash = folder.lastIndexOf(u'/');
    return slash <= 0 ? QStringLiteral("/") : folder.left(slash);
}

// The folder above which a folder's keeping is not looked at: the home folder for one inside it,
// else the root.
QString topOf(const QString& folder) {
    const QString home = QFileInfo(QDir::homePath()).canonicalFilePath();
    return !home.isEmpty() && home != QLatin1String("/") && folder.startsWith(home + u'/')
               ? home
               : QStringLiteral("/");
}

// Why another user than owner could change what the folder real (given without links) holds, or
// what the folders above it hold, up to the home folder (to / for one outside it): one of them
// is owned by another user than owner or root, or others may write it without the sticky bit (they
// could put a folder or a link of theirs in place of one in it). Empty when none could. With
// itself, the folder itself is judged as a profile's: owned by owner, written by no other.
QString changeable(const QString& real, uint owner, bool itself) {
    const QString stop = topOf(real);
    for (QString at = real; !at.isEmpty();) {
        struct stat status {};
        const QByteArray path = QFile::encodeName(at);
        if (::stat(path.constData(), &status) != 0 || !S_ISDIR(status.st_mode)) {
            return QStringLiteral("The folder %1 cannot be read").arg(at);
        }
        // With an ACL, the group's bits of the mode are the most any named user or group may do.
        const bool acl = (status.st_mode & S_IWGRP) != 0 && aclLetsOthersWrite(path, owner);
        const QString mode = QString::number(status.st_mode & 07777, 8) +
                             (acl ? QStringLiteral(", and its ACL lets another user write") : QString());
        const bool othersWrite = (status.st_mode & S_IWOTH) != 0 ||
                                 ((status.st_mode & S_IWGRP) != 0 && !onlyOwnerIn(status.st_gid, owner)) ||
                                 acl;
        if (at == real && itself) {
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
        at = parentOf(at);
    }
    return QString();
}

// A folder with every link on its way followed, as the kernel follows them, for owner: the folder
// itself, and a reason when one of the links is not owner's own (or root's) or lies in a folder
// another user could change, as that user could point it elsewhere after it was looked at. The
// folder reached is the one to hand over, so that what was judged is what the browser gets.
struct Resolved {
    QString folder;
    QString problem;
};

Resolved withoutLinks(const QString& path, uint owner) {
    // As many links as the kernel follows on one path.
    constexpr int kLinksFollowed = 40;
    QStringList pending = path.split(u'/', Qt::SkipEmptyParts);
    QString at = QStringLiteral("/");
    int links = 0;
    while (!pending.isEmpty()) {
        const QString part = pending.takeFirst();
        if (part == QLatin1String(".")) {
            continue;
        }
        if (part == QLatin1String("..")) {
            at = parentOf(at);
            continue;
        }
        const QString next = at == QLatin1String("/") ? at + part : at + u'/' + part;
        const QByteArray encoded = QFile::encodeName(next);
        struct stat status {};
        if (::lstat(encoded.constData(), &status) != 0) {
            return {QString(), QStringLiteral("The folder %1 cannot be read").arg(next)};
        }
        if (!S_ISLNK(status.st_mode)) {
            at = next;
            continue;
        }
        if (++links > kLinksFollowed) {
            return {QString(), QStringLiteral("Too many links lead to %1").arg(path)};
        }
        if (status.st_uid != owner && status.st_uid != 0) {
            return {QString(), QStringLiteral("The link %1 belongs to another user").arg(next)};
        }
        if (const QString unsafe = changeable(at, owner, false); !unsafe.isEmpty()) {
            return {QString(), QStringLiteral("The link %1 may be changed: ").arg(next) + unsafe};
        }
        QByteArray target(PATH_MAX, '\0');
        const ssize_t length = ::readlink(encoded.constData(), target.data(), target.size());
        if (length <= 0 || length >= target.size()) {
            return {QString(), QStringLiteral("The link %1 cannot be read").arg(next)};
        }
        target.truncate(length);
        if (target.startsWith('/')) {
            at = QStringLiteral("/");
        }
        pending = QFile::decodeName(target).split(u'/', Qt::SkipEmptyParts) + pending;
    }
    return {at, QString()};
}

// What makes folder unfit to hold a profile of owner's, its links followed (see withoutLinks and
// changeable), and else the folder reached. Empty, with a problem, when it is unfit.
Resolved privateFolder(const QString& folder, uint owner) {
    Resolved resolved = withoutLinks(folder, owner);
    if (resolved.problem.isEmpty()) {
        resolved.problem = changeable(resolved.folder, owner, true);
    }
    if (!resolved.problem.isEmpty()) {
        resolved.folder.clear();
    }
    return resolved;
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
        // Read as a regular file only: a FIFO in its place would hold this thread until something
        // wrote to it. Small enough to parse here at once (a browser's is well under a megabyte).
        constexpr qsizetype limit = 4 * 1024 * 1024;
        const std::optional<RegularFile> state =
            RegularFile::open(root.filePath(QStringLiteral("Local State")));
        const std::optional<QByteArray> data = state ? state->readAll(limit) : std::nullopt;
        if (data && data->size() <= limit) {
            name = QJsonDocument::fromJson(*data)
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
    QFileInfoList files = QDir(profileFolder + QStringLiteral("/Sessions"))
                              .entryInfoList({QStringLiteral("Session_*")}, QDir::Files, QDir::Time);
    // The listing keeps a link whatever it leads to: only what is a regular file once links are
    // followed is a record (the browser's own are never links to anything else).
    files.removeIf([](const QFileInfo& file) { return !file.isFile(); });
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
        const Resolved data = privateFolder(clean, owner.value_or(::geteuid()));
        if (!data.problem.isEmpty()) {
            *problem = QStringLiteral("Not a private data folder: ") + data.problem;
            return std::nullopt;
        }
        // The folder judged, not the path to it: a link on the way might lead elsewhere later.
        switches << QStringLiteral("--user-data-dir=") + data.folder;
        root = data.folder;
    }
    if (!profileDirectory.isEmpty()) {
        if (!isPlainName(profileDirectory) || hasControl(profileDirectory) ||
            !QFileInfo(root + QLatin1Char('/') + profileDirectory).isDir()) {
            *problem =
                QStringLiteral("Not a profile folder of ") + root + QStringLiteral(": ") + profileDirectory;
            return std::nullopt;
        }
        // The default data folder is the user's own; a profile in it may still lead elsewhere. The
        // browser takes the profile by its name in the data folder, which only this user may change.
        const Resolved profile =
            privateFolder(root + QLatin1Char('/') + profileDirectory, owner.value_or(::geteuid()));
        if (!profile.problem.isEmpty()) {
            *problem = QStringLiteral("Not a private profile folder: ") + profile.problem;
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
