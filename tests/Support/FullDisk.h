#pragma once

#include <QList>
#include <QString>
#include <QTemporaryDir>

// A disk with no byte left, for the tests of what each writer does then. Two kinds: the writing
// helper's simulated full disk, which works everywhere, and a real small file system (a 1 MB
// tmpfs, filled to its last byte), which needs a test run as root where mounting is allowed.
class FullDisk {
public:
    enum class Kind { simulated, tmpfs };
    static QList<Kind> kinds() { return {Kind::simulated, Kind::tmpfs}; }
    static const char* name(Kind kind) { return kind == Kind::simulated ? "simulated" : "tmpfs"; }

    explicit FullDisk(Kind kind);
    ~FullDisk();
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;

    // Empty when the disk is there; otherwise why not (a test then goes on without this kind).
    const QString& unavailableReason() const { return m_unavailable; }
    // An empty folder on the disk.
    QString folder() const { return root() + QStringLiteral("/files"); }

    // Takes every byte left but about the given number (the tmpfs counts in whole 4 KB pages);
    // makeRoom() gives them back.
    void fill(qint64 leave = 0);
    void makeRoom();

private:
    // Where the file system is mounted; it holds folder() and the file that fills the disk.
    QString root() const { return m_folder.path() + QStringLiteral("/disk"); }

    Kind m_kind;
    QTemporaryDir m_folder;
    QString m_unavailable;
    bool m_mounted = false;
};
