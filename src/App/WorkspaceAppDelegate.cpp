#include "App/WorkspaceAppDelegate.h"

#include "Extensions/DetachedTask.h"
#include "Platform/Clock.h"
#include "Platform/Platform.h"
#include "Platform/UserNotifications.h"
#include "Services/Coordination/DisplayMonitor.h"
#include "Services/Coordination/GlobalHotkeyManager.h"
#include "Services/Coordination/NotificationManager.h"
#include "Services/Coordination/RestoreCoordinator.h"
#include "Services/Coordination/RestoreStatusNotifier.h"
#include "Services/Coordination/RevertStateManager.h"
#include "Services/Storage/AnalysisLogger.h"
#include "Services/Storage/WorkspaceStore.h"

#include <QCoreApplication>

#include <algorithm>

namespace {

using namespace std::chrono_literals;

const QString kTag = QStringLiteral("WorkspaceAppDelegate");

void log(const QString& message) {
    AnalysisLogger::shared().log(kTag, message);
}

void post(const WorkspaceRestoreStatus& status) {
    RestoreStatusNotifier::shared().post(status);
}

} // namespace

WorkspaceAppDelegate::WorkspaceAppDelegate(QObject* parent)
    : WorkspaceAppDelegate(Services{&GlobalHotkeyManager::shared(), &DisplayMonitor::shared(),
                                    &RestoreCoordinator::shared(), &RevertStateManager::shared(),
                                    Platform::current().userNotifications},
                           parent) {
}

WorkspaceAppDelegate::WorkspaceAppDelegate(Services services, QObject* parent)
    : QObject(parent)
    , m_services(std::move(services)) {
}

WorkspaceAppDelegate& WorkspaceAppDelegate::shared() {
    // Never destroyed: it handles events for the life of the process.
    static WorkspaceAppDelegate* instance = new WorkspaceAppDelegate();
    return *instance;
}

void WorkspaceAppDelegate::setup(WorkspaceStore* store) {
    m_store = store;

    if (m_services.notifications) {
        connect(m_services.notifications.get(), &UserNotifications::responseReceived, this,
                &WorkspaceAppDelegate::didReceiveNotificationResponse);
        // Restore notifications show as banners with their sound also while the application is in front.
        m_services.notifications->setForegroundPresentationOptions(UserNotifications::PresentBanner |
                                                                   UserNotifications::PresentSound);
    }
    QMetaObject::invokeMethod(
        this, [] { NotificationManager::requestPermission(); }, Qt::QueuedConnection);

    const QPointer<WorkspaceAppDelegate> self(this);
    if (m_services.hotkeys && store) {
        m_services.hotkeys->registerAll(store->workspaces());
    }
    if (m_services.hotkeys) {
        m_services.hotkeys->setOnHotkeyTriggered([self](const QUuid& id) {
            if (self) {
                self->handleHotkeyTriggered(id);
            }
        });
    }
    if (m_services.displays) {
        m_services.displays->setOnDisplayConnected([self](const QString& uuid) {
            if (self) {
                self->handleDisplayConnected(uuid);
            }
        });
        m_services.displays->setOnDisplayDisconnected([self](const QString& uuid) {
            if (self) {
                self->handleDisplayDisconnected(uuid);
            }
        });
    }
    restoreAfterLoginWorkspaces();
}

template <typename Pick> QList<Workspace> WorkspaceAppDelegate::workspacesWith(Pick picks) const {
    QList<Workspace> picked;
    if (!m_store) {
        return picked;
    }
    for (const Workspace& workspace : m_store->workspaces()) {
        if (std::any_of(workspace.triggers.begin(), workspace.triggers.end(),
                        [&](const WorkspaceTrigger& trigger) { return picks(trigger.type); })) {
            picked.append(workspace);
        }
    }
    return picked;
}

void WorkspaceAppDelegate::handleHotkeyTriggered(const QUuid& workspaceID) {
    if (!m_store) {
        return;
    }
    // As the store holds it now: a workspace deleted while its hot key was live restores nothing.
    for (const Workspace& workspace : m_store->workspaces()) {
        if (workspace.id == workspaceID) {
            startRestores({workspace}, hotkeyLabel, 0ms);
            return;
        }
    }
}

