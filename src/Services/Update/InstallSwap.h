#pragma once

#include <QString>

#include <functional>

// Puts a new copy of Ordella in the place of the installed one without ever leaving the user
// without a working copy. Where the file system can, the two folders trade places in one atomic
// step, so at every instant (a crash or a kill included) one complete copy sits at the installed
// path; the old one then moves on to "Ordella.backup" beside it. Where the file system refuses
// such an exchange, the installed folder is moved to the backup and the new one into its place
// (both renames on one file system), and on a failure the backup is moved back. The backup is
// deleted only when the caller commits.
class InstallSwap {
public:
    // Renames a file or folder; false when it could not.
    using Rename = std::function<bool(const QString& from, const QString& to)>;
    // Swaps two paths in one step; false when it could not (nothing changed then).
    using Exchange = std::function<bool(const QString& first, const QString& second)>;

    explicit InstallSwap(QString installedFolder, Rename rename = renameInPlace,
                         Exchange exchange = exchangeInPlace);

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
    // The two paths trade places atomically (Linux's exchanging rename); false where the system
    // or the file system does not offer it.
    static bool exchangeInPlace(const QString& first, const QString& second);
    // An exchange that is never possible: the two renames are used.
    static bool noExchange(const QString&, const QString&) { return false; }

private:
    bool replaceByRenames(const QString& newCopy);

    QString m_installed;
    QString m_newCopy;
    Rename m_rename;
    Exchange m_exchange;
    bool m_replaced = false;
};
