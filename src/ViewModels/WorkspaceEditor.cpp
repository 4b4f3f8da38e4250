#include "ViewModels/WorkspaceEditor.h"

#include "Services/Coordination/GlobalHotkeyManager.h"
#include "Services/Storage/WorkspaceStore.h"
#include "ViewModels/WorkspaceRowModel.h"

WorkspaceEditor::WorkspaceEditor(WorkspaceStore& store, GlobalHotkeyManager& hotkeys, QObject* parent)
    : QObject(parent)
    , m_store(store)
    , m_hotkeys(hotkeys) {
}

void WorkspaceEditor::refresh(WorkspaceRowModel* row) const {
    for (const Workspace& stored : m_store.workspaces()) {
        if (stored.id == row->workspace().id) {
            row->setWorkspace(stored);
            return;
        }
    }
}

void WorkspaceEditor::connectRow(WorkspaceRowModel* row) {
    // Each edit goes to the store with the row's copy; the store finds its own by id.
    const auto edit = [this, row](auto change) {
        return [this, row, change](auto... args) {
            const bool written = change(row->workspace(), args...);
            refresh(row);
            if (!written) {
                emit writeFailed();
            }
        };
    };
    connect(row, &WorkspaceRowModel::renameRequested, this,
            edit([this](const Workspace& w, const QString& name) { return m_store.rename(w, name); }));
    connect(row, &WorkspaceRowModel::iconUpdateRequested, this,
            edit([this](const Workspace& w, const QString& icon) { return m_store.updateIcon(w, icon); }));
    connect(row, &WorkspaceRowModel::gradientUpdateRequested, this,
            edit([this](const Workspace& w, int index) { return m_store.updateGradient(w, index); }));
    connect(row, &WorkspaceRowModel::shortcutUpdateRequested, this,
            edit([this](const Workspace& w, const std::optional<GlobalKeyShortcut>& shortcut) {
                const bool written = m_store.updateGlobalShortcut(w, shortcut);
                if (!shortcut) {
                    m_hotkeys.unregister(w.id);
                }
                return written;
            }));
    connect(row, &WorkspaceRowModel::closeOtherAppsUpdateRequested, this,
            edit([this](const Workspace& w, bool close) { return m_store.updateCloseOtherApps(w, close); }));
    connect(row, &WorkspaceRowModel::triggerAddRequested, this,
            edit([this](const Workspace& w, const WorkspaceTrigger& t) { return m_store.addTrigger(w, t); }));
    connect(row, &WorkspaceRowModel::triggerRemoveRequested, this,
            edit([this](const Workspace& w, const QUuid& id) { return m_store.removeTrigger(w, id); }));
}
