#include "ViewModels/UpdateWorkspacePanelModel.h"

#include "ViewModels/WorkspaceColors.h"
#include "ViewModels/WorkspacePreviewViewModel.h"

UpdateWorkspacePanelModel::UpdateWorkspacePanelModel(const Workspace& workspace, QObject* parent)
    : UpdateWorkspacePanelModel(workspace, new WorkspacePreviewViewModel(), parent) {
}

UpdateWorkspacePanelModel::UpdateWorkspacePanelModel(const Workspace& workspace,
                                                     WorkspacePreviewViewModel* preview, QObject* parent)
    : CapturePanelModel(preview, parent)
    , m_workspace(workspace) {
}

void UpdateWorkspacePanelModel::update() {
    if (hasAnyAppsToSave()) {
        emit updateRequested(preview());
    }
}

QCoro::Task<void> UpdateWorkspacePanelModel::capture() {
    return preview()->captureForUpdate(m_workspace);
}

QColor UpdateWorkspacePanelModel::gradientStart() const {
    return WorkspaceColors::startColor(m_workspace.resolvedGradientIndex());
}

QColor UpdateWorkspacePanelModel::gradientEnd() const {
    return WorkspaceColors::endColor(m_workspace.resolvedGradientIndex());
}

PreviewBadge::Kind UpdateWorkspacePanelModel::badgeFor(const AppSnapshot& app) const {
    if (app.isHidden) {
        return PreviewBadge::Kind::Hidden;
    }
    return preview()->savedAppIDs().contains(app.id) ? PreviewBadge::Kind::Saved : PreviewBadge::Kind::New;
}
