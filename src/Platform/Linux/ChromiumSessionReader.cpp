#include "Platform/Linux/ChromiumSessionReader.h"

#include "Platform/Linux/ChromiumProfile.h"

#include <QFile>

#include <sys/stat.h>

ChromiumSessionReader::ChromiumSessionReader(Locate locate, Parse parse)
    : m_locate(locate ? std::move(locate) : Locate(&ChromiumProfile::sessionFileOf))
    , m_parse(parse ? std::move(parse) : Parse(&ChromiumSession::readFile)) {
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
    Stamp stamp = entry.located ? stampOf(entry.file) : Stamp();
    if (!stamp.exists) {
        // Not looked for in this run yet, or the file went away: the browser may have started
        // another one.
        const QString file = m_locate(pid, configFolder);
        if (file != entry.file) {
            entry = Entry{file, false, true, std::nullopt, std::nullopt, QString()};
        }
        entry.located = !file.isEmpty();
        if (file.isEmpty()) {
            return Result();
        }
        stamp = stampOf(file);
    }
    // Stamped before it is read: a change made while it is read shows as a change next time.
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
