#include "Platform/Linux/FolderWatch.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <dirent.h>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

namespace {

// However the folders are linked (a loop, a link to a large tree), the walk ends.
constexpr int kDeepest = 16;
constexpr qsizetype kMostFolders = 2048;

} // namespace

FolderWatch::FolderWatch(const QStringList& folders, Depth depth, Opened opened)
    : m_fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    , m_opened(std::move(opened)) {
    for (qsizetype root = 0; root < folders.size(); ++root) {
        const QString& folder = folders[root];
        m_resolved.append({folder, QFileInfo(folder).canonicalFilePath()});
        if (!QFileInfo(folder).isDir()) {
            // Told when it comes: the nearest folder above it that exists is watched instead.
            QString existing = folder;
            while (!QFileInfo(existing).isDir() && existing.size() > 1) {
                existing = QFileInfo(existing).absolutePath();
            }
            walk(existing, QString(), -1, kDeepest);
            continue;
        }
        walk(folder, QString(), root, depth == Depth::WithSubfolders ? 0 : kDeepest);
    }
}

FolderWatch::~FolderWatch() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

void FolderWatch::walk(const QString& path, const QString& prefix, qsizetype root, int depth) {
    struct stat info {};
    if (m_folders.size() >= kMostFolders || ::stat(QFile::encodeName(path).constData(), &info) != 0 ||
        !S_ISDIR(info.st_mode)) {
        return;
    }
    const std::pair<quint64, quint64> identity{quint64(info.st_dev), quint64(info.st_ino)};
    if (root >= 0 && m_onTheWay.contains(identity)) {
        m_loops.append(path); // back to a folder on the way: through links further down
        return;
    }
    if (root >= 0 && m_seen.contains(identity)) {
        return; // a second way to a folder already read, or a loop
    }
    constexpr uint32_t events = IN_CREATE | IN_DELETE | IN_MODIFY | IN_CLOSE_WRITE | IN_MOVED_FROM |
                                IN_MOVED_TO | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
    m_watching = m_fd >= 0 && ::inotify_add_watch(m_fd, QFile::encodeName(path).constData(), events) >= 0 &&
                 m_watching;
    if (root < 0) {
        return; // only watched, for a folder that does not exist yet
    }
    m_seen.insert(identity);
    m_folders.append(Folder{path, prefix, root});
    noteWaitingFiles(path);
    if (depth >= kDeepest) {
        return;
    }
    const QFileInfoList subfolders = QDir(path).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    const QString here = QFileInfo(path).canonicalFilePath();
    m_onTheWay.insert(identity);
    for (const QFileInfo& sub : subfolders) {
        if (sub.isSymLink()) {
            // Pointed elsewhere later, it leaves no trace in the folder it leads to.
            const QString target = sub.canonicalFilePath();
            m_resolved.append({sub.filePath(), target});
            // A link to this folder or one above it ("loop -> ..") is known without a walk above.
            if (!target.isEmpty() && (here == target || here.startsWith(target + u'/') || target == u'/')) {
                m_loops.append(sub.filePath());
                continue;
            }
        }
        walk(sub.filePath(), prefix + sub.fileName() + u'-', root, depth + 1);
    }
    m_onTheWay.remove(identity);
}

void FolderWatch::noteWaitingFiles(const QString& path) {
    DIR* dir = m_opened ? ::opendir(QFile::encodeName(path).constData()) : nullptr;
    if (!dir) {
        return;
    }
    QStringList found;
    while (const dirent* entry = ::readdir(dir)) {
        if (!m_opened(QFile::decodeName(entry->d_name))) {
            continue;
        }
        // The kind the listing gives is enough for most; a link (or a file system that gives none)
        // is asked where it leads.
        unsigned char type = entry->d_type;
        if (type == DT_LNK || type == DT_UNKNOWN) {
            struct stat info {};
            if (::fstatat(::dirfd(dir), entry->d_name, &info, 0) != 0) {
                continue;
            }
            type = S_ISFIFO(info.st_mode)  ? DT_FIFO
                   : S_ISCHR(info.st_mode) ? DT_CHR
                   : S_ISBLK(info.st_mode) ? DT_BLK
                                           : DT_REG;
        }
        if (type == DT_FIFO || type == DT_CHR || type == DT_BLK) {
            found.append(path + u'/' + QFile::decodeName(entry->d_name));
        }
    }
    ::closedir(dir);
    found.sort();
    m_waitingFiles.append(found);
}

bool FolderWatch::linksMoved() const {
    return std::any_of(m_resolved.cbegin(), m_resolved.cend(), [](const std::pair<QString, QString>& r) {
        return QFileInfo(r.first).canonicalFilePath() != r.second;
    });
}

bool FolderWatch::changed() {
    if (m_fd < 0 || !m_watching) {
        return true;
    }
    alignas(inotify_event) char buffer[4096];
    while (::read(m_fd, buffer, sizeof buffer) > 0) {
        m_changed = true;
    }
    m_changed = m_changed || linksMoved();
    return m_changed;
}
