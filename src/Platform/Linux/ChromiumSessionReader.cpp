#include "Platform/Linux/ChromiumSessionReader.h"

#include "Platform/Linux/ChromiumProfile.h"

#include <QFile>

#include <sys/stat.h>

ChromiumSessionReader::ChromiumSessionReader(Locate locate, Parse parse, Newest newest)
    : m_locate(locate ? std::move(locate) : Locate(&ChromiumSessionReader::locate))
    , m_parse(parse ? std::move(parse) : Parse(&ChromiumSession::readFile))
    , m_newest(newest ? std::move(newest) : Newest(&ChromiumProfile::newestSessionFile)) {
}

ChromiumSessionReader::Location ChromiumSessionReader::locate(qint32 pid, const QString& configFolder) {
    return Location{ChromiumProfile::profileFolderOf(pid, configFolder),
                    ChromiumProfile::processStartedAt(pid)};
}

ChromiumSessionReader::Stamp ChromiumSessionReader::stampOf(const QString& path) {
    struct stat info {};
    const QByteArray name = QFile::encodeName(path);
    if (::stat(name.constData(), &info) != 0) {
        return Stamp();
    }
    return Stamp{true,
                 quint64(info.st_dev),
                 quint64(info.st_ino),
                 qint64(info.st_size),
                 qint64(info.st_mtim.tv_sec),
                 qint64(info.st_mtim.tv_nsec)};
}

ChromiumSessionReader::Result ChromiumSessionReader::read(qint32 pid, const QString& configFolder) {
    Entry& entry = m_entries[pid];
    entry.asked = true;
    if (!entry.located) {
        entry.location = m_locate(pid, configFolder);
        entry.located = true;
    }
    // Looked for at every read: the browser may have begun a newer file since the last one.
    const QString file = entry.location.profileFolder.isEmpty()
                             ? QString()
                             : m_newest(entry.location.profileFolder, entry.location.startedAt);
    if (file != entry.file) {
        entry.file = file;
        entry.parsedAt.reset();
        entry.session.reset();
        entry.problem.clear();
    }
    if (file.isEmpty()) {
        return Result();
    }
    // Stamped before it is read: a change made while it is read shows as a change next time.
    const Stamp stamp = stampOf(file);
    if (!stamp.exists) {
        // Gone between the listing and now: the next read finds its successor.
        return Result();
    }
    if (!entry.parsedAt || *entry.parsedAt != stamp) {
        entry.problem.clear();
        entry.session = m_parse(entry.file, &entry.problem);
        entry.parsedAt = stamp;
    }
    return Result{entry.file, entry.session, entry.problem};
}

void ChromiumSessionReader::forgetLocations() {
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        if (!it->asked) {
            it = m_entries.erase(it);
            continue;
        }
        it->asked = false;
        it->located = false;
        ++it;
    }
}
