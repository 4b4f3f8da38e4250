#pragma once

#include <QObject>
#include <QPointer>

class GlobalHotkeyManager;
class WorkspaceRowModel;
class WorkspaceStore;

// Applies the edits a workspace row asks for to the store, as the row's owner does: rename, icon,
// colour, shortcut (a removed one also loses its hot key; a new one was registered by the
// recorder), "close other apps", and adding and removing triggers. After each edit the row is
// handed the stored workspace, so it shows what was saved. An edit whose file could not be written
// stands in memory only, so it is reported through writeFailed(). Restore, preview, update,
// delete, expansion and the duplicate-shortcut alert stay with the owner.
class WorkspaceEditor : public QObject {
    Q_OBJECT
public:
    WorkspaceEditor(WorkspaceStore& store, GlobalHotkeyManager& hotkeys, QObject* parent = nullptr);

    // Applies the row's edits from now on, for as long as both live.
    void connectRow(WorkspaceRowModel* row);

signals:
    // An edit was applied to the list but its file was not written: it would be gone after a
    // restart.
    void writeFailed();

private:
    // Hands the row the stored copy of its workspace; a row whose workspace is gone keeps its own.
    void refresh(WorkspaceRowModel* row) const;

    WorkspaceStore& m_store;
    GlobalHotkeyManager& m_hotkeys;
};
