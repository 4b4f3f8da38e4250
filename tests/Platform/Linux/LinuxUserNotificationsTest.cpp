#include "Support/X11DesktopTest.h"

#include "Platform/Linux/LinuxUserNotifications.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include <qcoro/qcorotask.h>

// A notification server of its own on a private bus: it keeps what each Notify call carried and
// offers the capabilities it is given.
class RecordingNotificationServer : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Call {
        QString appName;
        QString summary;
        QString body;
        QStringList actions;
        QVariantMap hints;
        int expireTimeout = -2;
    };

    QStringList capabilities;
    QList<Call> calls;

public slots:
    QStringList GetCapabilities() { return capabilities; }
    uint Notify(const QString& appName, uint replacesId, const QString& appIcon, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap& hints,
                int expireTimeout) {
        Q_UNUSED(replacesId);
        Q_UNUSED(appIcon);
        calls.append({appName, summary, body, actions, hints, expireTimeout});
        return uint(calls.size());
    }
    void CloseNotification(uint id) { Q_UNUSED(id); }
};

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
    ASSERT_TRUE(pickFromNotificationMenu([&] { return !responses.isEmpty(); }));
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

// A bus of this test's own, ended with it.
class PrivateBus {
public:
    PrivateBus() {
        daemon.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                                     QStringLiteral("--print-address=1")});
        if (daemon.waitForStarted(5000)) {
            while (!daemon.canReadLine() && daemon.waitForReadyRead(5000)) {
            }
            address = QString::fromUtf8(daemon.readLine()).trimmed();
        }
    }
    ~PrivateBus() {
        daemon.kill();
        daemon.waitForFinished(5000);
    }
    QDBusConnection connect(const QString& name) const {
        return QDBusConnection::connectToBus(address, name);
    }

    QProcess daemon;
    QString address;
};

TEST(LinuxUserNotificationsSent, TheSummaryIsOrdellaAndEveryNotificationExpiresAsTheServerSays) {
    struct Case {
        const char* what;
        QStringList capabilities;
        QString category;
        QString title;
        int expireTimeout;
        std::optional<bool> resident;
    };
    const QString restored = QStringLiteral("WORKSPACE_RESTORED_CATEGORY");
    const QList<Case> cases{
        {"revert, server keeps notifications", {"actions", "body", "persistence"}, restored, "", -1, true},
        {"revert, server without persistence", {"actions", "body"}, restored, "", -1, std::nullopt},
        {"no actions of its own", {"actions", "body", "persistence"}, "OTHER", "", -1, std::nullopt},
        {"a title of its own", {"actions", "body"}, "OTHER", "Title", -1, std::nullopt},
    };
    PrivateBus bus;
    ASSERT_FALSE(bus.address.isEmpty());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QDBusConnection serverBus = bus.connect(QStringLiteral("server"));
        RecordingNotificationServer server;
        server.capabilities = c.capabilities;
        ASSERT_TRUE(
            serverBus.registerObject(LinuxUserNotifications::path, &server, QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(serverBus.registerService(LinuxUserNotifications::service));
        {
            LinuxUserNotifications notifications(bus.connect(QStringLiteral("client")));
            notifications.setNotificationCategories(
                {{restored, {{kRevert, QStringLiteral("Revert"), true}}}});
            NotificationRequest request;
            request.identifier = QStringLiteral("workspace-restored-1");
            request.title = c.title;
            request.body = QStringLiteral("Workspace Desk restored partially");
            request.categoryIdentifier = c.category;
            EXPECT_EQ(QCoro::waitFor(notifications.add(request)), std::nullopt);
        }
        QDBusConnection::disconnectFromBus(QStringLiteral("client"));
        ASSERT_EQ(server.calls.size(), 1);
        const RecordingNotificationServer::Call& sent = server.calls.constFirst();
        EXPECT_EQ(sent.appName, "Ordella");
        EXPECT_EQ(sent.summary, c.title.isEmpty() ? QStringLiteral("Ordella") : c.title);
        EXPECT_EQ(sent.body, "Workspace Desk restored partially");
        EXPECT_EQ(sent.expireTimeout, c.expireTimeout);
        EXPECT_EQ(sent.hints.contains("resident"), c.resident.has_value());
        if (c.resident) {
            EXPECT_EQ(sent.hints.value("resident").toBool(), *c.resident);
        }
        EXPECT_EQ(sent.actions.contains(kRevert), c.category == restored);
        serverBus.unregisterService(LinuxUserNotifications::service);
        serverBus.unregisterObject(LinuxUserNotifications::path);
        QDBusConnection::disconnectFromBus(QStringLiteral("server"));
    }
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

#include "LinuxUserNotificationsTest.moc"
