#pragma once

#include "Models/Workspace.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <QUuid>

#include <qcoro/qcorotask.h>

#include <functional>
#include <optional>

// The model behind the save and update panels: captures the desktop without blocking the panel,
// lets the user untick applications, windows and tabs or save document applications without their
// windows, and builds the workspace that is stored. One model serves one panel.
class WorkspacePreviewViewModel : public QObject {
    Q_OBJECT
public:
    // Captures the desktop under the given name; nothing when the capture is impossible.
    using Capturer = std::function<QCoro::Task<std::optional<Workspace>>(QString name)>;

    explicit WorkspacePreviewViewModel(QObject* parent = nullptr);
    explicit WorkspacePreviewViewModel(Capturer capturer, QObject* parent = nullptr);

    // Applications that start in app-only mode.
    static const QSet<QString>& appOnlyExclusionList();

    const std::optional<Workspace>& capturedWorkspace() const { return m_capturedWorkspace; }
    const QSet<QUuid>& ignoredAppIDs() const { return m_ignoredAppIDs; }
    const QSet<QUuid>& ignoredTabIDs() const { return m_ignoredTabIDs; }
    const QSet<QUuid>& ignoredWindowIDs() const { return m_ignoredWindowIDs; }
    const QSet<QUuid>& appOnlyModeIDs() const { return m_appOnlyModeIDs; }
    bool isCapturing() const { return m_isCapturing; }
    const std::optional<QString>& captureError() const { return m_captureError; }
    const QSet<QUuid>& savedAppIDs() const { return m_savedAppIDs; }

    // Captures the desktop for a new workspace.
    QCoro::Task<void> capture();
    // Captures the desktop and merges it into a saved workspace: saved applications keep their
    // windows (browsers gain the windows and tabs opened since), new applications start unticked.
    QCoro::Task<void> captureForUpdate(Workspace savedWorkspace);

    void toggleAppIgnore(const QUuid& id);
    void toggleWindowIgnore(const QUuid& id);
    void toggleTabIgnore(const QUuid& id);
    void toggleRestoreFilesMode(const QUuid& appID);
    void selectAllApps();
    void deselectAllApps();

    bool hasAnyAppsToSave() const;
    std::optional<Workspace> filteredWorkspace(const QString& name) const;
    QString summaryText() const;

    // A document application: not a supported browser, with a window that shows a document.
    static bool isDocumentApp(const AppSnapshot& app);

signals:
    void capturedWorkspaceChanged();
    void ignoredAppIDsChanged();
    void ignoredTabIDsChanged();
    void ignoredWindowIDsChanged();
    void appOnlyModeIDsChanged();
    void isCapturingChanged();
    void captureErrorChanged();
    void savedAppIDsChanged();

private:
    QCoro::Task<std::optional<Workspace>> runCapture(QString name);
    void setCapturing(bool value);
    void setCaptureError(std::optional<QString> value);
    void setCapturedWorkspace(std::optional<Workspace> value);
    void insertInto(QSet<QUuid>& set, const QUuid& id, void (WorkspacePreviewViewModel::*changed)());
    void toggleIn(QSet<QUuid>& set, const QUuid& id, void (WorkspacePreviewViewModel::*changed)());

    static AppSnapshot mergeBrowserApp(const AppSnapshot& saved, const std::optional<AppSnapshot>& fresh);
    static std::optional<WindowSnapshot> bestMatchingWindow(const WindowSnapshot& saved,
                                                            const QList<WindowSnapshot>& fresh);

    Capturer m_capturer;
    std::optional<Workspace> m_capturedWorkspace;
    QSet<QUuid> m_ignoredAppIDs;
    QSet<QUuid> m_ignoredTabIDs;
    QSet<QUuid> m_ignoredWindowIDs;
    QSet<QUuid> m_appOnlyModeIDs;
    bool m_isCapturing = false;
    std::optional<QString> m_captureError;
    QSet<QUuid> m_savedAppIDs;
};
