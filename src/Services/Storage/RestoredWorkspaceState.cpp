#include "Services/Storage/RestoredWorkspaceState.h"

#include "Extensions/NumberConversion.h"
#include "Models/WorkspaceJson.h"

RestoredWorkspaceState RestoredWorkspaceState::from(const Workspace& workspace) {
    RestoredWorkspaceState state;
    state.id = WorkspaceJson::uuidString(workspace.id);
    state.name = workspace.name;
    for (const AppSnapshot& app : workspace.appSnapshots) {
        AppEntry entry{app.bundleIdentifier, app.appName, app.windowSnapshots.size(), app.isHidden, {}};
        for (const WindowSnapshot& window : app.windowSnapshots) {
            entry.windows.append({window.windowTitle, frameText(window.frame)});
        }
        state.apps.append(std::move(entry));
    }
    for (const DisplaySnapshot& display : workspace.displaySnapshots) {
        state.displays.append({display.uuid, display.localizedName, frameText(display.frame)});
    }
    return state;
}

QString RestoredWorkspaceState::frameText(const SnapshotRect& frame) {
    return QStringLiteral("(%1, %2, %3\u00D7%4)")
        .arg(QString::number(NumberConversion::toInt64(frame.x)),
             QString::number(NumberConversion::toInt64(frame.y)),
             QString::number(NumberConversion::toInt64(frame.width)),
             QString::number(NumberConversion::toInt64(frame.height)));
}
