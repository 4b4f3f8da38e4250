#include "ViewModels/PopoverModel.h"

#include "Extensions/DetachedTask.h"
#include "Platform/Accessibility.h"
#include "Platform/Clock.h"
#include "Platform/Platform.h"
#include "Platform/Prompts.h"
#include "Services/Coordination/GlobalHotkeyManager.h"
#include "Services/Coordination/RestoreCoordinator.h"
#include "Services/Coordination/RestoreStatusNotifier.h"
#include "Services/Coordination/RevertStateManager.h"
#include "Services/Desktop/PermissionManager.h"
#include "Services/Storage/SettingsManager.h"
#include "Services/Storage/WorkspaceStore.h"
#include "Services/Update/AutoUpdateManager.h"
#include "ViewModels/StatusTexts.h"
#include "ViewModels/WorkspaceEditor.h"
#include "ViewModels/WorkspaceListModel.h"
#include "ViewModels/WorkspaceListRules.h"
#include "ViewModels/WorkspacePreviewInlineModel.h"
#include "ViewModels/WorkspacePreviewViewModel.h"
#include "ViewModels/WorkspaceSortOption.h"

#include <QVariantMap>

#include <algorithm>

namespace {

PopoverModel::Services sharedServices(WorkspaceStore* store) {
    PopoverModel::Services services;
    services.store = store;
    services.coordinator = &RestoreCoordinator::shared();
    services.revertStates = &RevertStateManager::shared();
    services.hotkeys = &GlobalHotkeyManager::shared();
    services.updater = &AutoUpdateManager::shared();
    services.settings = &SettingsManager::shared();
    services.clock = Platform::current().clock;
    return services;
}

} // namespace

PopoverModel::PopoverModel(WorkspaceStore* store, QObject* parent)
    : PopoverModel(sharedServices(store), parent) {
}

PopoverModel::PopoverModel(Services services, QObject* parent)
    : QObject(parent)
    , m_services(std::move(services)) {
    if (m_services.store) {
        connect(m_services.store, &WorkspaceStore::workspacesChanged, this, &PopoverModel::refilter);
    }
    if (m_services.settings) {
        connect(m_services.settings, &SettingsManager::settingChanged, this,
                [this](SettingsManager::Setting setting) {
                    if (setting == SettingsManager::Setting::workspaceSortOption) {
                        emit sortOptionChanged();
                        refilter();
                    }
                });
    }
    connect(&RestoreStatusNotifier::shared(), &RestoreStatusNotifier::workspaceRestoreStatusChanged, this,
            &PopoverModel::handleRestoreStatusNotification);
    refilter();
    if (m_services.store && m_services.hotkeys) {
        m_editor = new WorkspaceEditor(*m_services.store, *m_services.hotkeys, this);
        connect(m_editor, &WorkspaceEditor::writeFailed, this,
                [this] { reportStoreFailure(StatusTexts::writeFailed); });
        m_list = new WorkspaceListModel(*this, *m_editor, this);
    }
    if (m_services.updater) {
        m_banner = new UpdateBannerModel(*m_services.updater, this);
        connect(m_banner, &UpdateBannerModel::isShownChanged, this, &PopoverModel::showUpdateBannerChanged);
    }
}

QAbstractItemModel* PopoverModel::workspaces() const {
    return m_list;
}

PopoverModel::~PopoverModel() = default;

QString PopoverModel::screen() const {
    if (m_showingSaveDialog) {
        return QStringLiteral("save");
    }
    if (m_updatingWorkspace) {
        return QStringLiteral("update");
    }
    if (m_previewingWorkspace) {
        return QStringLiteral("preview");
    }
    return QStringLiteral("list");
}

double PopoverModel::dynamicPopoverHeight() const {
    const bool panelOpen = m_showingSaveDialog || m_updatingWorkspace || m_previewingWorkspace;
    return WorkspaceListRules::dynamicPopoverHeight(panelOpen, storedCount(), m_filtered.size());
}

