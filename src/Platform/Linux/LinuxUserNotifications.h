#pragma once

#include "Platform/UserNotifications.h"

#include <QDBusConnection>
#include <QHash>

#include <optional>

// Notifications through the desktop's notification server (org.freedesktop.Notifications) on the
// session bus. A category's actions become the notification's buttons, and a click on the
// notification itself is the default action. Servers send a notification's action only to the
// connection that posted it, so one connection is kept for the whole life of the program. The
// user info of each notification is kept here until the server closes it. Permission is the
// presence of a notification server: there is nothing to ask the user.
// Servers show the summary as the notification's title: a request without a title gets the
// program's name there. Every notification expires as the server decides (its default): where
// the server keeps a list of notifications, one with actions of its own (Revert) stays there
// after an action until the user dismisses it.
class LinuxUserNotifications : public UserNotifications {
    Q_OBJECT
public:
    static inline const QString service = QStringLiteral("org.freedesktop.Notifications");
    static inline const QString path = QStringLiteral("/org/freedesktop/Notifications");

    explicit LinuxUserNotifications(QDBusConnection bus = QDBusConnection::sessionBus(),
                                    QObject* parent = nullptr);

    void setNotificationCategories(const QList<NotificationCategory>& categories) override;
    QCoro::Task<AuthorizationStatus> authorizationStatus() override;
    QCoro::Task<AuthorizationAnswer> requestAuthorization(quint32 options) override;
    QCoro::Task<std::optional<QString>> add(NotificationRequest request) override;
    void setForegroundPresentationOptions(quint32 options) override { m_foregroundOptions = options; }

    // The body as sent: a server that reads markup in bodies would take a "<" in a workspace name
    // or a window title for a tag (an <img> among them), so the text is escaped for it.
    static QString bodyText(const QString& body, bool serverReadsMarkup);

    // What one request is sent as, for a server with these capabilities ("body-markup",
    // "persistence"...): the summary, the body, the actions (key, title pairs, the default first),
    // the hints and the expiry timeout in milliseconds (-1 the server's default).
    struct Message {
        QString summary;
        QString body;
        QStringList actions;
        QVariantMap hints;
        qint32 expireTimeout = -1;
    };
    static Message message(const NotificationRequest& request, const QList<NotificationCategory>& categories,
                           const QStringList& serverCapabilities);

private slots:
    void actionInvoked(uint id, const QString& actionKey);
    void notificationClosed(uint id, uint reason);

private:
    QCoro::Task<bool> serverPresent();
    // What the server can do (markup in bodies, keeping notifications); asked once, on the first
    // notification answered.
    QCoro::Task<QStringList> serverCapabilities();

    QDBusConnection m_bus;
    QList<NotificationCategory> m_categories;
    quint32 m_foregroundOptions = 0;
    // The user info of each open notification by the server's id, and the server's id of each
    // open notification by its request identifier (a request with the same identifier replaces it).
    QHash<uint, QVariantMap> m_userInfo;
    QHash<QString, uint> m_serverIds;
    std::optional<QStringList> m_capabilities;
};
