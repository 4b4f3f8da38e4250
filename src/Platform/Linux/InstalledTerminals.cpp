// GIO first: Qt's "signals" keyword breaks its headers.
#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include "Platform/Linux/InstalledTerminals.h"

#include "Platform/Linux/DesktopEntries.h"
#include "Platform/Linux/ProgramCommand.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QStringList>

#include <fcntl.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <memory>

namespace {

struct ObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};

// The applications folders in the order GIO reads them: the user's first, then the system's. An
// entry in an earlier one hides an entry of the same id in a later one.
QStringList applicationFolders() {
    QStringList folders{QFile::decodeName(g_get_user_data_dir()) + QStringLiteral("/applications")};
    for (const gchar* const* dir = g_get_system_data_dirs(); dir && *dir; ++dir) {
        folders << QFile::decodeName(*dir) + QStringLiteral("/applications");
    }
    return folders;
}

// Tells of any change in the applications folders, their subfolders, or (for a folder that does
// not exist yet) the nearest folder above it. Without inotify every look is a change.
class FolderWatch {
public:
    FolderWatch()
        : m_fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}
    ~FolderWatch() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;

    bool watch(const QString& folder) {
        constexpr uint32_t events = IN_CREATE | IN_DELETE | IN_MODIFY | IN_CLOSE_WRITE | IN_MOVED_FROM |
                                    IN_MOVED_TO | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
        return m_fd >= 0 && ::inotify_add_watch(m_fd, QFile::encodeName(folder).constData(), events) >= 0;
    }
    // Whether anything happened since the watches were set; reading empties the queue.
    bool changed() {
        if (m_fd < 0) {
            return true;
        }
        bool any = false;
        alignas(inotify_event) char buffer[4096];
        while (::read(m_fd, buffer, sizeof buffer) > 0) {
            any = true;
        }
        return any;
    }

private:
    int m_fd;
};

struct Snapshot {
    QSet<QString> programs;
    std::unique_ptr<FolderWatch> watch;
};

// Watches the folders, then reads the entries: a change while reading shows at the next look.
std::unique_ptr<FolderWatch> watchFolders(const QStringList& folders) {
    auto watch = std::make_unique<FolderWatch>();
    bool watching = true;
    for (const QString& folder : folders) {
        QString existing = folder;
        while (!QFileInfo(existing).isDir() && existing.size() > 1) {
            existing = QFileInfo(existing).absolutePath();
        }
        watching = watch->watch(existing) && watching;
        if (existing != folder) {
            continue;
        }
        QDirIterator sub(folder, QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        while (sub.hasNext()) {
            watching = watch->watch(sub.next()) && watching;
        }
    }
    return watching ? std::move(watch) : nullptr;
}

QSet<QString> readTerminalPrograms(const QStringList& folders) {
    QSet<QString> seen; // ids, the first folder's entry standing for each
    QSet<QString> programs;
    for (const QString& folder : folders) {
        QDirIterator files(folder, {QStringLiteral("*.desktop")}, QDir::Files, QDirIterator::Subdirectories);
        while (files.hasNext()) {
            const QString path = files.next();
            const QString id = QDir(folder).relativeFilePath(path).replace(u'/', u'-');
            if (seen.contains(id)) {
                continue;
            }
            seen.insert(id);
            const std::unique_ptr<GDesktopAppInfo, ObjectUnref> info(
                g_desktop_app_info_new_from_filename(QFile::encodeName(path).constData()));
            if (!info || g_desktop_app_info_get_is_hidden(info.get())) {
                continue;
            }
            const QStringList categories = QString::fromUtf8(g_desktop_app_info_get_categories(info.get()))
                                               .split(u';', Qt::SkipEmptyParts);
            if (!categories.contains(QStringLiteral("TerminalEmulator"))) {
                continue;
            }
            gchar* start = g_desktop_app_info_get_string(info.get(), "Path");
            const ProgramCommand program = DesktopEntries::programOfCommandLine(
                QByteArray(g_app_info_get_commandline(G_APP_INFO(info.get()))), QString::fromUtf8(start));
            g_free(start);
            if (!program.executable.isEmpty()) {
                programs.insert(program.executable);
            }
        }
    }
    return programs;
}

QMutex g_mutex;
Snapshot g_snapshot;

} // namespace

QSet<QString> InstalledTerminals::programs() {
    const QMutexLocker lock(&g_mutex);
    if (!g_snapshot.watch || g_snapshot.watch->changed()) {
        const QStringList folders = applicationFolders();
        g_snapshot.watch = watchFolders(folders);
        g_snapshot.programs = readTerminalPrograms(folders);
    }
    return g_snapshot.programs;
}