QList<Workspace> PopoverModel::storedWorkspaces() const {
    return m_services.store ? m_services.store->workspaces() : QList<Workspace>();
}

int PopoverModel::storedCount() const {
    return m_services.store ? int(m_services.store->workspaces().size()) : 0;
}

void PopoverModel::refilter() {
    const QList<Workspace> stored = storedWorkspaces();
    const QString sort = m_services.settings ? m_services.settings->workspaceSortOption() : QString();
    m_filtered = WorkspaceListRules::filteredWorkspaces(stored, sort, m_searchText);
    emit listChanged();
    emit heightChanged();
    updateAgeRefresh();
}

void PopoverModel::setSearchText(const QString& text) {
    if (text == m_searchText) {
        return;
    }
    m_searchText = text;
    emit searchTextChanged();
    refilter();
    // A search that hides the expanded row collapses it; one that keeps it leaves it open.
    if (m_expandedWorkspaceID &&
        std::none_of(m_filtered.cbegin(), m_filtered.cend(),
                     [this](const Workspace& w) { return w.id == *m_expandedWorkspaceID; })) {
        setExpanded(std::nullopt);
    }
}

void PopoverModel::clearSearch() {
    setSearchText(QString());
}

QString PopoverModel::emptyStateSymbol() const {
    return storedCount() == 0 ? QStringLiteral("rectangle.stack.badge.plus")
                              : QStringLiteral("magnifyingglass");
}

QString PopoverModel::emptyStateText() const {
    return storedCount() == 0 ? QStringLiteral("No workspaces saved yet")
                              : QStringLiteral("No workspaces match your search");
}

QString PopoverModel::expandedWorkspaceIDText() const {
    return m_expandedWorkspaceID ? m_expandedWorkspaceID->toString(QUuid::WithoutBraces).toUpper()
                                 : QString();
}

void PopoverModel::setExpanded(std::optional<QUuid> id) {
    if (id != m_expandedWorkspaceID) {
        m_expandedWorkspaceID = id;
        emit expandedWorkspaceChanged();
    }
}

QVariantList PopoverModel::sortOptions() const {
    const WorkspaceSortOption current = WorkspaceSortOptions::fromStored(
        m_services.settings ? m_services.settings->workspaceSortOption() : QString());
    QVariantList options;
    for (const WorkspaceSortOption option : WorkspaceSortOptions::allCases()) {
        options.append(QVariantMap{{QStringLiteral("raw"), WorkspaceSortOptions::rawValue(option)},
                                   {QStringLiteral("symbol"), WorkspaceSortOptions::symbol(option)},
                                   {QStringLiteral("selected"), option == current}});
    }
    return options;
}

QString PopoverModel::sortHelpText() const {
    const QString stored = m_services.settings ? m_services.settings->workspaceSortOption() : QString();
    return tr("Sort: ") + WorkspaceSortOptions::rawValue(WorkspaceSortOptions::fromStored(stored));
}

void PopoverModel::setShowSortPopover(bool show) {
    if (show != m_showSortPopover) {
        m_showSortPopover = show;
        emit showSortPopoverChanged();
    }
}

void PopoverModel::toggleSortPopover() {
    setShowSortPopover(!m_showSortPopover);
}

void PopoverModel::chooseSortOption(int index) {
    const QList<WorkspaceSortOption> options = WorkspaceSortOptions::allCases();
    if (index >= 0 && index < options.size() && m_services.settings) {
        // Stored also when it is the current one.
        m_services.settings->setWorkspaceSortOption(WorkspaceSortOptions::rawValue(options.at(index)));
    }
    setShowSortPopover(false);
}

void PopoverModel::appeared() {
    if (m_banner) {
        m_banner->windowAppeared();
    }
    panelAppeared();
}

