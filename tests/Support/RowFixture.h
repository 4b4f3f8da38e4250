#pragma once

#include "Services/Coordination/GlobalHotkeyManager.h"
#include "Services/Storage/WorkspaceStore.h"
#include "Support/ScriptedDesktop.h"
#include "ViewModels/WorkspaceRowModel.h"

#include <QTemporaryDir>

#include <memory>

class SimulatedHotKeys;

// The demo scene's desktop (its applications installed, two named displays) with a hot-key
// manager of its own, a store in a fresh folder and the wall clock at 2024-03-01 12:00 UTC, for
// the tests of workspace rows and their editors.
class RowFixture : public SimulatedDesktopFixture {
protected:
    RowFixture();

    SimulatedHotKeys& hotKeys();
    // A row on this desktop whose recorder registers through hotkeys.
    std::unique_ptr<WorkspaceRowModel> makeRow(const Workspace& workspace);
    // The stored copy of a workspace.
    Workspace stored(const QUuid& id) const;

    static QDateTime now();
    // Three apps of the scene with two windows each, saved five minutes before now().
    static Workspace sample(const QString& name = QStringLiteral("Work"));

    QTemporaryDir folder;
    GlobalHotkeyManager hotkeys;
    WorkspaceStore store;
};
