#include "Platform/Linux/ChromiumSessionReader.h"

#include "Extensions/WorkerTask.h"
#include "Platform/Linux/ChromiumProfile.h"

#include <QCoreApplication>
#include <QFile>

#include <qcoro/qcorofuture.h>

#include <sys/stat.h>

#include <memory>

ChromiumSessionReader::ChromiumSessionReader(Locate locate, Parse parse, Newest newest, Start start)
    : m_locate(locate ? std::move(locate) : Locate(&ChromiumSessionReader::locate))
    , m_parse(parse ? std::move(parse) : Parse(&ChromiumSession::readFile))
    , m_newest(newest ? std::move(newest) : Newest(&ChromiumProfile::newestSessionFile))
    , m_start(start ? std::move(start) : Start(&ChromiumSessionReader::onWorker))
    , m_stop(std::make_shared<std::atomic<bool>>(false)) {
    if (QCoreApplication* const application = QCoreApplication::instance()) {
        QObject::connect(application, &QCoreApplication::aboutToQuit, application,
                         [stop = m_stop] { *stop = true; });
    }
}

void ChromiumSessionReader::stop() {
    *m_stop = true;
}

QFuture<ChromiumSessionReader::Parsed> ChromiumSessionReader::onWorker(std::function<Parsed()> parse) {
    return WorkerTask::run(std::move(parse));
}

QFuture<ChromiumSessionReader::Parsed> ChromiumSessionReader::atOnce(std::function<Parsed()> parse) {
    return QtFuture::makeReadyFuture(parse());
}

void ChromiumSessionReader::takeFinished(Entry& entry) {
    if (!entry.readingAt || !entry.reading.isFinished()) {
        return;
    }
    if (entry.readingFile == entry.file) {
        Parsed parsed = entry.reading.resultCount() > 0 ? entry.reading.result() : Parsed{};
        entry.session = std::move(parsed.session);
        entry.problem = std::move(parsed.problem);
        entry.parsedAt = entry.readingAt;
    }
    entry.readingFile.clear();
    entry.readingAt.reset();
    entry.reading = QFuture<Parsed>();
}

QCoro::Task<void> ChromiumSessionReader::settle() {
    QList<QFuture<Parsed>> running;
    for (const Entry& entry : std::as_const(m_entries)) {
        if (entry.readingAt) {
            running << entry.reading;
        }
    }
    for (QFuture<Parsed>& parse : running) {
        co_await parse;
    }
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
        // A parse of the file before that still runs ends unheard.
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
    takeFinished(entry);
    if ((!entry.parsedAt || *entry.parsedAt != stamp) && !entry.readingAt) {
        entry.readingFile = file;
        entry.readingAt = stamp;
        entry.reading = m_start([parse = m_parse, file, stop = m_stop] {
            Parsed parsed;
            parsed.session = parse(file, &parsed.problem, stop.get());
            return parsed;
        });
        takeFinished(entry);
    }
    const bool behind = !entry.parsedAt || *entry.parsedAt != stamp;
    return Result{entry.file, entry.session, entry.problem, behind};
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