void PopoverModel::setWindowVisible(bool visible) {
    m_windowVisible = visible;
    if (visible && m_list) {
        m_list->refreshAges();
    }
    updateAgeRefresh();
}

void PopoverModel::updateAgeRefresh() {
    // Only while there are rows on screen to keep current.
    const bool wanted = m_windowVisible && m_list && m_services.clock && !m_filtered.isEmpty();
    if (!wanted) {
        m_ageRefresh = ClockTimer();
    } else if (!m_ageRefresh.isActive()) {
        m_ageRefresh =
            m_services.clock->startTimer(ageRefreshInterval, true, [this] { m_list->refreshAges(); });
    }
}

void PopoverModel::escapePressed() {
    if (m_showSortPopover) {
        setShowSortPopover(false);
    } else if (m_showingSaveDialog) {
        cancelSavePanel();
    } else if (m_updatingWorkspace) {
        cancelUpdatePanel();
    } else if (m_previewingWorkspace) {
        closePreview();
    } else {
        emit closeRequested();
    }
}

void PopoverModel::showPreferences() {
    emit preferencesRequested();
}

void PopoverModel::quit() {
    emit quitRequested();
}

// Screens.

void PopoverModel::setScreenState(bool showingSaveDialog, std::optional<Workspace> updating,
                                  std::optional<Workspace> previewing) {
    const QString screenBefore = screen();
    m_showingSaveDialog = showingSaveDialog;
    m_updatingWorkspace = std::move(updating);
    const bool previewChanged = !(previewing == m_previewingWorkspace);
    m_previewingWorkspace = std::move(previewing);
    if (previewChanged) {
        // The view of a closed preview may read it until the view itself is gone: it is kept until
        // the next preview, by which time its view has long been deleted.
        delete m_retiredPreview;
        m_retiredPreview = m_preview;
        m_preview = nullptr;
        if (m_previewingWorkspace) {
            m_preview = new WorkspacePreviewInlineModel(*m_previewingWorkspace, this);
            connect(m_preview, &WorkspacePreviewInlineModel::closeRequested, this,
                    &PopoverModel::closePreview);
        }
    }
    syncPanels();
    emit screenChanged();
    emit heightChanged();
    if (screen() != screenBefore) {
        panelAppeared();
    }
}

void PopoverModel::syncPanels() {
    if (m_showingSaveDialog && !m_savePanel) {
        m_savePanel = new SaveWorkspacePanelModel(this);
        connect(m_savePanel, &SaveWorkspacePanelModel::saveRequested, this,
                [this](const QString& name, WorkspacePreviewViewModel* preview) {
                    if (preview) {
                        saveFromPanel(name, *preview);
                    }
                });
        connect(m_savePanel, &CapturePanelModel::cancelled, this, &PopoverModel::cancelSavePanel);
    } else if (!m_showingSaveDialog && m_savePanel) {
        delete m_retiredSavePanel;
        m_retiredSavePanel = std::exchange(m_savePanel, nullptr);
    }

    const bool updatePanelFits =
        m_updatePanel && m_updatingWorkspace && m_updatePanel->workspace().id == m_updatingWorkspace->id;
    if (m_updatePanel && !updatePanelFits) {
        delete m_retiredUpdatePanel;
        m_retiredUpdatePanel = std::exchange(m_updatePanel, nullptr);
    }
    if (m_updatingWorkspace && !m_updatePanel) {
        m_updatePanel = new UpdateWorkspacePanelModel(*m_updatingWorkspace, this);
        connect(m_updatePanel, &UpdateWorkspacePanelModel::updateRequested, this,
                [this](WorkspacePreviewViewModel* preview) {
                    if (preview) {
                        updateFromPanel(*preview);
                    }
                });
        connect(m_updatePanel, &CapturePanelModel::cancelled, this, &PopoverModel::cancelUpdatePanel);
    }
}

