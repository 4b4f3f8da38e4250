#include "Extensions/AtomicFileWriter.h"

#include <QFileDevice>

#include <atomic>
#include <cerrno>
#include <cstring>

#include <unistd.h>

namespace {

// The free space of the simulated disk; negative when there is none.
std::atomic<qint64> g_simulatedFreeSpace{-1};

QString systemError(int code) {
    return QString::fromLocal8Bit(std::strerror(code));
}

// Writes every byte of data to device; the reason when not every byte got there. A short write
// is tried again from where it stopped, so that the device itself tells why it did not go on.
std::optional<QString> writeEvery(QIODevice& device, const QByteArray& data) {
    qint64 allowed = data.size();
    bool simulatedFull = false;
    for (qint64 space = g_simulatedFreeSpace.load(); space >= 0;) {
        allowed = std::min(allowed, space);
        simulatedFull = allowed < data.size();
        if (g_simulatedFreeSpace.compare_exchange_weak(space, space - allowed)) {
            break;
        }
    }
    for (qint64 done = 0; done < allowed;) {
        const qint64 written = device.write(data.constData() + done, allowed - done);
        if (written <= 0) {
            const QString reason = device.errorString();
            return reason.isEmpty() ? QStringLiteral("The file could not be written") : reason;
        }
        done += written;
    }
    if (simulatedFull) {
        return systemError(ENOSPC);
    }
    return std::nullopt;
}

// Pushes what a file device still holds to the file and on to the disk, where a full disk (or a
// network file system) tells about a write that failed.
std::optional<QString> flushAndSync(QIODevice& device) {
    auto* file = qobject_cast<QFileDevice*>(&device);
    if (!file) {
        return std::nullopt;
    }
    if (!file->flush()) {
        return file->errorString();
    }
    // A file system that cannot sync (EINVAL, EROFS) has nothing more to say here.
    const int handle = file->handle();
    if (handle >= 0 && ::fsync(handle) != 0 && errno != EINVAL && errno != EROFS && errno != ENOTSUP) {
        return systemError(errno);
    }
    return std::nullopt;
}

} // namespace

AtomicFileWriter::AtomicFileWriter(const QString& path)
    : m_path(path)
    , m_file(path) {
}

bool AtomicFileWriter::fail(const QString& reason) {
    if (m_error.isEmpty()) {
        m_error = reason.isEmpty() ? QStringLiteral("The file could not be written") : reason;
    }
    m_file.cancelWriting();
    return false;
}

bool AtomicFileWriter::open() {
    if (failed()) {
        return false;
    }
    if (m_path.isEmpty()) {
        return fail(QStringLiteral("No file name"));
    }
    // Unbuffered: a write that does not reach the file fails at once, not at commit().
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        return fail(m_file.errorString());
    }
    return true;
}

bool AtomicFileWriter::write(const QByteArray& data) {
    if (failed()) {
        return false;
    }
    if (!m_file.isOpen()) {
        return fail(QStringLiteral("The file is not open"));
    }
    if (const auto reason = writeEvery(m_file, data)) {
        return fail(*reason);
    }
    return true;
}

bool AtomicFileWriter::commit() {
    if (failed()) {
        return false;
    }
    if (!m_file.isOpen()) {
        return fail(QStringLiteral("The file is not open"));
    }
    if (const auto reason = flushAndSync(m_file)) {
        return fail(*reason);
    }
    if (!m_file.commit()) {
        return fail(m_file.errorString());
    }
    return true;
}

void AtomicFileWriter::cancel() {
    fail(QStringLiteral("Cancelled"));
}

AtomicFileWriter::Result AtomicFileWriter::writeFile(const QString& path, const QByteArray& data) {
    AtomicFileWriter writer(path);
    const bool written = writer.open() && writer.write(data) && writer.commit();
    return {written, writer.errorString()};
}

bool AtomicFileWriter::writeAll(QIODevice& device, const QByteArray& data) {
    return !writeEvery(device, data) && !flushAndSync(device);
}

void AtomicFileWriter::simulateFreeSpace(std::optional<qint64> bytes) {
    g_simulatedFreeSpace = bytes ? std::max<qint64>(*bytes, 0) : -1;
}
