#pragma once

#include "Models/RestoreReport.h"
#include "Models/Workspace.h"
#include "Platform/Clock.h"
#include "Services/Coordination/WorkspaceRestoreStatus.h"
#include "ViewModels/SaveWorkspacePanelModel.h"
#include "ViewModels/StatusStyle.h"
#include "ViewModels/UpdateBannerModel.h"
#include "ViewModels/UpdateWorkspacePanelModel.h"
#include "ViewModels/WorkspacePreviewInlineModel.h"

#include <QAbstractItemModel>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUuid>
#include <QVariantList>

#include <qcoro/qcorotask.h>

#include <memory>
#include <optional>

class AutoUpdateManager;
class WorkspaceEditor;
class WorkspaceListModel;
class Clock;
class GlobalHotkeyManager;
class RestoreCoordinator;
class RevertStateManager;
class SettingsManager;
class WorkspacePreviewViewModel;
class WorkspaceStore;

// The state and the operations of the menu-bar window: which of its four screens shows (save
// panel, update panel, preview, list), the list's search, sort and height, the status line with
// its Revert button, and every action of the window and its rows (save, update, restore, revert,
// delete, the store edits, the alerts). Results show only in the status line, which clears itself
// 10 seconds after its last result unless an operation is running then. Main thread.
class PopoverModel : public QObject {
    Q_OBJECT
    // "save", "update", "preview" or "list": the screen that fills the window.
    Q_PROPERTY(QString screen READ screen NOTIFY screenChanged)
    Q_PROPERTY(bool showingSaveDialog READ showingSaveDialog NOTIFY screenChanged)
    // The preview screen's model while a saved workspace is previewed; null otherwise.
    Q_PROPERTY(WorkspacePreviewInlineModel* preview READ preview NOTIFY screenChanged)
    // The save panel's model while the save panel is open, and the update panel's while a
    // workspace is being updated; null otherwise. Each opening has a panel (and capture) of its own.
    Q_PROPERTY(SaveWorkspacePanelModel* savePanel READ savePanel NOTIFY screenChanged)
    Q_PROPERTY(UpdateWorkspacePanelModel* updatePanel READ updatePanel NOTIFY screenChanged)
    Q_PROPERTY(double dynamicPopoverHeight READ dynamicPopoverHeight NOTIFY heightChanged)
    // The list.
    Q_PROPERTY(QString searchText READ searchText WRITE setSearchText NOTIFY searchTextChanged)
    Q_PROPERTY(int storedCount READ storedCount NOTIFY listChanged)
    Q_PROPERTY(int listedCount READ listedCount NOTIFY listChanged)
    Q_PROPERTY(QString emptyStateSymbol READ emptyStateSymbol NOTIFY listChanged)
    Q_PROPERTY(QString emptyStateText READ emptyStateText NOTIFY listChanged)
    // One WorkspaceRowModel per listed workspace (role "row"), in display order.
    Q_PROPERTY(QAbstractItemModel* workspaces READ workspaces CONSTANT)
    Q_PROPERTY(QString expandedWorkspaceID READ expandedWorkspaceIDText NOTIFY expandedWorkspaceChanged)
    // The sort menu: one {"raw", "symbol", "selected"} entry per option, in menu order.
    Q_PROPERTY(QVariantList sortOptions READ sortOptions NOTIFY sortOptionChanged)
    Q_PROPERTY(QString sortHelpText READ sortHelpText NOTIFY sortOptionChanged)
    Q_PROPERTY(
        bool showSortPopover READ showSortPopover WRITE setShowSortPopover NOTIFY showSortPopoverChanged)
    // The status line.
    Q_PROPERTY(QString statusMessage READ statusMessageText NOTIFY statusChanged)
    Q_PROPERTY(bool hasStatusMessage READ hasStatusMessage NOTIFY statusChanged)
    Q_PROPERTY(bool statusVisible READ statusVisible NOTIFY statusChanged)
    Q_PROPERTY(bool isProcessing READ isProcessing NOTIFY statusChanged)
    Q_PROPERTY(QString statusColor READ statusColor NOTIFY statusChanged)
    Q_PROPERTY(QString statusIcon READ statusIcon NOTIFY statusChanged)
    Q_PROPERTY(bool showRevertButton READ showRevertButton NOTIFY statusChanged)
    // The update banner, over the updater; null without one.
    Q_PROPERTY(UpdateBannerModel* updateBanner READ updateBanner CONSTANT)
    Q_PROPERTY(bool showUpdateBanner READ showUpdateBanner NOTIFY showUpdateBannerChanged)

public:
    // The services the window drives; the process-wide ones unless a test gives others.
    struct Services {
        WorkspaceStore* store = nullptr;
        RestoreCoordinator* coordinator = nullptr;
        RevertStateManager* revertStates = nullptr;
        GlobalHotkeyManager* hotkeys = nullptr;
        AutoUpdateManager* updater = nullptr;
        SettingsManager* settings = nullptr;
        std::shared_ptr<Clock> clock;
    };