void PopoverModel::panelAppeared() {
    // A panel's capture starts the first time it comes on screen.
    const QString current = screen();
    if (current == QLatin1String("save") && m_savePanel) {
        m_savePanel->appeared();
    } else if (current == QLatin1String("update") && m_updatePanel) {
        m_updatePanel->appeared();
    }
}

void PopoverModel::newWorkspace() {
    const std::shared_ptr<Accessibility> accessibility = Platform::current().accessibility;
    if (accessibility && accessibility->isProcessTrusted()) {
        setScreenState(true, m_updatingWorkspace, m_previewingWorkspace);
    } else {
        showAccessibilityRequiredAlert();
    }
}

void PopoverModel::saveFromPanel(const QString& name, WorkspacePreviewViewModel& previewVM) {
    setScreenState(false, m_updatingWorkspace, m_previewingWorkspace);
    saveWorkspace(name, previewVM);
}

void PopoverModel::cancelSavePanel() {
    setScreenState(false, m_updatingWorkspace, m_previewingWorkspace);
}

void PopoverModel::openUpdatePanel(const Workspace& workspace) {
    setExpanded(std::nullopt);
    setScreenState(m_showingSaveDialog, workspace, m_previewingWorkspace);
}

void PopoverModel::updateFromPanel(WorkspacePreviewViewModel& previewVM) {
    if (!m_updatingWorkspace) {
        return;
    }
    const Workspace workspace = *m_updatingWorkspace;
    setScreenState(m_showingSaveDialog, std::nullopt, m_previewingWorkspace);
    performUpdate(workspace, previewVM);
}

void PopoverModel::cancelUpdatePanel() {
    setScreenState(m_showingSaveDialog, std::nullopt, m_previewingWorkspace);
}

void PopoverModel::showPreview(const Workspace& workspace) {
    setScreenState(m_showingSaveDialog, m_updatingWorkspace, workspace);
}

void PopoverModel::closePreview() {
    setScreenState(m_showingSaveDialog, m_updatingWorkspace, std::nullopt);
}

// The status line.

void PopoverModel::setStatus(std::optional<QString> message, bool processing) {
    const bool textChanged = message != m_statusMessage;
    m_statusMessage = std::move(message);
    m_isProcessing = processing;
    ++m_statusSerial;
    if (textChanged) {
        m_statusVisible = m_statusMessage.has_value();
    }
    emit statusChanged();
}

void PopoverModel::reportStoreFailure(const QString& message) {
    // A running operation keeps its progress state and writes its own result when it ends.
    setStatus(message, m_isProcessing);
    clearStatusAfterDelay();
}

bool PopoverModel::showRevertButton() const {
    return !m_isProcessing && m_currentRevertStateID && statusStyle().offersRevert;
}

void PopoverModel::clearStatusAfterDelay() {
    if (m_services.clock) {
        DetachedTask::start(QStringLiteral("PopoverModel"), QStringLiteral("Clearing the status line"),
                            runClearing(this, m_services.clock, m_statusSerial));
    }
}

QCoro::Task<void> PopoverModel::runClearing(QPointer<PopoverModel> self, std::shared_ptr<Clock> clock,
                                            quint64 statusSerial) {
    co_await clock->sleep(statusClearDelay);
    // A newer text keeps its own 10 seconds, and a running operation keeps its line.
    if (self && !self->m_isProcessing && self->m_statusSerial == statusSerial) {
        self->m_currentRevertStateID.reset();
        self->setStatus(std::nullopt, false);
    }
}

// Operations.

void PopoverModel::saveWorkspace(const QString& name, WorkspacePreviewViewModel& previewVM) {
    setStatus(StatusTexts::saving, true);
    DetachedTask::start(QStringLiteral("PopoverModel"), QStringLiteral("The save"),
                        runSave(this, m_services.clock, m_services.store, previewVM.filteredWorkspace(name)));
}

