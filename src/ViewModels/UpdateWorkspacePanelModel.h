#pragma once

#include "Models/Workspace.h"
#include "ViewModels/CapturePanelModel.h"

#include <QColor>

// The panel in which a saved workspace is captured again: the fresh capture is merged into the
// saved workspace, each application is marked as saved, new or hidden, and Update (or Return)
// hands the preview model to the window, which replaces the workspace's applications and displays
// with the ticked ones. The workspace's name and look head the panel; nothing here changes them.
class UpdateWorkspacePanelModel : public CapturePanelModel {
    Q_OBJECT
    Q_PROPERTY(QString workspaceName READ workspaceName CONSTANT)
    Q_PROPERTY(QString iconName READ iconName CONSTANT)
    // The workspace's colour pair, as its row shows it: the header tile's gradient.
    Q_PROPERTY(QColor gradientStart READ gradientStart CONSTANT)
    Q_PROPERTY(QColor gradientEnd READ gradientEnd CONSTANT)
    Q_PROPERTY(bool canUpdate READ canUpdate NOTIFY selectionChanged)

public:
    // A panel that captures the current desktop for workspace.
    explicit UpdateWorkspacePanelModel(const Workspace& workspace, QObject* parent = nullptr);
    // A panel over the given preview model (tests give one with a capturer of their own).
    UpdateWorkspacePanelModel(const Workspace& workspace, WorkspacePreviewViewModel* preview,
                              QObject* parent = nullptr);

    // The saved workspace, as it was when the panel was made.
    const Workspace& workspace() const { return m_workspace; }
    QString workspaceName() const { return m_workspace.name; }
    QString iconName() const { return m_workspace.resolvedIconName(); }
    QColor gradientStart() const;
    QColor gradientEnd() const;
    // Update is enabled while at least one application is ticked.
    bool canUpdate() const { return hasAnyAppsToSave(); }

    // Update and Return: asks the window to update, when canUpdate() holds.
    Q_INVOKABLE void update();

    // Every row has a badge: hidden for a hidden application, else saved for one the workspace
    // held, else new.
    PreviewBadge::Kind badgeFor(const AppSnapshot& app) const override;

signals:
    void updateRequested(WorkspacePreviewViewModel* preview);

protected:
    QCoro::Task<void> capture() override;

private:
    Workspace m_workspace;
};
