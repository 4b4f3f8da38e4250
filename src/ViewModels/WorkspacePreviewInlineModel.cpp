#include "ViewModels/WorkspacePreviewInlineModel.h"

#include "Extensions/LocalizationManager.h"
#include "ViewModels/AppRestorePreviewRowModel.h"
#include "ViewModels/WorkspaceColors.h"

WorkspacePreviewInlineModel::WorkspacePreviewInlineModel(const Workspace& workspace, QObject* parent)
    : QObject(parent)
    , m_workspace(workspace) {
    for (const AppSnapshot& app : m_workspace.appSnapshots) {
        m_rows.append(new AppRestorePreviewRowModel(app, this));
    }
}

QColor WorkspacePreviewInlineModel::gradientStart() const {
    return WorkspaceColors::startColor(m_workspace.resolvedGradientIndex());
}

QColor WorkspacePreviewInlineModel::gradientEnd() const {
    return WorkspaceColors::endColor(m_workspace.resolvedGradientIndex());
}

QVariantList WorkspacePreviewInlineModel::rowList() const {
    QVariantList list;
    for (QObject* row : m_rows) {
        list.append(QVariant::fromValue(row));
    }
    return list;
}

QString WorkspacePreviewInlineModel::summaryText(const Workspace& workspace) {
    qint64 windows = 0;
    qint64 tabs = 0;
    for (const AppSnapshot& app : workspace.appSnapshots) {
        windows += app.windowSnapshots.size();
        for (const WindowSnapshot& window : app.windowSnapshots) {
            tabs += window.tabSnapshots.size();
        }
    }
    const QString summary = LocalizationManager::contentSummary(workspace.appSnapshots.size(), windows, tabs,
                                                                QStringLiteral(" \u2022 "));
    return summary.isEmpty() ? QStringLiteral("No items to restore") : summary;
}

void WorkspacePreviewInlineModel::close() {
    emit closeRequested();
}
