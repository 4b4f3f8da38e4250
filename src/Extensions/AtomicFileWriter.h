#pragma once

#include <QByteArray>
#include <QSaveFile>
#include <QString>

#include <optional>

class QIODevice;

// Replaces a file whole or not at all, and says which. Every file Ordella writes goes through it.
//
// QSaveFile alone is not enough: it buffers small writes, and when the buffer cannot be written
// at the end (a full disk) its commit() still answers true and puts an empty file in place of the
// old one. A short write is not an error to it either, so a nearly full disk leaves a cut file.
// This writer writes unbuffered, counts every byte, flushes and syncs, and commits only when
// every step succeeded; otherwise the temporary copy is dropped and the old file stays as it was.
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

    // Test seam: while set, the process writes as on a disk with this many bytes left. A write
    // that does not fit writes what fits, then fails as a full disk does. std::nullopt ends it.
    static void simulateFreeSpace(std::optional<qint64> bytes);

private:
    bool fail(const QString& reason);

    QString m_path;
    QSaveFile m_file;
    QString m_error;
};
