// GIO first: Qt's "signals" keyword breaks its headers.
#include <gio/gio.h>

#include "Platform/Linux/InstalledEntries.h"

#include "Platform/Diagnostics.h"
#include "Platform/Linux/FolderWatch.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QSet>
#include <QStringList>

#include <sys/stat.h>

namespace {

// The applications folders in the order GIO reads them: the user's first, then the system's.
QStringList applicationFolders() {
    QStringList folders{QFile::decodeName(g_get_user_data_dir()) + QStringLiteral("/applications")};
    for (const gchar* const* dir = g_get_system_data_dirs(); dir && *dir; ++dir) {
        folders << QFile::decodeName(*dir) + QStringLiteral("/applications");
    }
    return folders;
}

std::shared_ptr<const QList<InstalledEntry>> readEntries(const QList<FolderWatch::Folder>& folders) {
    auto entries = std::make_shared<QList<InstalledEntry>>();
    QSet<QString> taken; // ids an earlier entry stands for, or hides
    for (const FolderWatch::Folder& folder : folders) {
        const QStringList names =
            QDir(folder.path).entryList({QStringLiteral("*.desktop")}, QDir::Files, QDir::Name);
        for (const QString& name : names) {
            const QString id = folder.prefix + name;
            if (taken.contains(id)) {
                continue;
            }
            std::optional<InstalledEntry> installed = DesktopEntries::load(folder.path + u'/' + name, id);
            if (!installed) {
                continue; // one that does not load leaves its id to a later folder
            }
            taken.insert(id);
            if (!installed->hidden) {
                entries->append(std::move(*installed));
            }
        }
    }
    return entries;
}

struct Snapshot {
    std::shared_ptr<const QList<InstalledEntry>> entries;
    std::unique_ptr<FolderWatch> watch;
    // Where programs were looked for: a program named without a path is found along it.
    QByteArray searchPath;
    QHash<std::pair<QByteArray, QString>, ProgramCommand> programs;
    // What would hold GIO's reader, as last found (and told).
    QStringList unreadable;
};

QMutex g_mutex;
Snapshot g_snapshot;

// The lists of default applications GIO reads along with the entries (the user's, then the
// system's; each general, then for the desktop running) that are FIFOs or devices, or links to one.
QStringList waitingListsOfDefaults() {
    QStringList folders{QFile::decodeName(g_get_user_config_dir())};
    for (const gchar* const* dir = g_get_system_config_dirs(); dir && *dir; ++dir) {
        folders << QFile::decodeName(*dir);
    }
    QStringList names{QStringLiteral("mimeapps.list")};
    for (const QString& desktop :
         QString::fromLocal8Bit(qgetenv("XDG_CURRENT_DESKTOP")).split(u':', Qt::SkipEmptyParts)) {
        names << desktop.toLower() + QStringLiteral("-mimeapps.list");
    }
    QStringList waiting;
    for (const QString& folder : std::as_const(folders)) {
        for (const QString& name : std::as_const(names)) {
            const QString path = folder + u'/' + name;
            struct stat info {};
            if (::stat(QFile::encodeName(path).constData(), &info) == 0 &&
                (S_ISFIFO(info.st_mode) || S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode))) {
                waiting << path;
            }
        }
    }
    return waiting;
}

// Finds the folders again when they changed, and forgets the entries read from them; the caller
// holds g_mutex. Only the folders are walked here: the entries are read when they are asked for.
void refresh() {
    const QByteArray searchPath = qgetenv("PATH");
    if (!g_snapshot.watch || g_snapshot.watch->changed() || g_snapshot.searchPath != searchPath) {
        // GIO opens the entries, the lists of default applications and the cache of the types
        // each entry takes; it never opens other files there (a program kept there, say).
        const auto opened = [](const QString& name) {
            return name.endsWith(QLatin1String(".desktop")) ||
                   name.endsWith(QLatin1String("mimeapps.list")) || name == QLatin1String("mimeinfo.cache") ||
                   name == QLatin1String("defaults.list");
        };
        g_snapshot.watch =
            std::make_unique<FolderWatch>(applicationFolders(), FolderWatch::Depth::WithSubfolders, opened);
        g_snapshot.searchPath = searchPath;
        g_snapshot.entries.reset();
        g_snapshot.programs.clear();
    }
    const QStringList unreadable =
        g_snapshot.watch->loops() + g_snapshot.watch->waitingFiles() + waitingListsOfDefaults();
    if (unreadable == g_snapshot.unreadable) {
        return;
    }
    g_snapshot.unreadable = unreadable;
    g_snapshot.entries.reset();
    if (!unreadable.isEmpty()) {
        Diagnostics::print(
            QStringLiteral("[InstalledEntries.read] No installed application is read: the desktop's "
                           "reader of them would follow links that lead back to a folder above "
                           "them without end, or wait on files that are not regular files (a FIFO, "
                           "a device): ") +
            unreadable.join(QStringLiteral(", ")));
    }
}

} // namespace

std::shared_ptr<const QList<InstalledEntry>> InstalledEntries::all() {
    const QMutexLocker lock(&g_mutex);
    refresh();
    if (!g_snapshot.entries) {
        g_snapshot.entries = g_snapshot.unreadable.isEmpty()
                                 ? readEntries(g_snapshot.watch->folders())
                                 : std::make_shared<const QList<InstalledEntry>>();
    }
    return g_snapshot.entries;
}

QStringList InstalledEntries::unreadable() {
    const QMutexLocker lock(&g_mutex);
    refresh();
    return g_snapshot.unreadable;
}

ProgramCommand InstalledEntries::programOf(const QByteArray& commandLine, const QString& folder) {
    const QMutexLocker lock(&g_mutex);
    const std::pair<QByteArray, QString> key{commandLine, folder};
    auto it = g_snapshot.programs.constFind(key);
    if (it == g_snapshot.programs.constEnd()) {
        it = g_snapshot.programs.insert(key, DesktopEntries::programOfCommandLine(commandLine, folder));
    }
    return it.value();
}
