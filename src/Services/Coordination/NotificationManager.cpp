#include "Services/Coordination/NotificationManager.h"

#include "Extensions/BidiText.h"

#include "Platform/Diagnostics.h"
#include "Platform/Platform.h"
#include "Platform/UserNotifications.h"
#include "Services/Storage/SettingsManager.h"

#include <QUuid>

#include <memory>

namespace {

std::shared_ptr<UserNotifications> centre() {
    return Platform::current().userNotifications;
}

} // namespace

void NotificationManager::print(const QString& message) {
    Diagnostics::print(QStringLiteral("[NotificationManager] ") + message);
}

void NotificationManager::configureNotificationCategories() {
    const std::shared_ptr<UserNotifications> notifications = centre();
    if (!notifications) {
        return;
    }
    const NotificationAction revert{revertActionIdentifier, QStringLiteral("Revert"), true};
    notifications->setNotificationCategories({NotificationCategory{categoryIdentifier, {revert}}});
    print(QStringLiteral("Configured notification categories"));
}

QCoro::Task<bool> NotificationManager::isAuthorized() {
    const std::shared_ptr<UserNotifications> notifications = centre();
    if (!notifications) {
        co_return false;
    }
    co_return co_await notifications->authorizationStatus() ==
        UserNotifications::AuthorizationStatus::authorized;
}

QCoro::Task<void> NotificationManager::requestPermission() {
    configureNotificationCategories();
    const std::shared_ptr<UserNotifications> notifications = centre();
    if (!notifications) {
        co_return;
    }
    const UserNotifications::AuthorizationAnswer answer = co_await notifications->requestAuthorization(
        UserNotifications::AlertOption | UserNotifications::SoundOption);
    if (answer.error) {
        print(QStringLiteral("Failed to request authorization: ") + *answer.error);
    }
}

QCoro::Task<void> NotificationManager::showWorkspaceRestored(QString workspaceName, RestoreReport report,
                                                             std::optional<QString> revertStateID) {
    // A fresh read of the stored settings: the user may have changed them in another window.
    if (!SettingsManager().showRestoreNotifications()) {
        print(QStringLiteral("Notifications disabled in settings"));
        co_return;
    }
    if (!co_await isAuthorized()) {
        print(QStringLiteral("Notification authorization not granted"));
        co_await requestPermission();
        co_return;
    }
    // A name with right-to-left text or directional marks must not reorder the words around it.
    const QString shownName = BidiText::isolated(workspaceName);
    QString body;
    switch (report.status) {
    case RestoreStatus::restored:
        body = QStringLiteral("Workspace ") + shownName + QStringLiteral(" restored successfully");
        break;
    case RestoreStatus::partiallyRestored:
        body = QStringLiteral("Workspace ") + shownName + QStringLiteral(" restored partially");
        break;
    default:
        print(QStringLiteral("Skipping notification for status: ") +
              RestoreStatusText::rawValue(report.status));
        co_return;
    }

    NotificationRequest request;
    request.identifier =
        requestIdentifierPrefix + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    request.body = body;
    request.soundName = soundName;
    request.categoryIdentifier = categoryIdentifier;
    request.userInfo.insert(workspaceNameKey, workspaceName);
    if (revertStateID) {
        request.userInfo.insert(revertStateIDKey, *revertStateID);
    }
    const std::shared_ptr<UserNotifications> notifications = centre();
    if (!notifications) {
        co_return;
    }
    const std::optional<QString> error = co_await notifications->add(std::move(request));
    if (error) {
        print(QStringLiteral("Failed to schedule notification: ") + *error);
    } else {
        print(QStringLiteral("Notification scheduled: ") + workspaceName);
    }
}
