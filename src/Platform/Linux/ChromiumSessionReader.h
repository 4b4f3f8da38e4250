#pragma once

#include "Platform/Linux/ChromiumSession.h"

#include <QDateTime>
#include <QFuture>
#include <QHash>
#include <QString>

#include <qcoro/qcorotask.h>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

// The windows and tabs of running browsers, as their live session files say, for code that asks
// again and again while it waits for a browser (every fifth of a second, say). A browser's profile
// folder is looked for once per script run (forgetLocations() begins one); the newest session file
// in it is looked for at every read, as a browser starts new files now and then (one it was just
// started writes its first some seconds later, beside the files of its earlier runs, which are not
// its own). A file is parsed again only when it changed (another size, modification time or file
// at that path). A file is parsed on a worker thread, as a crafted one can take long: a read
// meanwhile gives what was parsed before, and settle() waits for the parses under way.
class ChromiumSessionReader {
public:
    struct Location {
        // Empty when the browser's profile cannot be told.
        QString profileFolder;
        // When the browser started: files last written before are left over from earlier runs.
        std::optional<QDateTime> startedAt;
    };
    using Locate = std::function<Location(qint32 pid, const QString& configFolder)>;
    // The live session file of a profile; empty when it has none.
    using Newest =
        std::function<QString(const QString& profileFolder, const std::optional<QDateTime>& notBefore)>;
    // A parse ends soon after stop is set.
    using Parse = std::function<std::optional<ChromiumSession>(const QString& path, QString* problem,
                                                               const std::atomic<bool>* stop)>;
    // What one parse gives: plain data, made on a worker and taken on the reader's thread.
    struct Parsed {
        std::optional<ChromiumSession> session;
        QString problem;
    };
    // Starts a parse; its result comes with the future.
    using Start = std::function<QFuture<Parsed>(std::function<Parsed()> parse)>;
    // On a thread of Qt's pool (the default); at once on the caller's thread (tests).
    static QFuture<Parsed> onWorker(std::function<Parsed()> parse);
    static QFuture<Parsed> atOnce(std::function<Parsed()> parse);

    explicit ChromiumSessionReader(Locate locate = {}, Parse parse = {}, Newest newest = {},
                                   Start start = {});

    struct Result {
        // The file read; empty when the browser has none.
        QString file;
        // Nothing when there is no file or it cannot be read (problem says why).
        std::optional<ChromiumSession> session;
        QString problem;
        // Whether the file is being parsed now: session is then what was parsed before, if any.
        bool reading = false;
    };

    Result read(qint32 pid, const QString& configFolder);
    // Ends once every parse started by the reads before has ended; the next reads give them.
    QCoro::Task<void> settle();
    // Where the browsers keep their files is looked for again at the next read. What was read of a
    // browser that was not asked about since the last call is dropped.
    void forgetLocations();
    // Has the parses under way (of this reader and its copies) end soon, giving nothing; later
    // reads parse nothing either. Done when the application is about to quit: Qt waits for the
    // work of its pool before the process ends, and a crafted record can take seconds.
    void stop();

    static Location locate(qint32 pid, const QString& configFolder);

private:
    // What identifies one state of a file: written again or replaced, it differs.
    struct Stamp {
        bool exists = false;
        quint64 device = 0;
        quint64 inode = 0;
        qint64 size = 0;
        qint64 modifiedSeconds = 0;
        qint64 modifiedNanoseconds = 0;

        friend bool operator==(const Stamp&, const Stamp&) = default;
    };
    struct Entry {
        Location location;
        bool located = false;
        bool asked = false;
        QString file;
        // The stamp of the file when it was parsed; nothing before the first parse.
        std::optional<Stamp> parsedAt;
        std::optional<ChromiumSession> session;
        QString problem;
        // The one parse under way, if any: the file and stamp it reads, and what it will give. A
        // file changed meanwhile is parsed again once it has ended, never beside it: a file
        // rewritten again and again costs one parse at a time.
        QString readingFile;
        std::optional<Stamp> readingAt;
        QFuture<Parsed> reading;
    };

    static Stamp stampOf(const QString& path);
    // Takes the result of the entry's parse once it has ended (dropped when the entry has moved
    // to another file since).
    static void takeFinished(Entry& entry);

    Locate m_locate;
    Parse m_parse;
    Newest m_newest;
    Start m_start;
    std::shared_ptr<std::atomic<bool>> m_stop;
    QHash<qint32, Entry> m_entries;
};
