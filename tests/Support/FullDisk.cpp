#include "Support/FullDisk.h"

#include "Extensions/AtomicFileWriter.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

namespace {

const QString kFiller = QStringLiteral(".filler");

// Appends to path until size bytes are written (all it takes when size is negative), with the
// system's own calls: no buffer may keep a byte back.
void writeUntilFull(const QString& path, qint64 size) {
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0) {
        return;
    }
    const QByteArray block(64 * 1024, 'f');
    for (qint64 written = 0, chunk = block.size(); chunk > 0 && (size < 0 || written < size);) {
        const qint64 length = size < 0 ? chunk : std::min(chunk, size - written);
        const ssize_t done = ::write(fd, block.constData(), size_t(length));
        if (done < 0) {
            chunk /= 2; // the last pages take smaller writes
        } else {
            written += done;
        }
    }
    ::close(fd);
}

} // namespace

FullDisk::FullDisk(Kind kind)
    : m_kind(kind) {
    if (!m_folder.isValid() || !QDir().mkpath(root())) {
        m_unavailable = QStringLiteral("no temporary folder");
        return;
    }
    if (m_kind == Kind::tmpfs) {
        const QByteArray target = QFile::encodeName(root());
        if (::mount("tmpfs", target.constData(), "tmpfs", MS_NOSUID | MS_NODEV, "size=1m,mode=0700") != 0) {
            m_unavailable = QStringLiteral("mounting a tmpfs is not allowed here: ") +
                            QString::fromLocal8Bit(std::strerror(errno));
            return;
        }
        m_mounted = true;
    }
    QDir().mkpath(folder());
}

FullDisk::~FullDisk() {
    makeRoom();
    if (m_mounted) {
        ::umount2(QFile::encodeName(root()).constData(), MNT_DETACH);
    }
}

void FullDisk::fill(qint64 leave) {
    if (m_kind == Kind::simulated) {
        AtomicFileWriter::simulateFreeSpace(leave);
        return;
    }
    if (!m_mounted) {
        return;
    }
    // What is to be left is taken first and given back once the rest is full.
    const QString spare = QDir(root()).filePath(QStringLiteral(".spare"));
    writeUntilFull(spare, leave);
    writeUntilFull(QDir(root()).filePath(kFiller), -1);
    QFile::remove(spare);
}

void FullDisk::makeRoom() {
    if (m_kind == Kind::simulated) {
        AtomicFileWriter::simulateFreeSpace(std::nullopt);
    } else if (m_mounted) {
        QFile::remove(QDir(root()).filePath(kFiller));
    }
}
