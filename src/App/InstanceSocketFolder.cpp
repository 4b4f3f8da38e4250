#include "App/InstanceSocketFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QSysInfo>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

QString socketName(bool demo) {
    return demo ? QStringLiteral("ordella-demo.socket") : QStringLiteral("ordella.socket");
}

// The host name as a part of a file name.
QString hostPart() {
    QString host = QSysInfo::machineHostName().left(64);
    for (QChar& c : host) {
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != u'.' && c != u'-' && c != u'_') {
            c = u'_';
        }
    }
    return host.isEmpty() || host.startsWith(u'.') ? QStringLiteral("host") : host;
}

QString parentOf(const QString& path) {
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}

// The first folder above path, up to stop (or /), that another user could change; links in the
// path are passed over when not followed (the folder that holds a link is checked next).
QString unsafeParent(const QString& path, const QString& stop, bool followLinks) {
    for (QString folder = parentOf(path);; folder = parentOf(folder)) {
        struct stat status {};
        const QByteArray name = QFile::encodeName(folder);
        if ((followLinks ? stat(name.constData(), &status) : lstat(name.constData(), &status)) != 0) {
            return QStringLiteral("The folder %1 cannot be read.").arg(folder);
        }
        if (followLinks || !S_ISLNK(status.st_mode)) {
            if (status.st_uid != geteuid() && status.st_uid != 0) {
                return QStringLiteral("The folder %1 belongs to another user.").arg(folder);
            }
            if ((status.st_mode & (S_IWGRP | S_IWOTH)) != 0 && (status.st_mode & S_ISVTX) == 0) {
                return QStringLiteral("Other users may write the folder %1 (its mode is %2).")
                    .arg(folder, QString::number(status.st_mode & 07777, 8));
            }
        }
        if (folder == stop || folder == QLatin1String("/")) {
            return {};
        }
    }
}

// Where the check of the folders above path stops: the home folder when path is inside it.
QString stopFor(const QString& path, const QString& home) {
    return !home.isEmpty() && home != QLatin1String("/") && path.startsWith(home + u'/')
               ? home
               : QStringLiteral("/");
}

// What is wrong with the folders that hold folder: one, from its parent up to the home folder (up
// to / for a folder outside it), that another user owns (root aside) or that others may write
// without the sticky bit, along the path as written and the one its links lead to. Empty when
// they are fine.
QString problemWithParentsOf(const QString& folder) {
    const QString written =
        QDir::cleanPath(QDir::isAbsolutePath(folder) ? folder : QDir::current().filePath(folder));
    if (const QString problem =
            unsafeParent(written, stopFor(written, QDir::cleanPath(QDir::homePath())), false);
        !problem.isEmpty()) {
        return problem;
    }
    // Where links lead, the folders there count as well.
    const QString parent = parentOf(written);
    const QString realParent = QFileInfo(parent).canonicalFilePath();
    if (realParent.isEmpty()) {
        return QStringLiteral("The folder %1 cannot be read.").arg(parent);
    }
    if (realParent == parent) {
        return {};
    }
    const QString real = QDir(realParent).filePath(QFileInfo(written).fileName());
    return unsafeParent(real, stopFor(real, QFileInfo(QDir::homePath()).canonicalFilePath()), true);
}

} // namespace

QString InstanceSocketFolder::problemWith(const QString& folder) {
    struct stat status {};
    if (folder.isEmpty() || lstat(QFile::encodeName(folder).constData(), &status) != 0) {
        return QStringLiteral("The folder %1 cannot be read.").arg(folder);
    }
    if (!S_ISDIR(status.st_mode)) {
        return QStringLiteral("%1 is not a folder.").arg(folder);
    }
    if (status.st_uid != geteuid()) {
        return QStringLiteral("The folder %1 belongs to another user.").arg(folder);
    }
    if ((status.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
        return QStringLiteral("Other users may use the folder %1 (its mode is %2, not 700).")
            .arg(folder, QString::number(status.st_mode & 07777, 8));
    }
    return {};
}

QString InstanceSocketFolder::ownFolder() {
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (cache.isEmpty()) {
        return {};
    }
    return QDir(cache).filePath(QStringLiteral("Ordella/runtime-") + hostPart());
}

InstanceSocketFolder::Location InstanceSocketFolder::locate(bool demo) {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    QString folder;
    if (!runtime.isEmpty() && problemWith(runtime).isEmpty()) {
        folder = runtime;
    } else {
        folder = ownFolder();
        if (folder.isEmpty()) {
            return {QString(), QStringLiteral("Ordella finds no folder of this user for its socket "
                                              "(neither XDG_RUNTIME_DIR nor a cache folder).")};
        }
        // Made private from the start: never a moment in which another user could enter it.
        QDir().mkpath(QFileInfo(folder).path());
        QString problem = problemWithParentsOf(folder);
        if (problem.isEmpty()) {
            mkdir(QFile::encodeName(folder).constData(), S_IRWXU);
            problem = problemWith(folder);
        }
        if (!problem.isEmpty()) {
            return {QString(), problem + QStringLiteral(" Ordella keeps its socket only in a folder of "
                                                        "this user's own with mode 700, held by folders "
                                                        "no other user may change: remove the folder or "
                                                        "set it right, then start again.")};
        }
    }
    const QString path = QDir(folder).filePath(socketName(demo));
    if (QFile::encodeName(path).size() >= qsizetype(sizeof(sockaddr_un::sun_path))) {
        return {QString(), QStringLiteral("The path of Ordella's socket is too long: %1").arg(path)};
    }
    return {path, QString()};
}