QCoro::Task<void> PopoverModel::runSave(QPointer<PopoverModel> self, std::shared_ptr<Clock> clock,
                                        QPointer<WorkspaceStore> store, std::optional<Workspace> workspace) {
    // The result follows once the window has shown the progress text.
    if (clock) {
        co_await clock->sleep(Clock::Duration(0));
    }
    if (!self) {
        co_return;
    }
    if (workspace && store) {
        self->setStatus(store->save(*workspace) ? StatusTexts::saved : StatusTexts::writeFailed, false);
    } else {
        self->setStatus(StatusTexts::captureFailed, false);
    }
    self->clearStatusAfterDelay();
}

void PopoverModel::performUpdate(const Workspace& workspace, WorkspacePreviewViewModel& previewVM) {
    setStatus(StatusTexts::updating, true);
    DetachedTask::start(QStringLiteral("PopoverModel"), QStringLiteral("The update"),
                        runUpdate(this, m_services.clock, m_services.store, workspace,
                                  previewVM.filteredWorkspace(workspace.name)));
}

QCoro::Task<void> PopoverModel::runUpdate(QPointer<PopoverModel> self, std::shared_ptr<Clock> clock,
                                          QPointer<WorkspaceStore> store, Workspace workspace,
                                          std::optional<Workspace> captured) {
    // The result follows once the window has shown the progress text.
    if (clock) {
        co_await clock->sleep(Clock::Duration(0));
    }
    if (!self) {
        co_return;
    }
    if (captured && store) {
        // The saved workspace keeps its id, name, look, shortcut and triggers. One deleted while
        // the panel was open has nothing to take the capture: that is no update.
        const QList<Workspace>& stored = store->workspaces();
        const bool listed = std::any_of(stored.cbegin(), stored.cend(),
                                        [&workspace](const Workspace& w) { return w.id == workspace.id; });
        const bool written =
            listed && store->updateSnapshots(workspace, captured->appSnapshots, captured->displaySnapshots);
        self->setStatus(written ? StatusTexts::updated : StatusTexts::writeFailed, false);
    } else {
        self->setStatus(StatusTexts::captureFailed, false);
    }
    self->clearStatusAfterDelay();
}

void PopoverModel::restoreWorkspace(const Workspace& workspace) {
    m_currentRevertStateID.reset();
    setStatus(StatusTexts::restoring, true);
    // The revert id comes only with the coordinator's status message, before restore() returns.
    DetachedTask::start(QStringLiteral("PopoverModel"), QStringLiteral("The restore"),
                        runRestore(this, m_services.coordinator, workspace));
}

QCoro::Task<void> PopoverModel::runRestore(QPointer<PopoverModel> self,
                                           QPointer<RestoreCoordinator> coordinator, Workspace workspace) {
    if (!coordinator) {
        co_return;
    }
    const bool closeOtherApps = workspace.closeOtherApps;
    const RestoreReport report = co_await coordinator->restore(std::move(workspace), closeOtherApps);
    if (!self) {
        co_return;
    }
    self->setStatus(StatusTexts::restoreResult(report), false);
    self->clearStatusAfterDelay();
}

void PopoverModel::revert() {
    if (m_currentRevertStateID) {
        // A copy: the revert clears the held id before it uses its argument.
        const QString revertStateID = *m_currentRevertStateID;
        handleRevert(revertStateID);
    }
}

void PopoverModel::handleRevert(const QString& revertStateID) {
    m_currentRevertStateID.reset();
    setStatus(StatusTexts::reverting, true);
    DetachedTask::start(QStringLiteral("PopoverModel"), QStringLiteral("The revert"),
                        runRevert(this, m_services.revertStates, revertStateID));
}

QCoro::Task<void> PopoverModel::runRevert(QPointer<PopoverModel> self,
                                          QPointer<RevertStateManager> revertStates, QString revertStateID) {
    if (!revertStates) {
        co_return;
    }
    const RestoreReport report = co_await revertStates->revertToState(std::move(revertStateID));
    if (!self) {
        co_return;
    }
    self->setStatus(StatusTexts::revertResult(report), false);
    self->clearStatusAfterDelay();
}

