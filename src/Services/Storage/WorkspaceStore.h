#pragma once

#include "Models/JsonResult.h"
#include "Models/Workspace.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

#include <optional>

class QFileInfo;

// The saved workspaces of the process, kept on disk as one JSON file per workspace
// ("<UPPER-CASE-UUID>.json") in the application's data folder. Loaded once at creation and never
// reloaded; the list in memory is the truth for the running process.
//
// The list is normally sorted newest first by updatedAt (a stable sort). save() and imports
// re-sort; the update operations change one record in place and leave the order alone.
//
// Every changing operation answers whether all the files it had to write or remove were written
// or removed. A failure keeps the change in memory and prints a "[WorkspaceStore.<op>] ..."
// diagnostic, so callers can tell the user instead of claiming success. An operation given a
// workspace that is no longer listed does nothing (except save(), which adds it) and answers true.
//
// The workspaces loaded together are bounded, since any file in the folder may have been put there
// by anyone: at most kMostFileBytes of their files are read, and they hold at most kMostParts
// windows and tabs; reading stops at the list that would pass it. Crafted files at both bounds hold
// about 150 MB once loaded (while a file is read, its JSON takes up to ten times its size for a
// moment); a thousand typical workspaces take 25 MB of files and 44,000 windows and tabs. The files
// are taken in the order of their names, whichever thread reads them first; one past what those
// before it left is skipped with its reason, like a file that cannot be read, and stays as it is.
//
// A ".json" file that could not be read at start stays as it is: nothing is written over it or
// removes it. A workspace whose id names such a file is written to the file it was loaded from
// when it is listed, and gets a new id when it is added (saved or imported).
// Main thread only.
class WorkspaceStore : public QObject {
    Q_OBJECT
public:
    struct ImportSummary {
        int added = 0;
        int skipped = 0; // ids already listed, or repeated in the data
        bool allWritten = true;
    };

    // The bounds of what the workspaces loaded at start may take together.
    static constexpr qint64 kMostFileBytes = 64 * 1024 * 1024;
    static constexpr qint64 kMostParts = 100000;
    // The windows and tabs the workspace holds.
    static qint64 partsOf(const Workspace& workspace);

    // Uses defaultStorageDirectory().
    explicit WorkspaceStore(QObject* parent = nullptr);
    // Uses the given folder (created if needed); an empty path means there is nowhere to store.
    explicit WorkspaceStore(const QString& storageDirectory, QObject* parent = nullptr);

    // The application's data folder, or empty when the system reports none.
    static QString defaultStorageDirectory();

    const QList<Workspace>& workspaces() const { return m_workspaces; }
    const QString& storageDirectory() const { return m_storageDirectory; }
    // The file of a workspace; built only from the parsed id, so no name can leave the folder.
    QString filePath(const QUuid& id) const;

    // Stamps a copy of workspace, replaces the first listed one with its id (or appends it),
    // re-sorts and writes its file.
    bool save(const Workspace& workspace);
    // Keeps the icon and colour the old name gave the workspace, then renames and stamps it.
    bool rename(const Workspace& workspace, const QString& newName);
    bool updateIcon(const Workspace& workspace, const std::optional<QString>& iconName);
    bool updateGradient(const Workspace& workspace, std::optional<qint64> gradientIndex);
    bool updateGlobalShortcut(const Workspace& workspace, const std::optional<GlobalKeyShortcut>& shortcut);
    bool updateCloseOtherApps(const Workspace& workspace, bool closeOtherApps);
    bool updateSnapshots(const Workspace& workspace, const QList<AppSnapshot>& appSnapshots,
                         const QList<DisplaySnapshot>& displaySnapshots);
    bool updateRestoreAfterLogin(const Workspace& workspace, bool restoreAfterLogin);
    // Appends the trigger; duplicates are not checked.
    bool addTrigger(const Workspace& workspace, const WorkspaceTrigger& trigger);
    // Removes every trigger with that id; stamps and writes even when there was none.
    bool removeTrigger(const Workspace& workspace, const QUuid& triggerID);
    // Removes every listed workspace with the id, the file named after it and any other file it
    // was loaded from. A file that is already gone is not a failure; a file that could not be read
    // at start is never removed.
    bool deleteWorkspace(const Workspace& workspace);
    // Removes the files of every listed workspace and empties the list; other files in the
    // folder (unreadable ones, the analysis log) stay.
    bool deleteAll();

    // True when the file of the listed workspace with this id, read back from the disk, holds that
    // workspace as listed: what the process would find again after a restart.
    bool isWrittenAsListed(const QUuid& id) const;

    // Every workspace in list order as one indented JSON array with sorted keys.
    JsonResult<QByteArray> exportAllWorkspaces() const;
    // Adds the workspaces of an export whose ids are not listed yet, unchanged, and re-sorts.
    // Data that is not an array of complete workspaces is rejected whole and changes nothing.
    JsonResult<ImportSummary> importWorkspaces(const QByteArray& data);
    // The same with the export decoded already (WorkspaceJson::decodeList), on another thread, say.
    JsonResult<ImportSummary> importWorkspaces(const JsonResult<QList<Workspace>>& decoded);

signals:
    // After every change of workspaces().
    void workspacesChanged();

private:
    void load();
    // Removes entry when it is the temporary copy of a write that never ended.
    static void removeIfUnfinishedWrite(const QFileInfo& entry);
    void sort();
    QDateTime now() const;
    qsizetype indexOf(const QUuid& id) const;
    // Finds the listed workspace, lets change edit it, stamps it and writes its file.
    template <typename Change> bool update(const char* operation, const Workspace& workspace, Change change);
    // Where the workspace with this id is written: the file named after the id, unless that file
    // could not be read at start; then the file the listed workspace was loaded from. Empty when
    // there is no such place.
    QString writePath(const QUuid& id) const;
    // Whether a workspace with this id, not listed, would be written over a file that could not be
    // read at start.
    bool takesSkippedFile(const QUuid& id) const;
    // An id that no listed workspace and no file holds, for a workspace whose own id is taken by a
    // file that could not be read.
    QUuid freeId(const char* operation, const Workspace& workspace) const;
    bool writeFile(const char* operation, const Workspace& workspace) const;
    bool removeFiles(const char* operation, const QUuid& id);

    QString m_storageDirectory;
    QList<Workspace> m_workspaces;
    // Files other than "<UUID>.json" that listed workspaces were loaded from, by id.
    QHash<QUuid, QStringList> m_sourceFiles;
    // The ".json" entries that could not be read at start (unreadable, not a workspace, not a
    // regular file): never written over or removed, since they may hold what the user still needs.
    QSet<QString> m_skippedFiles;
};
