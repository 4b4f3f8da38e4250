// GLib first: Qt's "signals" keyword breaks GIO's headers.
#include <glib.h>

#include "Platform/Linux/DBusServiceFiles.h"

#include "Platform/Linux/FolderWatch.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

namespace {

// Files read in one folder; past that, only the file named after a bus name is looked at.
constexpr qsizetype kMostFiles = 4096;

struct Service {
    QString name;
    // Empty when the Exec line cannot be split into words.
    QStringList words;
};

// The file as the bus reads it: a regular file within its limit, naming a bus name and a command.
// Opened without waiting, so that a pipe put there cannot hold the reader.
std::optional<Service> readService(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    struct stat info {};
    QByteArray contents;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= DBusServiceFiles::kLargestFile) {
        contents.resize(DBusServiceFiles::kLargestFile + 1);
        qsizetype length = 0;
        while (length < contents.size()) {
            const ssize_t got = ::read(fd, contents.data() + length, size_t(contents.size() - length));
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got <= 0) {
                break;
            }
            length += got;
        }
        contents.truncate(length);
    }
    ::close(fd);
    if (contents.isEmpty() || contents.size() > DBusServiceFiles::kLargestFile) {
        return std::nullopt; // not a file, grown past the limit meanwhile, or empty
    }
    GKeyFile* file = g_key_file_new();
    std::optional<Service> service;
    if (g_key_file_load_from_data(file, contents.constData(), gsize(contents.size()), G_KEY_FILE_NONE,
                                  nullptr)) {
        gchar* name = g_key_file_get_string(file, "D-BUS Service", "Name", nullptr);
        gchar* exec = g_key_file_get_string(file, "D-BUS Service", "Exec", nullptr);
        if (name && *name && exec) {
            service = Service{QString::fromUtf8(name), {}};
            gchar** parsed = nullptr;
            if (g_shell_parse_argv(exec, nullptr, &parsed, nullptr)) {
                for (gchar** word = parsed; *word; ++word) {
                    service->words << QString::fromUtf8(*word);
                }
                g_strfreev(parsed);
            }
        }
        g_free(exec);
        g_free(name);
    }
    g_key_file_free(file);
    return service;
}

struct Folder {
    QString path;
    // Only a file named after its bus name counts.
    bool strict = false;
    // Whether every file was read.
    bool complete = true;
    // The files naming each bus name.
    QHash<QString, QStringList> filesOf;
};

struct Snapshot {
    QStringList folders;
    QList<Folder> read;
    std::unique_ptr<FolderWatch> watch;
};

// The session bus's standard service folders, in its order; the first is strict when there.
QStringList serviceFolders(bool* strictFirst) {
    QStringList folders;
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    *strictFirst = !runtime.isEmpty();
    if (*strictFirst) {
        folders << QFile::decodeName(runtime) + QStringLiteral("/dbus-1/services");
    }
    folders << QFile::decodeName(g_get_user_data_dir()) + QStringLiteral("/dbus-1/services");
    for (const gchar* const* dir = g_get_system_data_dirs(); dir && *dir; ++dir) {
        folders << QFile::decodeName(*dir) + QStringLiteral("/dbus-1/services");
    }
    folders << QStringLiteral("/usr/share/dbus-1/services");
    return folders;
}

QList<Folder> readFolders(const QList<FolderWatch::Folder>& found, bool strictFirst) {
    QList<Folder> folders;
    for (const FolderWatch::Folder& place : found) {
        Folder folder{place.path, strictFirst && place.root == 0, true, {}};
        QStringList names =
            QDir(place.path).entryList({QStringLiteral("*.service")}, QDir::Files, QDir::Name);
        if (names.size() > kMostFiles) {
            folder.complete = false;
            names.resize(kMostFiles);
        }
        for (const QString& name : std::as_const(names)) {
            const std::optional<Service> service = readService(place.path + u'/' + name);
            if (service && (!folder.strict || name == service->name + QStringLiteral(".service"))) {
                folder.filesOf[service->name].append(name);
            }
        }
        folders.append(folder);
    }
    return folders;
}

// The words of the file for the bus name, read again now: the folders were read before.
std::optional<QStringList> wordsOf(const QString& path, const QString& busName) {
    const std::optional<Service> service = readService(path);
    return service && service->name == busName ? std::optional<QStringList>(service->words) : std::nullopt;
}

QMutex g_mutex;
Snapshot g_snapshot;

} // namespace

std::optional<QStringList> DBusServiceFiles::commandLineOf(const QString& busName) {
    const QMutexLocker lock(&g_mutex);
    bool strictFirst = false;
    const QStringList folders = serviceFolders(&strictFirst);
    if (!g_snapshot.watch || g_snapshot.watch->changed() || g_snapshot.folders != folders) {
        g_snapshot.watch = std::make_unique<FolderWatch>(folders, FolderWatch::Depth::FolderAlone);
        g_snapshot.folders = folders;
        g_snapshot.read = readFolders(g_snapshot.watch->folders(), strictFirst);
    }
    const QString named = busName + QStringLiteral(".service");
    for (const Folder& folder : std::as_const(g_snapshot.read)) {
        const QStringList files = folder.filesOf.value(busName);
        if (folder.strict) {
            // Only the file named after the name counts there.
            if (!files.isEmpty()) {
                return wordsOf(folder.path + u'/' + named, busName);
            }
            continue;
        }
        if (!folder.complete) {
            return std::nullopt; // a file past those read may name it too
        }
        if (files.size() == 1) {
            return wordsOf(folder.path + u'/' + files.first(), busName);
        }
        if (files.size() > 1) {
            // The bus takes whichever its listing of the folder gives first, the file named after
            // the name or another: which one runs cannot be told.
            return std::nullopt;
        }
    }
    return std::nullopt;
}
