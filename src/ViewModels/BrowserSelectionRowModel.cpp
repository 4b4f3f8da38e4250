#include "ViewModels/BrowserSelectionRowModel.h"

#include "Extensions/LocalizationManager.h"
#include "ViewModels/TabCellModel.h"

BrowserSelectionRowModel::BrowserSelectionRowModel(WorkspacePreviewViewModel* preview, const AppSnapshot& app,
                                                   PreviewBadge::Kind badge, QObject* parent)
    : SelectionRowModel(preview, app, badge, parent) {
    QList<QObject*> cells;
    for (const WindowSnapshot& window : app.windowSnapshots) {
        for (const TabSnapshot& tab : window.tabSnapshots) {
            cells.append(new TabCellModel(preview, app.id, tab, window.isMinimized, this));
        }
    }
    setCells(cells);
}

QString BrowserSelectionRowModel::summaryText() const {
    qint64 windows = 0;
    for (const WindowSnapshot& window : appSnapshot().windowSnapshots) {
        windows += window.tabSnapshots.isEmpty() ? 0 : 1;
    }
    const qint64 tabs = cells().size();
    if (windows >= 2) {
        return LocalizationManager::tabsAcrossWindows(tabs, windows);
    }
    return LocalizationManager::count(tabs, QStringLiteral("tab"), QStringLiteral("tabs"));
}