    static constexpr std::chrono::seconds statusClearDelay{10};
    static constexpr std::chrono::seconds ageRefreshInterval{30};

    // On the process-wide services and the current platform's clock.
    explicit PopoverModel(WorkspaceStore* store, QObject* parent = nullptr);
    explicit PopoverModel(Services services, QObject* parent = nullptr);
    ~PopoverModel() override;

    QString screen() const;
    bool showingSaveDialog() const { return m_showingSaveDialog; }
    const std::optional<Workspace>& updatingWorkspace() const { return m_updatingWorkspace; }
    const std::optional<Workspace>& previewingWorkspace() const { return m_previewingWorkspace; }
    WorkspacePreviewInlineModel* preview() const { return m_preview; }
    SaveWorkspacePanelModel* savePanel() const { return m_savePanel; }
    UpdateWorkspacePanelModel* updatePanel() const { return m_updatePanel; }
    double dynamicPopoverHeight() const;

    const QString& searchText() const { return m_searchText; }
    void setSearchText(const QString& text);
    // The list the window shows, in display order.
    const QList<Workspace>& filteredWorkspaces() const { return m_filtered; }
    QAbstractItemModel* workspaces() const;
    // The store's list, in the store's order.
    QList<Workspace> storedWorkspaces() const;
    WorkspaceListModel* workspaceList() const { return m_list; }
    int storedCount() const;
    int listedCount() const { return int(m_filtered.size()); }
    QString emptyStateSymbol() const;
    QString emptyStateText() const;
    const std::optional<QUuid>& expandedWorkspaceID() const { return m_expandedWorkspaceID; }
    QString expandedWorkspaceIDText() const;

    QVariantList sortOptions() const;
    QString sortHelpText() const;
    bool showSortPopover() const { return m_showSortPopover; }
    void setShowSortPopover(bool show);

    const std::optional<QString>& statusMessage() const { return m_statusMessage; }
    QString statusMessageText() const { return m_statusMessage.value_or(QString()); }
    bool hasStatusMessage() const { return m_statusMessage.has_value(); }
    // The pill shows only once the text has changed while the window exists.
    bool statusVisible() const { return m_statusVisible && m_statusMessage; }
    bool isProcessing() const { return m_isProcessing; }
    const std::optional<QString>& currentRevertStateID() const { return m_currentRevertStateID; }
    StatusStyle statusStyle() const { return StatusStyle::forMessage(m_statusMessage); }
    QString statusColor() const { return statusStyle().color; }
    QString statusIcon() const { return statusStyle().icon; }
    // Revert is offered when no operation runs, a revert id is held and the text allows it.
    bool showRevertButton() const;

    UpdateBannerModel* updateBanner() const { return m_banner; }
    bool showUpdateBanner() const { return m_banner && m_banner->isShown(); }

    // The footer's button: the save panel with window access, the access alert without.
    Q_INVOKABLE void newWorkspace();
    // The save panel's two answers; a save closes the panel first.
    void saveFromPanel(const QString& name, WorkspacePreviewViewModel& previewVM);
    Q_INVOKABLE void cancelSavePanel();
    // The update panel's two answers; an update closes the panel first.
    void updateFromPanel(WorkspacePreviewViewModel& previewVM);
    Q_INVOKABLE void cancelUpdatePanel();
    Q_INVOKABLE void closePreview();

    // The operations; each returns at once and writes its result to the status line later.
    void saveWorkspace(const QString& name, WorkspacePreviewViewModel& previewVM);
    void performUpdate(const Workspace& workspace, WorkspacePreviewViewModel& previewVM);
    void restoreWorkspace(const Workspace& workspace);
    void handleRevert(const QString& revertStateID);
    // The status line's Revert button: reverts the held revert id, if any.
    Q_INVOKABLE void revert();
    void deleteWorkspace(const Workspace& workspace);
    void handleRestoreStatusNotification(const WorkspaceRestoreStatus& status);

    // What a row asks for besides its edits of the workspace (WorkspaceEditor applies those).
    void toggleExpand(const QUuid& workspaceID);
    void openUpdatePanel(const Workspace& workspace);
    void showPreview(const Workspace& workspace);
    void showDuplicateShortcutAlert();
    void showAccessibilityRequiredAlert();

