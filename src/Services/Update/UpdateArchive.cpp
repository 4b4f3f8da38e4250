#include "Services/Update/UpdateArchive.h"

#include <QPointer>
#include <QProcess>

#include <qcoro/qcoroprocess.h>

#include <limits>

namespace {

struct ToolRun {
    std::optional<UpdateError> startFailure;
    bool succeeded = false;
    bool timedOut = false;
    QByteArray output;
};

// A run that could not start, took too long or failed ends the unpacking with its own error.
std::optional<UpdateError> failureOf(const ToolRun& run, const UpdateError& tooSlow,
                                     const UpdateError& failed) {
    if (run.startFailure) {
        return run.startFailure;
    }
    if (run.timedOut) {
        return tooSlow;
    }
    if (!run.succeeded) {
        return failed;
    }
    return std::nullopt;
}

QCoro::Task<ToolRun> runTar(QStringList arguments, QObject* owner, std::chrono::milliseconds timeout) {
    QPointer<QProcess> process = new QProcess(owner);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // The listing's layout and quoting must not depend on the user's language.
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    process->setProcessEnvironment(environment);
    process->setProgram(QStringLiteral("tar"));
    process->setArguments(arguments);
    ToolRun run;
    const bool started =
        co_await qCoro(process.data()).start(QIODevice::ReadOnly, std::chrono::milliseconds(-1));
    if (!process) {
        run.startFailure =
            UpdateError{QStringLiteral("QProcess"), 0, QStringLiteral("The updater went away")};
        co_return run;
    }
    if (!started) {
        run.startFailure = UpdateError{QStringLiteral("QProcess"), static_cast<int>(process->error()),
                                       process->errorString()};
        process->deleteLater();
        co_return run;
    }
    // A watchdog on a real child process: tar that hangs on a broken archive is stopped.
    const bool finished = co_await qCoro(process.data()).waitForFinished(timeout);
    if (!process) {
        run.startFailure =
            UpdateError{QStringLiteral("QProcess"), 0, QStringLiteral("The updater went away")};
        co_return run;
    }
    if (!finished) {
        process->kill();
        process->waitForFinished(1000);
        process->deleteLater();
        run.timedOut = true;
        co_return run;
    }
    run.succeeded = process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0;
    run.output = process->readAllStandardOutput();
    process->deleteLater();
    co_return run;
}

// Reads one C-quoted string starting at pos (on the opening quote); pos ends after the closing one.
std::optional<QString> readQuoted(const QByteArray& line, qsizetype& pos) {
    if (pos >= line.size() || line[pos] != '"') {
        return std::nullopt;
    }
    QByteArray bytes;
    for (++pos; pos < line.size(); ++pos) {
        const char c = line[pos];
        if (c == '"') {
            ++pos;
            return QString::fromUtf8(bytes);
        }
        if (c != '\\') {
            bytes += c;
            continue;
        }
        if (++pos >= line.size()) {
            return std::nullopt;
        }
        const char e = line[pos];
        static const QByteArray simple = QByteArrayLiteral("abfnrtv\\\"?");
        static const QByteArray meaning = QByteArrayLiteral("\a\b\f\n\r\t\v\\\"?");
        if (const qsizetype i = simple.indexOf(e); i >= 0) {
            bytes += meaning[i];
        } else if (e >= '0' && e <= '7') {
            int value = 0;
            int digits = 0;
            for (; digits < 3 && pos < line.size() && line[pos] >= '0' && line[pos] <= '7'; ++digits, ++pos) {
                value = value * 8 + (line[pos] - '0');
            }
            --pos;
            if (value > 255) {
                return std::nullopt;
            }
            bytes += static_cast<char>(value);
        } else {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

// The components of a member name or link target without empty and "." ones; nothing when one is
// ".." (or the text is absolute, when that is not allowed).
std::optional<QStringList> safeComponents(const QString& path) {
    if (path.startsWith(u'/')) {
        return std::nullopt;
    }
    QStringList out;
    for (const QString& part : path.split(u'/', Qt::SkipEmptyParts)) {
        if (part == QStringLiteral("..")) {
            return std::nullopt;
        }
        if (part != QStringLiteral(".")) {
            out << part;
        }
    }
    return out;
}

} // namespace

std::optional<QList<UpdateArchive::Entry>> UpdateArchive::parseListing(const QByteArray& listing) {
    QList<Entry> entries;
    for (const QByteArray& line : listing.split('\n')) {
        if (line.isEmpty()) {
            continue;
        }
        qsizetype pos = line.indexOf('"');
        if (pos <= 0) {
            return std::nullopt;
        }
        Entry entry;
        entry.type = QLatin1Char(line[0]);
        const std::optional<QString> name = readQuoted(line, pos);
        if (!name) {
            return std::nullopt;
        }
        entry.name = *name;
        const QByteArray rest = line.mid(pos);
        static const QByteArray symbolic = QByteArrayLiteral(" -> ");
        static const QByteArray hard = QByteArrayLiteral(" link to ");
        if (!rest.isEmpty()) {
            const QByteArray& marker = rest.startsWith(symbolic) ? symbolic : hard;
            if (!rest.startsWith(marker)) {
                return std::nullopt;
            }
            pos += marker.size();
            const std::optional<QString> target = readQuoted(line, pos);
            if (!target || pos != line.size()) {
                return std::nullopt;
            }
            entry.linkTarget = *target;
        }
        entries << entry;
    }
    return entries;
}

std::optional<qint64> UpdateArchive::unpackedSize(const QByteArray& listing) {
    qint64 total = 0;
    for (const QByteArray& line : listing.split('\n')) {
        // Mode, owner/group, size, date, time, then the quoted name: only files take room.
        if (line.isEmpty() || line[0] != '-') {
            continue;
        }
        const QList<QByteArray> fields = line.left(line.indexOf('"')).simplified().split(' ');
        bool ok = false;
        const qint64 size = fields.size() >= 3 ? fields[2].toLongLong(&ok) : 0;
        if (!ok || size < 0) {
            return std::nullopt;
        }
        total = size > std::numeric_limits<qint64>::max() - total ? std::numeric_limits<qint64>::max()
                                                                  : total + size;
    }
    return total;
}

QString UpdateArchive::unsafeEntry(const QList<Entry>& entries) {
    for (const Entry& e : entries) {
        const std::optional<QStringList> name = safeComponents(e.name);
        if (!name || (name->isEmpty() && e.type != u'd')) {
            return QStringLiteral("Unsafe name in update archive: ") + e.name;
        }
        const bool isLink = e.type == u'l' || e.type == u'h';
        if (isLink && (e.linkTarget.isEmpty() || !safeComponents(e.linkTarget))) {
            return QStringLiteral("Unsafe link in update archive: ") + e.name + QStringLiteral(" -> ") +
                   e.linkTarget;
        }
        if (!isLink && e.type != u'-' && e.type != u'd') {
            return QStringLiteral("Unexpected kind of entry in update archive: ") + e.name;
        }
    }
    return {};
}

QStringList UpdateArchive::topLevelNames(const QList<Entry>& entries) {
    QStringList names;
    for (const Entry& e : entries) {
        const QStringList parts = safeComponents(e.name).value_or(QStringList());
        if (!parts.isEmpty() && !names.contains(parts.first())) {
            names << parts.first();
        }
    }
    return names;
}

QCoro::Task<UpdateResult<QStringList>> UpdateArchive::unpack(QString archive, QString folder, QObject* owner,
                                                             UpdateLimits limits) {
    // Both argument lists are made before the first wait (GCC 12 cannot keep a braced list alive
    // across one).
    const QString file = QStringLiteral("--file=") + archive;
    const QStringList listArguments{QStringLiteral("--list"),          QStringLiteral("--verbose"),
                                    QStringLiteral("--numeric-owner"), QStringLiteral("--quoting-style=c"),
                                    QStringLiteral("--gzip"),          file};
    const QStringList extractArguments{QStringLiteral("--extract"),
                                       QStringLiteral("--gzip"),
                                       QStringLiteral("--no-same-owner"),
                                       QStringLiteral("--no-same-permissions"),
                                       file,
                                       QStringLiteral("--directory=") + folder};
    const UpdateError mountFailed =
        UpdateError::autoUpdate(UpdateError::mountFailed, QStringLiteral("Failed to mount DMG"));
    const UpdateError tooSlow = UpdateError::autoUpdate(
        UpdateError::mountFailed, QStringLiteral("Failed to mount DMG: tar took longer than ") +
                                      QString::number(limits.tarTimeout.count() / 1000.0) +
                                      QStringLiteral(" s and was stopped"));

    const ToolRun listing = co_await runTar(listArguments, owner, limits.tarTimeout);
    if (const std::optional<UpdateError> failure = failureOf(listing, tooSlow, mountFailed)) {
        co_return *failure;
    }
    const std::optional<QList<Entry>> entries = parseListing(listing.output);
    const std::optional<qint64> size = unpackedSize(listing.output);
    if (!entries || !size) {
        co_return UpdateError::autoUpdate(UpdateError::mountInfoUnreadable,
                                          QStringLiteral("Failed to parse mount information"));
    }
    if (const QString unsafe = unsafeEntry(*entries); !unsafe.isEmpty()) {
        co_return UpdateError::autoUpdate(UpdateError::unsafeArchive, unsafe);
    }
    if (*size > limits.maxUnpackedBytes) {
        co_return UpdateError::autoUpdate(UpdateError::unsafeArchive,
                                          QStringLiteral("The update archive unpacks to ") +
                                              QString::number(*size) + QStringLiteral(" bytes, more than ") +
                                              QString::number(limits.maxUnpackedBytes));
    }
    const ToolRun extraction = co_await runTar(extractArguments, owner, limits.tarTimeout);
    if (const std::optional<UpdateError> failure = failureOf(extraction, tooSlow, mountFailed)) {
        co_return *failure;
    }
    co_return topLevelNames(*entries);
}
