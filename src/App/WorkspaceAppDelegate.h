#pragma once

#include "Models/RestoreStatus.h"
#include "Models/Workspace.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUuid>
#include <QVariantMap>

#include <qcoro/qcorotask.h>

#include <chrono>
#include <memory>

class DisplayMonitor;
class GlobalHotkeyManager;
class RestoreCoordinator;
class RevertStateManager;
class UserNotifications;
class WorkspaceStore;

// Turns the events that start restores and reverts outside the menu-bar window into calls of the
// restore queue and the revert: a workspace's global shortcut, a display connected or
// disconnected, the start of the application (login triggers), and the Revert action of a restore
// notification. Announces each trigger restore ("restoring") and revert ("reverting", then its
// result) with the restore status message. Every handler does nothing before setup(). Main thread.
class WorkspaceAppDelegate : public QObject {
    Q_OBJECT
public:
    // The services it drives; the process-wide ones unless a test gives others.
    struct Services {
        GlobalHotkeyManager* hotkeys = nullptr;
        DisplayMonitor* displays = nullptr;
        RestoreCoordinator* coordinator = nullptr;
        RevertStateManager* revertStates = nullptr;
        std::shared_ptr<UserNotifications> notifications;
    };

    explicit WorkspaceAppDelegate(QObject* parent = nullptr);
    explicit WorkspaceAppDelegate(Services services, QObject* parent = nullptr);

    static WorkspaceAppDelegate& shared();

    // Wires everything at start-up, in this order: keeps the store, answers the notification
    // centre, asks for notification permission (after returning), registers every workspace's
    // shortcut, handles shortcuts and display changes, and schedules the login restores 3 seconds
    // later. Once, at start-up.
    void setup(WorkspaceStore* store);

    // The user answered a delivered notification: its Revert action reverts the restore it names
    // (or says there is nothing left to revert), and a click on the notification itself asks for
    // Ordella's window.
    void didReceiveNotificationResponse(const QString& actionIdentifier, const QVariantMap& userInfo);

signals:
    // The user asked for Ordella's window from outside it.
    void showRequested();

private:
    // The log line label of each kind of trigger restore ("Hotkey restore of ...").
    static inline const QString hotkeyLabel = QStringLiteral("Hotkey");
    static inline const QString displayConnectedLabel = QStringLiteral("Display-connected");
    static inline const QString displayDisconnectedLabel = QStringLiteral("Display-disconnected");
    static inline const QString loginLabel = QStringLiteral("Login");

    void handleHotkeyTriggered(const QUuid& workspaceID);
    void handleDisplayConnected(const QString& uuid);
    void handleDisplayDisconnected(const QString& uuid);
    void restoreAfterLoginWorkspaces();
    void handleRevert(const QString& revertStateID);

    // The workspaces with a trigger for which picks holds, each once, in list order.
    template <typename Pick> QList<Workspace> workspacesWith(Pick picks) const;
    // Restores the workspaces with a trigger of that case for the display.
    template <typename Case> void restoreForDisplay(const QString& uuid, const QString& label);
    // Starts triggerRestores on its own; a failure that escapes it is printed.
    void startRestores(const QList<Workspace>& workspaces, const QString& label,
                       std::chrono::milliseconds pause);
    // Restores the workspaces one after the other, each announced first and logged after.
    static QCoro::Task<void> triggerRestores(QPointer<RestoreCoordinator> coordinator,
                                             QList<Workspace> workspaces, QString label,
                                             std::chrono::milliseconds pause);
    static QCoro::Task<void> revert(QPointer<RevertStateManager> revertStates, QString revertStateID);

    Services m_services;
    QPointer<WorkspaceStore> m_store;
};
