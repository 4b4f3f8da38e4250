#include "Services/Update/InstallSwap.h"

#include <QDir>
#include <QFileInfo>

#include <cstdio>

InstallSwap::InstallSwap(QString installedFolder, Rename rename)
    : m_installed(std::move(installedFolder))
    , m_rename(std::move(rename)) {
}

QString InstallSwap::backupPath() const {
    return QFileInfo(m_installed).absoluteDir().filePath(QStringLiteral("Ordella.backup"));
}

bool InstallSwap::replace(const QString& newCopy) {
    const QString backup = backupPath();
    if (QFileInfo(m_installed).absoluteFilePath() == backup) {
        return false;
    }
    QFileInfo old(backup);
    if (old.isDir() && !old.isSymLink()) {
        QDir(backup).removeRecursively();
    } else if (old.exists() || old.isSymLink()) {
        QFile::remove(backup);
    }
    if (!m_rename(m_installed, backup)) {
        return false;
    }
    if (!m_rename(newCopy, m_installed)) {
        m_rename(backup, m_installed);
        return false;
    }
    m_newCopy = newCopy;
    m_replaced = true;
    return true;
}

void InstallSwap::rollback() {
    if (!m_replaced) {
        return;
    }
    m_replaced = false;
    if (!m_rename(m_installed, m_newCopy)) {
        QDir(m_installed).removeRecursively();
    }
    m_rename(backupPath(), m_installed);
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
