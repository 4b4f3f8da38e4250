#pragma once

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>

// What a reader of installed files (desktop entries, D-Bus services) keeps until something changed:
// the folders it reads, found once, and a watch that tells whether anything changed in them since.
// A file written, added or removed there, a folder coming or going, and a link on the way to one of
// them pointed elsewhere all count. The kernel tells of the changes as they are made, so a look right
// after a file was written already sees it.
class FolderWatch {
public:
    enum class Depth {
        FolderAlone,
        // Subfolders too, through links, as the desktop's own readers walk them.
        WithSubfolders,
    };
    struct Folder {
        // As reached from the folder asked for, through the names of its subfolders (not their
        // links' targets).
        QString path;
        // The subfolders' names on the way, each followed by '-' ("kde-" for "kde/"); empty for the
        // folder asked for itself.
        QString prefix;
        // The index of the folder asked for that it lies in.
        qsizetype root = 0;
    };

    // Whether a reader of the folders opens a file of this name.
    using Opened = std::function<bool(const QString& name)>;

    // Watches the folders, then finds them and their subfolders: a change while they are read shows
    // at the next look. The files that opened names are looked at for waitingFiles().
    FolderWatch(const QStringList& folders, Depth depth, Opened opened = {});
    ~FolderWatch();
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;

    // The folders that exist, in the order asked for, each before its subfolders (in the order of
    // their names); each folder once however many links lead to it.
    const QList<Folder>& folders() const { return m_folders; }
    // Whether anything changed since the folders were found; once it has, it stays so. Without a
    // watch from the kernel every look is a change.
    bool changed();
    // The subfolders (with subfolders asked for) that lead back to a folder on the way to them: a
    // link to the folder itself or one above it. They are not walked; a reader that follows every
    // link (GIO's reader of the desktop entries) walks them without end, the more loops the longer.
    const QStringList& loops() const { return m_loops; }
    // The files of the folders found (with their subfolders) that the reader opens and that are
    // FIFOs or devices, or links to one: it would wait on a FIFO without a writer for ever, and read
    // a device like /dev/zero without end.
    const QStringList& waitingFiles() const { return m_waitingFiles; }

private:
    void walk(const QString& path, const QString& prefix, qsizetype root, int depth);
    bool linksMoved() const;
    void noteWaitingFiles(const QString& path);

    int m_fd = -1;
    bool m_watching = true;
    bool m_changed = false;
    QList<Folder> m_folders;
    // Each folder asked for and each linked subfolder, with where it led when it was found.
    QList<std::pair<QString, QString>> m_resolved;
    QSet<std::pair<quint64, quint64>> m_seen;
    // The folders on the way to the one being walked.
    QSet<std::pair<quint64, quint64>> m_onTheWay;
    QStringList m_loops;
    Opened m_opened;
    QStringList m_waitingFiles;
};
