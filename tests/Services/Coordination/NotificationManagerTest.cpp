#include "Services/Coordination/NotificationManager.h"
#include "Platform/Simulated/SimulatedUserNotifications.h"
#include "Services/Storage/SettingsManager.h"
#include "Support/DiagnosticsCapture.h"
#include "Support/ScriptedDesktop.h"

namespace {

using Status = UserNotifications::AuthorizationStatus;

class NotificationManagerTest : public SimulatedDesktopFixture {
protected:
    DiagnosticsCapture printed;

    void SetUp() override {
        SettingsManager().setShowRestoreNotifications(true);
        centre().setStatus(Status::authorized);
    }
    SimulatedUserNotifications& centre() { return desktop().notifications(); }

    void show(RestoreStatus status, std::optional<QString> revertID = std::nullopt,
              const QString& name = QStringLiteral("Deep Work")) {
        RestoreReport report;
        report.status = status;
        ASSERT_TRUE(clock().runUntilDone(NotificationManager::showWorkspaceRestored(name, report, revertID)));
    }
};

TEST_F(NotificationManagerTest, RestoredAndPartialReportsPostTheirTextsAndUserInfo) {
    show(RestoreStatus::restored, QStringLiteral("ABC"));
    show(RestoreStatus::partiallyRestored);
    ASSERT_EQ(centre().delivered().size(), 2);
    const NotificationRequest first = centre().delivered()[0].request;
    const NotificationRequest second = centre().delivered()[1].request;
    EXPECT_EQ(first.body, "Workspace Deep Work restored successfully");
    EXPECT_EQ(second.body, "Workspace Deep Work restored partially");
    EXPECT_EQ(first.userInfo, (QVariantMap{{"workspaceName", "Deep Work"}, {"revertStateID", "ABC"}}));
    EXPECT_EQ(second.userInfo, (QVariantMap{{"workspaceName", "Deep Work"}}));
    EXPECT_EQ(first.soundName, "blow.aiff");
    EXPECT_EQ(first.categoryIdentifier, "WORKSPACE_RESTORED_CATEGORY");
    EXPECT_TRUE(first.title.isEmpty());
    EXPECT_TRUE(first.identifier.startsWith("workspace-restored-"));
    EXPECT_EQ(first.identifier.size(), QStringLiteral("workspace-restored-").size() + 36);
    EXPECT_EQ(first.identifier,
              first.identifier.toUpper().replace("WORKSPACE-RESTORED-", "workspace-restored-"));
    EXPECT_NE(first.identifier, second.identifier);
    EXPECT_EQ(printed.lines(), (QStringList{"[NotificationManager] Notification scheduled: Deep Work",
                                            "[NotificationManager] Notification scheduled: Deep Work"}));

    // A name that could reorder the words around it is shown isolated; the revert keeps it as typed.
    const QString overriding = QStringLiteral("gnp\u202E.exe");
    show(RestoreStatus::restored, std::nullopt, overriding);
    const NotificationRequest third = centre().delivered().value(2).request;
    EXPECT_EQ(third.body, QStringLiteral("Workspace \u2068gnp\u202E.exe\u2069 restored successfully"));
    EXPECT_EQ(third.userInfo.value("workspaceName"), overriding);
}

// The order of the checks: the setting, then the permission, then the status.
TEST_F(NotificationManagerTest, SettingPermissionAndStatusDecideInThatOrder) {
    struct Case {
        bool enabled;
        Status permission;
        RestoreStatus status;
        QStringList lines;
        int permissionRequests;
    };
    const QString off = "[NotificationManager] Notifications disabled in settings";
    const QString denied = "[NotificationManager] Notification authorization not granted";
    const QString configured = "[NotificationManager] Configured notification categories";
    const QList<Case> cases{
        {false, Status::authorized, RestoreStatus::restored, {off}, 0},
        {false, Status::notDetermined, RestoreStatus::failed, {off}, 0},
        {true, Status::notDetermined, RestoreStatus::failed, {denied, configured}, 1},
        {true, Status::denied, RestoreStatus::restored, {denied, configured}, 1},
        {true, Status::provisional, RestoreStatus::restored, {denied, configured}, 1},
        {true,
         Status::authorized,
         RestoreStatus::skipped,
         {"[NotificationManager] Skipping notification for status: skipped"},
         0},
        {true,
         Status::authorized,
         RestoreStatus::failed,
         {"[NotificationManager] Skipping notification for status: failed"},
         0},
        {true,
         Status::authorized,
         RestoreStatus::cancelled,
         {"[NotificationManager] Skipping notification for status: cancelled"},
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(RestoreStatusText::rawValue(c.status).toStdString());
        ScriptedDesktop fresh;
        SettingsManager().setShowRestoreNotifications(c.enabled);
        fresh.desktop().notifications().setStatus(c.permission);
        printed.clear();
        RestoreReport report;
        report.status = c.status;
        ASSERT_TRUE(
            fresh.clock().runUntilDone(NotificationManager::showWorkspaceRestored("W", report, "id")));
        EXPECT_EQ(printed.lines(), c.lines);
        EXPECT_EQ(fresh.desktop().notifications().authorizationRequests().size(), c.permissionRequests);
        EXPECT_TRUE(fresh.desktop().notifications().delivered().isEmpty());
    }
}

TEST_F(NotificationManagerTest, MissingPermissionIsAskedForAndServesTheNextRestore) {
    centre().setStatus(Status::notDetermined);
    show(RestoreStatus::restored);
    EXPECT_TRUE(centre().delivered().isEmpty());
    EXPECT_EQ(centre().authorizationRequests(),
              QList<quint32>{UserNotifications::AlertOption | UserNotifications::SoundOption});
    ASSERT_EQ(centre().categories().size(), 1);
    EXPECT_EQ(
        centre().categories()[0],
        (NotificationCategory{"WORKSPACE_RESTORED_CATEGORY", {{"REVERT_WORKSPACE_ACTION", "Revert", true}}}));
    show(RestoreStatus::restored);
    EXPECT_EQ(centre().delivered().size(), 1);
}

TEST_F(NotificationManagerTest, FailedRequestsAndDeliveriesArePrinted) {
    centre().setStatus(Status::notDetermined);
    centre().setRequestError(QStringLiteral("no server"));
    show(RestoreStatus::restored);
    EXPECT_TRUE(printed.contains("[NotificationManager] Failed to request authorization: no server"));

    centre().setStatus(Status::authorized);
    centre().setAddError(QStringLiteral("bus closed"));
    show(RestoreStatus::restored);
    EXPECT_EQ(printed.lines().last(), "[NotificationManager] Failed to schedule notification: bus closed");
}

} // namespace
