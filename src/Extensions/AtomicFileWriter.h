#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <optional>

class QIODevice;

// Replaces a file whole or not at all, and says which. Every file Ordella writes goes through it.
//
// It writes a temporary copy beside the file and renames it over the file once every byte is on
// the disk. QSaveFile does the same but is not enough: it buffers small writes, and when the
// buffer cannot be written at the end (a full disk) its commit() still answers true and puts an
// empty file in place of the old one; a short write is not an error to it either, so a nearly full
// disk leaves a cut file; and its copies ("<name>.XXXXXX") cannot be told from a user's files
// ("notes.json.backup"). This writer writes unbuffered, counts every byte, flushes and syncs, and
// commits only when every step succeeded; otherwise the temporary copy is dropped and the old
// file stays as it was. Its copies carry a name no one else gives a file (see
// targetOfTemporaryCopy), so a copy that a killed process left behind can be recognised.
//
// Use: open(), write() as often as needed, commit(). A writer destroyed without a successful
// commit() leaves the old file untouched. Main thread only.
class AtomicFileWriter {
public:
    struct Result {
        bool written = false;
        QString errorString; // why not, when not written

        explicit operator bool() const { return written; }
    };

    explicit AtomicFileWriter(const QString& path);
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    bool open();
    // True when every byte reached the file. After a failure every later call fails too.
    bool write(const QByteArray& data);
    // Makes the written bytes the file's content; false (and the old file kept) after any failure.
    bool commit();
    // Drops what was written; the old file stays.
    void cancel();

    bool failed() const { return !m_error.isEmpty(); }
    QString errorString() const { return m_error; }
    const QString& path() const { return m_path; }

    // Writes data as the whole new content of path.
    static Result writeFile(const QString& path, const QByteArray& data);
    // Writes every byte of data to a device another writer opened and commits (QSettings hands its
    // storage function the file it will commit), then flushes and syncs it; false when any of it
    // failed, so that the owner does not commit.
    static bool writeAll(QIODevice& device, const QByteArray& data);

    // The name of the file whose temporary copy fileName (a name without its folder) is:
    // "<name>.ordella-write-" followed by six letters or digits is a copy of "<name>". Empty for
    // any other name.
    static QString targetOfTemporaryCopy(const QString& fileName);

    // Test seam: while set, the process writes as on a disk with this many bytes left. A write
    // that does not fit writes what fits, then fails as a full disk does. std::nullopt ends it.
    static void simulateFreeSpace(std::optional<qint64> bytes);

private:
    bool fail(const QString& reason);

    QString m_path;
    // The temporary copy; renamed to m_target on commit.
    QFile m_file;
    // The file replaced: m_path, or where a link of that name leads.
    QString m_target;
    QString m_error;
    bool m_committed = false;
};