template <typename Case>
void WorkspaceAppDelegate::restoreForDisplay(const QString& uuid, const QString& label) {
    // The identity is compared exactly, case included.
    const QList<Workspace> picked = workspacesWith([&uuid](const WorkspaceTrigger::TriggerType& type) {
        const Case* trigger = std::get_if<Case>(&type);
        return trigger && trigger->displayUUID == uuid;
    });
    if (!picked.isEmpty()) {
        startRestores(picked, label, 0ms);
    }
}

void WorkspaceAppDelegate::handleDisplayConnected(const QString& uuid) {
    restoreForDisplay<WorkspaceTrigger::DisplayConnected>(uuid, displayConnectedLabel);
}

void WorkspaceAppDelegate::handleDisplayDisconnected(const QString& uuid) {
    restoreForDisplay<WorkspaceTrigger::DisplayDisconnected>(uuid, displayDisconnectedLabel);
}

void WorkspaceAppDelegate::restoreAfterLoginWorkspaces() {
    const QList<Workspace> picked = workspacesWith([](const WorkspaceTrigger::TriggerType& type) {
        return std::holds_alternative<WorkspaceTrigger::Login>(type);
    });
    if (!picked.isEmpty()) {
        startRestores(picked, loginLabel, 3s);
    }
}

void WorkspaceAppDelegate::startRestores(const QList<Workspace>& workspaces, const QString& label,
                                         std::chrono::milliseconds pause) {
    DetachedTask::start(QStringLiteral("WorkspaceAppDelegate"), label + QStringLiteral(" restore"),
                        triggerRestores(m_services.coordinator, workspaces, label, pause));
}

QCoro::Task<void> WorkspaceAppDelegate::triggerRestores(QPointer<RestoreCoordinator> coordinator,
                                                        QList<Workspace> workspaces, QString label,
                                                        std::chrono::milliseconds pause) {
    if (pause > 0ms) {
        co_await Platform::current().clock->sleep(pause);
    }
    for (const Workspace& workspace : workspaces) {
        if (!coordinator) {
            co_return;
        }
        post(WorkspaceRestoreStatus::restoringWorkspace(workspace.name));
        const RestoreReport report = co_await coordinator->restore(workspace, workspace.closeOtherApps);
        log(label + QStringLiteral(" restore of \"") + workspace.name + QStringLiteral("\": ") +
            RestoreStatusText::rawValue(report.status));
    }
}

void WorkspaceAppDelegate::didReceiveNotificationResponse(const QString& actionIdentifier,
                                                          const QVariantMap& userInfo) {
    const QVariant id = userInfo.value(NotificationManager::revertStateIDKey);
    if (actionIdentifier == NotificationManager::revertActionIdentifier &&
        id.metaType().id() == QMetaType::QString) {
        handleRevert(id.toString());
    } else if (actionIdentifier == UserNotifications::defaultActionIdentifier) {
        emit showRequested();
    }
}

void WorkspaceAppDelegate::handleRevert(const QString& revertStateID) {
    DetachedTask::start(QStringLiteral("WorkspaceAppDelegate"), QStringLiteral("The revert"),
                        revert(m_services.revertStates, revertStateID));
}

QCoro::Task<void> WorkspaceAppDelegate::revert(QPointer<RevertStateManager> revertStates,
                                               QString revertStateID) {
    log(QStringLiteral("Handling revert for state: ") + revertStateID);
    if (!revertStates) {
        co_return;
    }
    // Reverted already (from the status line, say): nothing failed, there is nothing left to do.
    if (!revertStates->state(revertStateID)) {
        log(QStringLiteral("Nothing left to revert for state: ") + revertStateID);
        post(WorkspaceRestoreStatus::nothingLeftToRevert());
        co_return;
    }
    post(WorkspaceRestoreStatus::revertingWorkspace());
    const RestoreReport report = co_await revertStates->revertToState(revertStateID);
    log(QStringLiteral("Revert complete: ") + RestoreStatusText::rawValue(report.status));
    post(WorkspaceRestoreStatus::revertResult(report));
}
