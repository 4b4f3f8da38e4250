#include "ViewModels/UpdateWorkspacePanelModel.h"

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
