#include "Services/Update/InstallSwap.h"

#include <QDir>
#include <QFileInfo>

#include <cstdio>
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

void removePath(const QString& path) {
    const QFileInfo info(path);
    if (info.isDir() && !info.isSymLink()) {
        QDir(path).removeRecursively();
    } else if (info.exists() || info.isSymLink()) {
        QFile::remove(path);
    }
}

} // namespace

InstallSwap::InstallSwap(QString installedFolder, Rename rename, Exchange exchange)
    : m_installed(std::move(installedFolder))
    , m_rename(std::move(rename))
    , m_exchange(std::move(exchange)) {
}

QString InstallSwap::backupPath() const {
    return QFileInfo(m_installed).absoluteDir().filePath(QStringLiteral("Ordella.backup"));
}

bool InstallSwap::replace(const QString& newCopy) {
    const QString backup = backupPath();
    if (QFileInfo(m_installed).absoluteFilePath() == backup) {
        return false;
    }
    removePath(backup);
    if (m_exchange(newCopy, m_installed)) {
        // The new copy is in place; the old one now sits where the new one was.
        if (!m_rename(newCopy, backup)) {
            // Traded back in one step: as it was.
            m_exchange(newCopy, m_installed);
            return false;
        }
    } else if (!replaceByRenames(newCopy)) {
        return false;
    }
    m_newCopy = newCopy;
    m_replaced = true;
    return true;
}

bool InstallSwap::replaceByRenames(const QString& newCopy) {
    const QString backup = backupPath();
    if (!m_rename(m_installed, backup)) {
        return false;
    }
    if (!m_rename(newCopy, m_installed)) {
        m_rename(backup, m_installed);
        return false;
    }
    return true;
}

void InstallSwap::rollback() {
    if (!m_replaced) {
        return;
    }
    m_replaced = false;
    const QString backup = backupPath();
    if (m_exchange(backup, m_installed)) {
        // The old copy is back in one step; the new one goes where it came from.
        if (!m_rename(backup, m_newCopy)) {
            removePath(backup);
        }
        return;
    }
    if (!m_rename(m_installed, m_newCopy)) {
        QDir(m_installed).removeRecursively();
    }
    m_rename(backup, m_installed);
}

void InstallSwap::commit() {
    if (m_replaced) {
        QDir(backupPath()).removeRecursively();
        m_replaced = false;
    }
}

bool InstallSwap::renameInPlace(const QString& from, const QString& to) {
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

bool InstallSwap::exchangeInPlace(const QString& first, const QString& second) {
    const QByteArray a = QFile::encodeName(first);
    const QByteArray b = QFile::encodeName(second);
#if defined(RENAME_EXCHANGE)
    return ::renameat2(AT_FDCWD, a.constData(), AT_FDCWD, b.constData(), RENAME_EXCHANGE) == 0;
#elif defined(__linux__) && defined(SYS_renameat2)
    // C libraries older than the wrapper: the system call itself, with the kernel's flag value.
    constexpr unsigned renameExchange = 1u << 1;
    return ::syscall(SYS_renameat2, AT_FDCWD, a.constData(), AT_FDCWD, b.constData(), renameExchange) == 0;
#else
    Q_UNUSED(a);
    Q_UNUSED(b);
    return false;
#endif
}
