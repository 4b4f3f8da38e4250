#include "ViewModels/AppSelectionRowModel.h"

#include "Extensions/LocalizationManager.h"
#include "Platform/Platform.h"
#include "Platform/RunningApplications.h"
#include "ViewModels/AppRestorePreviewRowModel.h"
#include "ViewModels/WindowCellModel.h"
#include "ViewModels/WorkspacePreviewViewModel.h"

namespace {

// The first running instance of the application.
std::optional<qint32> runningPid(const QString& bundleIdentifier) {
    const std::shared_ptr<RunningApplications> apps = Platform::current().runningApplications;
    if (!apps) {
        return std::nullopt;
    }
    if (const std::optional<RunningApplication> app = apps->firstRunning(bundleIdentifier)) {
        return app->processIdentifier;
    }
    return std::nullopt;
}

} // namespace

AppSelectionRowModel::AppSelectionRowModel(WorkspacePreviewViewModel* preview, const AppSnapshot& app,
                                           PreviewBadge::Kind badge, int maxVisibleWindows, QObject* parent)
    : SelectionRowModel(preview, app, badge, parent)
    , m_maxVisibleWindows(maxVisibleWindows) {
    rebuildCells();
    if (preview) {
        connect(preview, &WorkspacePreviewViewModel::appOnlyModeIDsChanged, this, [this] {
            emit modeChanged();
            rebuildCells();
        });
        connect(preview, &WorkspacePreviewViewModel::ignoredAppIDsChanged, this,
                &AppSelectionRowModel::modeChanged);
    }
}

bool AppSelectionRowModel::isAppOnlyExcluded() const {
    return WorkspacePreviewViewModel::appOnlyExclusionList().contains(bundleIdentifier());
}

bool AppSelectionRowModel::restoreFilesMode() const {
    return !preview() || !preview()->appOnlyModeIDs().contains(appSnapshot().id);
}

bool AppSelectionRowModel::showsModeSelector() const {
    return hasDocumentWindows() && !isIgnored() && !isAppOnlyExcluded();
}

bool AppSelectionRowModel::showsWindowCount() const {
    return hasDocumentWindows() && !appSnapshot().windowSnapshots.isEmpty() && !isAppOnlyExcluded();
}

QString AppSelectionRowModel::windowCountText() const {
    return LocalizationManager::count(appSnapshot().windowSnapshots.size(), QStringLiteral("window"),
                                      QStringLiteral("windows"));
}

bool AppSelectionRowModel::showsStrip() const {
    return !appSnapshot().windowSnapshots.isEmpty() && !isIgnored() && !cells().isEmpty();
}

bool AppSelectionRowModel::filesMode() const {
    return hasDocumentWindows() && restoreFilesMode() && !isAppOnlyExcluded();
}

int AppSelectionRowModel::maxWindowsToShow() const {
    return filesMode() ? m_maxVisibleWindows : 1;
}

std::optional<QString> AppSelectionRowModel::fileName(const WindowSnapshot& window) {
    if (std::optional<QString> name = AppRestorePreviewRowModel::documentName(window)) {
        return name;
    }
    return window.windowTitle;
}

void AppSelectionRowModel::chooseAppOnly() {
    if (preview() && restoreFilesMode()) {
        preview()->toggleRestoreFilesMode(appSnapshot().id);
    }
}

void AppSelectionRowModel::chooseFiles() {
    if (preview() && !restoreFilesMode()) {
        preview()->toggleRestoreFilesMode(appSnapshot().id);
    }
}

void AppSelectionRowModel::rebuildCells() {
    if (!cells().isEmpty() && filesMode() == m_cellsInFilesMode) {
        return; // the same cards: keep them, and the pictures they hold
    }
    m_cellsInFilesMode = filesMode();
    QList<QObject*> cells;
    // Without a running instance there is nothing to take pictures of.
    if (const std::optional<qint32> pid = runningPid(bundleIdentifier())) {
        const QList<WindowSnapshot>& windows = appSnapshot().windowSnapshots;
        for (int i = 0; i < std::min<qsizetype>(maxWindowsToShow(), windows.size()); ++i) {
            const WindowSnapshot& w = windows[i];
            cells.append(new WindowCellModel(preview(), appSnapshot().id, w.id, w.isMinimized, *pid, i,
                                             filesMode(), fileName(w).value_or(QString()), this));
        }
    }
    setCells(cells);
}
