#include "Support/X11DesktopTest.h"

#include "Platform/Linux/LinuxUserNotifications.h"

#include <QDBusConnection>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include <qcoro/qcorotask.h>

namespace {

const QString kRevert = QStringLiteral("REVERT_WORKSPACE_ACTION");

// What dunstctl answers.
QByteArray dunstctl(const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral("dunstctl"), arguments);
    process.waitForFinished();
    return process.readAllStandardOutput().trimmed();
}

using LinuxUserNotificationsTest = X11DesktopTest;

TEST_F(LinuxUserNotificationsTest, ActionsOfDeliveredNotificationsComeBackWithTheirUserInfo) {
    LinuxUserNotifications notifications;
    QList<std::pair<QString, QVariantMap>> responses;
    QObject::connect(&notifications, &UserNotifications::responseReceived,
                     [&responses](const QString& action, const QVariantMap& info) {
                         responses.append({action, info});
                     });
    EXPECT_EQ(QCoro::waitFor(notifications.authorizationStatus()),
              UserNotifications::AuthorizationStatus::authorized);
    EXPECT_TRUE(QCoro::waitFor(notifications.requestAuthorization(UserNotifications::AlertOption)).granted);
    notifications.setNotificationCategories(
        {{QStringLiteral("WORKSPACE_RESTORED_CATEGORY"), {{kRevert, QStringLiteral("Revert"), true}}}});

    NotificationRequest request;
    request.identifier = QStringLiteral("workspace-restored-1");
    request.title = QStringLiteral("Workspace Restored");
    request.body = QStringLiteral("Desk is back");
    request.categoryIdentifier = QStringLiteral("WORKSPACE_RESTORED_CATEGORY");
    request.userInfo = {{QStringLiteral("revertStateID"), QStringLiteral("1F0C")}};
    EXPECT_EQ(QCoro::waitFor(notifications.add(request)), std::nullopt);

    // The session's dunst picks the menu entry named in dunst-pick ("Revert").
    const QString pick = QFileInfo(qEnvironmentVariable("ORDELLA_X11_SESSION")).dir().filePath("dunst-pick");
    ASSERT_TRUE(QFileInfo::exists(pick));
    ASSERT_TRUE(waitUntil([] { return dunstctl({"count", "displayed"}) == "1"; }));
    dunstctl({QStringLiteral("context")});
    ASSERT_TRUE(waitUntil([&] { return !responses.isEmpty(); }));
    EXPECT_EQ(responses.first().first, kRevert);
    EXPECT_EQ(responses.first().second, request.userInfo);

    // A click on the notification itself is its default action.
    request.identifier = QStringLiteral("workspace-restored-2");
    EXPECT_EQ(QCoro::waitFor(notifications.add(request)), std::nullopt);
    responses.clear();
    ASSERT_TRUE(waitUntil([] { return dunstctl({"count", "displayed"}) == "1"; }));
    dunstctl({QStringLiteral("action"), QStringLiteral("0")});
    EXPECT_TRUE(waitUntil([&] { return !responses.isEmpty(); }));
    EXPECT_EQ(responses.value(0).first, UserNotifications::defaultActionIdentifier);
}

TEST_F(LinuxUserNotificationsTest, WithoutANotificationServerNothingIsAllowed) {
    LinuxUserNotifications notifications(QDBusConnection::connectToBus(
        QStringLiteral("unix:path=/nonexistent/bus"), QStringLiteral("nowhere")));
    EXPECT_EQ(QCoro::waitFor(notifications.authorizationStatus()),
              UserNotifications::AuthorizationStatus::denied);
    EXPECT_FALSE(QCoro::waitFor(notifications.requestAuthorization(UserNotifications::AlertOption)).granted);
    EXPECT_TRUE(QCoro::waitFor(notifications.add(NotificationRequest{})).has_value());
}

TEST(LinuxUserNotificationsBody, NamesAndTitlesAreNeverReadAsMarkup) {
    struct Case {
        QString body;
        bool readsMarkup;
        QString sent;
    };
    const QList<Case> cases{
        {"Desk & <b>Docs</b>", false, "Desk & <b>Docs</b>"},
        {"Desk & <b>Docs</b>", true, "Desk &amp; &lt;b&gt;Docs&lt;/b&gt;"},
        {"<img src=\"http://example.org/x.png\"/>", true,
         "&lt;img src=&quot;http://example.org/x.png&quot;/&gt;"},
        {"Plain text", true, "Plain text"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LinuxUserNotifications::bodyText(c.body, c.readsMarkup), c.sent) << c.body.toStdString();
    }
}

} // namespace
