#pragma once

#include <QString>

#include <functional>

// Puts a new copy of Ordella in the place of the installed one without ever leaving the user
// without a working copy: the installed folder is moved to "Ordella.backup" beside it, the new
// one is moved into its place (both renames on one file system), and on any failure the backup
// is moved back. The backup is deleted only when the caller commits.
class InstallSwap {
public:
    // Renames a file or folder; false when it could not.
    using Rename = std::function<bool(const QString& from, const QString& to)>;

    explicit InstallSwap(QString installedFolder, Rename rename = renameInPlace);

    // "Ordella.backup" in the folder that holds the installed copy.
    QString backupPath() const;

    // Deletes an earlier backup (a failure does not matter), then moves newCopy into the installed
    // copy's place. On failure everything is as it was and the answer is false.
    bool replace(const QString& newCopy);
    // After a successful replace: puts the old copy back and the new one where it came from.
    void rollback();
    // After a successful replace: deletes the backup (a failure leaves it for the next update).
    void commit();

    // A rename within one file system: it never copies.
    static bool renameInPlace(const QString& from, const QString& to);

private:
    QString m_installed;
    QString m_newCopy;
    Rename m_rename;
    bool m_replaced = false;
};