    // The sort menu: the button toggles it, an option (by menu position) is stored and closes it.
    Q_INVOKABLE void toggleSortPopover();
    Q_INVOKABLE void chooseSortOption(int index);
    Q_INVOKABLE void clearSearch();
    // Each time the window comes on screen: an offered or failed update shows the banner, and an
    // open panel comes on screen again.
    Q_INVOKABLE void appeared();
    // The window shows or hides: while it shows, the rows' age labels ("now", "6m") are kept
    // current every ageRefreshInterval.
    void setWindowVisible(bool visible);
    // Escape, when no picker took it: closes the sort menu, else the open panel or preview, else
    // asks the owner to close the window.
    Q_INVOKABLE void escapePressed();
    // The header's buttons.
    Q_INVOKABLE void showPreferences();
    Q_INVOKABLE void quit();

signals:
    void screenChanged();
    void heightChanged();
    void searchTextChanged();
    void listChanged();
    void expandedWorkspaceChanged();
    void sortOptionChanged();
    void showSortPopoverChanged();
    void statusChanged();
    void showUpdateBannerChanged();
    // The gear button: the owner opens the settings window (and closes the menu-bar window).
    void preferencesRequested();
    // The power button: the owner ends the application.
    void quitRequested();
    // Escape on the list: the owner closes the window.
    void closeRequested();

private:
    void refilter();
    void updateAgeRefresh();
    void setScreenState(bool showingSaveDialog, std::optional<Workspace> updating,
                        std::optional<Workspace> previewing);
    // Makes or retires the panels' models as the state asks for them.
    void syncPanels();
    // The panel that fills the window, if any, is told it is on screen.
    void panelAppeared();
    void setExpanded(std::optional<QUuid> id);
    void setStatus(std::optional<QString> message, bool processing);
    void clearStatusAfterDelay();
    // A row's edit or deletion that the store could not write to disk: it stands only until the
    // next start, so the status line says so.
    void reportStoreFailure(const QString& message);
    // The text a restore's report leaves in the status line.

    static QCoro::Task<void> runSave(QPointer<PopoverModel> self, std::shared_ptr<Clock> clock,
                                     QPointer<WorkspaceStore> store, std::optional<Workspace> workspace);
    static QCoro::Task<void> runUpdate(QPointer<PopoverModel> self, std::shared_ptr<Clock> clock,
                                       QPointer<WorkspaceStore> store, Workspace workspace,
                                       std::optional<Workspace> captured);
    static QCoro::Task<void> runRestore(QPointer<PopoverModel> self, QPointer<RestoreCoordinator> coordinator,
                                        Workspace workspace);
    static QCoro::Task<void> runRevert(QPointer<PopoverModel> self, QPointer<RevertStateManager> revertStates,
                                       QString revertStateID);
    static QCoro::Task<void> runClearing(QPointer<PopoverModel> self, std::shared_ptr<Clock> clock,
                                         quint64 statusSerial);
    static QCoro::Task<void> runAlert(QString messageText, QString informativeText, QStringList buttons,
                                      bool opensAccessibilityHelp);

    Services m_services;
    WorkspaceEditor* m_editor = nullptr;
    WorkspaceListModel* m_list = nullptr;
    WorkspacePreviewInlineModel* m_preview = nullptr;
    WorkspacePreviewInlineModel* m_retiredPreview = nullptr;
    // A closed panel's model is kept until the next one closes, as its view may still read it
    // while it goes; a panel that saved or updated lends its capture to that operation.
    SaveWorkspacePanelModel* m_savePanel = nullptr;
    SaveWorkspacePanelModel* m_retiredSavePanel = nullptr;
    UpdateWorkspacePanelModel* m_updatePanel = nullptr;
    UpdateWorkspacePanelModel* m_retiredUpdatePanel = nullptr;
    UpdateBannerModel* m_banner = nullptr;
    bool m_showingSaveDialog = false;
    std::optional<Workspace> m_updatingWorkspace;
    std::optional<Workspace> m_previewingWorkspace;
    std::optional<QString> m_statusMessage;
    // Counts the writes of the status text, so a clearing knows whether a newer text came.
    quint64 m_statusSerial = 0;
    bool m_statusVisible = false;
    bool m_isProcessing = false;
    std::optional<QString> m_currentRevertStateID;
    std::optional<QUuid> m_expandedWorkspaceID;
    QString m_searchText;
    QList<Workspace> m_filtered;
    bool m_showSortPopover = false;
    bool m_windowVisible = false;
    ClockTimer m_ageRefresh;
};
