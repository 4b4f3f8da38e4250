#include "Platform/Linux/RegularFile.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <limits>
#include <utility>

std::optional<RegularFile> RegularFile::open(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    struct stat before {};
    // Opening a device can act on it (a tape rewinds, a terminal becomes the controlling one):
    // what is not a regular file is not opened at all.
    if (name.isEmpty() || ::stat(name.constData(), &before) != 0 || !S_ISREG(before.st_mode)) {
        return std::nullopt;
    }
    const int descriptor = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (descriptor < 0) {
        return std::nullopt;
    }
    // What was opened may have been put in the checked file's place since.
    struct stat opened {};
    if (::fstat(descriptor, &opened) != 0 || !S_ISREG(opened.st_mode) || opened.st_size < 0) {
        ::close(descriptor);
        return std::nullopt;
    }
    return RegularFile(descriptor, quint64(opened.st_size));
}

RegularFile::RegularFile(int descriptor, quint64 size)
    : m_descriptor(descriptor)
    , m_size(size) {
}

RegularFile::RegularFile(RegularFile&& other) noexcept
    : m_descriptor(std::exchange(other.m_descriptor, -1))
    , m_size(other.m_size) {
}

RegularFile& RegularFile::operator=(RegularFile&& other) noexcept {
    if (this != &other) {
        if (m_descriptor >= 0) {
            ::close(m_descriptor);
        }
        m_descriptor = std::exchange(other.m_descriptor, -1);
        m_size = other.m_size;
    }
    return *this;
}

RegularFile::~RegularFile() {
    if (m_descriptor >= 0) {
        ::close(m_descriptor);
    }
}

qsizetype RegularFile::readAt(quint64 offset, char* into, qsizetype length) const {
    if (length < 0 || offset > quint64(std::numeric_limits<off_t>::max())) {
        return -1;
    }
    qsizetype done = 0;
    while (done < length) {
        const ssize_t got = ::pread(m_descriptor, into + done, size_t(length - done), off_t(offset + done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return -1;
        }
        if (got == 0) {
            break;
        }
        done += got;
    }
    return done;
}

QByteArray RegularFile::readAt(quint64 offset, qsizetype length) const {
    QByteArray bytes(std::max<qsizetype>(length, 0), Qt::Uninitialized);
    const qsizetype got = readAt(offset, bytes.data(), bytes.size());
    bytes.truncate(std::max<qsizetype>(got, 0));
    return bytes;
}

std::optional<QByteArray> RegularFile::readAll(qsizetype limit) const {
    if (limit < 0) {
        return std::nullopt;
    }
    // Sized by the file, then grown a chunk at a time while it keeps giving more.
    constexpr qsizetype chunk = 1024 * 1024;
    const qsizetype wanted = limit + 1;
    QByteArray data(qsizetype(std::min<quint64>(m_size + 1, quint64(wanted))), Qt::Uninitialized);
    qsizetype filled = 0;
    while (true) {
        const qsizetype got = readAt(quint64(filled), data.data() + filled, data.size() - filled);
        if (got < 0) {
            return std::nullopt;
        }
        filled += got;
        if (filled < data.size() || data.size() >= wanted) {
            break;
        }
        data.resize(std::min(wanted, data.size() + chunk));
    }
    data.truncate(filled);
    return data;
}
