#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// A regular file opened for reading. A FIFO, a device or a folder named where a program is
// expected is refused before it is opened and again on the open descriptor, and the open never
// waits (a FIFO without a writer would hold the caller until one comes). Reads are bounded
// preads: a file cut short while it is read gives short reads, never a signal.
class RegularFile {
public:
    // The regular file at path, links followed; nothing when there is none or it is anything else.
    static std::optional<RegularFile> open(const QString& path);

    RegularFile(RegularFile&& other) noexcept;
    RegularFile& operator=(RegularFile&& other) noexcept;
    RegularFile(const RegularFile&) = delete;
    RegularFile& operator=(const RegularFile&) = delete;
    ~RegularFile();

    // Its size when it was opened.
    quint64 size() const { return m_size; }
    // Reads up to length bytes at offset into into: the count read, fewer at the end of the file,
    // -1 on an error.
    qsizetype readAt(quint64 offset, char* into, qsizetype length) const;
    // Up to length bytes at offset; empty at the end or on an error.
    QByteArray readAt(quint64 offset, qsizetype length) const;
    // What it holds from its start to its end, read to its end as it is now, never more than
    // limit + 1 bytes (a file that grew past limit since it was measured reads longer than limit);
    // nothing on an error. The buffer grows with what is read, not with the limit.
    std::optional<QByteArray> readAll(qsizetype limit) const;
    // The open descriptor, for a reader that takes one; it stays this object's.
    int descriptor() const { return m_descriptor; }

private:
    RegularFile(int descriptor, quint64 size);

    int m_descriptor = -1;
    quint64 m_size = 0;
};
