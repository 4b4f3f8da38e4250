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
        mkdir(QFile::encodeName(folder).constData(), S_IRWXU);
        const QString problem = problemWith(folder);
        if (!problem.isEmpty()) {
            return {QString(), problem + QStringLiteral(" Ordella keeps its socket only in a folder of "
                                                        "this user's own with mode 700: remove the "
                                                        "folder or set it right, then start again.")};
        }
    }
    const QString path = QDir(folder).filePath(socketName(demo));
    if (QFile::encodeName(path).size() >= qsizetype(sizeof(sockaddr_un::sun_path))) {
        return {QString(), QStringLiteral("The path of Ordella's socket is too long: %1").arg(path)};
    }
    return {path, QString()};
}
