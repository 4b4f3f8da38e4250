#pragma once

#include "Platform/Linux/ChromiumSession.h"

#include <QHash>
#include <QString>

#include <functional>
#include <optional>

// The windows and tabs of running browsers, as their live session files say, for code that asks
// again and again while it waits for a browser (every fifth of a second, say). A file is parsed
// again only when it changed (another size, modification time or file at that path); a browser's
// file is looked for once per script run (forgetLocations() begins one), and again when the file
// found is gone or none was found yet: a browser starts new files now and then, and a browser that
// has just started may not have written one.
class ChromiumSessionReader {
public:
    // Where the browser process keeps its live session file; empty when it has none.
    using Locate = std::function<QString(qint32 pid, const QString& configFolder)>;
    using Parse = std::function<std::optional<ChromiumSession>(const QString& path, QString* problem)>;

    explicit ChromiumSessionReader(Locate locate = {}, Parse parse = {});

    struct Result {
        // The file read; empty when the browser has none.
        QString file;
        // Nothing when there is no file or it cannot be read (problem says why).
        std::optional<ChromiumSession> session;
        QString problem;
    };

    Result read(qint32 pid, const QString& configFolder);
    // Where the browsers keep their files is looked for again at the next read. What was read of a
    // browser that was not asked about since the last call is dropped.
    void forgetLocations();

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
        QString file;
        bool located = false;
        bool asked = false;
        // The stamp of the file when it was parsed; nothing before the first parse.
        std::optional<Stamp> parsedAt;
        std::optional<ChromiumSession> session;
        QString problem;
    };

    static Stamp stampOf(const QString& path);

    Locate m_locate;
    Parse m_parse;
    QHash<qint32, Entry> m_entries;
};
