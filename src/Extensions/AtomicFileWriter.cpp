#include "Extensions/AtomicFileWriter.h"

#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <atomic>
#include <cerrno>
#include <cstring>

#include <stdio.h>
#include <unistd.h>

namespace {

const QString kCopyMark = QStringLiteral(".ordella-write-");
constexpr int kCopyLetters = 6;

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

QString randomLetters() {
    static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QString text;
    for (int i = 0; i < kCopyLetters; ++i) {
        text += QLatin1Char(letters[QRandomGenerator::global()->bounded(int(sizeof(letters) - 1))]);
    }
    return text;
}

// Where a write of path goes: a link is followed (to where it leads, even when nothing is there
// yet), as QSaveFile does, so that a linked file stays linked.
QString targetOf(const QString& path) {
    QFileInfo info(path);
    for (int depth = 0; depth < 128 && info.isSymLink(); ++depth) {
        info.setFile(info.symLinkTarget());
    }
    return info.isSymLink() ? path : info.filePath();
}

} // namespace

AtomicFileWriter::AtomicFileWriter(const QString& path)
    : m_path(path) {
}

AtomicFileWriter::~AtomicFileWriter() {
    if (!m_committed && !m_file.fileName().isEmpty()) {
        m_file.remove();
    }
}

bool AtomicFileWriter::fail(const QString& reason) {
    if (m_error.isEmpty()) {
        m_error = reason.isEmpty() ? QStringLiteral("The file could not be written") : reason;
    }
    if (!m_committed && !m_file.fileName().isEmpty()) {
        m_file.remove();
        m_file.setFileName(QString());
    }
    return false;
}

bool AtomicFileWriter::open() {
    if (failed()) {
        return false;
    }
    if (m_path.isEmpty()) {
        return fail(QStringLiteral("No file name"));
    }
    if (m_file.isOpen()) {
        return fail(QStringLiteral("The file is open already"));
    }
    m_target = targetOf(m_path);
    const QFileInfo existing(m_target);
    if (existing.isDir()) {
        return fail(QStringLiteral("%1 is a folder").arg(m_target));
    }
    // A file the user made read-only is not replaced behind their back.
    if (existing.exists() && !existing.isWritable()) {
        return fail(QStringLiteral("%1 is not writable").arg(m_target));
    }
    // A name no file has yet, created here and now (never an existing file or link of that name).
    // Unbuffered: a write that does not reach the file fails at once, not at commit().
    for (int attempt = 0; attempt < 16; ++attempt) {
        m_file.setFileName(m_target + kCopyMark + randomLetters());
        // Private until it gets the permissions of the file it replaces, so that no one else may
        // open it meanwhile; a new file gets what any new file gets (the umask applies).
        const QIODevice::OpenMode mode = QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered;
        const bool opened = existing.exists()
                                ? m_file.open(mode, QFileDevice::ReadOwner | QFileDevice::WriteOwner)
                                : m_file.open(mode);
        if (opened) {
            // The file keeps who may read it.
            if (existing.exists() && !m_file.setPermissions(existing.permissions())) {
                return fail(m_file.errorString());
            }
            return true;
        }
        if (!QFileInfo::exists(m_file.fileName())) {
            const QString reason = m_file.errorString();
            m_file.setFileName(QString());
            return fail(reason);
        }
    }
    m_file.setFileName(QString());
    return fail(QStringLiteral("No free name for a temporary copy of %1").arg(m_target));
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
    m_file.close();
    if (m_file.error() != QFileDevice::NoError) {
        return fail(m_file.errorString());
    }
    if (::rename(QFile::encodeName(m_file.fileName()).constData(), QFile::encodeName(m_target).constData()) !=
        0) {
        return fail(systemError(errno));
    }
    m_committed = true;
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

QString AtomicFileWriter::targetOfTemporaryCopy(const QString& fileName) {
    static const QRegularExpression shape(QStringLiteral("^(.+)") + QRegularExpression::escape(kCopyMark) +
                                          QStringLiteral("[A-Za-z0-9]{%1}$").arg(kCopyLetters));
    const QRegularExpressionMatch match = shape.match(fileName);
    return match.hasMatch() && !match.captured(1).contains(u'/') ? match.captured(1) : QString();
}

void AtomicFileWriter::simulateFreeSpace(std::optional<qint64> bytes) {
    g_simulatedFreeSpace = bytes ? std::max<qint64>(*bytes, 0) : -1;
}