void PopoverModel::handleRestoreStatusNotification(const WorkspaceRestoreStatus& status) {
    if (status.status.isEmpty()) {
        return;
    }
    if (status.status == WorkspaceRestoreStatus::restoring ||
        status.status == WorkspaceRestoreStatus::reverting) {
        m_currentRevertStateID.reset();
        setStatus(status.status == WorkspaceRestoreStatus::restoring ? StatusTexts::restoring
                                                                     : StatusTexts::reverting,
                  true);
        return;
    }
    if (status.status == WorkspaceRestoreStatus::nothingToRevert) {
        m_currentRevertStateID.reset();
        setStatus(StatusTexts::nothingToRevert, false);
        clearStatusAfterDelay();
        return;
    }
    // Any other status names a result: its report decides, and without one nothing changes.
    if (!status.report) {
        return;
    }
    const RestoreStatus result = status.report->status;
    const bool revertible = result == RestoreStatus::restored || result == RestoreStatus::partiallyRestored;
    // A revert, wherever it was started, is worded as one and cannot itself be reverted.
    m_currentRevertStateID = revertible && !status.ofRevert ? status.revertStateID : std::nullopt;
    setStatus(status.ofRevert ? StatusTexts::revertResult(*status.report)
                              : StatusTexts::restoreResult(*status.report),
              false);
    clearStatusAfterDelay();
}

void PopoverModel::deleteWorkspace(const Workspace& workspace) {
    if (m_services.hotkeys) {
        m_services.hotkeys->unregister(workspace.id);
    }
    if (m_services.store && !m_services.store->deleteWorkspace(workspace)) {
        reportStoreFailure(StatusTexts::deleteFailed);
    }
    if (m_expandedWorkspaceID == workspace.id) {
        setExpanded(std::nullopt);
    }
}

// Rows.

void PopoverModel::toggleExpand(const QUuid& workspaceID) {
    setExpanded(m_expandedWorkspaceID == workspaceID ? std::nullopt : std::optional<QUuid>(workspaceID));
}

// Alerts.

void PopoverModel::showDuplicateShortcutAlert() {
    DetachedTask::start(QStringLiteral("PopoverModel"), QStringLiteral("The duplicate-shortcut alert"),
                        runAlert(QStringLiteral("This shortcut is already assigned to another workspace"),
                                 QStringLiteral("Please choose a different key combination."),
                                 {QStringLiteral("OK")}, false));
}

void PopoverModel::showAccessibilityRequiredAlert() {
    DetachedTask::start(
        QStringLiteral("PopoverModel"), QStringLiteral("The accessibility alert"),
        runAlert(
            QStringLiteral("Accessibility Permission Required"),
            QStringLiteral("Ordella needs Accessibility permission to capture window information. Please "
                           "grant access in your desktop's settings to create workspaces."),
            {QStringLiteral("Open Settings"), QStringLiteral("Cancel")}, true));
}

QCoro::Task<void> PopoverModel::runAlert(QString messageText, QString informativeText, QStringList buttons,
                                         bool opensAccessibilityHelp) {
    // Held for the whole wait: the alert's owner must outlive the answer.
    const std::shared_ptr<Prompts> prompts = Platform::current().prompts;
    if (!prompts) {
        co_return;
    }
    AlertRequest alert;
    alert.style = AlertRequest::Style::Warning;
    alert.messageText = std::move(messageText);
    alert.informativeText = std::move(informativeText);
    alert.buttons = std::move(buttons);
    alert.iconName = QStringLiteral("AppIcon");
    const int answer = co_await prompts->showAlert(std::move(alert));
    if (opensAccessibilityHelp && answer == 0) {
        co_await PermissionManager::showAccessibilityHelp();
    }
}
